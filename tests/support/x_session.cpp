#include "x_session.h"

// clang-format off
#include <X11/Xlib.h>
#include <X11/Xatom.h>
// clang-format on
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace xs {

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

std::string ReceiverPath() {
  return E2E_RECEIVER;
}

std::string QtReceiverPath() {
  return E2E_QT_RECEIVER;
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

bool Child::waitForError(const std::string& text, int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (err_.find(text) == std::string::npos) {
    if (outFd_ < 0 && errFd_ < 0) return false;
    const int left = Remaining(deadline);
    if (left == 0) return false;
    readSome(left);
  }
  return true;
}

int Child::wait(int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (outFd_ >= 0 || errFd_ >= 0) {
    const int left = Remaining(deadline);
    if (left == 0) return -1;
    readSome(left);
  }
  // Its output has ended; the process itself ends at about the same time.
  if (!exited_ && !WaitUntil([&] { return (exited_ = ::waitpid(pid_, &status_, WNOHANG) == pid_); },
                             std::max(Remaining(deadline), 1))) {
    return -1;
  }
  if (WIFEXITED(status_)) return WEXITSTATUS(status_);
  if (WIFSIGNALED(status_)) return 128 + WTERMSIG(status_);
  return -1;
}

void Child::drain() {
  while ((outFd_ >= 0 || errFd_ >= 0) && readSome(0)) {
  }
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
  receiver->child_ = Child::Start({ReceiverPath()}, server.env());
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

namespace fs = std::filesystem;

Result RunTapwell(const XServer& server, const Strings& args, const Strings& env, int timeoutMs) {
  Strings argv = {TapwellPath()};
  argv.insert(argv.end(), args.begin(), args.end());
  return Run(argv, server.env(env), timeoutMs);
}

Observer::Observer(const XServer& server) : display_(XOpenDisplay(server.name().c_str())) {}

Observer::~Observer() {
  if (display_ != nullptr) XCloseDisplay(display_);
}

std::vector<unsigned> Observer::keysDown() {
  char keys[32] = {};
  XQueryKeymap(display_, keys);
  std::vector<unsigned> down;
  for (unsigned i = 0; i < 256; ++i) {
    if ((static_cast<unsigned char>(keys[i / 8]) >> (i % 8)) & 1u) down.push_back(i);
  }
  return down;
}

bool Observer::buttonDown() {
  Window root;
  Window child;
  int rx;
  int ry;
  int wx;
  int wy;
  unsigned mask = 0;
  XQueryPointer(display_, DefaultRootWindow(display_), &root, &child, &rx, &ry, &wx, &wy, &mask);
  return (mask & (Button1Mask | Button2Mask | Button3Mask | Button4Mask | Button5Mask)) != 0;
}

std::vector<unsigned long> Observer::keymap() {
  int minKc = 0;
  int maxKc = 0;
  XDisplayKeycodes(display_, &minKc, &maxKc);
  int per = 0;
  KeySym* syms = XGetKeyboardMapping(display_, static_cast<KeyCode>(minKc), maxKc - minKc + 1, &per);
  std::vector<unsigned long> out(syms, syms + (maxKc - minKc + 1) * per);
  XFree(syms);
  return out;
}

std::vector<unsigned> Observer::keycodesOf(unsigned long keysym) {
  int minKc = 0;
  int maxKc = 0;
  XDisplayKeycodes(display_, &minKc, &maxKc);
  int per = 0;
  KeySym* syms = XGetKeyboardMapping(display_, static_cast<KeyCode>(minKc), maxKc - minKc + 1, &per);
  std::vector<unsigned> out;
  for (int kc = 0; kc <= maxKc - minKc; ++kc) {
    for (int i = 0; i < per; ++i) {
      if (syms[kc * per + i] == keysym) {
        out.push_back(static_cast<unsigned>(minKc + kc));
        break;
      }
    }
  }
  XFree(syms);
  return out;
}

namespace {

// Every window below top, top included.
void Walk(Display* display, Window top, const std::function<void(Window, Window)>& visit, Window parent) {
  visit(top, parent);
  Window root;
  Window up;
  Window* children = nullptr;
  unsigned count = 0;
  if (XQueryTree(display, top, &root, &up, &children, &count) == 0) return;
  for (unsigned i = 0; i < count; ++i) Walk(display, children[i], visit, top);
  if (children != nullptr) XFree(children);
}

long PidOf(Display* display, Window w) {
  const Atom pidAtom = XInternAtom(display, "_NET_WM_PID", False);
  Atom type;
  int format;
  unsigned long items;
  unsigned long after;
  unsigned char* data = nullptr;
  long pid = -1;
  if (XGetWindowProperty(display, w, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &items, &after,
                         &data) == Success &&
      data != nullptr) {
    if (items == 1 && format == 32) pid = *reinterpret_cast<long*>(data);
    XFree(data);
  }
  return pid;
}

std::string NameOf(Display* display, Window w) {
  // Qt sets _NET_WM_NAME in UTF-8 and WM_NAME; the UTF-8 one first.
  const Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
  const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
  Atom type;
  int format;
  unsigned long items;
  unsigned long after;
  unsigned char* data = nullptr;
  std::string name;
  if (XGetWindowProperty(display, w, netName, 0, 1024, False, utf8, &type, &format, &items, &after, &data) ==
          Success &&
      data != nullptr) {
    name.assign(reinterpret_cast<char*>(data), items);
    XFree(data);
    return name;
  }
  char* plain = nullptr;
  if (XFetchName(display, w, &plain) != 0 && plain != nullptr) {
    name = plain;
    XFree(plain);
  }
  return name;
}

// Errors on windows that go away during a walk are expected.
int IgnoreErrors(Display*, XErrorEvent*) {
  return 0;
}

}  // namespace

std::vector<unsigned long> Observer::windowsOf(pid_t pid) {
  auto old = XSetErrorHandler(IgnoreErrors);
  std::vector<unsigned long> out;
  Walk(
      display_, DefaultRootWindow(display_),
      [&](Window w, Window) {
        if (PidOf(display_, w) == pid) out.push_back(w);
      },
      0);
  XSync(display_, False);
  XSetErrorHandler(old);
  return out;
}

std::vector<unsigned long> Observer::embeddedWindowsOf(pid_t pid) {
  auto old = XSetErrorHandler(IgnoreErrors);
  const Window root = DefaultRootWindow(display_);
  std::vector<unsigned long> out;
  Walk(
      display_, root,
      [&](Window w, Window parent) {
        if (parent != 0 && parent != root && PidOf(display_, w) == pid && PidOf(display_, parent) != pid) {
          out.push_back(w);
        }
      },
      0);
  XSync(display_, False);
  XSetErrorHandler(old);
  return out;
}

std::vector<unsigned long> Observer::viewableWindowsNamed(pid_t pid, const std::string& title) {
  auto old = XSetErrorHandler(IgnoreErrors);
  std::vector<unsigned long> found;
  for (unsigned long w : windowsOf(pid)) {
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(display_, w, &attributes) != 0 && attributes.map_state == IsViewable &&
        NameOf(display_, w) == title) {
      found.push_back(w);
    }
  }
  XSync(display_, False);
  XSetErrorHandler(old);
  return found;
}

unsigned long Observer::viewableWindowNamed(pid_t pid, const std::string& title) {
  const auto found = viewableWindowsNamed(pid, title);
  return found.empty() ? 0 : found.front();
}

bool Observer::hasWindowNamed(pid_t pid, const std::string& title) {
  auto old = XSetErrorHandler(IgnoreErrors);
  bool found = false;
  for (unsigned long w : windowsOf(pid)) found = found || NameOf(display_, w) == title;
  XSync(display_, False);
  XSetErrorHandler(old);
  return found;
}

std::vector<std::string> Observer::netWmState(unsigned long window) {
  const Atom state = XInternAtom(display_, "_NET_WM_STATE", False);
  Atom type;
  int format;
  unsigned long items;
  unsigned long after;
  unsigned char* data = nullptr;
  std::vector<std::string> out;
  if (XGetWindowProperty(display_, window, state, 0, 64, False, XA_ATOM, &type, &format, &items, &after,
                         &data) == Success &&
      data != nullptr) {
    const auto* atoms = reinterpret_cast<Atom*>(data);
    for (unsigned long i = 0; i < items; ++i) {
      char* name = XGetAtomName(display_, atoms[i]);
      if (name != nullptr) {
        out.emplace_back(name);
        XFree(name);
      }
    }
    XFree(data);
  }
  return out;
}

bool Observer::trayHostPresent() {
  const Atom selection = XInternAtom(display_, "_NET_SYSTEM_TRAY_S0", False);
  return XGetSelectionOwner(display_, selection) != 0;
}

bool Observer::viewable(unsigned long window) {
  auto old = XSetErrorHandler(IgnoreErrors);
  XWindowAttributes attributes{};
  const bool shown =
      XGetWindowAttributes(display_, window, &attributes) != 0 && attributes.map_state == IsViewable;
  XSync(display_, False);
  XSetErrorHandler(old);
  return shown;
}

bool Observer::focus(unsigned long window) {
  auto old = XSetErrorHandler(IgnoreErrors);
  XSetInputFocus(display_, window, RevertToParent, CurrentTime);
  XSync(display_, False);
  XSetErrorHandler(old);
  Window focused = 0;
  int revert = 0;
  XGetInputFocus(display_, &focused, &revert);
  return focused == window;
}

void Observer::requestClose(unsigned long window) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display_, window, False, NoEventMask, &event);
  XSync(display_, False);
}

