#include "platform/qt/qt_tray_icon.h"

#include <QIcon>
#include <QImage>
#include <QPixmap>

namespace tapwell::platform {

QtTrayIcon::QtTrayIcon(QObject* parent) : QObject(parent), lastAvailable_(available()) {
  watch_.setInterval(1000);
  connect(&watch_, &QTimer::timeout, this, &QtTrayIcon::watch);
  watch_.start();
}

QtTrayIcon::~QtTrayIcon() {
  delete icon_;
}

bool QtTrayIcon::available() const {
  return QSystemTrayIcon::isSystemTrayAvailable();
}

void QtTrayIcon::watch() {
  const bool now = available();
  if (now == lastAvailable_)
    return;
  lastAvailable_ = now;
  if (onAvailability_)
    onAvailability_(now);
}

void QtTrayIcon::apply(const TrayImage& image, const std::string& tip) {
  const QImage pixels(reinterpret_cast<const uchar*>(image.argb.data()), image.width, image.height,
                      QImage::Format_ARGB32);
  icon_->setIcon(QIcon(QPixmap::fromImage(pixels.copy())));
  icon_->setToolTip(QString::fromStdString(tip));
}

bool QtTrayIcon::show(const TrayImage& image, const std::string& tip) {
  if (icon_ || !available())
    return false;
  icon_ = new QSystemTrayIcon;
  apply(image, tip);
  connect(icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
    const std::optional<TrayActivation> activation = ActivationOf(reason);
    if (activation && onActivated_)
      onActivated_(*activation);
  });
  icon_->show();
  return true;
}

bool QtTrayIcon::update(const TrayImage& image, const std::string& tip) {
  if (!icon_)
    return false;
  apply(image, tip);
  return true;
}

bool QtTrayIcon::hide() {
  if (!icon_)
    return false;
  icon_->hide();
  // Deleted later: the hide may come from the icon's own activation.
  icon_->deleteLater();
  icon_ = nullptr;
  return true;
}

std::optional<TrayActivation> QtTrayIcon::ActivationOf(QSystemTrayIcon::ActivationReason reason) {
  switch (reason) {
    case QSystemTrayIcon::Trigger:
      return TrayActivation::Click;
    case QSystemTrayIcon::DoubleClick:
      return TrayActivation::DoubleClick;
    case QSystemTrayIcon::Context:
      return TrayActivation::Context;
    case QSystemTrayIcon::MiddleClick:
      return TrayActivation::Middle;
    default:
      return std::nullopt;
  }
}

}  // namespace tapwell::platform
