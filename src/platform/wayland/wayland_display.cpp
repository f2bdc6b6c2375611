#include "platform/wayland/wayland_display.h"

#include <wayland-client.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace tapwell::platform::wayland {

std::string WaylandDisplayProblem() {
  const char* name = std::getenv("WAYLAND_DISPLAY");
  if (name == nullptr || *name == '\0') return "WAYLAND_DISPLAY is not set.";
  wl_display* display = wl_display_connect(nullptr);
  if (display == nullptr) {
    return "cannot connect to the Wayland display \"" + std::string(name) + "\" (" + std::strerror(errno) +
           "); check WAYLAND_DISPLAY and XDG_RUNTIME_DIR.";
  }
  wl_display_disconnect(display);
  return {};
}

}  // namespace tapwell::platform::wayland
