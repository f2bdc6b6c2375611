#include <gtest/gtest.h>

#include <sstream>

#include "engine/session.h"
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
  rig.start("#");
  EXPECT_TRUE(rig.kb().Running);
  EXPECT_TRUE(rig.scheduled());
  ASSERT_TRUE(rig.tick());
  EXPECT_EQ(rig.ms(), 1);
  EXPECT_FALSE(rig.kb().Running);
  EXPECT_TRUE(rig.kb().Buf.empty());
  EXPECT_TRUE(rig.keyboard.events.empty());
  // An ended script has no step due: no idle steps.
  EXPECT_FALSE(rig.scheduled());
}

TEST(Stepper, CommandErrorShowsTheCharacterAndEndsTheScriptAtTheNextStep) {
  Rig rig;
  rig.start("hello#");
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
  rig.start("_a#_b#");
  rig.runToEnd();
  EXPECT_EQ(rig.keyboard.events, (Events{Down(65), Up(65)}));
  EXPECT_TRUE(rig.kb().Buf.empty());
}

TEST(Stepper, TextAfterALiteralIsACommandError) {
  Rig rig;
  rig.start("\"x\"y#");
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
  rig.start("!2_a#");
  rig.tick();  // the wait command, at 1
  EXPECT_TRUE(rig.kb().WaitPending);
  EXPECT_EQ(rig.emu.interval(), 2000);
  rig.tick();  // the end of the wait, at 2001
  EXPECT_EQ(rig.ms(), 2001);
  EXPECT_FALSE(rig.kb().WaitPending);
  EXPECT_EQ(rig.emu.interval(), 1);
  EXPECT_TRUE(rig.keyboard.events.empty());
  rig.tick();
  EXPECT_EQ(rig.ms(), 2002);
  EXPECT_EQ(rig.keyboard.events, (Events{Down(65), Up(65)}));
}

TEST(Stepper, StrokeSetsLastKeyAndPressLeavesTheKeyDown) {
  Rig rig;
  rig.start("_a#");
  rig.tick();
  EXPECT_EQ(rig.keyboard.events, (Events{Down(65), Up(65)}));
  EXPECT_EQ(rig.kb().LastKey, 65);

  Rig held;
  held.start(">a!1<a#");
  held.tick();
  EXPECT_EQ(held.keyboard.events, (Events{Down(65)}));
  EXPECT_EQ(held.kb().LastKey, 65);
  held.runToEnd();
  EXPECT_EQ(held.keyboard.events, (Events{Down(65), Up(65)}));
}

TEST(Stepper, ShiftHeldAroundStrokes) {
  Rig rig;
  rig.start(">shift_1_/<Shift#");
  rig.runToEnd();
  EXPECT_EQ(rig.keyboard.events, (Events{Down(16), Down(49), Up(49), Down(0xBF), Up(0xBF), Up(16)}));
}

TEST(Stepper, FirstSampleScriptTrace) {
  Rig rig;
  rig.start("_Win_U_Enter_S_Enter!30_e!30_e!30_e!30_e!30_e!30_e!30_e!30_e##");
  rig.tick();
  EXPECT_EQ(rig.buf().substr(0, 12), "_U_Enter_S_E");
  rig.tick();
  EXPECT_EQ(rig.buf().substr(0, 8), "_Enter_S");
  rig.tick();
  rig.tick();
  rig.tick();
  EXPECT_EQ(rig.keyboard.events, (Events{Down(91), Up(91), Down(85), Up(85), Down(13), Up(13), Down(83),
                                         Up(83), Down(13), Up(13)}));
  EXPECT_EQ(rig.buf().substr(0, 6), "!30_e!");
  rig.tick();  // step 6: the wait
  EXPECT_EQ(rig.emu.interval(), 30000);
  EXPECT_TRUE(rig.kb().WaitPending);
  const auto waitStart = rig.ms();
  rig.tick();  // step 7: 30 s later, only ends the wait
  EXPECT_EQ(rig.ms() - waitStart, 30000);
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
  rig.start("!1_x#");
  rig.stopOrPlay();
  EXPECT_TRUE(rig.stopped());
  rig.stopOrPlay();
  EXPECT_FALSE(rig.stopped());
  EXPECT_EQ(rig.buf(), ">Alt_Tab<Alt!1_x#");
  rig.tick();
  EXPECT_EQ(rig.buf(), "_Tab<Alt!1_x#");
  rig.tick();
  EXPECT_EQ(rig.buf(), "<Alt!1_x#");
  rig.tick();
  EXPECT_EQ(rig.buf(), "!1_x#");
  rig.tick();
  EXPECT_EQ(rig.buf(), "_x#");
  EXPECT_EQ(rig.emu.interval(), 1000);
  rig.tick();
  rig.tick();
  EXPECT_EQ(rig.buf(), "#");
  rig.tick();
  EXPECT_FALSE(rig.kb().Running);
  EXPECT_EQ(rig.keyboard.events, (Events{Down(18), Down(9), Up(9), Up(18), Down(88), Up(88)}));
}

