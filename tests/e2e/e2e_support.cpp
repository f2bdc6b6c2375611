#include "e2e_support.h"


#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>

extern char** environ;

namespace e2e {

namespace {

using Clock = std::chrono::steady_clock;

int Remaining(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> out;
  for (std::string& s : strings) out.push_back(s.data());
  out.push_back(nullptr);
  return out;
}

}  // namespace

bool InCi() {
  const char* ci = std::getenv("CI");
  return ci != nullptr && std::string(ci) == "true";
}

std::string TapwellPath() {
  return TAPWELL_EXE;
}

std::vector<std::string> Environment(const std::vector<std::string>& changes) {
  std::map<std::string, std::string> vars;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    const auto eq = entry.find('=');
    if (eq != std::string::npos) vars[entry.substr(0, eq)] = entry.substr(eq + 1);
  }
  for (const std::string& change : changes) {
    const auto eq = change.find('=');
    if (eq == std::string::npos) {
      vars.erase(change);
    } else {
      vars[change.substr(0, eq)] = change.substr(eq + 1);
    }
  }
  std::vector<std::string> out;
  for (const auto& [k, v] : vars) out.push_back(k + "=" + v);
  return out;
}

std::unique_ptr<Child> Child::Start(const std::vector<std::string>& argv,
                                    const std::vector<std::string>& env) {
  int out[2];
  int err[2];
  if (::pipe2(out, O_CLOEXEC) != 0) return nullptr;
  if (::pipe2(err, O_CLOEXEC) != 0) return nullptr;
  std::vector<std::string> args = argv;
  std::vector<std::string> envs = env;
  std::vector<char*> a = Pointers(args);
  std::vector<char*> e = Pointers(envs);
  const pid_t pid = ::fork();
  if (pid < 0) return nullptr;
  if (pid == 0) {
    const int null = ::open("/dev/null", O_RDONLY);
    ::dup2(null, 0);
    ::dup2(out[1], 1);
    ::dup2(err[1], 2);
    ::execve(a[0], a.data(), e.data());
    ::_exit(127);
  }
  ::close(out[1]);
  ::close(err[1]);
  auto child = std::unique_ptr<Child>(new Child);
  child->pid_ = pid;
  child->outFd_ = out[0];
  child->errFd_ = err[0];
  return child;
}

Child::~Child() {
  if (!exited_ && pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  if (outFd_ >= 0) ::close(outFd_);
  if (errFd_ >= 0) ::close(errFd_);
}

bool Child::readSome(int timeoutMs) {
  pollfd fds[2] = {{outFd_, POLLIN, 0}, {errFd_, POLLIN, 0}};
  if (::poll(fds, 2, timeoutMs) <= 0) return false;
  char buf[65536];
  bool any = false;
  if (outFd_ >= 0 && (fds[0].revents & (POLLIN | POLLHUP)) != 0) {
    const ssize_t n = ::read(outFd_, buf, sizeof buf);
    if (n > 0) {
      any = true;
      outPartial_.append(buf, static_cast<std::size_t>(n));
      std::size_t nl;
      while ((nl = outPartial_.find('\n')) != std::string::npos) {
        lines_.push_back(outPartial_.substr(0, nl));
        outPartial_.erase(0, nl + 1);
      }
    } else {
      ::close(outFd_);
      outFd_ = -1;
      any = true;
    }
  }
  if (errFd_ >= 0 && (fds[1].revents & (POLLIN | POLLHUP)) != 0) {
    const ssize_t n = ::read(errFd_, buf, sizeof buf);
    if (n > 0) {
      err_.append(buf, static_cast<std::size_t>(n));
    } else {
      ::close(errFd_);
      errFd_ = -1;
    }
    any = true;
  }
  return any;
}

bool Child::waitForLine(const std::function<bool(const std::string&)>& pred, int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  std::size_t seen = 0;
  for (;;) {
    for (; seen < lines_.size(); ++seen) {
      if (pred(lines_[seen])) return true;
    }
    if (outFd_ < 0 && errFd_ < 0) return false;
    const int left = Remaining(deadline);
    if (left == 0) return false;
    readSome(left);
  }
}

int Child::wait(int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (outFd_ >= 0 || errFd_ >= 0) {
    const int left = Remaining(deadline);
    if (left == 0) return -1;
    readSome(left);
  }
  while (!exited_) {
    const pid_t r = ::waitpid(pid_, &status_, WNOHANG);
    if (r == pid_) {
      exited_ = true;
      break;
    }
    if (Remaining(deadline) == 0) return -1;
    ::usleep(2000);
  }
  if (WIFEXITED(status_)) return WEXITSTATUS(status_);
  if (WIFSIGNALED(status_)) return 128 + WTERMSIG(status_);
  return -1;
}

void Child::signal(int signo) {
  if (!exited_) ::kill(pid_, signo);
}

Result Run(const std::vector<std::string>& argv, const std::vector<std::string>& env, int timeoutMs) {
  Result r;
  auto child = Child::Start(argv, env);
  if (!child) return r;
  r.code = child->wait(timeoutMs);
  for (const std::string& line : child->lines()) r.out += line + "\n";
  r.err = child->errText();
  return r;
}

std::unique_ptr<XServer> XServer::Start(std::string& why, const std::vector<std::string>& extraArgs) {
  // TAPWELL_E2E_XVFB names another server program.
  std::string xvfb;
  if (const char* chosen = std::getenv("TAPWELL_E2E_XVFB")) {
    xvfb = chosen;
  } else {
    for (const char* c : {"/usr/local/bin/Xvfb", "/usr/bin/Xvfb"}) {
      if (::access(c, X_OK) == 0) xvfb = c;
    }
  }
  if (xvfb.empty() || ::access(xvfb.c_str(), X_OK) != 0) {
    why = "Xvfb is not installed (Debian: xvfb)";
    return nullptr;
  }
  int fds[2];
  if (::pipe(fds) != 0) {
    why = "pipe failed";
    return nullptr;
  }
  // The server picks a free display number itself and writes it to the pipe.
  std::vector<std::string> args = {xvfb,       "-displayfd", std::to_string(fds[1]),
                                   "-noreset", "-nolisten",  "tcp",
                                   "-screen",  "0",          "640x480x24"};
  args.insert(args.end(), extraArgs.begin(), extraArgs.end());
  std::vector<char*> a = Pointers(args);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    const int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, 0);
    ::dup2(null, 1);
    ::dup2(null, 2);
    ::execv(a[0], a.data());
    ::_exit(127);
  }
  ::close(fds[1]);
  std::string number;
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  for (;;) {
    pollfd p{fds[0], POLLIN, 0};
    const int left = Remaining(deadline);
    if (left == 0 || ::poll(&p, 1, left) <= 0) break;
    char c;
    if (::read(fds[0], &c, 1) != 1) break;
    if (c == '\n') break;
    number += c;
  }
  ::close(fds[0]);
  if (number.empty()) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    why = "Xvfb did not report a display number";
    return nullptr;
  }
  auto server = std::unique_ptr<XServer>(new XServer);
  server->pid_ = pid;
  server->name_ = ":" + number;
  return server;
}

