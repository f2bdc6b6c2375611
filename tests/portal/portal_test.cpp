// The real program against the remote control portal. A test portal on a
// private session bus stands in for the desktop's (whose consent dialog cannot
// be answered headless) and records the calls: the session is set up once per
// run and only when a key needs it, key names go as keycodes, exact text as
// keysyms, mouse keys as pointer buttons, held keys are released at SIGTERM, and
// a refusal, a closed session or a portal that leaves end the run with code 3.
// Where mutter is installed, the keys also go through a headless mutter into a
// native Wayland window, and the desktop's own portal asks and is answered no.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <algorithm>

#include "platform/portal/portal_keyboard.h"

#include "x_session.h"

namespace {

using Strings = std::vector<std::string>;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

// A session bus of the test's own, which starts no service by itself.
class Bus {
 public:
  static std::unique_ptr<Bus> Start(std::string& why) {
    auto bus = std::unique_ptr<Bus>(new Bus);
    const std::string config = bus->folder_.file("bus.conf");
    xs::WriteFile(
        config,
        "<busconfig><type>session</type><listen>unix:dir=" + bus->folder_.path() +
            "</listen><auth>EXTERNAL</auth><policy context=\"default\"><allow send_destination=\"*\"/>"
            "<allow receive_sender=\"*\"/><allow own=\"*\"/></policy></busconfig>\n");
    bus->daemon_ = xs::Child::Start(
        {"/usr/bin/dbus-daemon", "--config-file=" + config, "--nofork", "--nopidfile", "--print-address=1"},
        xs::Environment({}));
    if (!bus->daemon_ || !bus->daemon_->waitForLine([](const std::string& l) { return !l.empty(); })) {
      why = "no private session bus (dbus-daemon): " + (bus->daemon_ ? bus->daemon_->errText() : "");
      return nullptr;
    }
    bus->address_ = bus->daemon_->lines().front();
    return bus;
  }
  const std::string& address() const { return address_; }
  const xs::TempFolder& home() const { return folder_; }

  // The program on this bus in a Wayland session whose compositor offers no
  // virtual keyboard, so that the portal is its route.
  Strings env(Strings more = {}) const {
    Strings changes = {"DBUS_SESSION_BUS_ADDRESS=" + address_,
                       "XDG_CONFIG_HOME=" + folder_.path(),
                       "WAYLAND_DISPLAY=tapwell-no-such-socket",
                       "XDG_RUNTIME_DIR=/tmp",
                       "DISPLAY",
                       "TAPWELL_BACKEND",
                       "XKB_DEFAULT_LAYOUT"};
    changes.insert(changes.end(), more.begin(), more.end());
    return xs::Environment(changes);
  }

