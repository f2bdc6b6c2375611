// Ending the running script from the menus (and from outside), and telling when
// a script runs.
#include <gtest/gtest.h>

#include <QSignalSpy>

#include "main_fixture.h"

namespace tapwell::ui {
namespace {

using fake::Down;
using fake::Up;

class AbortTest : public testing::MainFixture {
 protected:
  // Whether the main window said a script runs, by its last signal.
  bool told(const QSignalSpy& spy) { return !spy.isEmpty() && spy.last().at(0).toBool(); }
};

TEST_F(AbortTest, EndsAWaitingScriptAsTheEndCommandDoes) {
  Tmain& m = form();
  QSignalSpy spy(&m, &Tmain::scriptRunningChanged);
  m.Edit1->setText(QStringLiteral(">shift!5_a"));
  m.TestBtn->click();
  EXPECT_TRUE(told(spy));
  m.KeyEmuTimerTimer();
  m.KeyEmuTimerTimer();
  ASSERT_EQ(m.stepper().interval(), 5000);
  m.Abort1->trigger();
  EXPECT_FALSE(told(spy));
  EXPECT_EQ(spy.count(), 2);
  EXPECT_EQ(keyboard.events, (std::vector<fake::KeyEvent>{Down(16), Up(16)}));
  EXPECT_FALSE(m.KeyEmuTimer->scheduled());
  EXPECT_EQ(m.stepper().interval(), 1);
  EXPECT_FALSE(m.stepper().record().Running);
  EXPECT_FALSE(m.stepper().record().WaitPending);
  EXPECT_TRUE(m.stepper().record().Buf.empty());
  // A new script starts afresh, with no wait left over.
  m.Edit1->setText(QStringLiteral("_b"));
  m.TestBtn->click();
  m.KeyEmuTimerTimer();
  EXPECT_EQ(keyboard.events.back(), Up(66));
}

TEST_F(AbortTest, APausedScriptRunsUntilItIsAbortedAndStopReadsStopAgain) {
  Tmain& m = form();
  QSignalSpy spy(&m, &Tmain::scriptRunningChanged);
  m.Edit1->setText(QStringLiteral("_a_b"));
  m.TestBtn->click();
  m.KeyEmuTimerTimer();
  m.StopBtn->click();
  ASSERT_EQ(m.StopBtn->text(), "Play");
  EXPECT_TRUE(m.scriptRunning());
  EXPECT_EQ(spy.count(), 1);
  m.abort2->trigger();
  EXPECT_EQ(m.StopBtn->text(), "Stop");
  EXPECT_FALSE(told(spy));
  // Stop now finds nothing to pause.
  m.StopBtn->click();
  EXPECT_EQ(m.StopBtn->text(), "Stop");
}

TEST_F(AbortTest, AScriptThatEndsOrHaltsNoLongerRuns) {
  Tmain& m = form();
  QSignalSpy spy(&m, &Tmain::scriptRunningChanged);
  m.Edit1->setText(QStringLiteral("_a"));
  m.TestBtn->click();
  m.KeyEmuTimerTimer();
  EXPECT_TRUE(told(spy));
  m.KeyEmuTimerTimer();
  EXPECT_FALSE(told(spy));
  // A wait value that is no number halts the stepper with the script loaded.
  m.Edit1->setText(QStringLiteral("!x"));
  m.TestBtn->click();
  EXPECT_TRUE(told(spy));
  m.KeyEmuTimerTimer();
  EXPECT_EQ(errors.shown.size(), 1u);
  EXPECT_TRUE(m.stepper().record().Running);
  EXPECT_FALSE(told(spy));
  EXPECT_EQ(spy.count(), 4);
}

}  // namespace
}  // namespace tapwell::ui