TEST(Stepper, StopPausesAndPlayResumesWithAltTab) {
  Rig rig;
  rig.start("_a_b_c#");
  rig.tick();
  rig.stopOrPlay();
  EXPECT_TRUE(rig.stopped());
  EXPECT_FALSE(rig.scheduled());
  EXPECT_FALSE(rig.tick());
  rig.stopOrPlay();
  EXPECT_FALSE(rig.stopped());
  EXPECT_TRUE(rig.scheduled());
  rig.runToEnd();
  EXPECT_EQ(rig.keyboard.events,
            (Events{Down(65), Up(65), Down(18), Down(9), Up(9), Up(18), Down(66), Up(66), Down(67), Up(67)}));
}

TEST(Stepper, StopDuringAWaitServesTheWholeWaitAgainFromPlay) {
  Rig rig;
  rig.start("!2_a#");
  rig.tick();  // wait set at 1
  rig.advanceTo(1500);
  rig.stopOrPlay();
  rig.advanceTo(10000);
  rig.stopOrPlay();
  EXPECT_EQ(rig.due(), 12000);
  rig.tick();  // ends the wait
  EXPECT_TRUE(rig.keyboard.events.empty());
  rig.runToEnd();
  EXPECT_EQ(rig.keyboard.events, (Events{Down(18), Down(9), Up(9), Up(18), Down(65), Up(65)}));
}

TEST(Stepper, StopAfterTheEndDoesNothing) {
  Rig rig;
  rig.stopOrPlay();
  EXPECT_FALSE(rig.stopped());
  rig.start("_a#");
  rig.runToEnd();
  rig.stopOrPlay();
  EXPECT_FALSE(rig.stopped());
  EXPECT_FALSE(rig.scheduled());
}

TEST(Stepper, EndStopsAWaitingOrStoppedScriptAtOnceWithItsKeysUp) {
  for (const bool stop : {false, true}) {
    SCOPED_TRACE(stop ? "stopped" : "waiting");
    Rig rig;
    rig.start(">shift!5_a#");
    rig.tick();
    rig.tick();
    ASSERT_EQ(rig.emu.interval(), 5000);
    if (stop) rig.stopOrPlay();
    rig.emu.end(rig.now);
    EXPECT_FALSE(rig.scheduled());
    EXPECT_FALSE(rig.stopped());
    EXPECT_FALSE(rig.kb().Running);
    EXPECT_FALSE(rig.kb().WaitPending);
    EXPECT_EQ(rig.buf(), "");
    EXPECT_EQ(rig.keyboard.events, (Events{Down(16), Up(16)}));
    EXPECT_EQ(rig.trace.lines.back(), std::to_string(rig.ms()) + " end");
    // The next script runs at once, with no wait left of the old one.
    rig.start("_b#");
    EXPECT_EQ(rig.due(), rig.ms() + 1);
  }
}

TEST(Stepper, KeyEmuWhilePausedRunsExactlyOneStep) {
  Rig rig;
  rig.start("_a_b#");
  rig.tick();
  rig.stopOrPlay();
  rig.start("_x_y#");
  EXPECT_TRUE(rig.tick());
  EXPECT_TRUE(rig.stopped());
  EXPECT_FALSE(rig.scheduled());
  EXPECT_EQ(rig.keyboard.events, (Events{Down(65), Up(65), Down(88), Up(88)}));
  EXPECT_EQ(rig.buf(), "_y#");
}

