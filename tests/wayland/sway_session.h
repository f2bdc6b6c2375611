// A private headless sway compositor for the Wayland tests, a keyboard on its
// seat, and the receiving Qt window as a native Wayland client.
#pragma once

#include <sys/types.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "x_session.h"

struct wl_display;
struct wl_seat;
struct wl_keyboard;
#include "platform/wayland/wayland_keyboard.h"

namespace wl {

class Sway {
 public:
  // Nothing, with the reason in why, when sway cannot be started. A compositor
  // refuses to run as root: as root it runs as nobody, with its own runtime
  // folder; clients running as root still connect.
  // config: lines added to the compositor's configuration; env: "NAME=VALUE"
  // added to its environment (and so to the programs it starts).
  static std::unique_ptr<Sway> Start(std::string& why, const std::string& config = {},
                                     const std::vector<std::string>& env = {});
  ~Sway();

  const std::string& socket() const { return socket_; }
  // The IPC socket for swaymsg; empty when there is none.
  std::string ipcSocket() const;
  // The environment of a client of this compositor: no X display unless given.
  std::vector<std::string> env(std::vector<std::string> more = {}) const;

  // Puts a keyboard with the XKB layout on the seat and keeps it there: a seat
  // has none until a virtual keyboard exists, and clients pick a keyboard up
  // asynchronously, so one is there before the receiver starts.
  bool addKeyboard(const std::string& layout, std::string& why);

  // Ends the compositor now.
  void kill();
  // Whether the compositor is still running (it has not crashed).
  bool alive();
  // What it wrote to its log so far.
  std::string log() const;

  // The path of the compositor's socket, for clients that connect by path.
  std::string socketPath() const { return dir_ + "/run/" + socket_; }

 private:
  pid_t pid_ = -1;
  std::string dir_;
  std::string socket_;
  std::unique_ptr<tapwell::platform::wayland::WaylandKeyboard> keyboard_;
};

// The Qt line edit on the compositor, focused.
class Receiver {
 public:
  // bulk: the receiver's --bulk mode.
  static std::unique_ptr<Receiver> Start(const Sway& sway, std::string& why, bool bulk = false);
  // Waits until the receiver printed a line equal to line; true when it did.
  bool waitFor(const std::string& line, int timeoutMs = 10000);
  // Waits until the lines printed after "ready" satisfy pred; true when they did.
  bool waitForEvents(const std::function<bool(const std::vector<std::string>&)>& pred, int timeoutMs = 10000);
  // The lines printed so far after "ready".
  std::vector<std::string> events() const;
  // What it wrote on standard error so far.
  const std::string& errors() const { return child_->errText(); }

 private:
  std::unique_ptr<xs::Child> child_;
};

// A client of the compositor that keeps the keymaps the seat's keyboard sends
// it: the keymap of whichever keyboard last typed, as every client gets it; and
// the seat's capabilities as they change (a pointer or keyboard device that
// comes or goes).
class KeymapWatcher {
 public:
  static std::unique_ptr<KeymapWatcher> Start(const Sway& sway, std::string& why);
  ~KeymapWatcher();
  // Reads what has arrived without waiting; the keymaps so far, oldest first.
  const std::vector<std::string>& keymaps();
  // Reads what has arrived without waiting; the capabilities so far, oldest first.
  const std::vector<std::uint32_t>& capabilities();

 private:
  KeymapWatcher() = default;
  wl_display* display_ = nullptr;
  wl_seat* seat_ = nullptr;
  wl_keyboard* keyboard_ = nullptr;
  std::vector<std::string> keymaps_;
  std::vector<std::uint32_t> capabilities_;
  friend struct WatcherListeners;
};

bool SwayInstalled();

}  // namespace wl

// Starts a private sway into `var`, or skips the test when sway is not installed
// (fails it when CI=true: continuous integration installs it).
#define WL_START_SWAY(var)                                      \
  if (!wl::SwayInstalled()) {                                   \
    if (xs::InCi()) FAIL() << "sway is not installed under CI"; \
    GTEST_SKIP() << "sway is not installed (Debian: sway)";     \
  }                                                             \
  std::string var##_why;                                        \
  auto var = wl::Sway::Start(var##_why);                        \
  ASSERT_TRUE(var) << var##_why;
