#include "platform/qt/qt_notification_area.h"

#include <QCursor>
#include <QGuiApplication>
#include <QPointer>

namespace tapwell::platform {

QtNotificationArea::QtNotificationArea(QObject* parent) : QObject(parent) {}

QtNotificationArea::~QtNotificationArea() = default;

std::uintptr_t QtNotificationArea::CreateMessageWindow(Receiver receiver) {
  const std::uintptr_t window = nextWindow_++;
  windows_[window] = std::move(receiver);
  return window;
}

void QtNotificationArea::DestroyMessageWindow(std::uintptr_t window) {
  windows_.erase(window);
  // Icons left behind by the window go with it.
  for (auto it = icons_.begin(); it != icons_.end();) {
    it = it->first.first == window ? icons_.erase(it) : std::next(it);
  }
}

bool QtNotificationArea::available() const {
  return QSystemTrayIcon::isSystemTrayAvailable();
}

void QtNotificationArea::apply(Icon& icon, const NotifyIconData& data) {
  if (data.uFlags & NIF_ICON) {
    const auto* image = dynamic_cast<const QtIconImage*>(data.hIcon);
    icon.tray->setIcon(image ? image->icon() : QIcon());
  }
  if (data.uFlags & NIF_TIP)
    icon.tray->setToolTip(QString::fromStdString(data.szTip));
  if (data.uFlags & NIF_MESSAGE)
    icon.callbackMessage = data.uCallbackMessage;
}

bool QtNotificationArea::Shell_NotifyIconA(NotifyIconMessage message, const NotifyIconData& data) {
  const auto key = std::make_pair(data.hWnd, data.uID);
  auto it = icons_.find(key);
  switch (message) {
    case NotifyIconMessage::Add: {
      if (it != icons_.end() || !available() || windows_.count(data.hWnd) == 0)
        return false;
      Icon icon;
      icon.tray = std::make_unique<QSystemTrayIcon>();
      apply(icon, data);
      const std::uintptr_t window = data.hWnd;
      const std::uint32_t id = data.uID;
      connect(
          icon.tray.get(), &QSystemTrayIcon::activated, this,
          [this, window, id](QSystemTrayIcon::ActivationReason reason) { activated(window, id, reason); });
      icon.tray->show();
      icons_[key] = std::move(icon);
      return true;
    }
    case NotifyIconMessage::Modify:
      if (it == icons_.end())
        return false;
      apply(it->second, data);
      return true;
    case NotifyIconMessage::Delete:
      if (it == icons_.end())
        return false;
      it->second.tray->hide();
      // Deleted later: the deletion may come from the icon's own activation.
      it->second.tray.release()->deleteLater();
      icons_.erase(it);
      return true;
  }
  return false;
}

std::vector<std::intptr_t> QtNotificationArea::MouseMessages(QSystemTrayIcon::ActivationReason reason) {
  switch (reason) {
    case QSystemTrayIcon::Trigger:
      return {WM_LBUTTONDOWN, WM_LBUTTONUP};
    case QSystemTrayIcon::DoubleClick:
      // Follows the Trigger of the click that began it.
      return {WM_LBUTTONDBLCLK};
    case QSystemTrayIcon::Context:
      return {WM_RBUTTONDOWN, WM_RBUTTONUP};
    case QSystemTrayIcon::MiddleClick:
      return {WM_MBUTTONDOWN, WM_MBUTTONUP};
    default:
      return {};
  }
}

void QtNotificationArea::activated(std::uintptr_t window, std::uint32_t id,
                                   QSystemTrayIcon::ActivationReason reason) {
  const std::vector<std::intptr_t> codes = MouseMessages(reason);
  QPointer<QtNotificationArea> alive(this);
  for (const std::intptr_t code : codes) {
    // Each message may change the icons or end the window: look both up afresh.
    if (!alive)
      return;
    auto w = windows_.find(window);
    auto icon = icons_.find({window, id});
    if (w == windows_.end() || icon == icons_.end())
      return;
    Receiver receiver = w->second;
    receiver(icon->second.callbackMessage, id, code);
  }
}

ScreenPoint QtNotificationArea::GetCursorPos() const {
  const QPoint p = QCursor::pos();
  return {p.x(), p.y()};
}

bool QtNotificationArea::keyDown(std::uint8_t vk) const {
  const Qt::KeyboardModifiers modifiers = QGuiApplication::queryKeyboardModifiers();
  const Qt::MouseButtons buttons = QGuiApplication::mouseButtons();
  switch (vk) {
    case VK_SHIFT:
      return modifiers & Qt::ShiftModifier;
    case VK_CONTROL:
      return modifiers & Qt::ControlModifier;
    case VK_MENU:
      return modifiers & Qt::AltModifier;
    case VK_LBUTTON:
      return buttons & Qt::LeftButton;
    case VK_RBUTTON:
      return buttons & Qt::RightButton;
    case VK_MBUTTON:
      return buttons & Qt::MiddleButton;
    default:
      return false;
  }
}

}  // namespace tapwell::platform
