// A stepper on recording fakes and a simulated clock that moves only from step
// to step.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/stepper.h"
#include "platform/fake/fakes.h"

namespace tapwell::test {

struct Rig : StepperObserver {
  Rig() {
    emu.setObserver(this);
    emu.setTrace(&trace);
  }

  fake::RecordingKeyboard keyboard;
  fake::RecordingLauncher launcher;
  fake::RecordingMessageBoxes boxes;
  fake::RecordingTrace trace;
  std::vector<std::string> halts;
  Stepper emu{keyboard, launcher};
  StepTime now{};

  void onCommandError(const std::string& text) override { boxes.showMessage(CommandErrorCaption(), text); }
  void onHalt(const std::string& message) override { halts.push_back(message); }

  const KeyBufRecord& kb() const { return emu.record(); }
  std::string buf() const { return kb().Buf.str(); }
  static std::int64_t Ms(StepTime t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count();
  }
  // The simulated time in milliseconds.
  std::int64_t ms() const { return Ms(now); }
  bool scheduled() const { return emu.nextStep().has_value(); }
  std::int64_t due() const { return Ms(emu.nextStep().value_or(StepTime{})); }
  void advanceTo(std::int64_t ms) { now = StepTime{} + std::chrono::milliseconds(ms); }

  void start(std::string script) { emu.start(std::move(script), now); }
  void stopOrPlay() { emu.stopOrPlay(now); }
  bool stopped() const { return emu.state() == Stepper::State::Stopped; }
  // Moves the clock to the next step and runs it; false when none is due.
  bool tick() {
    const auto due = emu.nextStep();
    if (!due) return false;
    now = *due;
    emu.step(now);
    return true;
  }
  // Ticks until no step is due; returns the number of ticks.
  int runToEnd(int limit = 100000) {
    int n = 0;
    while (n < limit && tick()) ++n;
    return n;
  }
};

}  // namespace tapwell::test
