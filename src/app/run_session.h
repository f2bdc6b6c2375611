// One session of key injection on the event loop, as `--run` and the windows
// both hold it: the key backend of the session, the signals that release the
// held keys and end the loop, the interrupt descriptor that cuts a long text
// short, the backend's wake-ups and socket, its failures, the stop key, and
// the shutdown at the end.
#pragma once

#include <QSocketNotifier>
#include <QTimer>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>

#include "app/backends.h"
#include "platform/key_backend.h"
#include "platform/stop_key.h"

namespace tapwell::platform::x11 {
class X11StopKey;
}

namespace tapwell::app {

class SignalWatcher;

class RunSession {
 public:
  struct Hooks {
    // Lets go of every key the script holds: on a signal, before the event
    // loop ends with 128 + the signal number, and at shutdown.
    std::function<void()> releaseHeldKeys;
    // The route failed (the desktop refused the keys or ended its session, the
    // connection was lost); the entry decides what follows. Called on the event
    // loop, possibly inside one of the script's key calls: it must not step or
    // release keys itself.
    std::function<void(const std::string& reason)> failed;
  };

  // Opens the key backend of the session; notices (keys that reach XWayland
  // windows only) go to notices. A QCoreApplication must exist already.
  explicit RunSession(std::ostream& notices, const KeyBackendOptions& options = {});
  // Shuts down, if that has not been done.
  ~RunSession();
  RunSession(const RunSession&) = delete;
  RunSession& operator=(const RunSession&) = delete;

  // Whether a backend opened; otherwise why not and the exit code that says so.
  bool opened() const { return opened_.backend != nullptr; }
  const std::string& error() const { return opened_.error; }
  int exitCode() const { return opened_.exitCode; }
  BackendKind kind() const { return opened_.kind; }
  platform::KeyBackend& backend() { return *opened_.backend; }

  // Starts serving the opened backend on the event loop with the hooks.
  void serve(Hooks hooks);

  // The emergency stop key of the session's display, on a connection of its
  // own that the event loop reads: only an X server lends a key to grab. Null
  // where there is none: why is then empty where the session has no such key,
  // and says why when it could not be had.
  platform::StopKey* openStopKey(std::string& why);

  // Disarms the stop key, releases the held keys, restores what the backend
  // changed and closes its connection. Called while the application object
  // still exists; the first call does it.
  void shutdown();

 private:
  OpenedBackend opened_;
  Hooks hooks_;
  std::unique_ptr<SignalWatcher> signals_;
  QTimer wakeup_;
  std::unique_ptr<QSocketNotifier> socket_;
  std::unique_ptr<platform::x11::X11StopKey> stopKey_;
  std::unique_ptr<QSocketNotifier> stopKeySocket_;
  bool shutDown_ = false;
};

}  // namespace tapwell::app
