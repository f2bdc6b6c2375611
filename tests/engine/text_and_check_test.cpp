// The exact text command in the reader and the stepper, and the script checker.
#include <gtest/gtest.h>

#include <functional>

#include "engine/checker.h"
#include "engine/command.h"
#include "engine/keynames.h"
#include "engine/session.h"
#include "rig.h"

namespace tapwell {
namespace {

TEST(ExactText, OneStepTypesTheTextWithDoubledQuotesMadeOne) {
  test::Rig rig;
  rig.start("'it''s 日本'_a\"x\"''''''#");
  ASSERT_TRUE(rig.tick());
  EXPECT_EQ(rig.keyboard.texts, (std::vector<std::string>{"it's 日本"}));
  EXPECT_TRUE(rig.keyboard.events.empty());
  EXPECT_EQ(rig.buf(), "_a\"x\"''''''#");
  rig.runToEnd();
  EXPECT_EQ(rig.keyboard.texts, (std::vector<std::string>{"it's 日本", "''"}));
  EXPECT_TRUE(rig.boxes.shown.empty());
}

TEST(ExactText, CharactersTheKeyboardCouldNotTypeAreReportedAndTheScriptGoesOn) {
  test::Rig rig;
  rig.keyboard.untyped = "é漢";
  rig.start("'Hé漢'_a#");
  rig.runToEnd();
  // The windows' observer reports it as the default error report.
  EXPECT_EQ(rig.halts, (std::vector<std::string>{TextNotTypedMessage("é漢")}));
  EXPECT_EQ(rig.keyboard.events, (std::vector<fake::KeyEvent>{fake::Down('A'), fake::Up('A')}));
  EXPECT_EQ(rig.trace.lines.at(1), "1 untyped é漢");
  // The ASCII of the default typing goes; the rest is named, each character once.
  fake::RecordingKeyboard plain;
  EXPECT_EQ(plain.platform::Keyboard::typeText("aé!é漢"), "é漢");
  EXPECT_EQ(plain.events.size(), 6u);
}

TEST(ExactText, OnlyAScriptThatSendsAMouseButtonBeforeItsEndMakesAPointer) {
  EXPECT_TRUE(ScriptUsesMouseButtons("_a!1>ml<ml"));
  EXPECT_TRUE(ScriptUsesMouseButtons("\"x\"_MR"));
  EXPECT_FALSE(ScriptUsesMouseButtons("_m_l'_ml'\"ml\"_a"));
  EXPECT_FALSE(ScriptUsesMouseButtons("_a#_ml"));
  EXPECT_FALSE(ScriptUsesMouseButtons("_a\"x\"'abc_ml"));
}

TEST(ExactText, AnUnclosedTextIsACommandErrorAndTypesNothing) {
  test::Rig rig;
  rig.start("\"x\"'abc''#");
  rig.runToEnd();
  EXPECT_TRUE(rig.keyboard.texts.empty());
  ASSERT_EQ(rig.boxes.shown.size(), 1u);
  EXPECT_EQ(rig.boxes.shown[0].second, "コマンドエラー [']");
  EXPECT_FALSE(rig.kb().Running);
}

TEST(ExactText, TheReaderTakesTheWholeCommand) {
  const Command c = ReadCommand("'a''''b'''_x");
  EXPECT_EQ(c.kind, CommandKind::Text);
  EXPECT_EQ(c.text, "a''b'");
  EXPECT_EQ(c.length, 10u);
  EXPECT_EQ(ReadCommand("''").text, "");
  EXPECT_EQ(ReadCommand("'ab''").kind, CommandKind::Error);
}

TEST(ExactText, AQuoteEndsKeyTokensAndWaitsButNotProgramsOrLiterals) {
  test::Rig rig;
  rig.start("_enter'x'!2'y'>shift'z'<shift_''w'*a'b_c\"d'e\"#");
  rig.runToEnd();
  EXPECT_EQ(rig.keyboard.texts, (std::vector<std::string>{"x", "y", "z", "w"}));
  // "_'" strikes the apostrophe key: a quote first in a key token belongs to it.
  EXPECT_EQ(rig.keyboard.events,
            (std::vector<fake::KeyEvent>{fake::Down(13), fake::Up(13), fake::Down(16), fake::Up(16),
                                         fake::Down(222), fake::Up(222), fake::Down(67), fake::Up(67),
                                         fake::Down(68), fake::Up(68), fake::Down(222), fake::Up(222),
                                         fake::Down(69), fake::Up(69)}));
  EXPECT_EQ(rig.launcher.tokens, (std::vector<std::string>{"a'b"}));
  EXPECT_TRUE(rig.boxes.shown.empty());
  EXPECT_EQ(ReadCommand("!2'y'").waitMs, 2000);
  EXPECT_EQ(ReadCommand("!'y'").length, 1u);
}

class Check : public ::testing::Test {
 protected:
  std::vector<std::string> check(const std::string& script) {
    const CheckContext context{keyboard, "us",
                               [](const std::string& t) { return t == "notepad" || t == "/bin/sh"; }};
    std::vector<std::string> out;
    for (const Finding& f : CheckScript(script, context)) out.push_back(FormatFinding(f));
    return out;
  }
  // The US layout unless a test replaces it.
  struct Layout : fake::RecordingKeyboard {
    std::optional<platform::CharacterKey> keyForCharacter(char c) override {
      return keys ? keys(c) : UsKeyForCharacter(c);
    }
    std::function<std::optional<platform::CharacterKey>(char)> keys;
  } keyboard;
};

using Lines = std::vector<std::string>;

TEST_F(Check, ASoundScriptHasNoFindings) {
  EXPECT_EQ(check("*notepad!5_kanji_k_a>shift_1<Shift\"abc, 1-2.\"'Hello, World!''日本語'!1.25_enter_ "),
            Lines{});
  EXPECT_EQ(check(""), Lines{});
  EXPECT_EQ(check("_a#"), Lines{});
  // A quote ends a key token and a wait value: each command here is what it looks like.
  EXPECT_EQ(check("_enter'Hi'!2'x'>shift'y'<shift_'"), Lines{});
  EXPECT_TRUE(keyboard.events.empty()) << "the checker sent keys";
}

TEST_F(Check, ErrorsStopTheCheckAtTheirPosition) {
  EXPECT_EQ(check("\"a\"hello_b"),
            Lines{"4: error: 'h' is no command: a command begins with one of > < _ ! # * \" '"});
  EXPECT_EQ(check("日_a"),
            Lines{"1: error: '日' is no command: a command begins with one of > < _ ! # * \" '"});
  EXPECT_EQ(check("_a__b"), Lines{"3: error: empty key token: '_' is followed by '_'"});
  EXPECT_EQ(check("_a>"), Lines{"3: error: empty key token: '>' is followed by '#'"});
  EXPECT_EQ(check("_a\"abc"), Lines{"3: error: unclosed literal: no closing '\"'; nothing of it is typed"});
  EXPECT_EQ(check("\"x\"'abc''"), Lines{"4: error: unclosed text: no closing \"'\"; nothing of it is typed"});
  EXPECT_EQ(check("'日本'!1.2x3_a"), Lines{"9: error: wait value: 'x' is not a digit"});
  // The fourth decimal is never converted.
  EXPECT_EQ(check("!1.234x_a!5 _b"), Lines{"12: error: wait value: ' ' is not a digit"});
}

TEST_F(Check, KeyTokensThatAreNoKeyNames) {
  EXPECT_EQ(check("_return_Enter _a_abc_x"),
            (Lines{"2: warning: 'return' is no key name: it strikes only R; did you mean ENTER?",
                   "9: warning: 'Enter ' is no key name: it strikes only E; did you mean ENTER?",
                   "18: warning: 'abc' is no key name: it strikes only A"}));
  EXPECT_EQ(check(">control_escape<pageup_delet"),
            (Lines{"2: warning: 'control' is no key name: it strikes only C; did you mean CTRL?",
                   "10: warning: 'escape' is no key name: it strikes only E; did you mean ESC?",
                   "17: warning: 'pageup' is no key name: it strikes only P; did you mean PGUP?",
                   "24: warning: 'delet' is no key name: it strikes only D; did you mean DEL?"}));
}

TEST_F(Check, LiteralCharactersThatNeedShiftOrHaveNoKey) {
  EXPECT_EQ(
      check("\"Wé!\""),
      (Lines{"2: warning: 'W' needs Shift on the us layout: the literal types its key unshifted; use '...' "
             "for exact text",
             "3: warning: 'é' has no key on the us layout: the literal types nothing for it; use '...' for "
             "exact text",
             "4: warning: '!' needs Shift on the us layout: the literal types its key unshifted; use '...' "
             "for exact text"}));
  // The layout the checker is given decides: here no key gives "@".
  keyboard.keys = [](char c) { return c == '@' ? std::nullopt : UsKeyForCharacter(c); };
  EXPECT_EQ(check("\"a@\""),
            Lines{"3: warning: '@' has no key on the us layout: the literal types nothing for it; use "
                  "'...' for exact text"});
}

TEST_F(Check, ProgramTokensCutByACommandCharacter) {
  EXPECT_EQ(
      check("*/tmp/my_tool.sh"),
      (Lines{"2: warning: '/tmp/my' names no program, file, folder or address; the token ends at '_' and "
             "the rest strikes T",
             "10: warning: 'tool.sh' is no key name: it strikes only T"}));
  EXPECT_EQ(check("*!1*/bin/sh"),
            Lines{"2: warning: empty program token starts nothing; the token ends at '!'"});
}

TEST_F(Check, AWaitLongerThanTheLongestIsCutToIt) {
  EXPECT_EQ(check("!99999999_a!2147483.647_b"),
            Lines{"2: warning: wait of 99999999 seconds is longer than the longest wait: it waits 2147483.647 "
                  "seconds (24.8 days)"});
}

TEST_F(Check, TextAfterTheEndNeverRuns) {
  EXPECT_EQ(check("_a#_b"), Lines{"4: warning: text after '#' never runs"});
  EXPECT_EQ(check("#\"Wx"), Lines{"2: warning: text after '#' never runs"});
}

}  // namespace
}  // namespace tapwell
