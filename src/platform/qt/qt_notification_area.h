// The notification area over QSystemTrayIcon.
#pragma once

#include <QIcon>
#include <QObject>
#include <QSystemTrayIcon>
#include <map>
#include <memory>
#include <vector>

#include "platform/notification_area.h"

namespace tapwell::platform {

// The image kind that this backend shows.
class QtIconImage : public IconImage {
 public:
  QtIconImage() = default;
  explicit QtIconImage(QIcon icon) : icon_(std::move(icon)) {}
  bool empty() const override { return icon_.isNull(); }
  const QIcon& icon() const { return icon_; }
  void assign(const QIcon& icon) { icon_ = icon; }

 private:
  QIcon icon_;
};

// One QSystemTrayIcon per icon. An add is refused while no system tray is
// available; activations come back as the mouse messages of a click: a left click
// as button-down then button-up, a double click (which follows the click's own
// activation) as the double-click message alone, the right and middle buttons as
// their down and up messages.
class QtNotificationArea : public QObject, public NotificationArea {
  Q_OBJECT
 public:
  explicit QtNotificationArea(QObject* parent = nullptr);
  ~QtNotificationArea() override;

  std::uintptr_t CreateMessageWindow(Receiver receiver) override;
  void DestroyMessageWindow(std::uintptr_t window) override;
  bool Shell_NotifyIconA(NotifyIconMessage message, const NotifyIconData& data) override;
  bool available() const override;
  ScreenPoint GetCursorPos() const override;
  bool keyDown(std::uint8_t vk) const override;

  // The mouse messages that one activation of an icon stands for.
  static std::vector<std::intptr_t> MouseMessages(QSystemTrayIcon::ActivationReason reason);

 private:
  struct Icon {
    std::unique_ptr<QSystemTrayIcon> tray;
    std::uint32_t callbackMessage = 0;
  };
  void activated(std::uintptr_t window, std::uint32_t id, QSystemTrayIcon::ActivationReason reason);
  void apply(Icon& icon, const NotifyIconData& data);

  std::map<std::uintptr_t, Receiver> windows_;
  std::map<std::pair<std::uintptr_t, std::uint32_t>, Icon> icons_;
  std::uintptr_t nextWindow_ = 1;
};

}  // namespace tapwell::platform