 private:
  Bus() = default;
  xs::TempFolder folder_;
  std::unique_ptr<xs::Child> daemon_;
  std::string address_;
};

std::unique_ptr<xs::Child> StartPortal(const Bus& bus, Strings args = {}) {
  args.insert(args.begin(), TEST_PORTAL);
  auto portal = xs::Child::Start(args, bus.env());
  if (portal && !portal->waitForLine([](const std::string& l) { return l == "ready"; })) return nullptr;
  return portal;
}

// The portal's lines after "ready", once the program has ended (every call is
// printed before it is answered).
Strings Calls(xs::Child& portal) {
  portal.drain();
  Strings lines = portal.lines();
  lines.erase(lines.begin(), std::find(lines.begin(), lines.end(), "ready") + 1);
  return lines;
}

xs::Result RunTapwell(const Bus& bus, const std::string& script) {
  return xs::Run({xs::TapwellPath(), "--run", script}, bus.env());
}

#define START_BUS(var)              \
  std::string var##_why;            \
  auto var = Bus::Start(var##_why); \
  ASSERT_TRUE(var) << var##_why;

TEST(TestPortal, OneSessionPerRunAtTheFirstKeyKeycodesForNamesKeysymsForTextAndButtons) {
  START_BUS(bus);
  auto portal = StartPortal(*bus);
  ASSERT_TRUE(portal);

  // No key, no session: the desktop asks nothing.
  const xs::Result idle = RunTapwell(*bus, "!0");
  EXPECT_EQ(idle.code, 0) << idle.err;
  EXPECT_THAT(Calls(*portal), IsEmpty());

  // A desktop that answers at once is not said to be waited for.
  const xs::Result r = RunTapwell(*bus, R"(_enter>shift_a<shift!0"hi"'~€'_ml_mm_mr_f13)");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  // clang-format off
  EXPECT_EQ(Calls(*portal), (Strings{
      "create-session", "select-devices types=3 persist=2 token=-", "start",
      "keycode 42 1", "keycode 42 0",                                  // the warm-up
      "keycode 28 1", "keycode 28 0",                                  // Enter
      "keycode 42 1", "keycode 30 1", "keycode 30 0", "keycode 42 0",  // Shift+A
      "keycode 35 1", "keycode 35 0", "keycode 23 1", "keycode 23 0",  // "hi"
      "keysym 126 1", "keysym 126 0", "keysym 8364 1", "keysym 8364 0",  // '~€'
      "button 272 1", "button 272 0",                                  // left
      "button 273 1", "button 273 0",                                  // right
      "button 274 1", "button 274 0",                                  // middle
      "keysym 65482 1", "keysym 65482 0",                              // F13: not on the keyboard
      "close"}));
  // clang-format on

  // The desktop's token is kept for the user alone and offered by the next run.
  const std::string tokenFile = bus->home().file("tapwell/portal-token");
  EXPECT_EQ(xs::ReadFile(tokenFile), "token-from-the-desktop\n");
  struct stat st {};
  ASSERT_EQ(::stat(tokenFile.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  const xs::Result again = RunTapwell(*bus, "_a");
  EXPECT_EQ(again.code, 0) << again.err;
  EXPECT_THAT(Calls(*portal),
              ::testing::Contains("select-devices types=3 persist=2 token=token-from-the-desktop"));
}

TEST(TestPortal, CharactersTheLayoutLacksAreNamedNotSentAndTheRunEndsWithCodeOne) {
  START_BUS(bus);
  auto portal = StartPortal(*bus);
  ASSERT_TRUE(portal);
  // The desktop drops a symbol no key of its layout carries: on us é and the
  // kanji; on de ß is a key of its own.
  const xs::Result r = RunTapwell(*bus, "'\u00e9\u6f22!@\u00df'_enter");
  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_EQ(
      r.err,
      "tapwell: these characters of the text could not be typed on this keyboard: \u00e9\u6f22\u00df\n");
  Strings calls = Calls(*portal);
  EXPECT_EQ(Strings(calls.begin() + 5, calls.end()),
            (Strings{"keysym 33 1", "keysym 33 0", "keysym 64 1", "keysym 64 0", "keycode 28 1",
                     "keycode 28 0", "close"}));
  const xs::Result de =
      xs::Run({xs::TapwellPath(), "--run", "'\u00df'"}, bus->env({"XKB_DEFAULT_LAYOUT=de"}));
  EXPECT_EQ(de.code, 0) << de.err;
  calls = Calls(*portal);
  EXPECT_THAT(calls, ::testing::Contains("keysym 223 1"));
  // A text of nothing the layout has asks the desktop nothing.
  portal->signal(SIGTERM);
  portal->wait();
  portal = StartPortal(*bus);
  ASSERT_TRUE(portal);
  const xs::Result none = RunTapwell(*bus, "'\u6f22'");
  EXPECT_EQ(none.code, 1) << none.err;
  EXPECT_THAT(Calls(*portal), IsEmpty());
}

TEST(TestPortal, ALongLiteralArrivesWholeWithinTheBussLimitOfPendingReplies) {
  START_BUS(bus);
  auto portal = StartPortal(*bus);
  ASSERT_TRUE(portal);
  std::string text;
  for (int i = 0; i < 2000; ++i) text += static_cast<char>('a' + i % 26);
  const xs::Result r = RunTapwell(*bus, "\"" + text + "\"");
  EXPECT_EQ(r.code, 0) << r.err;
  const Strings calls = Calls(*portal);
  EXPECT_EQ(std::count_if(calls.begin(), calls.end(),
                          [](const std::string& l) { return l.rfind("keycode ", 0) == 0; }),
            2 + 2 * 2000);
}

TEST(TestPortal, SigtermReleasesAHeldShiftAndEndsARunWhoseDialogIsOpen) {
  START_BUS(bus);
  auto portal = StartPortal(*bus);
  ASSERT_TRUE(portal);
  auto run = xs::Child::Start({xs::TapwellPath(), "--run", ">shift_a!30_b"}, bus->env());
  ASSERT_TRUE(run);
  ASSERT_TRUE(portal->waitForLine([](const std::string& l) { return l == "keycode 30 0"; }))
      << run->errText();
  run->signal(SIGTERM);
  EXPECT_EQ(run->wait(), 128 + SIGTERM) << run->errText();
  const Strings calls = Calls(*portal);
  ASSERT_GE(calls.size(), 2u);
  EXPECT_EQ(Strings(calls.end() - 2, calls.end()), (Strings{"keycode 42 0", "close"}));

  // While the desktop's dialog is open, a signal still ends the run, and asks
  // nothing more on its way out.
  portal->signal(SIGTERM);
  portal->wait();
  portal = StartPortal(*bus, {"--never-answer"});
  ASSERT_TRUE(portal);
  auto asking = xs::Child::Start({xs::TapwellPath(), "--run", ">shift_a"}, bus->env());
  ASSERT_TRUE(asking);
  ASSERT_TRUE(portal->waitForLine([](const std::string& l) { return l == "start"; })) << asking->errText();
  // The user is told what the dialog waits for.
  EXPECT_TRUE(asking->waitForError(
      "tapwell: waiting for the desktop's permission: switch on remote interaction, then Share\n"))
      << asking->errText();
  asking->signal(SIGTERM);
  EXPECT_EQ(asking->wait(), 128 + SIGTERM) << asking->errText();
  EXPECT_EQ(
      Calls(*portal),
      (Strings{"create-session", "select-devices types=3 persist=2 token=token-from-the-desktop", "start"}));
}

TEST(TestPortal, ARefusalAClosedSessionOrAPortalThatLeavesEndsTheRunWithCodeThree) {
  START_BUS(bus);
  {
    auto portal = StartPortal(*bus, {"--refuse"});
    ASSERT_TRUE(portal);
    const xs::Result r = RunTapwell(*bus, "_a");
    EXPECT_EQ(r.code, 3);
    EXPECT_THAT(r.err, HasSubstr("the desktop did not allow this program to send keys"));
    EXPECT_EQ(Calls(*portal).back(), "start refused");
    portal->signal(SIGTERM);
    portal->wait();
  }
  {
    // The user takes the permission back after the first key.
    auto portal = StartPortal(*bus, {"--close-after", "1"});
    ASSERT_TRUE(portal);
    const xs::Result r = RunTapwell(*bus, "_a!30_b");
    EXPECT_EQ(r.code, 3);
    EXPECT_THAT(r.err, HasSubstr("the desktop ended the remote control session"));
    portal->signal(SIGTERM);
    portal->wait();
  }
  {
    auto portal = StartPortal(*bus);
    ASSERT_TRUE(portal);
    auto run = xs::Child::Start({xs::TapwellPath(), "--run", "_a!30_b"}, bus->env());
    ASSERT_TRUE(run);
    ASSERT_TRUE(portal->waitForLine([](const std::string& l) { return l == "keycode 30 0"; }));
    portal->signal(SIGKILL);
    EXPECT_EQ(run->wait(), 3) << run->errText();
    EXPECT_THAT(run->errText(), HasSubstr("remote control portal left the session bus"));
  }
}

// In the windows, a refusal is handed to the program instead of ending it: the
// rest of that script asks nothing more, and the next script asks again.
TEST(TestPortal, WithAFailureHandlerARefusalEndsOnlyTheScriptAndTheNextOneAsksAgain) {
  START_BUS(bus);
  auto portal = StartPortal(*bus, {"--refuse"});
  ASSERT_TRUE(portal);
  ::setenv("DBUS_SESSION_BUS_ADDRESS", bus->address().c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", bus->home().path().c_str(), 1);
  int argc = 1;
  char name[] = "portal_tests";
  char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);
  auto opened = tapwell::platform::portal::PortalKeyboard::Open();
  ASSERT_TRUE(opened.keyboard) << opened.error;
  auto& keyboard = *opened.keyboard;
  Strings failures;
  keyboard.setFailureHandler([&failures](const std::string& why) { failures.push_back(why); });
  keyboard.press('A');
  keyboard.release('A');
  keyboard.press('B');
  EXPECT_EQ(failures.size(), 1u);
  keyboard.scriptEnded();
  keyboard.press('A');
  ASSERT_EQ(failures.size(), 2u);
  EXPECT_THAT(failures[1], HasSubstr("did not allow"));
  opened.keyboard.reset();
  const Strings calls = Calls(*portal);
  portal->signal(SIGTERM);
  portal->wait();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "start refused"), 2);
  EXPECT_EQ(
      std::count_if(calls.begin(), calls.end(), [](const std::string& c) { return c.rfind("key", 0) == 0; }),
      0);
}

// A headless mutter on the bus, with a Wayland socket in a runtime folder of
// its own: the compositor of GNOME, whose remote desktop session carries the
// portal's keys.
class Mutter {
 public:
  static bool Installed() { return ::access("/usr/bin/mutter", X_OK) == 0; }

  static std::unique_ptr<Mutter> Start(const Bus& bus, std::string& why) {
    auto mutter = std::unique_ptr<Mutter>(new Mutter(bus));
    ::chmod(mutter->runtime_.path().c_str(), 0700);
    mutter->child_ = xs::Child::Start({"/usr/bin/mutter", "--headless", "--virtual-monitor", "1280x800",
                                       "--wayland", "--no-x11", "--wayland-display=tapwell-mutter"},
                                      mutter->env());
    const std::string socket = mutter->runtime_.file("tapwell-mutter");
    const bool up =
        mutter->child_ && xs::WaitUntil([&] {
          mutter->child_->drain();
          return ::access(socket.c_str(), F_OK) == 0 && mutter->owned("org.gnome.Mutter.RemoteDesktop");
        });
    if (!up) {
      why = "mutter did not start: " + (mutter->child_ ? mutter->child_->errText() : "");
      return nullptr;
    }
    return mutter;
  }
  ~Mutter() {
    if (child_) {
      child_->signal(SIGTERM);
      child_->wait();
    }
  }

  // A client of this compositor on the bus, in a GNOME session.
  Strings env(Strings more = {}) const {
    Strings changes = {"WAYLAND_DISPLAY=tapwell-mutter", "XDG_RUNTIME_DIR=" + runtime_.path(),
                       "XDG_CURRENT_DESKTOP=GNOME", "GTK_A11Y=none"};
    changes.insert(changes.end(), more.begin(), more.end());
    return bus_.env(changes);
  }

  // Whether a name has an owner on the bus.
  bool owned(const std::string& name) const {
    const xs::Result r =
        xs::Run({"/usr/bin/dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
                 "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner", "string:" + name},
                env());
    return r.out.find("boolean true") != std::string::npos;
  }

 private:
  explicit Mutter(const Bus& bus) : bus_(bus) {}
  const Bus& bus_;
  xs::TempFolder runtime_;
  std::unique_ptr<xs::Child> child_;
};

#define START_MUTTER(bus, var)                                           \
  if (!Mutter::Installed()) {                                            \
    if (xs::InCi()) FAIL() << "mutter is not installed under CI";        \
    GTEST_SKIP() << "mutter is not installed (scripts/install-deps.sh)"; \
  }                                                                      \
  std::string var##_why;                                                 \
  auto var = Mutter::Start(*bus, var##_why);                             \
  ASSERT_TRUE(var) << var##_why;

TEST(HeadlessMutter, KeysThroughTheTestPortalArriveInANativeWindow) {
  START_BUS(bus);
  START_MUTTER(bus, mutter);
  // The test portal gives its consent and hands every key call on to mutter's
  // own remote desktop session: what a desktop's portal does after the dialog.
  auto portal = xs::Child::Start({TEST_PORTAL, "--forward-mutter"}, mutter->env());
  ASSERT_TRUE(portal && portal->waitForLine([](const std::string& l) { return l == "ready"; }));
  // A keyboard on the seat before the receiver starts, as a desktop has one.
  auto keyboard = xs::Child::Start({TEST_PORTAL, "--keyboard-on-mutter"}, mutter->env());
  ASSERT_TRUE(keyboard && keyboard->waitForLine([](const std::string& l) { return l == "ready"; }));
  auto receiver = xs::Child::Start({WL_RECEIVER}, mutter->env({"QT_QPA_PLATFORM=wayland"}));
  ASSERT_TRUE(receiver && receiver->waitForLine([](const std::string& l) { return l == "ready"; }))
      << (receiver ? receiver->errText() : "");

  // Chosen by itself: mutter offers no virtual keyboard, the bus a portal.
  const xs::Result r =
      xs::Run({xs::TapwellPath(), "--run", R"("hi">shift_a<shift"x"'~@'_enter)"}, mutter->env());
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  ASSERT_TRUE(receiver->waitForLine([](const std::string& l) { return l == "release Return"; })) << r.err;
  Strings events = receiver->lines();
  events.erase(events.begin(), std::find(events.begin(), events.end(), "ready") + 1);
  // The warm-up Shift of the new session is dropped by mutter; at most its
  // release arrives.
  if (!events.empty() && events.front() == "release Shift_L") events.erase(events.begin());
  // Exact text goes by symbol: the desktop adds the Shift that ~ and @ need.
  EXPECT_EQ(events, (Strings{"press h",
                             "release h",
                             "press i",
                             "release i",
                             "press Shift_L",
                             "press A",
                             "release A",
                             "release Shift_L",
                             "press x",
                             "release x",
                             "press Shift_L",
                             "press asciitilde",
                             "release asciitilde",
                             "release Shift_L",
                             "press Shift_L",
                             "press at",
                             "release at",
                             "release Shift_L",
                             "press Return",
                             "text hiAx~@",
                             "release Return"}));
}

TEST(HeadlessMutter, TheDesktopsOwnPortalAsksAndCancelEndsTheRunWithCodeThree) {
  START_BUS(bus);
  START_MUTTER(bus, mutter);
  const char* kPortal = "/usr/libexec/xdg-desktop-portal";
  const char* kGnome = "/usr/libexec/xdg-desktop-portal-gnome";
  if (::access(kPortal, X_OK) != 0 || ::access(kGnome, X_OK) != 0) {
    if (xs::InCi()) FAIL() << "xdg-desktop-portal-gnome is not installed under CI";
    GTEST_SKIP() << "xdg-desktop-portal-gnome is not installed (scripts/install-deps.sh)";
  }
  // The dialog's implementation first: the portal looks for it when it starts.
  auto gnome = xs::Child::Start({kGnome}, mutter->env());
  ASSERT_TRUE(gnome && xs::WaitUntil([&] {
                gnome->drain();
                return mutter->owned("org.freedesktop.impl.portal.desktop.gnome");
              }));
  auto portal = xs::Child::Start({kPortal}, mutter->env());
  ASSERT_TRUE(portal && xs::WaitUntil([&] {
                portal->drain();
                return mutter->owned("org.freedesktop.portal.Desktop");
              }));

  auto run = xs::Child::Start({xs::TapwellPath(), "--run", "_a"}, mutter->env());
  ASSERT_TRUE(run);
  // Tab and Space on the compositor, again and again, reach the dialog once it
  // is shown and press its Cancel button.
  auto user = xs::Child::Start({TEST_PORTAL, "--dismiss-on-mutter"}, mutter->env());
  ASSERT_TRUE(user);
  EXPECT_EQ(run->wait(), 3) << run->errText();
  EXPECT_THAT(run->errText(), HasSubstr("the desktop did not allow this program to send keys"));
}

}  // namespace
