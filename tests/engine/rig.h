// A stepper on recording fakes and a simulated clock.
#pragma once

#include <string>

#include "engine/product.h"
#include "engine/simulation.h"
#include "engine/stepper.h"
#include "platform/fake/fakes.h"

namespace tapwell::test {

struct Rig {
  Rig() { AppTitle = "Tapwell"; }

  fake::RecordingKeyboard keyboard;
  fake::RecordingLauncher launcher;
  SimulatedTimer timer;
  fake::FakeCaption caption;
  fake::RecordingMessageBoxes boxes;
  KeyEmulator emu{keyboard, launcher, timer, caption, boxes};

  const KeyBufRecord& kb() const { return emu.keyBuf(); }
  std::string buf() const { return kb().Buf.str(); }

  // Advances the clock to the next tick and runs it; false when the timer is off.
  bool tick() {
    if (!timer.advanceToTick()) return false;
    emu.KeyEmuTimerTimer();
    return true;
  }
  // Ticks until the timer stays off; returns the number of ticks.
  int runToEnd(int limit = 100000) {
    int n = 0;
    while (n < limit && tick()) ++n;
    return n;
  }
};

}  // namespace tapwell::test
