// Starting the program at login.
#pragma once

namespace tapwell::platform {

class Autostart {
 public:
  virtual ~Autostart() = default;
  // Whether the program starts at login.
  virtual bool enabled() const = 0;
  // Makes it start at login, or not; raises EInOutError naming the file on
  // failure.
  virtual void setEnabled(bool on) = 0;
};

}  // namespace tapwell::platform
