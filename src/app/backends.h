// The key-injection backend of the session, chosen once when a run starts: the
// Wayland virtual keyboard in a Wayland session that offers it, else the
// desktop's remote control portal when the session bus has one, XTest in an X11
// session; TAPWELL_BACKEND=x11|wayland|portal overrides the choice.
#pragma once

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "platform/key_backend.h"

namespace tapwell::app {

enum class BackendKind { X11, Wayland, Portal };

struct BackendPlan {
  std::vector<BackendKind> order;  // tried in turn; the first that opens is used
  std::string error;               // the override names no backend
};

// The backends to try for the values of TAPWELL_BACKEND and WAYLAND_DISPLAY
// (null when unset).
BackendPlan PlanBackends(const char* override, const char* waylandDisplay);

struct OpenedBackend {
  std::unique_ptr<platform::KeyBackend> backend;
  std::string error;                    // why there is none, naming what is missing
  int exitCode = 0;                     // the exit code when there is none
  BackendKind kind = BackendKind::X11;  // the backend that opened
};

// What the backend is told of the scripts ahead when it opens.
struct KeyBackendOptions {
  // They send mouse buttons: a backend that makes its pointer device only when
  // needed makes it before the first script starts. Otherwise it is made at the
  // first button, if any.
  bool usesMouseButtons = false;
};

// Opens the backend of this session; the portal needs a QCoreApplication to
// exist already. When XTest is the only route in a Wayland
// session, says once on err that keys reach XWayland windows only.
OpenedBackend OpenKeyBackend(std::ostream& err, const KeyBackendOptions& options = {});

}  // namespace tapwell::app
