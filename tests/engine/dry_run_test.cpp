#include <gtest/gtest.h>

#include <map>
#include <random>
#include <sstream>

#include "engine/errors.h"
#include "engine/simulation.h"
#include "rig.h"

namespace tapwell {
namespace {

std::string Dry(const std::string& script, int* code = nullptr) {
  std::ostringstream out;
  const int rc = DryRun(script, out);
  if (code) *code = rc;
  return out.str();
}

TEST(DryRun, PrintsEveryEffectWithItsSimulatedTime) {
  int code = -1;
  EXPECT_EQ(Dry("_a!2\"b\"", &code), "1 down 65\n1 up 65\n2 wait 2000\n2003 down 66\n2003 up 66\n2004 end\n");
  EXPECT_EQ(code, 0);
}

TEST(DryRun, LaunchesWaitsAndReleasesAtTheEnd) {
  int code = -1;
  EXPECT_EQ(Dry("*my editor!0>shift_a", &code),
            "1 start my editor\n2 wait 0\n4 down 16\n5 down 65\n5 up 65\n6 up 16\n6 end\n");
  EXPECT_EQ(code, 0);
}

TEST(DryRun, CommandErrorIsFollowedByTheEndAtTheNextStep) {
  int code = -1;
  EXPECT_EQ(Dry("\"a\"x", &code), "1 down 65\n1 up 65\n2 error コマンドエラー [x]\n3 end\n");
  EXPECT_EQ(code, 1);
}

TEST(DryRun, HaltPrintsTheReleasesThenTheMessage) {
  int code = -1;
  EXPECT_EQ(Dry(">ctrl!1x", &code), "1 down 17\n2 up 17\n2 halt 'x' は整数ではありません\n");
  EXPECT_EQ(code, 1);
}

TEST(DryRun, ControlAndInvalidBytesAreEscaped) {
  EXPECT_EQ(Dry("\x01"), "1 error コマンドエラー [\\x01]\n2 end\n");
  EXPECT_EQ(Dry("\xff"), "1 error コマンドエラー [\\xFF]\n2 end\n");
  EXPECT_EQ(Dry("*a\tb"), "1 start a\\x09b\n2 end\n");
  EXPECT_EQ(EscapeForTerminal("é\xc2\x85z"), "é\\xC2\\x85z");
}

TEST(DryRun, TheAddedEndSignIsDiscardedBehindTheScriptsOwn) {
  EXPECT_EQ(Dry("_a#"), "1 down 65\n1 up 65\n2 end\n");
  EXPECT_EQ(Dry(""), "1 end\n");
}

// Every script, however malformed, ends or halts within a number of steps bounded
// by its length, and leaves no key held.
class GeneratedScripts : public ::testing::TestWithParam<int> {};

std::string RandomScript(std::mt19937& rng, bool commandsOnly) {
  static const std::vector<std::string> kPieces = {
      ">shift", "<shift", "_a", "_enter", "_", ">", "<", "!", "!0", "!0.001", "!1.5", "!x", "#", "*prog", "*",
      "\"", "\"abc\"", "\"\"", "x", "あ", " ", ".", "!.", "_Enter ", ">ctrl", "_ml", "\xff", "$"};
  std::uniform_int_distribution<int> length(0, 40);
  std::string script;
  const int n = length(rng);
  if (commandsOnly) {
    std::uniform_int_distribution<std::size_t> pick(0, kPieces.size() - 1);
    for (int i = 0; i < n; ++i) script += kPieces[pick(rng)];
  } else {
    std::uniform_int_distribution<int> byte(0, 255);
    for (int i = 0; i < n; ++i) script += static_cast<char>(byte(rng));
  }
  return script;
}

TEST_P(GeneratedScripts, EndOrHaltWithinABoundAndReleaseEverything) {
  std::mt19937 rng(static_cast<unsigned>(GetParam()));
  for (int round = 0; round < 400; ++round) {
    const std::string script = RandomScript(rng, round % 2 == 0) + "#";
    test::Rig rig;
    rig.emu.KeyEmu(script);
    // A step consumes at least one byte, a wait takes two steps, a command error one more.
    const std::size_t bound = 2 * script.size() + 4;
    std::size_t steps = 0;
    bool halted = false;
    while (rig.timer.advanceToTick()) {
      ASSERT_LT(steps, bound) << "script did not end: " << EscapeForTerminal(script);
      ++steps;
      try {
        rig.emu.KeyEmuTimerTimer();
      } catch (const EConvertError&) {
        halted = true;
        break;
      }
    }
    EXPECT_TRUE(halted || !rig.kb().Running) << EscapeForTerminal(script);
    EXPECT_TRUE(rig.emu.heldKeys().empty()) << EscapeForTerminal(script);
    // The last event of every key is a key-up.
    std::map<int, bool> down;
    for (const auto& e : rig.keyboard.events) down[e.vk] = e.down;
    for (const auto& [vk, isDown] : down) {
      EXPECT_FALSE(isDown) << "key " << vk << " left down by " << EscapeForTerminal(script);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Seeds, GeneratedScripts, ::testing::Range(1, 9));

}  // namespace
}  // namespace tapwell
