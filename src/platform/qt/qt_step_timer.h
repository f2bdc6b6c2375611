// The stepper's timer on Qt's event loop.
#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

#include "engine/stepper.h"

namespace tapwell::platform {

// A precise QTimer with the stepper's timer semantics: switching on a timer that
// is already on changes nothing (QTimer::start() would restart it), and an
// interval set while it is on restarts the interval.
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
  QTimer timer_;
  int interval_ = 1;
  std::function<void()> handler_;
};

}  // namespace tapwell::platform
