// A script running into the wrong window is stopped before it types: by the
// Pause key, in the windows and in --run, and by --abort from the command line.
// Nothing stays pressed.
#include <gtest/gtest.h>
#include <signal.h>

#include <ctime>
#include <filesystem>

#include "x_session.h"

namespace {

using xs::Gui;
using xs::Observer;
using xs::Strings;
using xs::WaitUntil;

constexpr unsigned kShiftL = 50;  // keycode on the us keymap of Xvfb

// Holds Shift, waits three seconds, then would type "a".
constexpr const char* kScript = ">shift!3_a";

// What the receiving window saw. The stop key lets the keyboard go as soon as it
// is pressed, so the key's release may reach the window or not, as it comes.
std::vector<std::string> Seen(xs::Receiver& receiver) {
  std::vector<std::string> names = xs::Names(receiver.finish());
  std::erase(names, "release Pause");
  return names;
}

bool ShiftDown(Observer& x) {
  for (unsigned k : x.keysDown()) {
    if (k == kShiftL) return true;
  }
  return false;
}

TEST(EmergencyStop, ThePauseKeyEndsARunBeforeItTypes) {
  XS_NEED_TOOL(xdotool, "xdotool");
  XS_START_X(server);
  Observer x(*server);
  ASSERT_TRUE(x.ok());
  std::string why;
  auto receiver = xs::Receiver::Start(*server, why);
  ASSERT_TRUE(receiver) << why;
  auto run = xs::Child::Start({xs::TapwellPath(), "--run", kScript}, server->env());
  ASSERT_TRUE(run);
  ASSERT_TRUE(WaitUntil([&] { return ShiftDown(x); }, 10000)) << run->errText();
  ASSERT_TRUE(xs::Xdotool(*server, {"key", "Pause"}));
  EXPECT_EQ(run->wait(10000), 128 + SIGINT) << run->errText();
  EXPECT_EQ(x.keysDown(), std::vector<unsigned>{});
  // The window saw Shift go down and up, and neither the Pause key nor the "a".
  EXPECT_EQ(Seen(*receiver), (std::vector<std::string>{"press Shift_L", "release Shift_L"}));
}

// The windows started in the tray with a stored shortcut due in a few seconds,
// and a receiving window with the focus.
class ReservationStop : public ::testing::Test {
 protected:
  // Starts it all; a fatal failure when something does not come up.
  void start(const xs::XServer& server, Observer& x) {
    host_ = xs::StartTrayer(server);
    ASSERT_TRUE(host_);
    ASSERT_TRUE(WaitUntil([&] { return x.trayHostPresent(); }, 10000));
    std::filesystem::permissions(home_.path(), std::filesystem::perms::owner_all);
    due_ = std::time(nullptr) + 14;
    std::tm local{};
    ::localtime_r(&due_, &local);
    char time[16];
    std::strftime(time, sizeof time, "%H:%M:%S", &local);
    std::filesystem::create_directories(home_.file("config/qorvex"));
    xs::WriteFile(
        home_.file("config/qorvex/Tapwell.ini"),
        std::string("[data]\ntime1=") + (time[0] == '0' ? time + 1 : time) + "\ndata1=" + kScript + "\n");
    gui = Gui::Start(server, {"--tray"}, env());
    ASSERT_TRUE(gui.child);
    const pid_t pid = gui.child->pid();
    // The icon is docked and the splash has gone: the receiver keeps the focus.
    ASSERT_TRUE(WaitUntil(
        [&] {
          gui.drain();
          return !x.embeddedWindowsOf(pid).empty() && x.viewableWindowsNamed(pid, "startup").empty();
        },
        20000))
        << gui.child->errText();
    std::string why;
    receiver = xs::Receiver::Start(server, why);
    ASSERT_TRUE(receiver) << why;
    ASSERT_LT(std::time(nullptr), due_) << "the reservation came before the receiver was ready";
    ASSERT_TRUE(WaitUntil([&] { return ShiftDown(x); }, 30000)) << gui.child->errText();
  }

  // Checks that nothing is down and nothing is typed once the wait has run out.
  void expectStoppedBeforeTyping(Observer& x) {
    EXPECT_TRUE(WaitUntil([&] { return x.keysDown().empty(); }, 5000));
    EXPECT_FALSE(receiver->waitFor("press a", 5000)) << "typed after the stop";
    EXPECT_EQ(Seen(*receiver), (std::vector<std::string>{"press Shift_L", "release Shift_L"}));
    // The program runs on.
    gui.child->signal(SIGTERM);
    EXPECT_EQ(gui.child->wait(10000), 128 + SIGTERM) << gui.child->errText();
  }

  Strings env() const {
    return {"HOME=" + home_.path(), "XDG_CONFIG_HOME=" + home_.file("config"),
            "XDG_RUNTIME_DIR=" + home_.path()};
  }

  Gui gui;
  std::unique_ptr<xs::Receiver> receiver;

 private:
  xs::TempFolder home_;
  std::unique_ptr<xs::Child> host_;
  std::time_t due_ = 0;
};

TEST_F(ReservationStop, ThePauseKeyEndsTheWindowsScriptDuringItsWait) {
  XS_NEED_TOOL(xdotool, "xdotool");
  XS_NEED_TOOL(trayer, "trayer");
  XS_START_X(server);
  Observer x(*server);
  ASSERT_TRUE(x.ok());
  ASSERT_NO_FATAL_FAILURE(start(*server, x));
  ASSERT_TRUE(xs::Xdotool(*server, {"key", "Pause"}));
  expectStoppedBeforeTyping(x);
}

TEST_F(ReservationStop, AbortFromTheCommandLineEndsTheScriptDuringItsWait) {
  XS_NEED_TOOL(trayer, "trayer");
  XS_START_X(server);
  Observer x(*server);
  ASSERT_TRUE(x.ok());
  ASSERT_NO_FATAL_FAILURE(start(*server, x));
  const xs::Result r = xs::RunTapwell(*server, {"--abort"}, env(), 20000);
  EXPECT_EQ(r.code, 0) << r.err;
  expectStoppedBeforeTyping(x);
}

}  // namespace
