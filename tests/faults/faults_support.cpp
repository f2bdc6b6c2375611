#include "faults_support.h"

// clang-format off
#include <X11/Xlib.h>
#include <X11/Xatom.h>
// clang-format on
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace faults {

namespace fs = std::filesystem;

e2e::Result RunTapwell(const e2e::XServer& server, const Strings& args, const Strings& env, int timeoutMs) {
  Strings argv = {e2e::TapwellPath()};
  argv.insert(argv.end(), args.begin(), args.end());
  return e2e::Run(argv, server.env(env), timeoutMs);
}

Observer::Observer(const e2e::XServer& server) : display_(XOpenDisplay(server.name().c_str())) {}

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

Gui Gui::Start(const e2e::XServer& server, const Strings& args, const Strings& env) {
  Strings argv = {e2e::TapwellPath()};
  argv.insert(argv.end(), args.begin(), args.end());
  Strings all = {"XDG_RUNTIME_DIR=/tmp", "QT_QPA_PLATFORM=xcb"};
  all.insert(all.end(), env.begin(), env.end());
  Gui gui;
  gui.child = e2e::Child::Start(argv, server.env(all));
  return gui;
}

void Gui::pump(int ms) {
  child->waitForLine([](const std::string&) { return false; }, ms);
}

bool Xdotool(const e2e::XServer& server, const Strings& args) {
  Strings argv = {Tool("xdotool")};
  argv.insert(argv.end(), args.begin(), args.end());
  return e2e::Run(argv, server.env(), 20000).code == 0;
}

bool WaitUntil(const std::function<bool()>& pred, int timeoutMs, int stepMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (pred()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(stepMs));
  }
}

TempFolder::TempFolder() {
  std::string pattern = (fs::temp_directory_path() / "tapwell-faults-XXXXXX").string();
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

}  // namespace faults
