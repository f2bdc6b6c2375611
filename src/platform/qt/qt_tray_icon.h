// The tray icon over QSystemTrayIcon.
#pragma once

#include <QObject>
#include <QSystemTrayIcon>
#include <QTimer>
#include <optional>

#include "platform/tray_icon.h"

namespace tapwell::platform {

// One QSystemTrayIcon while the icon is shown. The toolkit tells nobody when a
// tray host comes or goes, so its presence is looked at once a second; that is
// the one timer that watches the tray.
class QtTrayIcon : public QObject, public TrayIcon {
  Q_OBJECT
 public:
  explicit QtTrayIcon(QObject* parent = nullptr);
  ~QtTrayIcon() override;

  bool available() const override;
  bool show(const TrayImage& image, const std::string& tip) override;
  bool update(const TrayImage& image, const std::string& tip) override;
  bool hide() override;
  void setActivationHandler(ActivationHandler handler) override { onActivated_ = std::move(handler); }
  void setAvailabilityHandler(AvailabilityHandler handler) override { onAvailability_ = std::move(handler); }

  // The activation that the toolkit's reason stands for; none for an unknown one.
  static std::optional<TrayActivation> ActivationOf(QSystemTrayIcon::ActivationReason reason);

 private:
  void apply(const TrayImage& image, const std::string& tip);
  void watch();

  QSystemTrayIcon* icon_ = nullptr;
  QTimer watch_;
  bool lastAvailable_ = false;
  ActivationHandler onActivated_;
  AvailabilityHandler onAvailability_;
};

}  // namespace tapwell::platform
