// The real program with its windows on a private X server with a tray host: the
// splash and its two handovers, and a script typed into the main window after it
// came back from the tray, with the keys seen by a real receiving window.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "e2e_support.h"

// After GoogleTest: Xlib defines macros (None, Bool) that its headers use as names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// The screen of e2e::XServer.
constexpr int kScreenWidth = 640;
constexpr int kScreenHeight = 480;
// The splash and the main window's client area, outer sizes.
constexpr int kSplashWidth = 367;
constexpr int kSplashHeight = 106;
constexpr int kClientHeight = 104;

// Windows come and go while the test looks at them (a menu, the splash): errors
// about windows that went away are ignored while a Quiet is alive.
int IgnoreErrors(Display*, XErrorEvent*) {
  return 0;
}

class Quiet {
 public:
  explicit Quiet(Display* display) : display_(display), previous_(XSetErrorHandler(IgnoreErrors)) {}
  ~Quiet() {
    XSync(display_, False);
    XSetErrorHandler(previous_);
  }
  Quiet(const Quiet&) = delete;
  Quiet& operator=(const Quiet&) = delete;

 private:
  Display* display_;
  int (*previous_)(Display*, XErrorEvent*);
};

struct Win {
  Window id = 0;
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool viewable = false;
};

class Connection {
 public:
  explicit Connection(const std::string& name) : display_(XOpenDisplay(name.c_str())) {}
  ~Connection() {
    if (display_ != nullptr) XCloseDisplay(display_);
  }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  Display* get() const { return display_; }

