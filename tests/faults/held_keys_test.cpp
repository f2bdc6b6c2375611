// The program ended in the middle of a script that holds keys, and scripts that
// fail while they hold keys: nothing stays down on the X server and no spare
// keycode keeps its symbol.
#include <gtest/gtest.h>
// clang-format off
#include <X11/keysym.h>
// clang-format on
#include <signal.h>

#include <algorithm>
#include <thread>

#include "x_session.h"

namespace {

using xs::Observer;
using xs::Strings;
using xs::WaitUntil;

// Keycodes of the us keymap of Xvfb.
constexpr unsigned kShiftL = 50;
constexpr unsigned kControlL = 37;

bool Has(const std::vector<unsigned>& keys, unsigned key) {
  return std::find(keys.begin(), keys.end(), key) != keys.end();
}

// Starts `tapwell --run script`, waits until the keys are down on the server,
// sends signo and checks what is left.
void SignalDuringHeldKeys(int signo, const std::string& script, const std::vector<unsigned>& held,
                          bool spare) {
  XS_START_X(server);
  Observer x(*server);
  ASSERT_TRUE(x.ok());
  const auto keymapBefore = x.keymap();
  auto child = xs::Child::Start({xs::TapwellPath(), "--run", script}, server->env());
  ASSERT_TRUE(child);
  ASSERT_TRUE(WaitUntil([&] {
    const auto down = x.keysDown();
    return std::all_of(held.begin(), held.end(), [&](unsigned k) { return Has(down, k); }) &&
           (!spare || !x.keycodesOf(XK_F13).empty());
  })) << "the script did not press its keys: "
      << child->errText();
  if (spare) {
    // The spare key is down too.
    const auto f13 = x.keycodesOf(XK_F13);
    ASSERT_EQ(f13.size(), 1u);
    EXPECT_TRUE(Has(x.keysDown(), f13[0]));
  }
  child->signal(signo);
  EXPECT_EQ(child->wait(), 128 + signo) << child->errText();
  EXPECT_EQ(x.keysDown(), std::vector<unsigned>{}) << "keys left down after signal " << signo;
  EXPECT_FALSE(x.buttonDown());
  EXPECT_EQ(x.keymap(), keymapBefore) << "a spare keycode kept its symbol";
  EXPECT_TRUE(x.keycodesOf(XK_F13).empty());
}

TEST(KilledRun, SigtermDuringShiftAndCtrlLeavesNothingDown) {
  SignalDuringHeldKeys(SIGTERM, ">shift>ctrl!10", {kShiftL, kControlL}, false);
}

TEST(KilledRun, SigtermWithASpareKeyHeldRestoresTheKeymap) {
  SignalDuringHeldKeys(SIGTERM, ">f13>shift!10", {kShiftL}, true);
}

TEST(KilledRun, HangupOfTheTerminalDuringHeldKeysLeavesNothingDown) {
  // XTest presses outlive the client that sent them: a program that died with a
  // key down would leave it down for the whole session.
  SignalDuringHeldKeys(SIGHUP, ">ctrl>shift!10", {kShiftL, kControlL}, false);
}

TEST(KilledRun, SigintWithASpareKeyHeldRestoresTheKeymap) {
  SignalDuringHeldKeys(SIGINT, ">shift>f13!10", {kShiftL}, true);
}

// A script that fails while it holds keys lets them go before the run ends.
struct Failure {
  std::string name;
  std::string script;
  std::string message;
};

class FailingScript : public ::testing::TestWithParam<Failure> {};

TEST_P(FailingScript, LeavesShiftUpAndSaysWhy) {
  XS_START_X(server);
  Observer x(*server);
  ASSERT_TRUE(x.ok());
  const auto keymapBefore = x.keymap();
  const xs::Result r = xs::RunTapwell(*server, {"--trace", "--run", GetParam().script});
  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_NE(r.err.find(GetParam().message), std::string::npos) << r.err;
  // The trace shows Shift (16) going up before the run ends.
  const auto down = r.err.find(" down 16\n");
  const auto up = r.err.find(" up 16\n");
  ASSERT_NE(down, std::string::npos) << r.err;
  ASSERT_NE(up, std::string::npos) << r.err;
  EXPECT_LT(down, up);
  EXPECT_EQ(x.keysDown(), std::vector<unsigned>{});
  EXPECT_EQ(x.keymap(), keymapBefore);
}

INSTANTIATE_TEST_SUITE_P(
    Run, FailingScript,
    ::testing::Values(Failure{"CommandError", ">shift\"a\"?", "コマンドエラー [?]"},
                      Failure{"HaltWithASpareKey", ">shift>f13!1x", "は整数ではありません"},
                      Failure{"CommandErrorAfterAWait", ">ctrl>shift_a!0.1\"b\"Z", "コマンドエラー [Z]"}),
    [](const ::testing::TestParamInfo<Failure>& p) { return p.param.name; });

}  // namespace
