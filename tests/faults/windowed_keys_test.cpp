// The windowed program ended or given a new script while its script holds keys:
// the script is typed into Edit1 and started with Test, as a user does.
#include <gtest/gtest.h>
// clang-format off
#include <X11/keysym.h>
// clang-format on
#include <signal.h>

#include <algorithm>
#include <thread>

#include "x_session.h"

namespace {

using xs::Gui;
using xs::Observer;
using xs::WaitUntil;

constexpr int kMainWidth = 491;
constexpr int kClientHeight = 104;
// Keycodes of the us keymap of Xvfb.
constexpr unsigned kShiftL = 50;
constexpr unsigned kControlL = 37;
constexpr unsigned kF5 = 71;

bool Has(const std::vector<unsigned>& keys, unsigned key) {
  return std::find(keys.begin(), keys.end(), key) != keys.end();
}

class Windowed : public ::testing::Test {
 protected:
  void SetUp() override {
    if (xs::Tool("xdotool").empty()) {
      if (xs::InCi()) FAIL() << "xdotool is not installed";
      GTEST_SKIP() << "xdotool is not installed";
    }
    std::string why;
    server = xs::XServer::Start(why);
    if (!server) {
      if (xs::InCi()) FAIL() << why;
      GTEST_SKIP() << why;
    }
    x = std::make_unique<Observer>(*server);
    ASSERT_TRUE(x->ok());
    keymapBefore = x->keymap();
    gui = Gui::Start(*server, {});
    ASSERT_TRUE(gui.child);
    // Without a tray host the main window comes with the report that the icon
    // could not be registered; it is closed first, as a user would.
    ASSERT_TRUE(WaitUntil([&] {
      gui.drain();
      main = 0;
      box = 0;
      for (unsigned long w : x->viewableWindowsNamed(gui.child->pid(), "Tapwell")) {
        (x->geometry(w).width == kMainWidth ? main : box) = w;
      }
      return main != 0 && box != 0;
    })) << gui.child->errText();
    x->requestClose(box);
    ASSERT_TRUE(WaitUntil([&] { return x->viewableWindowsNamed(gui.child->pid(), "Tapwell").size() == 1; }));
  }

  // Puts script into Edit1 and presses Test.
  void Start(const std::string& script) {
    const auto g = x->geometry(main);
    // The client area sits below the menu bar, at the bottom of the window.
    const int top = g.y + g.height - kClientHeight;
    const std::string editX = std::to_string(g.x + 8 + 236);
    const std::string editY = std::to_string(top + 48 + 10);
    const std::string testX = std::to_string(g.x + 88 + 37);
    const std::string testY = std::to_string(top + 72 + 12);
    ASSERT_TRUE(xs::Xdotool(*server, {"mousemove", editX, editY, "click", "1"}));
    ASSERT_TRUE(xs::Xdotool(*server, {"key", "ctrl+a", "BackSpace"}));
    ASSERT_TRUE(xs::Xdotool(*server, {"type", "--delay", "20", "--", script}));
    ASSERT_TRUE(xs::Xdotool(*server, {"mousemove", testX, testY, "click", "1"}));
  }

  bool WaitForKeys(const std::vector<unsigned>& keys) {
    return WaitUntil([&] {
      gui.drain();
      const auto down = x->keysDown();
      return std::all_of(keys.begin(), keys.end(), [&](unsigned k) { return Has(down, k); });
    });
  }

  void ExpectNothingLeft() {
    EXPECT_EQ(x->keysDown(), std::vector<unsigned>{});
    EXPECT_FALSE(x->buttonDown());
    EXPECT_EQ(x->keymap(), keymapBefore) << "a spare keycode kept its symbol";
  }

  std::unique_ptr<xs::XServer> server;
  std::unique_ptr<Observer> x;
  std::vector<unsigned long> keymapBefore;
  Gui gui;
  unsigned long main = 0;
  unsigned long box = 0;
};

TEST_F(Windowed, SigtermDuringShiftAndCtrlLeavesNothingDown) {
  Start(">shift>ctrl!10");
  ASSERT_TRUE(WaitForKeys({kShiftL, kControlL})) << gui.child->errText();
  gui.child->signal(SIGTERM);
  EXPECT_EQ(gui.child->wait(), 128 + SIGTERM) << gui.child->errText();
  ExpectNothingLeft();
}

TEST_F(Windowed, ClosingTheMainWindowDuringShiftAndCtrlLeavesNothingDown) {
  Start(">shift>ctrl!10");
  ASSERT_TRUE(WaitForKeys({kShiftL, kControlL})) << gui.child->errText();
  x->requestClose(main);
  EXPECT_EQ(gui.child->wait(), 0) << gui.child->errText();
  ExpectNothingLeft();
}

TEST_F(Windowed, SigtermWithASpareKeyHeldRestoresTheKeymap) {
  Start(">f13>shift!10");
  ASSERT_TRUE(WaitForKeys({kShiftL})) << gui.child->errText();
  const auto f13 = x->keycodesOf(XK_F13);
  ASSERT_EQ(f13.size(), 1u);
  EXPECT_TRUE(Has(x->keysDown(), f13[0]));
  gui.child->signal(SIGTERM);
  EXPECT_EQ(gui.child->wait(), 128 + SIGTERM) << gui.child->errText();
  ExpectNothingLeft();
}

TEST_F(Windowed, ANewScriptReleasesTheKeysTheOldOneHeld) {
  // The old script would hold F5 for longer than any wait of the test.
  Start(">f5!600");
  ASSERT_TRUE(WaitForKeys({kF5})) << gui.child->errText();
  // The program goes on with a script that holds nothing: F5 goes up.
  Start("!600");
  EXPECT_TRUE(WaitUntil([&] {
    gui.drain();
    return !Has(x->keysDown(), kF5);
  }));
  EXPECT_EQ(x->keysDown(), std::vector<unsigned>{});
  gui.child->signal(SIGTERM);
  EXPECT_EQ(gui.child->wait(), 128 + SIGTERM) << gui.child->errText();
  ExpectNothingLeft();
}

TEST_F(Windowed, ACommandErrorReleasesTheKeysTheScriptHeldWhileItsBoxIsOpen) {
  Start(">f5>shift\"a\"?");
  unsigned long errorBox = 0;
  ASSERT_TRUE(WaitUntil([&] {
    gui.drain();
    errorBox = x->viewableWindowNamed(gui.child->pid(), "Tapwell:エラー");
    return errorBox != 0;
  }));
  EXPECT_EQ(x->keysDown(), std::vector<unsigned>{});
  // The program goes on once the box is closed.
  x->requestClose(errorBox);
  EXPECT_TRUE(WaitUntil([&] {
    gui.drain();
    return x->viewableWindowNamed(gui.child->pid(), "Tapwell:エラー") == 0;
  }));
  EXPECT_EQ(x->viewableWindowsNamed(gui.child->pid(), "Tapwell").size(), 1u);
  x->requestClose(main);
  EXPECT_EQ(gui.child->wait(), 0) << gui.child->errText();
  ExpectNothingLeft();
}

}  // namespace
