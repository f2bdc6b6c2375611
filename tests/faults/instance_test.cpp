// One instance per display: further starts hand over to the running one, the
// command-line remote control reaches it, and an instance killed without warning
// does not keep the next one out.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>

#include "x_session.h"

namespace {

using xs::Gui;
using xs::Observer;
using xs::Strings;
using xs::WaitUntil;

constexpr int kMainWidth = 491;

// The program's environment with a runtime folder of the test's own.
struct Session {
  Session() { std::filesystem::permissions(runtime.path(), std::filesystem::perms::owner_all); }
  xs::TempFolder runtime;
  Strings env() const { return {"XDG_RUNTIME_DIR=" + runtime.path(), "QT_QPA_PLATFORM=xcb"}; }
};

bool MainShown(Observer& x, pid_t pid) {
  for (unsigned long w : x.viewableWindowsNamed(pid, "Tapwell")) {
    if (x.geometry(w).width == kMainWidth) return true;
  }
  return false;
}

TEST(OneInstance, FurtherStartsHandOverAndTheRemoteControlReachesTheFirst) {
  XS_NEED_TOOL(trayer, "trayer");
  XS_START_X(server);
  Observer x(*server);
  ASSERT_TRUE(x.ok());
  Session session;
  auto host = xs::StartTrayer(*server);
  ASSERT_TRUE(host);
  ASSERT_TRUE(WaitUntil([&] { return x.trayHostPresent(); }, 10000));
  auto first = Gui::Start(*server, {"--tray"}, session.env());
  ASSERT_TRUE(first.child);
  const pid_t pid = first.child->pid();
  ASSERT_TRUE(WaitUntil(
      [&] {
        first.drain();
        return x.embeddedWindowsOf(pid).size() == 1;
      },
      20000))
      << first.child->errText();

  // Started again in the tray: it ends at once and adds no icon.
  xs::Result r = xs::RunTapwell(*server, {"--tray"}, session.env(), 20000);
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(x.embeddedWindowsOf(pid).size(), 1u);
  EXPECT_FALSE(MainShown(x, pid));
  // Started again from the menu: the first's main window comes out.
  r = xs::RunTapwell(*server, {}, session.env(), 20000);
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(WaitUntil([&] { return MainShown(x, pid); }, 10000));
  r = xs::RunTapwell(*server, {"--hide"}, session.env(), 20000);
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(WaitUntil([&] { return !MainShown(x, pid); }, 10000));

  // A further instance on purpose, with its own icon.
  auto second = Gui::Start(*server, {"--new-instance", "--tray"}, session.env());
  ASSERT_TRUE(second.child);
  EXPECT_TRUE(WaitUntil(
      [&] {
        second.drain();
        return x.embeddedWindowsOf(second.child->pid()).size() == 1;
      },
      20000))
      << second.child->errText();
  // The remote control still reaches the first.
  r = xs::RunTapwell(*server, {"--quit"}, session.env(), 20000);
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(first.child->wait(10000), 0) << first.child->errText();
  EXPECT_EQ(x.embeddedWindowsOf(second.child->pid()).size(), 1u);
  second.child->signal(SIGTERM);
  EXPECT_EQ(second.child->wait(10000), 128 + SIGTERM) << second.child->errText();
}

TEST(OneInstance, AnInstanceKilledLeavesNothingThatKeepsTheNextOut) {
  XS_START_X(server);
  Observer x(*server);
  ASSERT_TRUE(x.ok());
  Session session;
  auto first = Gui::Start(*server, {}, session.env());
  ASSERT_TRUE(first.child);
  ASSERT_TRUE(WaitUntil(
      [&] {
        first.drain();
        return MainShown(x, first.child->pid());
      },
      20000))
      << first.child->errText();
  first.child->signal(SIGKILL);
  EXPECT_EQ(first.child->wait(10000), 128 + SIGKILL);
  // Its socket and lock are left behind.
  EXPECT_GE(std::distance(std::filesystem::directory_iterator(session.runtime.path()),
                          std::filesystem::directory_iterator{}),
            2);

  xs::Result r = xs::RunTapwell(*server, {"--abort"}, session.env(), 20000);
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("no instance"), std::string::npos) << r.err;
  auto next = Gui::Start(*server, {}, session.env());
  ASSERT_TRUE(next.child);
  ASSERT_TRUE(WaitUntil(
      [&] {
        next.drain();
        return MainShown(x, next.child->pid());
      },
      20000))
      << next.child->errText();
  r = xs::RunTapwell(*server, {"--abort"}, session.env(), 20000);
  EXPECT_EQ(r.code, 0) << r.err;
  r = xs::RunTapwell(*server, {"--quit"}, session.env(), 20000);
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(next.child->wait(10000), 0) << next.child->errText();
}

}  // namespace
