#include "ui/forms.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>

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

}  // namespace tapwell::ui
