// The window manager's frames and taskbar states over Xlib and the extended
// window manager hints.
#pragma once

#include "platform/window_system.h"

typedef struct _XDisplay Display;

namespace tapwell::platform::x11 {

class X11WindowSystem : public WindowSystem {
 public:
  // Uses the display connection of the toolkit; does not own it.
  explicit X11WindowSystem(Display* display) : display_(display) {}

  void requestFrameExtents(unsigned long window) override;
  std::optional<FrameExtents> frameExtents(unsigned long window) override;
  void setSkipTaskbar(unsigned long window, bool mapped, bool skip) override;

 private:
  // Whether a window manager that follows the extended hints runs now.
  bool windowManagerRuns();

  Display* display_;
};

}  // namespace tapwell::platform::x11
