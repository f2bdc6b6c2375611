// The Pause key taken from the other programs while armed, and given back.
#include <gtest/gtest.h>
#include <poll.h>
// clang-format off
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
// clang-format on

#include <chrono>
#include <cstdlib>

#include "platform/x11/x11_stop_key.h"
#include "x_session.h"

namespace {

using tapwell::platform::x11::X11StopKey;

class StopKeyTest : public ::testing::Test {
 protected:
  // Closes the connections before their server goes.
  struct Closer {
    StopKeyTest& test;
    ~Closer() {
      test.key.reset();
      if (test.tester != nullptr) XCloseDisplay(test.tester);
      test.tester = nullptr;
    }
  };

  // Opens the test's own connection and the stop key on server.
  void open(const xs::XServer& server) {
    ::setenv("DISPLAY", server.name().c_str(), 1);
    tester = XOpenDisplay(server.name().c_str());
    ASSERT_NE(tester, nullptr);
    std::string why;
    key = X11StopKey::Open(why);
    ASSERT_TRUE(key) << why;
    key->setHandler([this] { ++presses; });
  }

  // Sends key events as a user's keyboard does.
  void send(KeySym keysym, bool down) {
    XTestFakeKeyEvent(tester, XKeysymToKeycode(tester, keysym), down ? True : False, CurrentTime);
    XSync(tester, False);
  }
  void stroke(KeySym keysym) {
    send(keysym, true);
    send(keysym, false);
  }

  // Reads the stop key's events until it has seen `count` presses in all.
  bool waitForPresses(int count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (;;) {
      key->readEvents();
      if (presses >= count) return true;
      if (std::chrono::steady_clock::now() >= deadline) return false;
      pollfd fd{key->connectionFd(), POLLIN, 0};
      ::poll(&fd, 1, 50);
    }
  }

  Display* tester = nullptr;
  std::unique_ptr<X11StopKey> key;
  int presses = 0;
};

TEST_F(StopKeyTest, TakesPauseWithAnyModifiersWhileArmedAndGivesItBack) {
  XS_START_X(server);
  std::string why;
  auto receiver = xs::Receiver::Start(*server, why);
  ASSERT_TRUE(receiver) << why;
  Closer closer{*this};
  ASSERT_NO_FATAL_FAILURE(open(*server));
  ASSERT_TRUE(key->arm(why)) << why;
  EXPECT_TRUE(key->armed());
  stroke(XK_Pause);
  EXPECT_TRUE(waitForPresses(1));
  // A script may hold Shift when the user reaches for the key.
  send(XK_Shift_L, true);
  stroke(XK_Pause);
  send(XK_Shift_L, false);
  EXPECT_TRUE(waitForPresses(2));

  key->disarm();
  EXPECT_FALSE(key->armed());
  stroke(XK_Pause);
  stroke(XK_a);
  ASSERT_TRUE(receiver->waitFor("release a", 5000));
  key->readEvents();
  EXPECT_EQ(presses, 2);
  // The focused window saw Pause only once the key was given back.
  EXPECT_EQ(xs::Names(receiver->finish()),
            (std::vector<std::string>{"press Shift_L", "release Shift_L", "press Pause", "release Pause",
                                      "press a", "release a"}));
}

TEST_F(StopKeyTest, AnotherProgramsGrabOfPauseIsRespected) {
  XS_START_X(server);
  Closer closer{*this};
  ASSERT_NO_FATAL_FAILURE(open(*server));
  const Window root = DefaultRootWindow(tester);
  const int pause = XKeysymToKeycode(tester, XK_Pause);
  // Ctrl+Pause belongs to another program: plain Pause can still be taken.
  XGrabKey(tester, pause, ControlMask, root, False, GrabModeAsync, GrabModeAsync);
  XSync(tester, False);
  std::string why;
  ASSERT_TRUE(key->arm(why)) << why;
  stroke(XK_Pause);
  EXPECT_TRUE(waitForPresses(1));
  key->disarm();
  // Plain Pause belongs to it as well: the key cannot be armed, and says why.
  XGrabKey(tester, pause, 0, root, False, GrabModeAsync, GrabModeAsync);
  XSync(tester, False);
  EXPECT_FALSE(key->arm(why));
  EXPECT_FALSE(key->armed());
  EXPECT_NE(why.find("another program"), std::string::npos) << why;
  // Once it lets go, arming works again.
  XUngrabKey(tester, pause, AnyModifier, root);
  XSync(tester, False);
  EXPECT_TRUE(key->arm(why)) << why;
}

}  // namespace