Observer::Geometry Observer::geometry(unsigned long window) {
  Geometry g;
  XWindowAttributes attributes{};
  if (XGetWindowAttributes(display_, window, &attributes) == 0) return g;
  Window child;
  XTranslateCoordinates(display_, window, DefaultRootWindow(display_), 0, 0, &g.x, &g.y, &child);
  g.width = attributes.width;
  g.height = attributes.height;
  return g;
}

std::vector<long> Observer::frameExtents(unsigned long window) {
  auto old = XSetErrorHandler(IgnoreErrors);
  Atom type;
  int format;
  unsigned long items;
  unsigned long after;
  unsigned char* data = nullptr;
  std::vector<long> out;
  if (XGetWindowProperty(display_, window, XInternAtom(display_, "_NET_FRAME_EXTENTS", False), 0, 4, False,
                         XA_CARDINAL, &type, &format, &items, &after, &data) == Success &&
      data != nullptr) {
    if (items == 4 && format == 32) {
      const auto* values = reinterpret_cast<long*>(data);
      out.assign(values, values + 4);
    }
    XFree(data);
  }
  XSync(display_, False);
  XSetErrorHandler(old);
  return out;
}

bool Observer::windowManagerPresent() {
  Atom type;
  int format;
  unsigned long items;
  unsigned long after;
  unsigned char* data = nullptr;
  bool present = false;
  if (XGetWindowProperty(display_, DefaultRootWindow(display_),
                         XInternAtom(display_, "_NET_SUPPORTING_WM_CHECK", False), 0, 1, False, XA_WINDOW,
                         &type, &format, &items, &after, &data) == Success &&
      data != nullptr) {
    present = items == 1;
    XFree(data);
  }
  return present;
}

