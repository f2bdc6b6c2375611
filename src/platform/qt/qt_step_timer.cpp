#include "platform/qt/qt_step_timer.h"

#include <sys/prctl.h>

namespace tapwell::platform {

namespace {

// Below this the deferral of poll() is under 0.1 ms: armed as it is.
constexpr int kSplitFrom = 100;

}  // namespace

QtStepTimer::QtStepTimer(QObject* parent) : QObject(parent) {
  timer_.setTimerType(Qt::PreciseTimer);
  // The kernel's default slack of 50 us on every wake-up is 5 % of a 1 ms step.
  ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
  timer_.setInterval(interval_);
  connect(&timer_, &QTimer::timeout, this, [this] { onTimeout(); });
}

void QtStepTimer::setEnabled(bool on) {
  if (on) {
    if (!timer_.isActive()) arm(interval_);
  } else {
    timer_.stop();
  }
}

void QtStepTimer::setInterval(int ms) {
  interval_ = ms;
  if (timer_.isActive()) arm(interval_);
}

void QtStepTimer::arm(int ms) {
  deadline_ = Clock::now() + std::chrono::milliseconds(ms);
  // Short by twice the largest deferral: the rest is armed again in onTimeout.
  timer_.start(ms >= kSplitFrom ? ms - ms / 500 - 1 : ms);
}

void QtStepTimer::onTimeout() {
  const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline_ - Clock::now()).count();
  if (left > 0) {
    // Woken before the deadline: the whole milliseconds left, then the last
    // fraction of one on the next rounds of the event loop; never early.
    timer_.start(static_cast<int>(left / 1000000));
    return;
  }
  // The next interval counts from this tick, as a repeating timer's would.
  deadline_ = Clock::now() + std::chrono::milliseconds(interval_);
  timer_.setInterval(interval_ >= kSplitFrom ? interval_ - interval_ / 500 - 1 : interval_);
  if (handler_) handler_();
}

}  // namespace tapwell::platform
