// The real program with its windows on a private X server with a tray host: the
// splash and its handover, and a script typed into the main window after it came
// back from the tray, with the keys seen by a real receiving window.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "x_session.h"

namespace {

using xs::Observer;
using xs::WaitUntil;

// The screen of xs::XServer.
constexpr int kScreenWidth = 640;
constexpr int kScreenHeight = 480;
// The splash and the main window's client area, outer sizes.
constexpr int kSplashWidth = 367;
constexpr int kSplashHeight = 106;
constexpr int kClientHeight = 104;

// The program with a tray host beside it on a private server.
struct Desktop {
  std::unique_ptr<xs::XServer> server;
  std::unique_ptr<Observer> x;
  std::unique_ptr<xs::Child> tray;
  xs::Gui gui;

  pid_t pid() const { return gui.child->pid(); }
  // The program's viewable window of that title, after reading its output.
  unsigned long viewable(const std::string& title) {
    gui.drain();
    return x->viewableWindowNamed(pid(), title);
  }
};

// A private server with the test's observer on it.
#define GUI_SERVER(d)                          \
  XS_NEED_TOOL(trayer_, "trayer");             \
  XS_NEED_TOOL(xdotool_, "xdotool");           \
  Desktop d;                                   \
  {                                            \
    std::string why;                           \
    d.server = xs::XServer::Start(why);        \
    if (!d.server) {                           \
      if (xs::InCi()) FAIL() << why;           \
      GTEST_SKIP() << why;                     \
    }                                          \
  }                                            \
  d.x = std::make_unique<Observer>(*d.server); \
  ASSERT_TRUE(d.x->ok())

// The tray host, then the program: their windows come above those already there.
#define GUI_PROGRAM(d)                                                                         \
  d.tray = xs::StartTrayer(*d.server, {"--widthtype", "request"});                             \
  ASSERT_TRUE(d.tray);                                                                         \
  ASSERT_TRUE(WaitUntil([&] { return d.x->trayHostPresent(); })) << "the tray host is absent"; \
  d.gui = xs::Gui::Start(*d.server);                                                           \
  ASSERT_TRUE(d.gui.child)

TEST(GuiStart, SplashCentredALabelTakesItsClickAndTheTimerHandsOver) {
  GUI_SERVER(d);
  GUI_PROGRAM(d);
  unsigned long splash = 0;
  ASSERT_TRUE(WaitUntil([&] { return (splash = d.viewable("startup")) != 0; })) << d.gui.child->errText();
  const Observer::Geometry g = d.x->geometry(splash);
  // Centred by halving each size separately.
  EXPECT_EQ(g.x, kScreenWidth / 2 - kSplashWidth / 2);
  EXPECT_EQ(g.y, kScreenHeight / 2 - kSplashHeight / 2);
  EXPECT_EQ(g.width, kSplashWidth);
  EXPECT_EQ(g.height, kSplashHeight);
  EXPECT_EQ(d.viewable("Tapwell"), 0u) << "the main window is shown with the splash";

  // A click on a label reaches the program without harm (that the label takes it
  // is checked on the splash itself by the widget tests); the timer then hands
  // over to the main window.
  ASSERT_TRUE(xs::Click(*d.server, g.x + kSplashWidth / 2, g.y + 30));
  unsigned long main = 0;
  ASSERT_TRUE(WaitUntil([&] { return (main = d.viewable("Tapwell")) != 0; })) << d.gui.child->errText();
  EXPECT_TRUE(WaitUntil([&] { return d.viewable("startup") == 0; })) << "the splash stays";
  EXPECT_EQ(d.x->geometry(main).width, 491);
  // The tray icon is registered: no taskbar button, no task-switcher entry.
  const xs::Strings state = d.x->netWmState(main);
  EXPECT_NE(std::find(state.begin(), state.end(), "_NET_WM_STATE_SKIP_TASKBAR"), state.end());
  EXPECT_NE(std::find(state.begin(), state.end(), "_NET_WM_STATE_SKIP_PAGER"), state.end());
}

TEST(GuiTray, ShowFromTheTrayTypeAScriptAndTestItIntoAReceivingWindow) {
  GUI_SERVER(d);
  // The receiving window first: the program's windows come above it.
  std::string why;
  auto receiver = xs::Receiver::Start(*d.server, why);
  ASSERT_TRUE(receiver) << why;
  GUI_PROGRAM(d);

  unsigned long splash = 0;
  ASSERT_TRUE(WaitUntil([&] { return (splash = d.viewable("startup")) != 0; })) << d.gui.child->errText();
  const Observer::Geometry s = d.x->geometry(splash);
  // The splash's own surface: a corner that no label covers.
  ASSERT_TRUE(xs::Click(*d.server, s.x + 4, s.y + 4));
  unsigned long main = 0;
  ASSERT_TRUE(WaitUntil([&] { return (main = d.viewable("Tapwell")) != 0; }));
  EXPECT_TRUE(WaitUntil([&] { return d.viewable("startup") == 0; })) << "the splash stays";
  const Observer::Geometry m = d.x->geometry(main);
  // The client area sits below the menu bar, at the bottom of the window.
  const int clientX = m.x;
  const int clientY = m.y + m.height - kClientHeight;

  // Hide goes to the tray.
  ASSERT_TRUE(xs::Click(*d.server, clientX + 376 + 20, clientY + 8 + 10));
  ASSERT_TRUE(WaitUntil([&] { return d.viewable("Tapwell") == 0; })) << "Hide left it shown";

  // The icon docked in the tray host; a left click pops up the menu.
  Observer::Geometry icon;
  ASSERT_TRUE(WaitUntil([&] {
    d.gui.drain();
    for (unsigned long w : d.x->embeddedWindowsOf(d.pid())) {
      icon = d.x->geometry(w);
      if (d.x->viewable(w) && icon.width > 1) return true;
    }
    return false;
  })) << "no icon docked in the tray host";
  // The menu is a new top-level window of the program below the pointer: "show"
  // is its first item. A click that lands while the icon is still being embedded
  // is lost, so a second click follows when no menu came.
  unsigned long menu = 0;
  const auto menuShown = [&] {
    d.gui.drain();
    const auto docked = d.x->embeddedWindowsOf(d.pid());
    for (unsigned long w : d.x->viewableWindowsNamed(d.pid(), "tapwell")) {
      if (std::find(docked.begin(), docked.end(), w) != docked.end()) continue;
      menu = w;
      return d.x->geometry(w).width > 20 && d.x->geometry(w).height > 20;
    }
    return false;
  };
  bool popped = false;
  for (int attempt = 0; attempt < 2 && !popped; ++attempt) {
    ASSERT_TRUE(xs::Click(*d.server, icon.x + icon.width / 2, icon.y + icon.height / 2));
    popped = WaitUntil(menuShown, attempt == 0 ? 2000 : xs::kWaitMs);
  }
  ASSERT_TRUE(popped) << "a left click on the icon did not pop up the menu\n"
                      << xs::Run({"/usr/bin/xwininfo", "-root", "-tree"}, d.server->env()).out;
  const Observer::Geometry mg = d.x->geometry(menu);
  ASSERT_TRUE(xs::Click(*d.server, mg.x + 30, mg.y + 10));
  ASSERT_TRUE(WaitUntil([&] { return (main = d.viewable("Tapwell")) != 0; }))
      << "show did not bring the main window back";
  ASSERT_TRUE(WaitUntil([&] { return !menuShown(); })) << "the menu stays";

  // The script waits a second, time enough to hand the focus to the receiver.
  ASSERT_TRUE(d.x->focus(main));
  ASSERT_TRUE(xs::Click(*d.server, clientX + 8 + 50, clientY + 48 + 10));
  ASSERT_TRUE(xs::Xdotool(*d.server, {"type", "--delay", "20", "!1\"abc\"_enter"}));
  ASSERT_TRUE(xs::Click(*d.server, clientX + 88 + 20, clientY + 72 + 10));
  ASSERT_TRUE(d.x->focus(receiver->window()));

  ASSERT_TRUE(receiver->waitFor("release Return")) << "the script's keys did not arrive";
  const xs::Strings got = xs::Names(receiver->finish());
  const xs::Strings want = {"press a", "release a", "press b",      "release b",
                            "press c", "release c", "press Return", "release Return"};
  EXPECT_EQ(got, want);
  EXPECT_NE(d.viewable("Tapwell"), 0u) << "the main window went away during the run";
}

}  // namespace