TEST(Stepper, KeyEmuWhileRunningReplacesTheRestAndAPendingWaitRunsOutFirst) {
  Rig rig;
  rig.start("_a_b_c#");
  rig.tick();
  rig.start("_x#");
  rig.runToEnd();
  EXPECT_EQ(rig.keyboard.events, (Events{Down(65), Up(65), Down(88), Up(88)}));

  Rig waiting;
  waiting.start("!3_a#");
  waiting.tick();
  waiting.start("_x#");
  waiting.tick();  // only ends the pending wait
  EXPECT_EQ(waiting.ms(), 3001);
  EXPECT_TRUE(waiting.keyboard.events.empty());
  waiting.tick();
  EXPECT_EQ(waiting.keyboard.events, (Events{Down(88), Up(88)}));
}

TEST(Stepper, AScriptEndingWithItsOwnEndSignEndsThere) {
  Rig rig;
  rig.start("_a##");
  EXPECT_EQ(rig.runToEnd(), 2);
  EXPECT_TRUE(rig.kb().Buf.empty());
}

TEST(Stepper, FailingWaitHaltsWithTheBufferIntact) {
  Rig rig;
  rig.start("_a!5 _b#");
  rig.tick();
  ASSERT_TRUE(rig.tick());
  EXPECT_EQ(rig.halts, std::vector<std::string>{"' ' は整数ではありません"});
  EXPECT_TRUE(rig.kb().Running);
  EXPECT_FALSE(rig.kb().WaitPending);
  EXPECT_FALSE(rig.scheduled());
  EXPECT_EQ(rig.buf(), "!5 _b#");
  EXPECT_FALSE(rig.stopped());
  // Stop and Play run the prefix, then meet the same failing wait.
  rig.stopOrPlay();
  EXPECT_TRUE(rig.stopped());
  rig.stopOrPlay();
  rig.tick();
  rig.tick();
  rig.tick();
  ASSERT_TRUE(rig.tick());
  EXPECT_EQ(rig.halts.size(), 2u);
  EXPECT_EQ(rig.buf(), "!5 _b#");
  // A new script starts afresh.
  rig.start("_c#");
  rig.runToEnd();
  EXPECT_EQ(rig.keyboard.events.back(), Up(67));
  EXPECT_FALSE(rig.kb().Running);
}

TEST(Stepper, PlayAfterAnEndedScriptExecutesNothing) {
  Rig rig;
  rig.start("!1#");
  rig.tick();
  rig.stopOrPlay();  // paused while waiting
  rig.start("#");    // one step: only ends the pending wait
  rig.tick();
  rig.tick();  // nothing: paused
  EXPECT_TRUE(rig.kb().Running);
  rig.stopOrPlay();  // Play
  rig.runToEnd();
  EXPECT_FALSE(rig.kb().Running);
  // The prefix ran because the new script was still running.
  EXPECT_EQ(rig.keyboard.events, (Events{Down(18), Down(9), Up(9), Up(18)}));
  // Pause with no script running but a buffer left, then Play: nothing executes.
  Rig ended;
  ended.start("!1#");
  ended.tick();
  ended.stopOrPlay();
  ended.start("#");
  ended.tick();  // ends the wait
  ended.start("#");
  ended.tick();  // ends the script, still stopped
  ASSERT_FALSE(ended.kb().Running);
  ASSERT_TRUE(ended.stopped());
  ended.stopOrPlay();
  EXPECT_EQ(ended.buf(), ">Alt_Tab<Alt");
  ended.stopOrPlay();
  EXPECT_TRUE(ended.stopped());
  ended.stopOrPlay();
  EXPECT_EQ(ended.buf(), ">Alt_Tab<Alt>Alt_Tab<Alt");
  ended.runToEnd();
  EXPECT_TRUE(ended.keyboard.events.empty());
}

