// The key-injection backend of the session, chosen once when a run starts: the
// Wayland virtual keyboard in a Wayland session that offers it, else the
// desktop's remote control portal when the session bus has one, XTest in an X11
// session; TAPWELL_BACKEND=x11|wayland|portal overrides the choice.
#pragma once

#include <chrono>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "platform/keyboard.h"

namespace tapwell::app {

enum class BackendKind { X11, Wayland, Portal };

struct BackendPlan {
  std::vector<BackendKind> order;  // tried in turn; the first that opens is used
  std::string error;               // the override names no backend
};

// The backends to try for the values of TAPWELL_BACKEND and WAYLAND_DISPLAY
// (null when unset).
BackendPlan PlanBackends(const char* override, const char* waylandDisplay);

class KeyBackend {
 public:
  virtual ~KeyBackend() = default;
  virtual platform::Keyboard& keyboard() = 0;
  // The connection's socket: when it becomes readable, call readEvents(); -1 when
  // the backend has none to watch. A lost connection ends the program with exit
  // code 3.
  virtual int connectionFd() const = 0;
  virtual void readEvents() = 0;
  // Releases whatever is still held and closes the connection.
  virtual void shutdown() = 0;
  // A backend that keeps no timer of its own asks, through the request, to have
  // service() called once the given time has passed; one that needs none
  // ignores both.
  virtual void setWakeupRequest(std::function<void(std::chrono::milliseconds)> request) = 0;
  virtual void service() = 0;
  // A descriptor that becomes readable when typing should stop (a signal
  // arrived): a long text stops at once; -1 for none.
  virtual void setInterruptFd(int fd) = 0;
  // The name of the layout the keys follow ("us", "jp"), as the script checker
  // shows it; a backend that cannot tell assumes the US layout, as the dry run
  // does.
  virtual std::string layoutName() const { return "us"; }
  // A backend whose route can fail while the program runs (the desktop refuses
  // the keys or ends the session) reports it through the handler instead of
  // ending the program; the handler runs on the event loop, inside a key call.
  // One that cannot fail that way ignores it.
  virtual void setFailureHandler(std::function<void(const std::string&)> handler) = 0;
};

struct OpenedBackend {
  std::unique_ptr<KeyBackend> backend;
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
