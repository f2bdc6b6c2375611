// What the window manager does to top-level windows that the toolkit does not
// tell reliably: the frame it draws around them, and the taskbar states.
#pragma once

#include <optional>

namespace tapwell::platform {

// The widths of a window's frame on each side, in pixels.
struct FrameExtents {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

class WindowSystem {
 public:
  virtual ~WindowSystem() = default;

  // Asks the window manager to tell the frame of a window that is not mapped yet,
  // so that it is known before the window shows.
  virtual void requestFrameExtents(unsigned long window) = 0;

  // The frame around a top-level window (a native window id): nothing while the
  // window manager has not told it yet; no frame at all without a window manager.
  virtual std::optional<FrameExtents> frameExtents(unsigned long window) = 0;

  // Keeps a top-level window out of the taskbar and the task switcher, or lets
  // it back in; mapped says whether the window is on the screen.
  virtual void setSkipTaskbar(unsigned long window, bool mapped, bool skip) = 0;
};

}  // namespace tapwell::platform
