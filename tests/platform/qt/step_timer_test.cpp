// The stepper's timer on the real event loop: the handler runs once per
// deadline, never before it; a new deadline replaces the old one.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <functional>
#include <memory>
#include <vector>

#include "platform/qt/qt_step_timer.h"

namespace {

using tapwell::platform::QtStepTimer;
using Clock = QtStepTimer::Clock;
using namespace std::chrono_literals;

class StepTimer : public ::testing::Test {
 protected:
  void SetUp() override {
    if (QCoreApplication::instance() == nullptr) {
      static int argc = 1;
      static char name[] = "platform_qt_tests";
      static char* argv[] = {name, nullptr};
      app_ = std::make_unique<QCoreApplication>(argc, argv);
    }
  }
  // Runs the event loop until the condition holds, for at most ten seconds.
  static bool RunUntil(const std::function<bool()>& condition) {
    QDeadlineTimer bound(10000);
    while (!condition() && !bound.hasExpired())
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    return condition();
  }

 private:
  std::unique_ptr<QCoreApplication> app_;
};

TEST_F(StepTimer, ALongWaitCallsOnceAndNotBeforeItsDeadline) {
  QtStepTimer timer;
  std::vector<Clock::time_point> calls;
  timer.setHandler([&] { calls.push_back(Clock::now()); });
  // Long enough to be armed in parts.
  const auto deadline = Clock::now() + 300ms;
  timer.callAt(deadline);
  EXPECT_TRUE(timer.scheduled());
  ASSERT_TRUE(RunUntil([&] { return !calls.empty(); }));
  EXPECT_GE(calls[0], deadline);
  EXPECT_FALSE(timer.scheduled());
  // A second call would need a second deadline: one more, short, comes alone.
  timer.callAt(Clock::now() + 5ms);
  ASSERT_TRUE(RunUntil([&] { return calls.size() >= 2; }));
  EXPECT_EQ(calls.size(), 2u);
}

TEST_F(StepTimer, ANewDeadlineReplacesTheOldAndCancelStopsIt) {
  QtStepTimer replaced;
  QtStepTimer cancelled;
  QtStepTimer last;
  int replacedCalls = 0;
  int cancelledCalls = 0;
  bool lastCalled = false;
  replaced.setHandler([&] { ++replacedCalls; });
  cancelled.setHandler([&] { ++cancelledCalls; });
  last.setHandler([&] { lastCalled = true; });
  const auto now = Clock::now();
  replaced.callAt(now + 1h);
  replaced.callAt(now + 5ms);
  cancelled.callAt(now + 5ms);
  cancelled.cancel();
  EXPECT_FALSE(cancelled.scheduled());
  // Due well after the others: once it has run, theirs have passed.
  last.callAt(now + 100ms);
  ASSERT_TRUE(RunUntil([&] { return lastCalled; }));
  EXPECT_EQ(replacedCalls, 1);
  EXPECT_EQ(cancelledCalls, 0);
}

TEST_F(StepTimer, APassedDeadlineCallsAtOnce) {
  QtStepTimer timer;
  bool called = false;
  timer.setHandler([&] { called = true; });
  timer.callAt(Clock::now() - 1s);
  EXPECT_FALSE(called);  // from the event loop, not from callAt
  EXPECT_TRUE(RunUntil([&] { return called; }));
}

}  // namespace