Gui Gui::Start(const XServer& server, const Strings& args, const Strings& env) {
  Strings argv = {TapwellPath()};
  argv.insert(argv.end(), args.begin(), args.end());
  Gui gui;
  gui.home = std::make_unique<TempFolder>();
  const std::string& home = gui.home->path();
  Strings all = {"HOME=" + home,
                 "XDG_CONFIG_HOME=" + home + "/config",
                 "XDG_DATA_HOME=" + home + "/data",
                 "XDG_RUNTIME_DIR=" + home,
                 "DBUS_SESSION_BUS_ADDRESS",
                 "WAYLAND_DISPLAY",
                 "QT_QPA_PLATFORM=xcb"};
  all.insert(all.end(), env.begin(), env.end());
  gui.child = Child::Start(argv, server.env(all));
  return gui;
}

std::unique_ptr<Child> StartTrayer(const XServer& server, const Strings& args) {
  const std::string trayer = Tool("trayer");
  if (trayer.empty()) return nullptr;
  Strings argv = {trayer, "--edge", "top", "--align", "right", "--height", "24"};
  argv.insert(argv.end(), args.begin(), args.end());
  return Child::Start(argv, server.env({"DBUS_SESSION_BUS_ADDRESS"}));
}

bool Xdotool(const XServer& server, const Strings& args) {
  Strings argv = {Tool("xdotool")};
  argv.insert(argv.end(), args.begin(), args.end());
  return Run(argv, server.env()).code == 0;
}

bool Click(const XServer& server, int x, int y) {
  return Xdotool(server, {"mousemove", "--sync", std::to_string(x), std::to_string(y), "click", "1"});
}

bool WaitUntil(const std::function<bool()>& pred, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (pred()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    // The one pause of the driver: the step between two looks at the condition.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

TempFolder::TempFolder() {
  std::string pattern = (fs::temp_directory_path() / "tapwell-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
  // Reachable for a child that has given up root.
  ::chmod(path_.c_str(), 0777);
}

TempFolder::~TempFolder() {
  std::error_code error;
  for (const auto& entry : fs::recursive_directory_iterator(path_, error)) {
    fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, error);
  }
  fs::remove_all(path_, error);
}

void WriteFile(const std::string& path, const std::string& bytes, unsigned mode) {
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
  }
  ::chmod(path.c_str(), mode);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string Tool(const std::string& name) {
  for (const char* dir : {"/usr/bin/", "/usr/local/bin/", "/bin/"}) {
    const std::string path = dir + name;
    if (::access(path.c_str(), X_OK) == 0) return path;
  }
  return {};
}

Strings Stroke(const std::string& name) {
  return {"press " + name, "release " + name};
}

Strings Join(std::initializer_list<Strings> parts) {
  Strings out;
  for (const Strings& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

std::string Utf8(const std::u32string& text) {
  std::string out;
  for (const char32_t c : text) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

}  // namespace xs
