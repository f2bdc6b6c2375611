// The stepper's timer on Qt's event loop.
#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>

#include "engine/stepper.h"

namespace tapwell::platform {

// A precise QTimer with the stepper's timer semantics: switching on a timer that
// is already on changes nothing (QTimer::start() would restart it), and an
// interval set while it is on restarts the interval.
//
// The event loop sleeps in poll(), whose timeout the kernel may defer by 0.1 % of
// its length (10 ms for a 10 s wait). A long interval is therefore armed a little
// short and finished with a short timer that ends at the deadline.
class QtStepTimer : public QObject, public StepTimer {
  Q_OBJECT
 public:
  explicit QtStepTimer(QObject* parent = nullptr);

  void setEnabled(bool on) override;
  bool enabled() const override { return timer_.isActive(); }
  void setInterval(int ms) override;
  int interval() const override { return interval_; }

  // Called on every tick.
  void setHandler(std::function<void()> handler) { handler_ = std::move(handler); }

 private:
  using Clock = std::chrono::steady_clock;
  void arm(int ms);
  void onTimeout();

  QTimer timer_;
  Clock::time_point deadline_;
  int interval_ = 1;
  std::function<void()> handler_;
};

}  // namespace tapwell::platform
