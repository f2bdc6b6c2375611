// What the fault tests look at from outside the program: the X server's key
// state and keymap, the windows of a process, a tray host, temporary folders.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "e2e_support.h"

struct _XDisplay;

namespace faults {

using Strings = std::vector<std::string>;

// Runs the real program with args on server, with more environment changes.
e2e::Result RunTapwell(const e2e::XServer& server, const Strings& args, const Strings& env = {},
                       int timeoutMs = 60000);

// A connection of the test's own to a server.
class Observer {
 public:
  explicit Observer(const e2e::XServer& server);
  ~Observer();
  Observer(const Observer&) = delete;
  Observer& operator=(const Observer&) = delete;

  bool ok() const { return display_ != nullptr; }
  // The keycodes that the server has down now.
  std::vector<unsigned> keysDown();
  // Whether a mouse button is down now.
  bool buttonDown();
  // The whole keyboard mapping, one keysym list per keycode.
  std::vector<unsigned long> keymap();
  // The keycodes whose first symbol is keysym.
  std::vector<unsigned> keycodesOf(unsigned long keysym);
  // Top-level windows whose _NET_WM_PID is pid: their ids.
  std::vector<unsigned long> windowsOf(pid_t pid);
  // The windows of pid that are children of another client's window (an icon
  // docked in a tray), anywhere in the tree.
  std::vector<unsigned long> embeddedWindowsOf(pid_t pid);
  // A viewable window of pid with this exact title; 0 when there is none.
  unsigned long viewableWindowNamed(pid_t pid, const std::string& title);
  // Every viewable window of pid with this exact title.
  std::vector<unsigned long> viewableWindowsNamed(pid_t pid, const std::string& title);
  // Whether any window of pid with this title exists (mapped or not).
  bool hasWindowNamed(pid_t pid, const std::string& title);
  // The atom names of the window's _NET_WM_STATE.
  std::vector<std::string> netWmState(unsigned long window);
  // Whether the tray selection of screen 0 has an owner.
  bool trayHostPresent();
  // Asks the window to close as a window manager's close button does.
  void requestClose(unsigned long window);
  // The window's position on the screen and its size.
  struct Geometry {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
  };
  Geometry geometry(unsigned long window);

 private:
  _XDisplay* display_ = nullptr;
};

// The program's windows as a user meets them.
struct Gui {
  std::unique_ptr<e2e::Child> child;
  // Starts the windowed program (args such as "--tray") on server.
  static Gui Start(const e2e::XServer& server, const Strings& args, const Strings& env = {});
  // Reads what the program has written so far, for up to ms.
  void pump(int ms = 50);
};

// Presses and releases keys and the mouse through xdotool.
bool Xdotool(const e2e::XServer& server, const Strings& args);

// Polls until pred holds or the time is up.
bool WaitUntil(const std::function<bool()>& pred, int timeoutMs, int stepMs = 50);

// A temporary folder that is removed with everything in it.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

void WriteFile(const std::string& path, const std::string& bytes, unsigned mode = 0644);
std::string ReadFile(const std::string& path);

// A helper program (xdotool, trayer) by name, or empty when it is not installed.
std::string Tool(const std::string& name);

}  // namespace faults

// Skips the test (fails it under CI) when a helper program is missing.
#define FAULTS_NEED_TOOL(var, name)                                        \
  const std::string var = faults::Tool(name);                              \
  if (var.empty()) {                                                       \
    if (e2e::InCi()) FAIL() << name << " is not installed";                \
    GTEST_SKIP() << name << " is not installed (scripts/install-deps.sh)"; \
  }
