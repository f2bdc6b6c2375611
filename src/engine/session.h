// One run of a key script without windows: the stepper, the trace of what it
// does and the outcome. The dry run and the real run share it.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

#include "engine/stepper.h"

namespace tapwell {

// Writes trace lines to a stream, each after the milliseconds since an origin.
class StreamTrace : public TraceSink {
 public:
  StreamTrace(std::ostream& out, StepTime origin) : out_(out), origin_(origin) {}
  void trace(StepTime at, std::string_view line) override;

 private:
  std::ostream& out_;
  StepTime origin_;
};

class ScriptSession : private StepperObserver {
 public:
  // trace may be null; messages, when given, receives the command-error box and
  // the error report as lines of text.
  ScriptSession(platform::Keyboard& keyboard, platform::Launcher& launcher, TraceSink* trace,
                std::ostream* messages);

  // Starts script + "#" at now; returns when the first step is due.
  std::optional<StepTime> start(std::string_view script, StepTime now);
  // Runs the step due now; returns when the next is due, nothing once the
  // script has ended or halted.
  std::optional<StepTime> step(StepTime now) { return stepper_.step(now); }

  // Whether a command error or a halt happened, or characters of a text could
  // not be typed.
  bool failed() const { return failed_; }
  Stepper& stepper() { return stepper_; }

 private:
  void onCommandError(const std::string& text) override;
  void onHalt(const std::string& message) override;
  void onTextNotTyped(const std::string& characters) override;

  Stepper stepper_;
  std::ostream* messages_;
  bool failed_ = false;
};

// Whether the script presses, releases or strikes a mouse button (ML, MR, MM)
// before its end.
bool ScriptUsesMouseButtons(std::string_view script);

// Runs script + "#" with the built-in US layout on a simulated clock that starts
// at 0 and prints one line per effect. Returns 0 when the script ended at "#"
// without error, 1 after a command error or a halt.
int DryRun(std::string_view script, std::ostream& out);

}  // namespace tapwell