// Decisions for what is left open, and mended faults.

TEST(StepperDecisions, ZeroWaitWaitsTheShortestInterval) {
  for (const char* script : {"!0_a#", "!_a#", "!0.000_a#"}) {
    Rig rig;
    rig.start(script);
    rig.tick();
    EXPECT_EQ(rig.emu.interval(), 1) << script;
    rig.runToEnd();
    EXPECT_EQ(rig.keyboard.events, (Events{Down(65), Up(65)})) << script;
    EXPECT_EQ(rig.ms(), 4) << script;
  }
}

TEST(StepperDecisions, EmptyKeyTokenIsACommandErrorNamingTheCommand) {
  for (const auto& [script, shown] : std::vector<std::pair<std::string, std::string>>{
           {"__a#", "コマンドエラー [_]"}, {">#", "コマンドエラー [>]"}, {"<!1#", "コマンドエラー [<]"}}) {
    Rig rig;
    rig.start(script);
    rig.runToEnd();
    ASSERT_EQ(rig.boxes.shown.size(), 1u) << script;
    EXPECT_EQ(rig.boxes.shown[0].second, shown);
    EXPECT_TRUE(rig.keyboard.events.empty()) << script;
    EXPECT_FALSE(rig.kb().Running);
  }
}

TEST(StepperDecisions, UnclosedLiteralIsACommandErrorAndTypesNothing) {
  Rig rig;
  rig.start("_a\"bcd#");
  rig.runToEnd();
  ASSERT_EQ(rig.boxes.shown.size(), 1u);
  EXPECT_EQ(rig.boxes.shown[0].second, "コマンドエラー [\"]");
  EXPECT_EQ(rig.keyboard.events, (Events{Down(65), Up(65)}));
}

TEST(StepperDecisions, HeldKeysAreReleasedNewestFirstWhenTheScriptEnds) {
  Rig rig;
  rig.start(">shift>ctrl_a#");
  rig.runToEnd();
  EXPECT_EQ(rig.keyboard.events, (Events{Down(16), Down(17), Down(65), Up(65), Up(17), Up(16)}));
  EXPECT_TRUE(rig.emu.heldKeys().empty());
}

TEST(StepperDecisions, HeldKeysAreReleasedAfterACommandErrorAHaltAndAReplacement) {
  Rig error;
  error.start(">shift\"\"?#");
  error.runToEnd();
  EXPECT_EQ(error.keyboard.events, (Events{Down(16), Up(16)}));

  Rig halt;
  halt.start(">ctrl!x#");
  halt.tick();
  ASSERT_TRUE(halt.tick());
  EXPECT_EQ(halt.halts.size(), 1u);
  EXPECT_EQ(halt.keyboard.events, (Events{Down(17), Up(17)}));

  Rig replaced;
  replaced.start(">alt!10#");
  replaced.tick();
  replaced.start("_a#");
  EXPECT_EQ(replaced.keyboard.events, (Events{Down(18), Up(18)}));
}

TEST(StepperDecisions, KeysGoUpBeforeTheErrorBoxOpensAndAtOnceOnReplacement) {
  // The box waits for the user, who must not be left with Shift held meanwhile.
  Rig error;
  Events whileOpen;
  error.boxes.onShow = [&] { whileOpen = error.keyboard.events; };
  error.start(">f5>shift\"a\"?#");
  error.runToEnd();
  ASSERT_EQ(error.boxes.shown.size(), 1u);
  EXPECT_EQ(whileOpen, (Events{Down(116), Down(16), Down(65), Up(65), Up(16), Up(116)}));

  // A new script in the middle of a long wait: the old one's keys are sent up
  // before the next tick, which is the end of that wait.
  Rig replaced;
  replaced.start(">alt!10#");
  replaced.tick();
  replaced.tick();
  const int before = replaced.keyboard.flushes;
  replaced.start("_a#");
  EXPECT_EQ(replaced.keyboard.events, (Events{Down(18), Up(18)}));
  EXPECT_EQ(replaced.keyboard.flushes, before + 1);
}

