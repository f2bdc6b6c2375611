// The one driver of the end-to-end and fault tests: child processes, a private
// Xvfb server per test, the receiving windows, the real program with a home of
// its own, a tray host, and a connection of the test's own that looks at the
// server. Every wait polls a condition with a bound and fails with what it saw.
#pragma once

#include <sys/types.h>

#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

struct _XDisplay;

namespace xs {

using Strings = std::vector<std::string>;

// The bound of a wait for something the program or the server does: generous, so
// that a loaded machine never hits it, short enough that a fault fails the test.
inline constexpr int kWaitMs = 20000;

// Polls until pred holds or timeoutMs have passed; whether it held.
bool WaitUntil(const std::function<bool()>& pred, int timeoutMs = kWaitMs);

// The events of one key stroke in a receiver's log, and several logs in a row.
Strings Stroke(const std::string& name);
Strings Join(std::initializer_list<Strings> parts);

// UTF-8 of a text given by code points.
std::string Utf8(const std::u32string& text);

// The environment of this process with changes: "NAME=VALUE" sets, "NAME" unsets.
Strings Environment(const Strings& changes);

// A child process whose standard output (as lines) and error are collected.
class Child {
 public:
  static std::unique_ptr<Child> Start(const Strings& argv, const Strings& env);
  ~Child();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  // Reads output until a line satisfies pred or the time is up; true when found.
  bool waitForLine(const std::function<bool(const std::string&)>& pred, int timeoutMs = kWaitMs);
  // Reads output until standard error holds text or the time is up; true when it does.
  bool waitForError(const std::string& text, int timeoutMs = kWaitMs);
  // Reads what the process has written so far, without waiting, so that its pipes
  // never fill up.
  void drain();
  // Waits for the end of the process and of its output: the exit code, 128 + the
  // signal number when it was killed, -1 when the time ran out.
  int wait(int timeoutMs = kWaitMs);
  void signal(int signo);

  pid_t pid() const { return pid_; }
  const Strings& lines() const { return lines_; }
  const std::string& errText() const { return err_; }

 private:
  Child() = default;
  bool readSome(int timeoutMs);
  pid_t pid_ = -1;
  int outFd_ = -1;
  int errFd_ = -1;
  int status_ = -1;
  bool exited_ = false;
  std::string outPartial_;
  Strings lines_;
  std::string err_;
};

struct Result {
  int code = -1;
  std::string out;
  std::string err;
};

// Runs a program to its end (at most timeoutMs).
Result Run(const Strings& argv, const Strings& env, int timeoutMs = kWaitMs);

// A private Xvfb server, started with -noreset, on a display number that the
// server itself finds free (-displayfd), so that parallel tests never clash.
class XServer {
 public:
  // Nothing, with the reason in why, when no server can be started.
  static std::unique_ptr<XServer> Start(std::string& why, const Strings& extraArgs = {});
  ~XServer();
  XServer(const XServer&) = delete;
  XServer& operator=(const XServer&) = delete;

  const std::string& name() const { return name_; }
  // The environment for a client of this server.
  Strings env(Strings more = {}) const;
  // setxkbmap on this server; true on success.
  bool setLayout(const std::string& model, const std::string& layout);
  // Ends the server now.
  void kill();

 private:
  XServer() = default;
  pid_t pid_ = -1;
  std::string name_;
};

struct Event {
  std::string kind;  // press, release, button-press, button-release
  std::string name;  // keysym name, or the button number
  unsigned code = 0;
  unsigned long time = 0;
};

// The receiving window, focused and under the pointer.
class Receiver {
 public:
  static std::unique_ptr<Receiver> Start(const XServer& server, std::string& why);
  // Asks the window to end after the events it has received, and returns them.
  std::vector<Event> finish();
  // Waits until a line of the receiver contains text.
  bool waitFor(const std::string& text, int timeoutMs = kWaitMs);
  unsigned long window() const { return window_; }

