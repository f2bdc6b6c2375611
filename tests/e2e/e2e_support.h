// Processes, a private Xvfb server and the receiving window for the end-to-end
// tests.
#pragma once

#include <sys/types.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace e2e {

// The environment of this process with changes: "NAME=VALUE" sets, "NAME" unsets.
std::vector<std::string> Environment(const std::vector<std::string>& changes);

// A child process whose standard output and error are collected.
class Child {
 public:
  static std::unique_ptr<Child> Start(const std::vector<std::string>& argv,
                                      const std::vector<std::string>& env);
  ~Child();

  // Reads output until a line satisfies pred or the time is up; true when found.
  bool waitForLine(const std::function<bool(const std::string&)>& pred, int timeoutMs);
  // Waits for the end of the process and of its output: the exit code, 128 + the
  // signal number when it was killed, -1 when the time ran out.
  int wait(int timeoutMs);
  void signal(int signo);

  pid_t pid() const { return pid_; }
  const std::vector<std::string>& lines() const { return lines_; }
  const std::string& errText() const { return err_; }

 private:
  bool readSome(int timeoutMs);
  pid_t pid_ = -1;
  int outFd_ = -1;
  int errFd_ = -1;
  int status_ = -1;
  bool exited_ = false;
  std::string outPartial_;
  std::vector<std::string> lines_;
  std::string err_;
};

struct Result {
  int code = -1;
  std::string out;
  std::string err;
};

// Runs a program to its end (at most timeoutMs).
Result Run(const std::vector<std::string>& argv, const std::vector<std::string>& env, int timeoutMs = 20000);

// A private Xvfb server on a free display number, started with -noreset.
class XServer {
 public:
  // Nothing, with the reason in why, when no server can be started.
  static std::unique_ptr<XServer> Start(std::string& why, const std::vector<std::string>& extraArgs = {});
  ~XServer();

  const std::string& name() const { return name_; }
  // The environment for a client of this server.
  std::vector<std::string> env(std::vector<std::string> more = {}) const;
  // setxkbmap on this server; true on success.
  bool setLayout(const std::string& model, const std::string& layout);
  // Ends the server now.
  void kill();

 private:
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
  bool waitFor(const std::string& text, int timeoutMs);

 private:
  std::unique_ptr<Child> child_;
  std::string display_;
  unsigned long window_ = 0;
};

// "press a", "release a", "button-press 1": the events without codes and times.
std::vector<std::string> Names(const std::vector<Event>& events);

// The tapwell program and the receiver under test.
std::string TapwellPath();

bool InCi();

// The number of keycodes that carry keysym in the server's keymap, read on
// display (an Xlib Display*).
int KeycodesCarrying(void* display, unsigned long keysym);

}  // namespace e2e

// Starts a private X server into `var`, or skips the test with the reason (fails
// it when CI=true: continuous integration always has Xvfb).
#define E2E_START_X(var)                                              \
  std::string var##_why;                                              \
  auto var = e2e::XServer::Start(var##_why);                          \
  if (!var) {                                                         \
    if (e2e::InCi()) FAIL() << "no X server under CI: " << var##_why; \
    GTEST_SKIP() << "no X server can be started: " << var##_why;      \
  }
