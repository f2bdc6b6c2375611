#include "ui/forms.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QTimer>

namespace tapwell::ui {

QFont FormFont(int pixelSize) {
  QFont font;
  font.setFamilies({kFormFontFamily, QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic"),
                    QStringLiteral("Noto Sans CJK JP"), QStringLiteral("Noto Sans JP")});
  font.setPixelSize(pixelSize);
  font.setWeight(QFont::Normal);
  font.setStyleHint(QFont::SansSerif);
  return font;
}

QIcon ProgramIcon() {
  // A key cap with a clock hand, drawn in colours of the 16-colour palette.
  QImage image(32, 32, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setPen(QColor(0, 0, 0));
  p.setBrush(QColor(128, 128, 128));
  p.drawRect(2, 4, 27, 25);
  p.setBrush(QColor(192, 192, 192));
  p.drawRect(5, 6, 21, 18);
  p.setBrush(QColor(255, 255, 255));
  p.drawEllipse(8, 8, 15, 14);
  p.setPen(QColor(0, 0, 128));
  p.drawLine(15, 15, 15, 10);
  p.setPen(QColor(128, 0, 0));
  p.drawLine(15, 15, 19, 15);
  p.end();
  return QIcon(QPixmap::fromImage(image));
}

TForm::TForm(QWidget* parent) : QWidget(parent, Qt::Window) {
  setFont(FormFont(12));
}

void TForm::setBorderless(bool borderless) {
  borderless_ = borderless;
  setWindowFlag(Qt::FramelessWindowHint, borderless);
}

void TForm::setOuterGeometry(int left, int top, int width, int height) {
  outer_ = QRect(left, top, width, height);
  const QMargins frame = borderless_ ? QMargins() : kStandardFrame;
  move(left, top);
  resize(width - frame.left() - frame.right(), height - frame.top() - frame.bottom());
}

void TForm::setOuterSize(int width, int height) {
  const QRect frame = frameGeometry();
  const QRect inside = geometry();
  QMargins margins = borderless_ ? QMargins() : kStandardFrame;
  if (frame != inside) {
    margins = QMargins(inside.left() - frame.left(), inside.top() - frame.top(),
                       frame.right() - inside.right(), frame.bottom() - inside.bottom());
    outer_.reset();
  }
  resize(width - margins.left() - margins.right(), height - margins.top() - margins.bottom());
  if (frame == inside && !borderless_) {
    // The frame is not known yet: corrected to the real one once it is.
    outer_ = QRect(frame.topLeft(), QSize(width, height));
    if (isVisible())
      QTimer::singleShot(0, this, [this] { fitFrame(); });
  }
}

void TForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (outer_ && !borderless_)
    QTimer::singleShot(0, this, [this] { fitFrame(); });
}

void TForm::fitFrame() {
  if (!outer_)
    return;
  const QRect frame = frameGeometry();
  const QRect inside = geometry();
  if (frame == inside)
    return;  // no frame known yet
  const int dw = frame.width() - inside.width();
  const int dh = frame.height() - inside.height();
  resize(outer_->width() - dw, outer_->height() - dh);
  outer_.reset();
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& text, int x, int y) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setGeometry(x, y, 75, 25);
  button->setAutoDefault(false);
  return button;
}

}  // namespace tapwell::ui
