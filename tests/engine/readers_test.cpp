#include <gtest/gtest.h>

#include <set>

#include "engine/command.h"
#include "engine/keynames.h"
#include "rig.h"

namespace tapwell {
namespace {

using fake::Down;
using fake::KeyEvent;
using fake::Up;
using test::Rig;

// Runs one step of script (which gets no "#" added).
std::vector<KeyEvent> StepOnce(Rig& rig, const std::string& script) {
  rig.start(script);
  rig.tick();
  return rig.keyboard.events;
}

std::uint8_t KeyOf(const std::string& command) {
  Rig rig;
  auto events = StepOnce(rig, command + "#");
  EXPECT_FALSE(events.empty()) << command;
  return events.empty() ? 0 : events.front().vk;
}

TEST(KeyNames, TableHasTheSeventyOneNamesWithExactCodes) {
  const auto& table = KeyNameTable();
  std::set<std::string_view> names;
  for (const auto& entry : table) names.insert(entry.name);
  EXPECT_EQ(names.size(), 71u);
  EXPECT_EQ(FindKeyName("ENTER"), 13);
  EXPECT_EQ(FindKeyName("PRTSRC"), 44);
  EXPECT_FALSE(FindKeyName("PRTSC").has_value());
  EXPECT_EQ(FindKeyName("EXE"), 43);
  EXPECT_EQ(FindKeyName("CONV"), 28);
  EXPECT_EQ(FindKeyName("NUMPP"), 106);
  EXPECT_EQ(FindKeyName("NUMP"), 107);
  EXPECT_EQ(FindKeyName("SEPARATOR"), 108);
  EXPECT_EQ(FindKeyName("NUMM"), 109);
  EXPECT_EQ(FindKeyName("DECIMAL"), 110);
  EXPECT_EQ(FindKeyName("NUMMM"), 111);
  for (int n = 0; n <= 9; ++n) EXPECT_EQ(FindKeyName("NUM" + std::to_string(n)), 96 + n);
  for (int n = 1; n <= 24; ++n) EXPECT_EQ(FindKeyName("F" + std::to_string(n)), 111 + n);
  EXPECT_EQ(FindKeyName("ML"), 1);
  EXPECT_EQ(FindKeyName("MM"), 2);
  EXPECT_EQ(FindKeyName("MR"), 4);
  EXPECT_EQ(FindKeyName("NUM"), 144);
  EXPECT_EQ(FindKeyName("KANJI"), 25);
  EXPECT_EQ(FindKeyName("KANA"), 21);
  EXPECT_EQ(FindKeyName("enter"), std::nullopt);  // the table holds upper case only
}

TEST(KeyTokens, NamesAreCaseInsensitiveAndExact) {
  EXPECT_EQ(KeyOf("_enter"), 13);
  EXPECT_EQ(KeyOf("_Enter"), 13);
  EXPECT_EQ(KeyOf("_ENTER"), 13);
  EXPECT_EQ(KeyOf("_ml"), 1);
  EXPECT_EQ(KeyOf("_mm"), 2);
  EXPECT_EQ(KeyOf("_mr"), 4);
  EXPECT_EQ(KeyOf("_f24"), 135);
  EXPECT_EQ(KeyOf("_Win"), 91);
  // A trailing blank belongs to the token, so it is no name: the first character gives the key.
  EXPECT_EQ(KeyOf("_Enter "), 'E');
}

TEST(KeyTokens, FallbackTakesTheFirstCharacterUnshifted) {
  EXPECT_EQ(KeyOf("_abc"), 65);
  EXPECT_EQ(KeyOf("_ "), 32);
  EXPECT_EQ(KeyOf("_1"), 49);
  EXPECT_EQ(KeyOf("_-"), 0xBD);  // US minus key
  EXPECT_EQ(KeyOf("_@"), '2');   // @ is Shift+2 on a US keyboard; the shift is dropped
  EXPECT_EQ(KeyOf("_A"), 65);
  EXPECT_EQ(KeyOf("_u"), 85);
}

TEST(KeyTokens, ACharacterNoKeyProducesGives255) {
  EXPECT_EQ(KeyOf("_é"), 255);
  EXPECT_EQ(KeyOf("_\x7f"), 255);
}

TEST(KeyTokens, TheArgumentStopsAtTheNextCommandCharacter) {
  Rig rig;
  rig.start("_a!1#");
  rig.tick();
  EXPECT_EQ(rig.buf(), "!1#");
  for (const char* script : {"_a>b#", "_a<b#", "_a_b#", "_a#", "_a*x#", "_a\"x\"#"}) {
    Rig r;
    r.start(script);
    r.tick();
    EXPECT_EQ(r.buf(), std::string(script).substr(2)) << script;
  }
}

struct WaitCase {
  const char* command;
  std::int32_t ms;
};

class WaitValues : public ::testing::TestWithParam<WaitCase> {};

TEST_P(WaitValues, ReadAsSecondsWithAtMostThreeDecimals) {
  const std::string script = GetParam().command;
  const Command command = ReadCommand(script);
  EXPECT_EQ(command.kind, CommandKind::Wait);
  EXPECT_EQ(command.convertError, "");
  EXPECT_EQ(command.waitMs, GetParam().ms);
  // The command ends where the next command character starts.
  EXPECT_EQ(script.substr(command.length, 2), "_a");
}

INSTANTIATE_TEST_SUITE_P(
    Table, WaitValues,
    ::testing::Values(WaitCase{"!30_a", 30000}, WaitCase{"!5_a", 5000}, WaitCase{"!1.234_a", 1234},
                      WaitCase{"!1.5_a", 1500}, WaitCase{"!1.50_a", 1500}, WaitCase{"!1.500_a", 1500},
                      WaitCase{"!0.25_a", 250}, WaitCase{"!5._a", 5000}, WaitCase{"!.5_a", 500},
                      WaitCase{"!0.001_a", 1}, WaitCase{"!2.5678_a", 2567}, WaitCase{"!12.3456x_a", 12345},
                      WaitCase{"!1.2.34_a", 1234}, WaitCase{"!_a", 0}, WaitCase{"!2147483.647_a", 2147483647},
                      WaitCase{"!2147483.648_a", 2147483647},
                      WaitCase{"!99999999999999999999_a", 2147483647}));

TEST(WaitValues, ANonDigitHaltsAndLeavesTheCommand) {
  for (const auto& [script, bad] : std::vector<std::pair<std::string, std::string>>{{"!5 _a#", " "},
                                                                                    {"!-1_a#", "-"},
                                                                                    {"!+1_a#", "+"},
                                                                                    {"!1a_a#", "a"},
                                                                                    {"!1.x_a#", "x"},
                                                                                    {"!1.23x_a#", "x"},
                                                                                    {"!1あ_a#", "あ"}}) {
    const Command command = ReadCommand(script);
    EXPECT_EQ(command.kind, CommandKind::Wait) << script;
    EXPECT_EQ(command.convertError, "'" + bad + "' は整数ではありません") << script;
    EXPECT_EQ(command.length, 0u) << script;
    Rig rig;
    rig.start(script);
    rig.tick();
    EXPECT_EQ(rig.halts, std::vector<std::string>{command.convertError}) << script;
    EXPECT_EQ(rig.buf(), script);
  }
}

TEST(RunCommand, TheProgramTokenIsPassedUnchangedAndRemoved) {
  Rig rig;
  rig.start("*notepad!5#");
  rig.tick();
  ASSERT_EQ(rig.launcher.tokens, std::vector<std::string>{"notepad"});
  EXPECT_EQ(rig.buf(), "!5#");
  rig.start("*My Program.exe_a#");
  rig.tick();
  EXPECT_EQ(rig.launcher.tokens.back(), "My Program.exe");
  rig.start("*#");
  rig.tick();
  EXPECT_EQ(rig.launcher.tokens.back(), "");
  EXPECT_EQ(rig.buf(), "#");
}

TEST(Literals, LiteralsTypeEveryCharacterWithoutShiftOrCaseFolding) {
  Rig rig;
  rig.start("\"a#b\"#");
  rig.tick();
  EXPECT_EQ(rig.keyboard.events,
            (std::vector<KeyEvent>{Down(65), Up(65), Down('3'), Up('3'), Down(66), Up(66)}));
  EXPECT_EQ(rig.buf(), "#");

  Rig upper;
  upper.start("\"Ab!\"_x#");
  upper.tick();
  EXPECT_EQ(upper.keyboard.events,
            (std::vector<KeyEvent>{Down(65), Up(65), Down(66), Up(66), Down('1'), Up('1')}));
  EXPECT_EQ(upper.buf(), "_x#");
  // The literal does not change LastKey.
  EXPECT_EQ(upper.kb().LastKey, 0);
}

TEST(Literals, AnEmptyLiteralTypesNothing) {
  Rig rig;
  rig.start("\"\"_a#");
  rig.tick();
  EXPECT_TRUE(rig.keyboard.events.empty());
  EXPECT_EQ(rig.buf(), "_a#");
}

}  // namespace
}  // namespace tapwell
