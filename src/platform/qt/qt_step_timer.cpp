#include "platform/qt/qt_step_timer.h"

namespace tapwell::platform {

QtStepTimer::QtStepTimer(QObject* parent) : QObject(parent) {
  timer_.setTimerType(Qt::PreciseTimer);
  timer_.setInterval(interval_);
  connect(&timer_, &QTimer::timeout, this, [this] {
    if (handler_) handler_();
  });
}

void QtStepTimer::setEnabled(bool on) {
  if (on) {
    if (!timer_.isActive()) timer_.start(interval_);
  } else {
    timer_.stop();
  }
}

void QtStepTimer::setInterval(int ms) {
  interval_ = ms;
  if (timer_.isActive()) timer_.start(interval_);
}

}  // namespace tapwell::platform
