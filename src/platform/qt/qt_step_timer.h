// The stepper's timer on Qt's event loop: "call me at this steady-clock time".
#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>
#include <optional>

#include "platform/deadline_timer.h"

namespace tapwell::platform {

// Calls its handler once, at a deadline on the steady clock, never before it.
//
// The event loop sleeps in poll(), whose timeout the kernel may defer by 0.1 % of
// its length (10 ms for a 10 s wait), and a millisecond timer may wake up to a
// millisecond early or late. A wait is therefore armed a little short, and the
// rest is finished with short timers that end at the deadline.
class QtStepTimer : public QObject, public DeadlineTimer {
  Q_OBJECT
 public:
  explicit QtStepTimer(QObject* parent = nullptr);

  // Calls the handler at deadline, or at once when it has passed; replaces any
  // earlier deadline. Nothing cancels.
  void callAt(std::optional<Clock::time_point> deadline) override;
  std::optional<Clock::time_point> deadline() const override { return deadline_; }

  void setHandler(std::function<void()> handler) override { handler_ = std::move(handler); }

 private:
  void arm();
  void onTimeout();

  QTimer timer_;
  std::optional<Clock::time_point> deadline_;
  std::function<void()> handler_;
};

}  // namespace tapwell::platform
