// The emergency stop key: a key taken from every other program while a script
// runs, whose press ends the script at once.
#pragma once

#include <functional>
#include <string>

namespace tapwell::platform {

class StopKey {
 public:
  virtual ~StopKey() = default;

  // Takes the key. False, with the reason in why, when it cannot be taken (another
  // program holds it); arming an armed key changes nothing.
  virtual bool arm(std::string& why) = 0;
  // Gives the key back to the other programs; nothing when it is not armed.
  virtual void disarm() = 0;
  virtual bool armed() const = 0;
  // Called when the key is pressed while it is armed (presses that arrive
  // together, such as auto-repeats, count once). The keyboard is free again by
  // then: the key's release may reach the focused window.
  virtual void setHandler(std::function<void()> onPress) = 0;
};

}  // namespace tapwell::platform