TEST(StepperDecisions, AScriptThatReleasesWhatItPressesSendsExactlyItsEvents) {
  Rig rig;
  rig.start(">a>b<a<b_c#");
  rig.runToEnd();
  EXPECT_EQ(rig.keyboard.events, (Events{Down(65), Down(66), Up(65), Up(66), Down(67), Up(67)}));
}

TEST(StepperDecisions, CommandErrorNamesAWholeUtf8Character) {
  Rig rig;
  rig.start("あ#");
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
    rig.start("_q_w_e#");
    rig.tick();
    rig.tick();
  };
  rig.start("x_a_b#");
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
  rig.start(script);
  const char* before = rig.kb().Buf.view().data() + rig.kb().Buf.size();
  for (int i = 0; i < 100; ++i) rig.tick();
  EXPECT_EQ(rig.kb().Buf.view().data() + rig.kb().Buf.size(), before);
  EXPECT_EQ(rig.kb().Buf.size(), script.size() - 200);
}

}  // namespace
}  // namespace tapwell

namespace tapwell {
namespace {

using namespace std::chrono_literals;
using test::Rig;

StepTime At(std::chrono::microseconds t) {
  return StepTime{} + t;
}

TEST(StepperDeadlines, LateStepsKeepTheScheduleAndAStallRebasesIt) {
  Rig rig;
  rig.start("_a_b!1_c_d_e#");
  EXPECT_EQ(rig.emu.nextStep(), At(1ms));
  // Each step late: the next one is still due one interval after the deadline.
  EXPECT_EQ(rig.emu.step(At(1700us)), At(2ms));         // _a
  EXPECT_EQ(rig.emu.step(At(2900us)), At(3ms));         // _b
  EXPECT_EQ(rig.emu.step(At(3ms + 40ms)), At(1003ms));  // the wait, 40 ms late
  EXPECT_EQ(rig.emu.step(At(1003ms)), At(1004ms));      // its end
  // A step more than 50 ms late counts from when it ran: no burst of catch-up steps.
  EXPECT_EQ(rig.emu.step(At(1004ms + 51ms)), At(1056ms));  // _c
  // A step run before its deadline, by hand, counts from when it ran.
  EXPECT_EQ(rig.emu.step(At(1056ms - 500us)), At(1056500us));  // _d
  EXPECT_EQ(rig.keyboard.events.size(), 8u);
}

TEST(StepperDeadlines, AThousandStrokesRunLateStillEndWhenTheDryRunSays) {
  std::string script;
  for (int i = 0; i < 1000; ++i) script += "_a";
  std::ostringstream dry;
  DryRun(script, dry);
  // Every step runs 0.9 ms after its deadline, as a busy event loop might.
  Rig rig;
  rig.start(script + "#");
  while (const auto due = rig.emu.nextStep()) rig.emu.step(*due + 900us);
  std::ostringstream traced;
  for (const auto& line : rig.trace.lines) traced << line << '\n';
  EXPECT_EQ(traced.str(), dry.str());
  EXPECT_EQ(rig.trace.lines.back(), "1001 end");
}

TEST(ScriptSession, CommandErrorsAndHaltsReachTheMessagesAfterTheRelease) {
  fake::RecordingKeyboard keyboard;
  fake::RecordingLauncher launcher;
  std::ostringstream messages;
  ScriptSession session(keyboard, launcher, nullptr, &messages);
  for (auto due = session.start(">shift\"\"?", StepTime{}); due; due = session.step(*due)) {
  }
  EXPECT_TRUE(session.failed());
  EXPECT_EQ(messages.str(), "Tapwell:エラー: コマンドエラー [?]\n");
  EXPECT_EQ(keyboard.events, (std::vector<fake::KeyEvent>{fake::Down(16), fake::Up(16)}));

  ScriptSession halted(keyboard, launcher, nullptr, &messages);
  messages.str("");
  for (auto due = halted.start("!1x_a", StepTime{}); due; due = halted.step(*due)) {
  }
  EXPECT_TRUE(halted.failed());
  EXPECT_EQ(messages.str(), "Tapwell: 'x' は整数ではありません.\n");
}

}  // namespace
}  // namespace tapwell
