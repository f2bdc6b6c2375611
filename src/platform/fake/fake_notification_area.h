// A recording notification area for tests: it records every call, can refuse
// any of them, and delivers mouse messages on request.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <vector>

#include "platform/notification_area.h"

namespace tapwell::fake {

class FakeIconImage : public platform::IconImage {
 public:
  explicit FakeIconImage(bool isEmpty = false) : empty_(isEmpty) {}
  bool empty() const override { return empty_; }

 private:
  bool empty_;
};

class RecordingNotificationArea : public platform::NotificationArea {
 public:
  struct Call {
    platform::NotifyIconMessage message;
    platform::NotifyIconData data;
  };

  std::uintptr_t CreateMessageWindow(Receiver receiver) override;
  void DestroyMessageWindow(std::uintptr_t window) override;
  bool Shell_NotifyIconA(platform::NotifyIconMessage message, const platform::NotifyIconData& data) override;
  bool available() const override { return isAvailable; }
  platform::ScreenPoint GetCursorPos() const override { return cursor; }
  bool keyDown(std::uint8_t vk) const override {
    keysAsked.push_back(vk);
    return keysDown.count(vk) != 0;
  }

  // Delivers a message to a message window, as the notification area does;
  // returns the message's result.
  std::intptr_t send(std::uintptr_t window, std::uint32_t message, std::uintptr_t wParam,
                     std::intptr_t lParam);
  // The callback message of the one icon shown, with the mouse message in lParam.
  std::intptr_t click(std::intptr_t mouseMessage);

  int windowCount() const { return static_cast<int>(windows_.size()); }
  bool hasIcon() const { return !icons_.empty(); }
  // The icon as the area holds it (the first one when there are several).
  const platform::NotifyIconData* icon() const;

  std::vector<Call> calls;
  bool isAvailable = true;
  bool refuseAdd = false;
  bool refuseModify = false;
  bool refuseDelete = false;
  platform::ScreenPoint cursor;
  std::set<std::uint8_t> keysDown;
  mutable std::vector<std::uint8_t> keysAsked;

 private:
  std::map<std::uintptr_t, Receiver> windows_;
  std::map<std::pair<std::uintptr_t, std::uint32_t>, platform::NotifyIconData> icons_;
  std::uintptr_t nextWindow_ = 1;
};

}  // namespace tapwell::fake
