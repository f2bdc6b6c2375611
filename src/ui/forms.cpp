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

void TForm::setWindowSystem(platform::WindowSystem* system) {
  windowSystem_ = system;
}

void TForm::setOuterGeometry(int left, int top, int width, int height) {
  outer_ = QRect(left, top, width, height);
  placeOuter_ = true;
  move(left, top);
  resize(insideOf(QSize(width, height), borderless_ ? QMargins() : kStandardFrame));
  if (isVisible() && !borderless_) fitFrame();
}

void TForm::setOuterSize(int width, int height) {
  if (const std::optional<QMargins> frame = isVisible() && !outer_ ? realFrame() : std::nullopt) {
    resize(insideOf(QSize(width, height), *frame));
    return;
  }
  resize(insideOf(QSize(width, height), borderless_ ? QMargins() : kStandardFrame));
  if (borderless_) return;
  // The frame is not known yet: corrected to the real one once it is, at the
  // place a pending geometry gives, else where the window is.
  if (!outer_) {
    outer_ = QRect(frameGeometry().topLeft(), QSize(width, height));
    placeOuter_ = false;
  } else {
    outer_->setSize(QSize(width, height));
  }
  if (isVisible()) fitFrame();
}

void TForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!outer_ || borderless_) return;
  if (windowSystem_) windowSystem_->requestFrameExtents(winId());
  fitTries_ = 80;
  QTimer::singleShot(0, this, [this] { fitFrame(); });
}

QSize TForm::insideOf(QSize outer, const QMargins& frame) const {
  return outer.shrunkBy(frame).expandedTo(minimumInside_);
}

std::optional<QMargins> TForm::realFrame() {
  if (borderless_) return QMargins();
  if (windowSystem_) {
    const std::optional<platform::FrameExtents> e = windowSystem_->frameExtents(winId());
    if (!e) return std::nullopt;
    return QMargins(e->left, e->top, e->right, e->bottom);
  }
  const QRect frame = frameGeometry();
  const QRect inside = geometry();
  if (frame == inside) return std::nullopt;
  return QMargins(inside.left() - frame.left(), inside.top() - frame.top(), frame.right() - inside.right(),
                  frame.bottom() - inside.bottom());
}

void TForm::fitFrame() {
  if (!outer_ || !isVisible()) return;
  const std::optional<QMargins> frame = realFrame();
  if (!frame) {
    // The window manager tells the frame shortly after the window maps.
    if (windowSystem_ && fitTries_-- > 0) QTimer::singleShot(25, this, [this] { fitFrame(); });
    return;
  }
  const QRect outer = *outer_;
  outer_.reset();
  const QSize inside = insideOf(outer.size(), *frame);
  if (placeOuter_ && windowSystem_) {
    setGeometry(QRect(outer.topLeft() + QPoint(frame->left(), frame->top()), inside));
  } else {
    resize(inside);
  }
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& text, int x, int y) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setGeometry(x, y, 75, 25);
  button->setAutoDefault(false);
  return button;
}

}  // namespace tapwell::ui
