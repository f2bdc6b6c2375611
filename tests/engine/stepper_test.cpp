#include <gtest/gtest.h>

#include "engine/errors.h"
#include "rig.h"

namespace tapwell {
namespace {

using fake::Down;
using fake::KeyEvent;
using fake::Up;
using test::Rig;
using Events = std::vector<KeyEvent>;

TEST(Stepper, EmptyScriptEndsAtTheFirstStepWithoutEvents) {
  Rig rig;
  rig.emu.KeyEmu("#");
  EXPECT_TRUE(rig.kb().Running);
  EXPECT_TRUE(rig.timer.enabled());
  ASSERT_TRUE(rig.tick());
  EXPECT_EQ(rig.timer.now(), 1);
  EXPECT_FALSE(rig.kb().Running);
  EXPECT_TRUE(rig.kb().Buf.empty());
  EXPECT_TRUE(rig.keyboard.events.empty());
  // An ended script leaves the timer off: no idle ticks.
  EXPECT_FALSE(rig.timer.enabled());
}

TEST(Stepper, CommandErrorShowsTheCharacterAndEndsTheScriptAtTheNextStep) {
  Rig rig;
  rig.emu.KeyEmu("hello#");
  rig.tick();
  ASSERT_EQ(rig.boxes.shown.size(), 1u);
  EXPECT_EQ(rig.boxes.shown[0].first, "Tapwell:エラー");
  EXPECT_EQ(rig.boxes.shown[0].second, "コマンドエラー [h]");
  EXPECT_EQ(rig.buf(), "#");
  EXPECT_TRUE(rig.kb().Running);
  rig.tick();
  EXPECT_FALSE(rig.kb().Running);
  EXPECT_TRUE(rig.keyboard.events.empty());
}

TEST(Stepper, EverythingAfterTheFirstEndIsDiscarded) {
  Rig rig;
  rig.emu.KeyEmu("_a#_b#");
  rig.runToEnd();
  EXPECT_EQ(rig.keyboard.events, (Events{Down(65), Up(65)}));
  EXPECT_TRUE(rig.kb().Buf.empty());
}

TEST(Stepper, TextAfterALiteralIsACommandError) {
  Rig rig;
  rig.emu.KeyEmu("\"x\"y#");
  rig.tick();
  EXPECT_EQ(rig.keyboard.events, (Events{Down(88), Up(88)}));
  rig.tick();
  ASSERT_EQ(rig.boxes.shown.size(), 1u);
  EXPECT_EQ(rig.boxes.shown[0].second, "コマンドエラー [y]");
  rig.runToEnd();
  EXPECT_EQ(rig.keyboard.events.size(), 2u);
}

TEST(Stepper, WaitRunsTheNextCommandOneIntervalAfterItEnds) {
  Rig rig;
  rig.emu.KeyEmu("!2_a#");
  rig.tick();  // the wait command, at 1
  EXPECT_TRUE(rig.kb().WaitPending);
  EXPECT_EQ(rig.timer.interval(), 2000);
  rig.tick();  // the end of the wait, at 2001
  EXPECT_EQ(rig.timer.now(), 2001);
  EXPECT_FALSE(rig.kb().WaitPending);
  EXPECT_EQ(rig.timer.interval(), 1);
  EXPECT_TRUE(rig.keyboard.events.empty());
  rig.tick();
  EXPECT_EQ(rig.timer.now(), 2002);
  EXPECT_EQ(rig.keyboard.events, (Events{Down(65), Up(65)}));
}

TEST(Stepper, StrokeSetsLastKeyAndPressLeavesTheKeyDown) {
  Rig rig;
  rig.emu.KeyEmu("_a#");
  rig.tick();
  EXPECT_EQ(rig.keyboard.events, (Events{Down(65), Up(65)}));
  EXPECT_EQ(rig.kb().LastKey, 65);

  Rig held;
  held.emu.KeyEmu(">a!1<a#");
  held.tick();
  EXPECT_EQ(held.keyboard.events, (Events{Down(65)}));
  EXPECT_EQ(held.kb().LastKey, 65);
  held.runToEnd();
  EXPECT_EQ(held.keyboard.events, (Events{Down(65), Up(65)}));
}

TEST(Stepper, ShiftHeldAroundStrokes) {
  Rig rig;
  rig.emu.KeyEmu(">shift_1_/<Shift#");
  rig.runToEnd();
  EXPECT_EQ(rig.keyboard.events, (Events{Down(16), Down(49), Up(49), Down(0xBF), Up(0xBF), Up(16)}));
}

TEST(Stepper, FirstSampleScriptTrace) {
  Rig rig;
  rig.emu.KeyEmu("_Win_U_Enter_S_Enter!30_e!30_e!30_e!30_e!30_e!30_e!30_e!30_e##");
  rig.tick();
  EXPECT_EQ(rig.buf().substr(0, 12), "_U_Enter_S_E");
  rig.tick();
  EXPECT_EQ(rig.buf().substr(0, 8), "_Enter_S");
  rig.tick();
  rig.tick();
  rig.tick();
  EXPECT_EQ(rig.keyboard.events,
            (Events{Down(91), Up(91), Down(85), Up(85), Down(13), Up(13), Down(83), Up(83), Down(13), Up(13)}));
  EXPECT_EQ(rig.buf().substr(0, 6), "!30_e!");
  rig.tick();  // step 6: the wait
  EXPECT_EQ(rig.timer.interval(), 30000);
  EXPECT_TRUE(rig.kb().WaitPending);
  const auto waitStart = rig.timer.now();
  rig.tick();  // step 7: 30 s later, only ends the wait
  EXPECT_EQ(rig.timer.now() - waitStart, 30000);
  EXPECT_EQ(rig.buf().substr(0, 2), "_e");
  rig.tick();  // step 8: E
  EXPECT_EQ(rig.keyboard.events.back(), Up(69));
  EXPECT_EQ(rig.buf().substr(0, 4), "!30_");
  for (int step = 9; step <= 29; ++step) rig.tick();
  EXPECT_EQ(rig.buf(), "##");
  EXPECT_TRUE(rig.kb().Running);
  rig.tick();  // step 30
  EXPECT_FALSE(rig.kb().Running);
  EXPECT_TRUE(rig.kb().Buf.empty());
  EXPECT_EQ(rig.keyboard.events.size(), 10u + 16u);
  EXPECT_FALSE(rig.tick());
}

TEST(Stepper, ResumeTrace) {
  Rig rig;
  rig.emu.KeyEmu("!1_x#");
  rig.caption.text = "Play";
  rig.emu.StopBtnClick();
  EXPECT_EQ(rig.caption.text, "Stop");
  EXPECT_EQ(rig.buf(), ">Alt_Tab<Alt!1_x#");
  rig.tick();
  EXPECT_EQ(rig.buf(), "_Tab<Alt!1_x#");
  rig.tick();
  EXPECT_EQ(rig.buf(), "<Alt!1_x#");
  rig.tick();
  EXPECT_EQ(rig.buf(), "!1_x#");
  rig.tick();
  EXPECT_EQ(rig.buf(), "_x#");
  EXPECT_EQ(rig.timer.interval(), 1000);
  rig.tick();
  rig.tick();
  EXPECT_EQ(rig.buf(), "#");
  rig.tick();
  EXPECT_FALSE(rig.kb().Running);
  EXPECT_EQ(rig.keyboard.events, (Events{Down(18), Down(9), Up(9), Up(18), Down(88), Up(88)}));
}

TEST(Stepper, StopPausesAndPlayResumesWithAltTab) {
  Rig rig;
  rig.emu.KeyEmu("_a_b_c#");
  rig.tick();
  rig.emu.StopBtnClick();
  EXPECT_EQ(rig.caption.text, "Play");
  EXPECT_FALSE(rig.timer.enabled());
  EXPECT_FALSE(rig.tick());
  rig.emu.StopBtnClick();
  EXPECT_EQ(rig.caption.text, "Stop");
  EXPECT_TRUE(rig.timer.enabled());
  rig.runToEnd();
  EXPECT_EQ(rig.keyboard.events, (Events{Down(65), Up(65), Down(18), Down(9), Up(9), Up(18), Down(66), Up(66),
                                         Down(67), Up(67)}));
}

TEST(Stepper, StopDuringAWaitServesTheWholeWaitAgainFromPlay) {
  Rig rig;
  rig.emu.KeyEmu("!2_a#");
  rig.tick();  // wait set at 1
  rig.timer.advanceTo(1500);
  rig.emu.StopBtnClick();
  rig.timer.advanceTo(10000);
  rig.emu.StopBtnClick();
  EXPECT_EQ(rig.timer.due(), 12000);
  rig.tick();  // ends the wait
  EXPECT_TRUE(rig.keyboard.events.empty());
  rig.runToEnd();
  EXPECT_EQ(rig.keyboard.events, (Events{Down(18), Down(9), Up(9), Up(18), Down(65), Up(65)}));
}

TEST(Stepper, StopAfterTheEndDoesNothing) {
  Rig rig;
  rig.emu.StopBtnClick();
  EXPECT_EQ(rig.caption.text, "Stop");
  rig.emu.KeyEmu("_a#");
  rig.runToEnd();
  rig.emu.StopBtnClick();
  EXPECT_EQ(rig.caption.text, "Stop");
  EXPECT_FALSE(rig.timer.enabled());
}

TEST(Stepper, KeyEmuWhilePausedRunsExactlyOneStep) {
  Rig rig;
  rig.emu.KeyEmu("_a_b#");
  rig.tick();
  rig.emu.StopBtnClick();
  rig.emu.KeyEmu("_x_y#");
  EXPECT_TRUE(rig.tick());
  EXPECT_EQ(rig.caption.text, "Play");
  EXPECT_FALSE(rig.timer.enabled());
  EXPECT_EQ(rig.keyboard.events, (Events{Down(65), Up(65), Down(88), Up(88)}));
  EXPECT_EQ(rig.buf(), "_y#");
}

TEST(Stepper, KeyEmuWhileRunningReplacesTheRestAndAPendingWaitRunsOutFirst) {
  Rig rig;
  rig.emu.KeyEmu("_a_b_c#");
  rig.tick();
  rig.emu.KeyEmu("_x#");
  rig.runToEnd();
  EXPECT_EQ(rig.keyboard.events, (Events{Down(65), Up(65), Down(88), Up(88)}));

  Rig waiting;
  waiting.emu.KeyEmu("!3_a#");
  waiting.tick();
  waiting.emu.KeyEmu("_x#");
  waiting.tick();  // only ends the pending wait
  EXPECT_EQ(waiting.timer.now(), 3001);
  EXPECT_TRUE(waiting.keyboard.events.empty());
  waiting.tick();
  EXPECT_EQ(waiting.keyboard.events, (Events{Down(88), Up(88)}));
}

TEST(Stepper, AScriptEndingWithItsOwnEndSignEndsThere) {
  Rig rig;
  rig.emu.KeyEmu("_a##");
  EXPECT_EQ(rig.runToEnd(), 2);
  EXPECT_TRUE(rig.kb().Buf.empty());
}

TEST(Stepper, FailingWaitHaltsWithTheBufferIntact) {
  Rig rig;
  rig.emu.KeyEmu("_a!5 _b#");
  rig.tick();
  ASSERT_TRUE(rig.timer.advanceToTick());
  try {
    rig.emu.KeyEmuTimerTimer();
    FAIL() << "no conversion error";
  } catch (const EConvertError& e) {
    EXPECT_EQ(std::string(e.what()), "' ' は整数ではありません");
  }
  EXPECT_TRUE(rig.kb().Running);
  EXPECT_FALSE(rig.kb().WaitPending);
  EXPECT_FALSE(rig.timer.enabled());
  EXPECT_EQ(rig.buf(), "!5 _b#");
  EXPECT_EQ(rig.caption.text, "Stop");
  // Stop and Play run the prefix, then meet the same failing wait.
  rig.emu.StopBtnClick();
  EXPECT_EQ(rig.caption.text, "Play");
  rig.emu.StopBtnClick();
  rig.tick();
  rig.tick();
  rig.tick();
  ASSERT_TRUE(rig.timer.advanceToTick());
  EXPECT_THROW(rig.emu.KeyEmuTimerTimer(), EConvertError);
  EXPECT_EQ(rig.buf(), "!5 _b#");
  // A new script starts afresh.
  rig.emu.KeyEmu("_c#");
  rig.runToEnd();
  EXPECT_EQ(rig.keyboard.events.back(), Up(67));
  EXPECT_FALSE(rig.kb().Running);
}

TEST(Stepper, PlayAfterAnEndedScriptExecutesNothing) {
  Rig rig;
  rig.emu.KeyEmu("!1#");
  rig.tick();
  rig.emu.StopBtnClick();  // paused while waiting
  rig.emu.KeyEmu("#");     // one step: only ends the pending wait
  rig.tick();
  rig.tick();  // nothing: paused
  EXPECT_TRUE(rig.kb().Running);
  rig.emu.StopBtnClick();  // Play
  rig.runToEnd();
  EXPECT_FALSE(rig.kb().Running);
  // The prefix ran because the new script was still running.
  EXPECT_EQ(rig.keyboard.events, (Events{Down(18), Down(9), Up(9), Up(18)}));
  // Pause with no script running but a buffer left, then Play: nothing executes.
  Rig ended;
  ended.caption.text = "Play";
  ended.emu.StopBtnClick();
  EXPECT_EQ(ended.buf(), ">Alt_Tab<Alt");
  ended.emu.StopBtnClick();
  EXPECT_EQ(ended.caption.text, "Play");
  ended.emu.StopBtnClick();
  EXPECT_EQ(ended.buf(), ">Alt_Tab<Alt>Alt_Tab<Alt");
  ended.runToEnd();
  EXPECT_TRUE(ended.keyboard.events.empty());
}

// Decisions for what is left open, and mended faults.

TEST(StepperDecisions, ZeroWaitWaitsTheShortestInterval) {
  for (const char* script : {"!0_a#", "!_a#", "!0.000_a#"}) {
    Rig rig;
    rig.emu.KeyEmu(script);
    rig.tick();
    EXPECT_EQ(rig.timer.interval(), 1) << script;
    rig.runToEnd();
    EXPECT_EQ(rig.keyboard.events, (Events{Down(65), Up(65)})) << script;
    EXPECT_EQ(rig.timer.now(), 4) << script;
  }
}

TEST(StepperDecisions, EmptyKeyTokenIsACommandErrorNamingTheCommand) {
  for (const auto& [script, shown] : std::vector<std::pair<std::string, std::string>>{
           {"__a#", "コマンドエラー [_]"}, {">#", "コマンドエラー [>]"}, {"<!1#", "コマンドエラー [<]"}}) {
    Rig rig;
    rig.emu.KeyEmu(script);
    rig.runToEnd();
    ASSERT_EQ(rig.boxes.shown.size(), 1u) << script;
    EXPECT_EQ(rig.boxes.shown[0].second, shown);
    EXPECT_TRUE(rig.keyboard.events.empty()) << script;
    EXPECT_FALSE(rig.kb().Running);
  }
}

TEST(StepperDecisions, UnclosedLiteralIsACommandErrorAndTypesNothing) {
  Rig rig;
  rig.emu.KeyEmu("_a\"bcd#");
  rig.runToEnd();
  ASSERT_EQ(rig.boxes.shown.size(), 1u);
  EXPECT_EQ(rig.boxes.shown[0].second, "コマンドエラー [\"]");
  EXPECT_EQ(rig.keyboard.events, (Events{Down(65), Up(65)}));
}

TEST(StepperDecisions, HeldKeysAreReleasedNewestFirstWhenTheScriptEnds) {
  Rig rig;
  rig.emu.KeyEmu(">shift>ctrl_a#");
  rig.runToEnd();
  EXPECT_EQ(rig.keyboard.events, (Events{Down(16), Down(17), Down(65), Up(65), Up(17), Up(16)}));
  EXPECT_TRUE(rig.emu.heldKeys().empty());
}

TEST(StepperDecisions, HeldKeysAreReleasedAfterACommandErrorAHaltAndAReplacement) {
  Rig error;
  error.emu.KeyEmu(">shift\"\"?#");
  error.runToEnd();
  EXPECT_EQ(error.keyboard.events, (Events{Down(16), Up(16)}));

  Rig halt;
  halt.emu.KeyEmu(">ctrl!x#");
  halt.tick();
  ASSERT_TRUE(halt.timer.advanceToTick());
  EXPECT_THROW(halt.emu.KeyEmuTimerTimer(), EConvertError);
  EXPECT_EQ(halt.keyboard.events, (Events{Down(17), Up(17)}));

  Rig replaced;
  replaced.emu.KeyEmu(">alt!10#");
  replaced.tick();
  replaced.emu.KeyEmu("_a#");
  EXPECT_EQ(replaced.keyboard.events, (Events{Down(18), Up(18)}));
}

TEST(StepperDecisions, KeysGoUpBeforeTheErrorBoxOpensAndAtOnceOnReplacement) {
  // The box waits for the user, who must not be left with Shift held meanwhile.
  Rig error;
  Events whileOpen;
  error.boxes.onShow = [&] { whileOpen = error.keyboard.events; };
  error.emu.KeyEmu(">f5>shift\"a\"?#");
  error.runToEnd();
  ASSERT_EQ(error.boxes.shown.size(), 1u);
  EXPECT_EQ(whileOpen, (Events{Down(116), Down(16), Down(65), Up(65), Up(16), Up(116)}));

  // A new script in the middle of a long wait: the old one's keys are sent up
  // before the next tick, which is the end of that wait.
  Rig replaced;
  replaced.emu.KeyEmu(">alt!10#");
  replaced.tick();
  replaced.tick();
  const int before = replaced.keyboard.flushes;
  replaced.emu.KeyEmu("_a#");
  EXPECT_EQ(replaced.keyboard.events, (Events{Down(18), Up(18)}));
  EXPECT_EQ(replaced.keyboard.flushes, before + 1);
}

TEST(StepperDecisions, AScriptThatReleasesWhatItPressesSendsExactlyItsEvents) {
  Rig rig;
  rig.emu.KeyEmu(">a>b<a<b_c#");
  rig.runToEnd();
  EXPECT_EQ(rig.keyboard.events, (Events{Down(65), Down(66), Up(65), Up(66), Down(67), Up(67)}));
}

TEST(StepperDecisions, CommandErrorNamesAWholeUtf8Character) {
  Rig rig;
  rig.emu.KeyEmu("あ#");
  rig.tick();
  ASSERT_EQ(rig.boxes.shown.size(), 1u);
  EXPECT_EQ(rig.boxes.shown[0].second, "コマンドエラー [あ]");
}

TEST(StepperDecisions, BoxThatStartsAScriptWhileOpenLeavesAConsistentBuffer) {
  Rig rig;
  bool reentered = false;
  rig.boxes.onShow = [&] {
    if (reentered) return;
    reentered = true;
    // The clock fires while the box is open: the new script starts and steps run.
    rig.emu.KeyEmu("_q_w_e#");
    rig.tick();
    rig.tick();
  };
  rig.emu.KeyEmu("x_a_b#");
  rig.tick();
  EXPECT_EQ(rig.keyboard.events, (Events{Down('Q'), Up('Q'), Down('W'), Up('W')}));
  // Once the box is closed the rest is abandoned.
  EXPECT_EQ(rig.buf(), "#");
  rig.runToEnd();
  EXPECT_FALSE(rig.kb().Running);
  EXPECT_EQ(rig.keyboard.events.size(), 4u);
}

TEST(StepperDecisions, StepCostDoesNotCopyTheRest) {
  // The rest of a long script is not copied per step: the buffer's storage stays
  // put while commands are dropped from the front.
  Rig rig;
  std::string script;
  for (int i = 0; i < 1000; ++i) script += "_a";
  script += '#';
  rig.emu.KeyEmu(script);
  const char* before = rig.kb().Buf.view().data() + rig.kb().Buf.size();
  for (int i = 0; i < 100; ++i) rig.tick();
  EXPECT_EQ(rig.kb().Buf.view().data() + rig.kb().Buf.size(), before);
  EXPECT_EQ(rig.kb().Buf.size(), script.size() - 200);
}

}  // namespace
}  // namespace tapwell