XServer::~XServer() {
  kill();
}

void XServer::kill() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
}

std::vector<std::string> XServer::env(std::vector<std::string> more) const {
  more.push_back("DISPLAY=" + name_);
  return Environment(more);
}

bool XServer::setLayout(const std::string& model, const std::string& layout) {
  const Result r = Run({"/usr/bin/setxkbmap", "-display", name_, "-model", model, "-layout", layout}, env());
  return r.code == 0;
}

std::unique_ptr<Receiver> Receiver::Start(const XServer& server, std::string& why) {
  auto receiver = std::unique_ptr<Receiver>(new Receiver);
  receiver->display_ = server.name();
  receiver->child_ = Child::Start({E2E_RECEIVER}, server.env());
  if (!receiver->child_) {
    why = "cannot start the receiver";
    return nullptr;
  }
  std::string readyLine;
  if (!receiver->child_->waitForLine(
          [&](const std::string& line) {
            if (line.rfind("ready ", 0) != 0) return false;
            readyLine = line;
            return true;
          },
          10000)) {
    why = "the receiver did not get the focus: " + receiver->child_->errText();
    return nullptr;
  }
  receiver->window_ = std::stoul(readyLine.substr(6));
  return receiver;
}

bool Receiver::waitFor(const std::string& text, int timeoutMs) {
  return child_->waitForLine([&](const std::string& line) { return line.find(text) != std::string::npos; },
                             timeoutMs);
}

std::vector<Event> Receiver::finish() {
  Display* display = XOpenDisplay(display_.c_str());
  if (display != nullptr) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window_;
    event.xclient.message_type = XInternAtom(display, "TAPWELL_TEST_DONE", False);
    event.xclient.format = 32;
    XSendEvent(display, window_, False, NoEventMask, &event);
    XSync(display, False);
    XCloseDisplay(display);
  }
  child_->waitForLine([](const std::string& line) { return line == "done"; }, 10000);
  child_->wait(5000);
  std::vector<Event> events;
  for (const std::string& line : child_->lines()) {
    std::istringstream in(line);
    Event e;
    in >> e.kind;
    if (e.kind == "press" || e.kind == "release") {
      in >> e.name >> e.code >> e.time;
    } else if (e.kind == "button-press" || e.kind == "button-release") {
      in >> e.name >> e.time;
    } else {
      continue;
    }
    events.push_back(e);
  }
  return events;
}

std::vector<std::string> Names(const std::vector<Event>& events) {
  std::vector<std::string> out;
  for (const Event& e : events) out.push_back(e.kind + " " + e.name);
  return out;
}

int KeycodesCarrying(void* display, unsigned long keysym) {
  auto* dpy = static_cast<Display*>(display);
  int minKc = 0;
  int maxKc = 0;
  XDisplayKeycodes(dpy, &minKc, &maxKc);
  int per = 0;
  KeySym* syms = XGetKeyboardMapping(dpy, static_cast<KeyCode>(minKc), maxKc - minKc + 1, &per);
  int found = 0;
  for (int kc = 0; kc <= maxKc - minKc; ++kc) {
    found += std::find(syms + kc * per, syms + (kc + 1) * per, keysym) != syms + (kc + 1) * per;
  }
  XFree(syms);
  return found;
}

}  // namespace e2e
