// The stop key on an X server: Pause, grabbed on the root window over a
// connection of its own, with any modifiers (a script may hold Shift or Ctrl when
// the user reaches for it).
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/stop_key.h"

struct _XDisplay;

namespace tapwell::platform::x11 {

class X11StopKey final : public StopKey {
 public:
  // Connects to the display named by DISPLAY; nothing, with the reason in why,
  // when it cannot be reached.
  static std::unique_ptr<X11StopKey> Open(std::string& why);
  ~X11StopKey() override;
  X11StopKey(const X11StopKey&) = delete;
  X11StopKey& operator=(const X11StopKey&) = delete;

  bool arm(std::string& why) override;
  void disarm() override;
  bool armed() const override { return armed_; }
  void setHandler(std::function<void()> onPress) override { onPress_ = std::move(onPress); }

  // The socket of the connection: when it becomes readable, call readEvents().
  int connectionFd() const;
  // Handles the events that have arrived; calls the handler for a press.
  void readEvents();

 private:
  explicit X11StopKey(_XDisplay* display);
  // Grabs the key with each of the modifier sets; false when the server refused
  // one of them, which are then all given back.
  bool grab(const unsigned* modifiers, int count);
  void ungrab();

  _XDisplay* display_ = nullptr;
  unsigned long root_ = 0;
  int keycode_ = 0;
  bool anyModifier_ = false;
  unsigned lockModifiers_[8] = {};
  int lockCount_ = 0;
  bool armed_ = false;
  std::function<void()> onPress_;
};

}  // namespace tapwell::platform::x11
