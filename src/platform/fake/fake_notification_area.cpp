#include "platform/fake/fake_notification_area.h"

namespace tapwell::fake {

using platform::NotifyIconMessage;

std::uintptr_t RecordingNotificationArea::CreateMessageWindow(Receiver receiver) {
  const std::uintptr_t window = nextWindow_++;
  windows_[window] = std::move(receiver);
  return window;
}

void RecordingNotificationArea::DestroyMessageWindow(std::uintptr_t window) {
  windows_.erase(window);
}

bool RecordingNotificationArea::Shell_NotifyIconA(NotifyIconMessage message,
                                                  const platform::NotifyIconData& data) {
  calls.push_back({message, data});
  const auto key = std::make_pair(data.hWnd, data.uID);
  const bool present = icons_.count(key) != 0;
  switch (message) {
    case NotifyIconMessage::Add:
      if (refuseAdd || !isAvailable || present)
        return false;
      icons_[key] = data;
      return true;
    case NotifyIconMessage::Modify:
      if (refuseModify || !present)
        return false;
      icons_[key] = data;
      return true;
    case NotifyIconMessage::Delete:
      if (refuseDelete || !present)
        return false;
      icons_.erase(key);
      return true;
  }
  return false;
}

std::intptr_t RecordingNotificationArea::send(std::uintptr_t window, std::uint32_t message,
                                              std::uintptr_t wParam, std::intptr_t lParam) {
  auto it = windows_.find(window);
  if (it == windows_.end())
    return 0;
  // A copy: the receiver may destroy its own window.
  Receiver receiver = it->second;
  return receiver(message, wParam, lParam);
}

std::intptr_t RecordingNotificationArea::click(std::intptr_t mouseMessage) {
  const platform::NotifyIconData* shown = icon();
  if (!shown)
    return 0;
  return send(shown->hWnd, shown->uCallbackMessage, shown->uID, mouseMessage);
}

const platform::NotifyIconData* RecordingNotificationArea::icon() const {
  return icons_.empty() ? nullptr : &icons_.begin()->second;
}

}  // namespace tapwell::fake
