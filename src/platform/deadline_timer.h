// A timer that calls its handler once, at a deadline on the steady clock: the
// stepper's timer.
#pragma once

#include <chrono>
#include <functional>
#include <optional>

namespace tapwell::platform {

class DeadlineTimer {
 public:
  using Clock = std::chrono::steady_clock;

  virtual ~DeadlineTimer() = default;

  // Calls the handler at deadline (at once when it has passed), never before it;
  // replaces any earlier deadline. Nothing cancels.
  virtual void callAt(std::optional<Clock::time_point> deadline) = 0;
  void cancel() { callAt(std::nullopt); }
  virtual std::optional<Clock::time_point> deadline() const = 0;
  bool scheduled() const { return deadline().has_value(); }

  virtual void setHandler(std::function<void()> handler) = 0;
};

}  // namespace tapwell::platform