 private:
  std::unique_ptr<Child> child_;
  std::string display_;
  unsigned long window_ = 0;
};

// "press a", "release a", "button-press 1": the events without codes and times.
Strings Names(const std::vector<Event>& events);

// The program under test and the receivers.
std::string TapwellPath();
std::string ReceiverPath();
std::string QtReceiverPath();

// Whether this is continuous integration, where every tool is installed.
bool InCi();

// A helper program (xdotool, trayer, setxkbmap) by name, or empty when it is not
// installed.
std::string Tool(const std::string& name);

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

// Runs the real program to its end with args on server, with environment changes.
Result RunTapwell(const XServer& server, const Strings& args, const Strings& env = {},
                  int timeoutMs = kWaitMs);

// The windowed program on server, with a home, settings and data folder of its
// own (changes in env come after and win), no session bus (the tray icon docks by
// the X11 protocol) and Qt's X11 platform.
struct Gui {
  std::unique_ptr<TempFolder> home;
  std::unique_ptr<Child> child;
  static Gui Start(const XServer& server, const Strings& args = {}, const Strings& env = {});
  // What the program has written so far.
  void drain() { child->drain(); }
};

// A tray host (trayer) on server, in the top right corner; args are added to the
// defaults. Nothing when it is not installed.
std::unique_ptr<Child> StartTrayer(const XServer& server, const Strings& args = {});

// Presses and releases keys and the mouse through xdotool; true on success.
bool Xdotool(const XServer& server, const Strings& args);
// A left click at a place on the screen.
bool Click(const XServer& server, int x, int y);

// A connection of the test's own to a server.
class Observer {
 public:
  explicit Observer(const XServer& server);
  ~Observer();
  Observer(const Observer&) = delete;
  Observer& operator=(const Observer&) = delete;

  bool ok() const { return display_ != nullptr; }
  // The Xlib Display*.
  _XDisplay* display() const { return display_; }
  // The keycodes that the server has down now.
  std::vector<unsigned> keysDown();
  // Whether a mouse button is down now.
  bool buttonDown();
  // The whole keyboard mapping, one keysym list per keycode.
  std::vector<unsigned long> keymap();
  // The keycodes that carry keysym anywhere in their list.
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
  // Whether the window is mapped and viewable.
  bool viewable(unsigned long window);
  // The atom names of the window's _NET_WM_STATE.
  Strings netWmState(unsigned long window);
  // Whether the tray selection of screen 0 has an owner.
  bool trayHostPresent();
  // Asks the window to close as a window manager's close button does.
  void requestClose(unsigned long window);
  // Gives the window the input focus; true once the server has done it.
  bool focus(unsigned long window);
  // The window's position on the screen and its size.
  struct Geometry {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
  };
  Geometry geometry(unsigned long window);
  // The window manager's frame around a client window from its _NET_FRAME_EXTENTS:
  // left, right, top, bottom; empty while the manager has not set it.
  std::vector<long> frameExtents(unsigned long window);
  // Whether a window manager that follows the extended hints runs on the screen.
  bool windowManagerPresent();

 private:
  _XDisplay* display_ = nullptr;
};

}  // namespace xs

// Starts a private X server into `var`, or skips the test with the reason (fails
// it under CI, which always has Xvfb).
#define XS_START_X(var)                                              \
  std::string var##_why;                                             \
  auto var = xs::XServer::Start(var##_why);                          \
  if (!var) {                                                        \
    if (xs::InCi()) FAIL() << "no X server under CI: " << var##_why; \
    GTEST_SKIP() << "no X server can be started: " << var##_why;     \
  }

// Skips the test (fails it under CI) when a helper program is missing.
#define XS_NEED_TOOL(var, name)                                            \
  const std::string var = xs::Tool(name);                                  \
  if (var.empty()) {                                                       \
    if (xs::InCi()) FAIL() << name << " is not installed";                 \
    GTEST_SKIP() << name << " is not installed (scripts/install-deps.sh)"; \
  }
