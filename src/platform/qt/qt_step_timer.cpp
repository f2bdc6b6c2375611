#include "platform/qt/qt_step_timer.h"

#include <sys/prctl.h>

#include <algorithm>
#include <cstdint>

namespace tapwell::platform {

namespace {

// Below this the deferral of poll() is under 0.1 ms: armed as it is.
constexpr std::int64_t kSplitFrom = 100;

}  // namespace

QtStepTimer::QtStepTimer(QObject* parent) : QObject(parent) {
  timer_.setTimerType(Qt::PreciseTimer);
  timer_.setSingleShot(true);
  // The kernel's default slack of 50 us on every wake-up is 5 % of a 1 ms step.
  ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
  connect(&timer_, &QTimer::timeout, this, [this] { onTimeout(); });
}

void QtStepTimer::callAt(std::optional<Clock::time_point> deadline) {
  deadline_ = deadline;
  if (deadline_) {
    arm();
  } else {
    timer_.stop();
  }
}

void QtStepTimer::arm() {
  const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(*deadline_ - Clock::now()).count();
  // Whole milliseconds, rounded down: the last fraction of one is spent on the
  // next rounds of the event loop, so that the handler never runs early and
  // rarely more than a fraction of a millisecond late.
  std::int64_t ms = left > 0 ? left / 1000000 : 0;
  // Short by twice the largest deferral: the rest is armed again in onTimeout.
  if (ms >= kSplitFrom) ms -= ms / 500 + 1;
  timer_.start(static_cast<int>(std::min<std::int64_t>(ms, INT32_MAX)));
}

void QtStepTimer::onTimeout() {
  if (!deadline_) return;
  if (Clock::now() < *deadline_) {
    arm();
    return;
  }
  deadline_.reset();
  if (handler_) handler_();
}

}  // namespace tapwell::platform
