// The XTest keyboard driven directly: how long spare keycodes keep their
// symbols, and how the pool is shared.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>
// clang-format off
#include <X11/Xlib.h>
#include <X11/keysym.h>
// clang-format on
#include <algorithm>
#include <cstdlib>
#include <functional>

#include "platform/x11/x11_keyboard.h"
#include "x_session.h"

namespace {

using tapwell::platform::x11::X11Keyboard;

class SpareKeys : public ::testing::Test {
 protected:
  // The keycodes that carry keysym, read on a connection of the test.
  int carrying(KeySym keysym) {
    int minKc = 0;
    int maxKc = 0;
    XDisplayKeycodes(display, &minKc, &maxKc);
    int per = 0;
    KeySym* syms = XGetKeyboardMapping(display, static_cast<KeyCode>(minKc), maxKc - minKc + 1, &per);
    int found = 0;
    for (int kc = 0; kc <= maxKc - minKc; ++kc)
      found += std::count(syms + kc * per, syms + (kc + 1) * per, keysym) > 0;
    XFree(syms);
    return found;
  }
  void stroke(X11Keyboard& k, std::uint8_t vk) {
    k.press(vk);
    k.release(vk);
  }
  // Runs the event loop until done holds, for a bounded time; whether it held.
  static bool RunEventLoopUntil(const std::function<bool()>& done) {
    return xs::WaitUntil([&] {
      QCoreApplication::processEvents();
      return done();
    });
  }

  Display* display = nullptr;
};

// Closes the test's connection before its server goes.
struct Connection {
  Display*& display;
  ~Connection() {
    if (display != nullptr) XCloseDisplay(display);
    display = nullptr;
  }
};

#define OPEN_KEYBOARD(server, keyboard)                               \
  XS_START_X(server);                                                 \
  ::setenv("DISPLAY", server->name().c_str(), 1);                     \
  display = XOpenDisplay(server->name().c_str());                     \
  ASSERT_NE(display, nullptr);                                        \
  Connection connection_{display};                                    \
  auto keyboard##_opened = X11Keyboard::Open();                       \
  ASSERT_TRUE(keyboard##_opened.keyboard) << keyboard##_opened.error; \
  X11Keyboard& keyboard = *keyboard##_opened.keyboard;

TEST_F(SpareKeys, ASpareSymbolStaysTheHoldTimeAfterTheScriptEnds) {
  int argc = 1;
  char name[] = "test";
  char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);
  OPEN_KEYBOARD(server, keyboard);
  // The owner's timer calls the keyboard back when it asks.
  QTimer wakeup;
  wakeup.setSingleShot(true);
  QObject::connect(&wakeup, &QTimer::timeout, [&] { keyboard.service(); });
  keyboard.setWakeupRequest([&](std::chrono::milliseconds delay) { wakeup.start(delay); });
  stroke(keyboard, 25);  // KANJI
  keyboard.flush();
  keyboard.sync();
  keyboard.scriptEnded();
  keyboard.sync();
  EXPECT_EQ(carrying(XK_Kanji), 1) << "dropped before receivers could look the key up";
  // The keyboard's own timer gives the symbol back after the hold time.
  EXPECT_TRUE(RunEventLoopUntil([&] {
    keyboard.sync();
    return carrying(XK_Kanji) == 0;
  })) << "the spare symbol is never given back";
  keyboard.shutdown();
}

TEST_F(SpareKeys, AFullPoolReusesItsLeastRecentlyUsedSlotButNotAHeldOne) {
  OPEN_KEYBOARD(server, keyboard);
  const std::size_t pool = keyboard.spareKeycodes().size();
  ASSERT_GE(pool, 8u);
  keyboard.press(25);  // held Kanji
  keyboard.flush();
  keyboard.sync();
  // Keypad digits and F13 to F24: 22 more symbols the us keymap lacks
  // unshifted (the keypad digits are there with Num Lock).
  std::vector<std::pair<std::uint8_t, KeySym>> spares;
  for (int n = 0; n <= 9; ++n) spares.emplace_back(96 + n, XK_KP_0 + static_cast<KeySym>(n));
  for (int n = 13; n <= 24; ++n) spares.emplace_back(111 + n, XK_F1 + static_cast<KeySym>(n - 1));
  std::vector<KeySym> used;
  std::vector<int> before;
  for (const auto& [vk, keysym] : spares) {
    used.push_back(keysym);
    before.push_back(carrying(keysym));
  }
  for (const auto& [vk, keysym] : spares) stroke(keyboard, vk);
  keyboard.flush();
  keyboard.sync();
  EXPECT_EQ(carrying(XK_Kanji), 1) << "a held key lost its symbol";
  // The newest pool-1 symbols are on the other slots; older ones gave theirs up.
  const std::size_t kept = std::min(pool - 1, used.size());
  for (std::size_t i = 0; i < used.size(); ++i) {
    EXPECT_EQ(carrying(used[i]), before[i] + (i >= used.size() - kept ? 1 : 0)) << XKeysymToString(used[i]);
  }
  keyboard.release(25);
  keyboard.flush();
  keyboard.sync();
  char keys[32];
  XQueryKeymap(display, keys);
  for (char byte : keys) EXPECT_EQ(byte, 0);
  keyboard.shutdown();
  EXPECT_EQ(carrying(XK_Kanji), 0);
  for (std::size_t i = 0; i < used.size(); ++i)
    EXPECT_EQ(carrying(used[i]), before[i]) << XKeysymToString(used[i]);
}

TEST_F(SpareKeys, ShutdownReleasesHeldKeysAndButtonsAndRestoresAutoRepeat) {
  OPEN_KEYBOARD(server, keyboard);
  XKeyboardState before{};
  XGetKeyboardControl(display, &before);
  keyboard.press(16);  // SHIFT
  keyboard.press(25);  // KANJI on a spare keycode
  keyboard.press('A');
  keyboard.press(1);  // left button
  keyboard.flush();
  keyboard.sync();
  XKeyboardState held{};
  XGetKeyboardControl(display, &held);
  EXPECT_NE(std::string(before.auto_repeats, 32), std::string(held.auto_repeats, 32))
      << "held keys still repeat";
  keyboard.shutdown();
  char keys[32];
  XQueryKeymap(display, keys);
  for (char byte : keys) EXPECT_EQ(byte, 0);
  Window root;
  Window child;
  int x;
  int y;
  int wx;
  int wy;
  unsigned mask = 0;
  XQueryPointer(display, DefaultRootWindow(display), &root, &child, &x, &y, &wx, &wy, &mask);
  EXPECT_EQ(mask & Button1Mask, 0u);
  XKeyboardState after{};
  XGetKeyboardControl(display, &after);
  EXPECT_EQ(std::string(before.auto_repeats, 32), std::string(after.auto_repeats, 32));
  EXPECT_EQ(carrying(XK_Kanji), 0);
}

}  // namespace
