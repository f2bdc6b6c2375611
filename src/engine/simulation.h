// Running a key script on a simulated clock: the dry run.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>

#include "engine/stepper.h"

namespace tapwell {

// A step timer on a simulated clock. Time only moves when the owner advances it.
class SimulatedTimer : public StepTimer {
 public:
  void setEnabled(bool on) override;
  bool enabled() const override { return enabled_; }
  void setInterval(int ms) override;
  int interval() const override { return interval_; }

  std::int64_t now() const { return now_; }
  std::int64_t due() const { return due_; }
  // Moves the clock to the next tick; false when the timer is off.
  bool advanceToTick();
  // Moves the clock forward without ticking.
  void advanceTo(std::int64_t time) { now_ = time; }

 private:
  std::int64_t now_ = 0;
  std::int64_t due_ = 0;
  bool enabled_ = false;
  int interval_ = 1;
};

// Prints bytes as UTF-8, with invalid bytes and control characters as \xHH.
std::string EscapeForTerminal(std::string_view bytes);

// Runs script + "#" with the built-in US layout on a simulated clock and prints one
// line per effect. Returns 0 when the script ended at "#" without error, 1 after
// a command error or a halt.
int DryRun(std::string_view script, std::ostream& out);

}  // namespace tapwell