  // The window's title: _NET_WM_NAME, else WM_NAME.
  std::string title(Window id) const {
    std::string out;
    Atom type = 0;
    int format = 0;
    unsigned long n = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display_, id, XInternAtom(display_, "_NET_WM_NAME", False), 0, 256, False,
                           AnyPropertyType, &type, &format, &n, &after, &data) == Success &&
        data != nullptr) {
      if (format == 8) out.assign(reinterpret_cast<const char*>(data), n);
      XFree(data);
    }
    if (out.empty()) {
      char* name = nullptr;
      if (XFetchName(display_, id, &name) != 0 && name != nullptr) {
        out = name;
        XFree(name);
      }
    }
    return out;
  }

  // The top-level window of that title, a viewable one before others.
  std::optional<Win> topLevel(const std::string& title) const {
    const Quiet quiet(display_);
    std::optional<Win> found;
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (XQueryTree(display_, DefaultRootWindow(display_), &root, &parent, &children, &count) == 0)
      return found;
    for (unsigned i = 0; i < count; ++i) {
      if (this->title(children[i]) != title) continue;
      const std::optional<Win> w = describe(children[i]);
      if (w && (!found || (w->viewable && !found->viewable))) found = w;
    }
    if (children != nullptr) XFree(children);
    return found;
  }

  std::optional<Win> describe(Window id) const {
    XWindowAttributes a{};
    if (XGetWindowAttributes(display_, id, &a) == 0) return std::nullopt;
    Win w;
    w.id = id;
    w.width = a.width;
    w.height = a.height;
    w.viewable = a.map_state == IsViewable;
    Window child = 0;
    XTranslateCoordinates(display_, id, DefaultRootWindow(display_), 0, 0, &w.x, &w.y, &child);
    return w;
  }

  // A window of that title among the descendants of another: the icon docked in
  // the tray host.
  std::optional<Win> descendant(Window id, const std::string& title) const {
    const Quiet quiet(display_);
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (XQueryTree(display_, id, &root, &parent, &children, &count) == 0) return std::nullopt;
    std::optional<Win> found;
    for (unsigned i = 0; i < count && !found; ++i) {
      if (this->title(children[i]) == title) found = describe(children[i]);
      if (!found) found = descendant(children[i], title);
    }
    if (children != nullptr) XFree(children);
    return found;
  }

  std::vector<std::string> netWmState(Window id) const {
    std::vector<std::string> out;
    Atom type = 0;
    int format = 0;
    unsigned long n = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display_, id, XInternAtom(display_, "_NET_WM_STATE", False), 0, 64, False, XA_ATOM,
                           &type, &format, &n, &after, &data) == Success &&
        data != nullptr) {
      const auto* atoms = reinterpret_cast<const Atom*>(data);
      for (unsigned long i = 0; i < n; ++i) {
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

 private:
  Display* display_;
};

bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (done()) return true;
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

long long MsSince(Clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

// A running program with its own settings folder, and the tray host it docks in.
class Desktop {
 public:
  explicit Desktop(const e2e::XServer& server) : server_(server) {
    char pattern[] = "/tmp/tapwell-gui-XXXXXX";
    if (::mkdtemp(pattern) != nullptr) home_ = pattern;
  }
  ~Desktop() {
    program_.reset();
    tray_.reset();
    std::error_code ignored;
    if (!home_.empty()) fs::remove_all(home_, ignored);
  }
  Desktop(const Desktop&) = delete;
  Desktop& operator=(const Desktop&) = delete;

  std::vector<std::string> env() const {
    // No session bus: the tray icon docks by the X11 protocol in the host here.
    return server_.env({"HOME=" + home_.string(), "XDG_CONFIG_HOME=" + (home_ / "config").string(),
                        "XDG_RUNTIME_DIR=" + home_.string(), "DBUS_SESSION_BUS_ADDRESS", "QT_QPA_PLATFORM",
                        "WAYLAND_DISPLAY"});
  }

  // The tray host: a panel in the top right corner.
  bool startTray(const Connection& x) {
    tray_ = e2e::Child::Start(
        {"/usr/bin/trayer", "--edge", "top", "--align", "right", "--widthtype", "request", "--height", "24"},
        env());
    return tray_ && WaitUntil(
                        [&] {
                          const auto panel = x.topLevel("panel");
                          return panel && panel->viewable;
                        },
                        10000);
  }

  void startProgram() { program_ = e2e::Child::Start({e2e::TapwellPath()}, env()); }
  e2e::Child* program() { return program_.get(); }

  // xdotool on this server; true when it succeeded.
  bool xdo(const std::vector<std::string>& args) const {
    std::vector<std::string> argv = {"/usr/bin/xdotool"};
    argv.insert(argv.end(), args.begin(), args.end());
    return e2e::Run(argv, env()).code == 0;
  }

  bool click(int x, int y) const {
    return xdo({"mousemove", "--sync", std::to_string(x), std::to_string(y), "click", "1"});
  }

 private:
  const e2e::XServer& server_;
  fs::path home_;
  std::unique_ptr<e2e::Child> tray_;
  std::unique_ptr<e2e::Child> program_;
};

bool HasTool(const char* path) {
  return ::access(path, X_OK) == 0;
}

#define GUI_NEEDS_TOOLS()                                                                     \
  if (!HasTool("/usr/bin/trayer") || !HasTool("/usr/bin/xdotool")) {                          \
    if (e2e::InCi()) FAIL() << "trayer and xdotool are installed by scripts/install-deps.sh"; \
    GTEST_SKIP() << "trayer or xdotool is not installed";                                     \
  }

std::optional<Win> Viewable(const Connection& x, const std::string& title) {
  auto w = x.topLevel(title);
  if (w && w->viewable) return w;
  return std::nullopt;
}

TEST(GuiStart, SplashCentredThenTheTimerHandsOverToTheMainWindow) {
  GUI_NEEDS_TOOLS();
  E2E_START_X(server);
  Connection x(server->name());
  ASSERT_NE(x.get(), nullptr);
  Desktop desktop(*server);
  ASSERT_TRUE(desktop.startTray(x));
  desktop.startProgram();

  std::optional<Win> splash;
  ASSERT_TRUE(WaitUntil([&] { return (splash = Viewable(x, "startup")).has_value(); }, 15000))
      << desktop.program()->errText();
  const auto shownAt = Clock::now();
  // Centred by halving each size separately.
  EXPECT_EQ(splash->x, kScreenWidth / 2 - kSplashWidth / 2);
  EXPECT_EQ(splash->y, kScreenHeight / 2 - kSplashHeight / 2);
  EXPECT_EQ(splash->width, kSplashWidth);
  EXPECT_EQ(splash->height, kSplashHeight);
  EXPECT_FALSE(Viewable(x, "Tapwell").has_value()) << "the main window is shown with the splash";

  // A click on a label is taken by the label: no handover.
  ASSERT_TRUE(desktop.click(splash->x + kSplashWidth / 2, splash->y + 30));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_TRUE(Viewable(x, "startup").has_value());
  EXPECT_FALSE(Viewable(x, "Tapwell").has_value()) << "a click on a label handed over";

  std::optional<Win> main;
  ASSERT_TRUE(WaitUntil([&] { return (main = Viewable(x, "Tapwell")).has_value(); }, 10000));
  const long long afterMs = MsSince(shownAt);
  // The timer of about two seconds, started before the splash appeared.
  EXPECT_GE(afterMs, 1500);
  EXPECT_LE(afterMs, 6000);
  EXPECT_TRUE(WaitUntil([&] { return !Viewable(x, "startup").has_value(); }, 2000)) << "the splash stays";
  EXPECT_EQ(main->width, 491);
  // The tray icon is registered: no taskbar button, no task-switcher entry.
  const std::vector<std::string> state = x.netWmState(main->id);
  EXPECT_NE(std::find(state.begin(), state.end(), "_NET_WM_STATE_SKIP_TASKBAR"), state.end());
  EXPECT_NE(std::find(state.begin(), state.end(), "_NET_WM_STATE_SKIP_PAGER"), state.end());

  // Exactly one handover: nothing else appears afterwards.
  std::this_thread::sleep_for(std::chrono::milliseconds(2500));
  EXPECT_TRUE(Viewable(x, "Tapwell").has_value());
  EXPECT_FALSE(Viewable(x, "startup").has_value());
}

TEST(GuiStart, AClickOnTheSplashHandsOverAtOnce) {
  GUI_NEEDS_TOOLS();
  E2E_START_X(server);
  Connection x(server->name());
  ASSERT_NE(x.get(), nullptr);
  Desktop desktop(*server);
  ASSERT_TRUE(desktop.startTray(x));
  desktop.startProgram();

  std::optional<Win> splash;
  ASSERT_TRUE(WaitUntil([&] { return (splash = Viewable(x, "startup")).has_value(); }, 15000))
      << desktop.program()->errText();
  // The splash's own surface: a corner that no label covers.
  const auto clickedAt = Clock::now();
  ASSERT_TRUE(desktop.click(splash->x + 4, splash->y + 4));
  ASSERT_TRUE(WaitUntil([&] { return Viewable(x, "Tapwell").has_value(); }, 5000));
  // Long before the timer's two seconds.
  EXPECT_LT(MsSince(clickedAt), 1500);
  EXPECT_TRUE(WaitUntil([&] { return !Viewable(x, "startup").has_value(); }, 1000));
  // The timer does not hand over a second time.
  std::this_thread::sleep_for(std::chrono::milliseconds(2500));
  EXPECT_TRUE(Viewable(x, "Tapwell").has_value());
  EXPECT_FALSE(Viewable(x, "startup").has_value());
}

TEST(GuiTray, ShowFromTheTrayTypeAScriptAndTestItIntoAReceivingWindow) {
  GUI_NEEDS_TOOLS();
  E2E_START_X(server);
  std::string why;
  auto receiver = e2e::Receiver::Start(*server, why);
  ASSERT_TRUE(receiver) << why;
  Connection x(server->name());
  ASSERT_NE(x.get(), nullptr);
  const auto receiverWindow = x.topLevel("tapwell-test-receiver");
  ASSERT_TRUE(receiverWindow);
  Desktop desktop(*server);
  ASSERT_TRUE(desktop.startTray(x));
  desktop.startProgram();

  std::optional<Win> splash;
  ASSERT_TRUE(WaitUntil([&] { return (splash = Viewable(x, "startup")).has_value(); }, 15000))
      << desktop.program()->errText();
  ASSERT_TRUE(desktop.click(splash->x + 4, splash->y + 4));
  std::optional<Win> main;
  ASSERT_TRUE(WaitUntil([&] { return (main = Viewable(x, "Tapwell")).has_value(); }, 5000));
  // The client area sits below the menu bar, at the bottom of the window.
  const int clientX = main->x;
  const int clientY = main->y + main->height - kClientHeight;

  // Hide goes to the tray.
  ASSERT_TRUE(desktop.click(clientX + 376 + 20, clientY + 8 + 10));
  ASSERT_TRUE(WaitUntil([&] { return !Viewable(x, "Tapwell").has_value(); }, 3000)) << "Hide left it shown";

  // The icon docked in the tray host; a left click pops up the menu.
  const auto panel = Viewable(x, "panel");
  ASSERT_TRUE(panel);
  std::optional<Win> icon;
  ASSERT_TRUE(WaitUntil(
      [&] {
        icon = x.descendant(panel->id, "tapwell");
        return icon && icon->viewable && icon->width > 1;
      },
      5000))
      << "no icon docked in the tray host\n"
      << e2e::Run({"/usr/bin/xwininfo", "-root", "-tree"}, server->env()).out;
  // The menu is a new top-level window of the program below the pointer: "show"
  // is its first item. A click that lands while the icon is still being embedded
  // is lost, so a second click follows when no menu came.
  std::optional<Win> menu;
  const auto menuShown = [&] {
    menu = Viewable(x, "tapwell");
    return menu && menu->width > 20 && menu->height > 20;
  };
  bool popped = false;
  for (int attempt = 0; attempt < 2 && !popped; ++attempt) {
    ASSERT_TRUE(desktop.click(icon->x + icon->width / 2, icon->y + icon->height / 2));
    popped = WaitUntil(menuShown, 2000);
  }
  ASSERT_TRUE(popped) << "a left click on the icon did not pop up the menu";
  ASSERT_TRUE(desktop.click(menu->x + 30, menu->y + 10));
  ASSERT_TRUE(WaitUntil([&] { return (main = Viewable(x, "Tapwell")).has_value(); }, 3000))
      << "show did not bring the main window back";
  ASSERT_TRUE(WaitUntil([&] { return !Viewable(x, "tapwell").has_value(); }, 3000)) << "the menu stays";

  // The script waits a second, time enough to hand the focus to the receiver.
  ASSERT_TRUE(desktop.xdo({"windowfocus", "--sync", std::to_string(main->id)}));
  ASSERT_TRUE(desktop.click(clientX + 8 + 50, clientY + 48 + 10));
  ASSERT_TRUE(desktop.xdo({"type", "--delay", "20", "!1\"abc\"_enter"}));
  ASSERT_TRUE(desktop.click(clientX + 88 + 20, clientY + 72 + 10));
  XSetInputFocus(x.get(), receiverWindow->id, RevertToParent, CurrentTime);
  XSync(x.get(), False);

  ASSERT_TRUE(receiver->waitFor("release Return", 10000)) << "the script's keys did not arrive";
  const std::vector<std::string> got = e2e::Names(receiver->finish());
  const std::vector<std::string> want = {"press a", "release a", "press b",      "release b",
                                         "press c", "release c", "press Return", "release Return"};
  EXPECT_EQ(got, want);
  EXPECT_TRUE(Viewable(x, "Tapwell").has_value()) << "the main window went away during the run";
}

}  // namespace
