// The windowed program without a tray host, and with one that goes away and
// comes back: the program runs on, its main window can always be reached, and
// the icon returns with the host.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <thread>

#include "x_session.h"

namespace {

using xs::Gui;
using xs::Observer;
using xs::WaitUntil;
using ::testing::Contains;
using ::testing::Not;

constexpr int kMainWidth = 491;

// The program's viewable windows titled with its name: the main window (by its
// width) and the rest (message boxes).
struct Windows {
  unsigned long main = 0;
  std::vector<unsigned long> boxes;
};

Windows Shown(Observer& x, pid_t pid) {
  Windows out;
  for (unsigned long w : x.viewableWindowsNamed(pid, "Tapwell")) {
    if (x.geometry(w).width == kMainWidth) {
      out.main = w;
    } else {
      out.boxes.push_back(w);
    }
  }
  return out;
}

std::unique_ptr<xs::Child> StartTrayer(const xs::XServer& server, const std::string& trayer) {
  return xs::Child::Start({trayer, "--edge", "top", "--align", "right", "--widthtype", "pixel", "--width",
                            "100", "--height", "24"},
                           server.env());
}

TEST(NoTrayHost, TheProgramRunsOnAndItsMainWindowStaysReachable) {
  for (const bool startHidden : {false, true}) {
    SCOPED_TRACE(startHidden ? "--tray" : "no options");
    XS_START_X(server);
    Observer x(*server);
    ASSERT_TRUE(x.ok());
    ASSERT_FALSE(x.trayHostPresent());
    auto gui = Gui::Start(*server, startHidden ? xs::Strings{"--tray"} : xs::Strings{});
    ASSERT_TRUE(gui.child);
    const pid_t pid = gui.child->pid();
    // After the splash: the main window, and the report that the icon could not
    // be registered; started for the tray, only once a tray host has been waited
    // for in vain (30 s).
    Windows shown;
    ASSERT_TRUE(WaitUntil(
        [&] {
          gui.drain();
          shown = Shown(x, pid);
          return shown.main != 0 && shown.boxes.size() == 1;
        },
        startHidden ? 50000 : 20000))
        << gui.child->errText();
    // Reachable: mapped, shown as usual (also with --tray, which has no tray to
    // hide in), and in the taskbar.
    EXPECT_THAT(x.netWmState(shown.main), Not(Contains("_NET_WM_STATE_SKIP_TASKBAR")));
    EXPECT_THAT(x.netWmState(shown.main), Not(Contains("_NET_WM_STATE_HIDDEN")));
    x.requestClose(shown.boxes[0]);
    ASSERT_TRUE(WaitUntil([&] {
      gui.drain();
      shown = Shown(x, pid);
      return shown.boxes.empty();
    }));
    // The program runs on; the clock ticks (two of them at least) do not report
    // the missing tray again.
    EXPECT_FALSE(WaitUntil(
        [&] {
          gui.drain();
          shown = Shown(x, pid);
          return shown.main == 0 || !shown.boxes.empty();
        },
        2500));
    EXPECT_NE(shown.main, 0u);
    EXPECT_TRUE(shown.boxes.empty());
    // Closing the main window ends the program normally.
    x.requestClose(shown.main);
    EXPECT_EQ(gui.child->wait(10000), 0) << gui.child->errText();
  }
}

TEST(TrayHost, GoesAwayAndComesBack) {
  XS_NEED_TOOL(trayer, "trayer");
  XS_START_X(server);
  Observer x(*server);
  ASSERT_TRUE(x.ok());
  auto host = StartTrayer(*server, trayer);
  ASSERT_TRUE(host);
  ASSERT_TRUE(WaitUntil([&] { return x.trayHostPresent(); }, 10000));

  auto gui = Gui::Start(*server, {"--tray"});
  ASSERT_TRUE(gui.child);
  const pid_t pid = gui.child->pid();
  // The icon is docked in the tray; the main window stays behind it.
  ASSERT_TRUE(WaitUntil(
      [&] {
        gui.drain();
        return !x.embeddedWindowsOf(pid).empty();
      },
      20000))
      << gui.child->errText();
  // Neither the main window nor a box comes up while the icon stays docked.
  EXPECT_FALSE(WaitUntil(
      [&] {
        gui.drain();
        const Windows now = Shown(x, pid);
        return now.main != 0 || !now.boxes.empty();
      },
      2500));

  // The host goes away: the program runs on and its main window comes back, in
  // the taskbar, since no icon leads to it any more.
  host->signal(SIGTERM);
  host->wait(10000);
  host.reset();
  ASSERT_TRUE(WaitUntil([&] { return !x.trayHostPresent(); }, 10000));
  Windows shown;
  EXPECT_TRUE(WaitUntil(
      [&] {
        gui.drain();
        shown = Shown(x, pid);
        return shown.main != 0;
      },
      5000))
      << "the main window cannot be reached without the tray";
  if (shown.main != 0) {
    EXPECT_TRUE(WaitUntil(
        [&] {
          const auto state = x.netWmState(shown.main);
          return std::find(state.begin(), state.end(), "_NET_WM_STATE_SKIP_TASKBAR") == state.end();
        },
        3000));
  }
  EXPECT_TRUE(x.embeddedWindowsOf(pid).empty());

  // A host comes back: the icon returns.
  host = StartTrayer(*server, trayer);
  ASSERT_TRUE(host);
  EXPECT_TRUE(WaitUntil(
      [&] {
        gui.drain();
        return !x.embeddedWindowsOf(pid).empty();
      },
      10000))
      << gui.child->errText();
  // No error report on the way.
  EXPECT_TRUE(Shown(x, pid).boxes.empty());
  gui.child->signal(SIGTERM);
  EXPECT_EQ(gui.child->wait(10000), 128 + SIGTERM) << gui.child->errText();
}

}  // namespace
