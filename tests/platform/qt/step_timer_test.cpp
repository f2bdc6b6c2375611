// The stepper's timer on the real event loop: a long interval is armed in parts,
// but the handler runs once, at the end of the whole interval.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <functional>
#include <memory>

#include "platform/qt/qt_step_timer.h"

namespace {

using tapwell::platform::QtStepTimer;

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
  // Runs the event loop until done holds, for at most a generous bound.
  static void RunUntil(const std::function<bool()>& done) {
    QDeadlineTimer bound(20000);
    while (!done() && !bound.hasExpired()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  }

 private:
  std::unique_ptr<QCoreApplication> app_;
};

TEST_F(StepTimer, ALongIntervalTicksOnceAndNotBeforeItsEnd) {
  QtStepTimer timer;
  QElapsedTimer clock;
  std::vector<qint64> ticks;
  timer.setHandler([&] {
    ticks.push_back(clock.elapsed());
    timer.setEnabled(false);
  });
  // Armed in parts: 997 ms, then the rest.
  timer.setInterval(1000);
  clock.start();
  timer.setEnabled(true);
  QTimer::singleShot(500, Qt::PreciseTimer, QCoreApplication::instance(),
                     [&] { EXPECT_TRUE(timer.enabled()); });
  // A few milliseconds before the end the timer is still on and has not ticked.
  QTimer::singleShot(995, Qt::PreciseTimer, QCoreApplication::instance(), [&] {
    if (ticks.empty()) {
      EXPECT_TRUE(timer.enabled());
    }
  });
  RunUntil([&] { return !ticks.empty(); });
  ASSERT_EQ(ticks.size(), 1u);
  EXPECT_GE(ticks[0], 1000);
  EXPECT_EQ(timer.interval(), 1000);
}

TEST_F(StepTimer, RepeatsEveryWholeIntervalWhileOn) {
  QtStepTimer timer;
  QElapsedTimer clock;
  std::vector<qint64> ticks;
  timer.setHandler([&] {
    ticks.push_back(clock.nsecsElapsed());
    if (ticks.size() == 3) timer.setEnabled(false);
  });
  timer.setInterval(500);
  clock.start();
  timer.setEnabled(true);
  RunUntil([&] { return ticks.size() >= 3; });
  ASSERT_EQ(ticks.size(), 3u);
  for (std::size_t i = 0; i < ticks.size(); ++i)
    EXPECT_GE(ticks[i], 500'000'000 * static_cast<qint64>(i + 1)) << i;
}

TEST_F(StepTimer, ANewIntervalWhileOnRestartsFromNow) {
  QtStepTimer timer;
  QElapsedTimer clock;
  std::vector<qint64> ticks;
  timer.setHandler([&] {
    ticks.push_back(clock.elapsed());
    timer.setEnabled(false);
  });
  timer.setInterval(150);
  clock.start();
  timer.setEnabled(true);
  // Just before the first part would end, a new interval starts over.
  QTimer::singleShot(120, Qt::PreciseTimer, QCoreApplication::instance(), [&] { timer.setInterval(250); });
  // Switching on a timer that is on changes nothing.
  QTimer::singleShot(200, Qt::PreciseTimer, QCoreApplication::instance(), [&] { timer.setEnabled(true); });
  RunUntil([&] { return !ticks.empty(); });
  ASSERT_EQ(ticks.size(), 1u);
  EXPECT_GE(ticks[0], 120 + 250);
}

}  // namespace
