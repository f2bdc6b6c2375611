// Fuzzes the key script engine: any bytes become a script that runs to its end on
// recording fakes. A script must end or halt within a bound, and leave no key down.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>

#include "engine/errors.h"
#include "engine/simulation.h"
#include "engine/stepper.h"
#include "platform/fake/fakes.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tapwell;
  fake::RecordingKeyboard keyboard;
  fake::RecordingLauncher launcher;
  SimulatedTimer timer;
  fake::FakeCaption caption;
  fake::RecordingMessageBoxes boxes;
  KeyEmulator emu(keyboard, launcher, timer, caption, boxes);
  std::string script(reinterpret_cast<const char*>(data), size);
  // The first byte, when present, drives pause and resume at chosen steps.
  const unsigned pauseEvery = size > 0 ? (data[0] % 7) + 2 : 0;
  script += '#';
  emu.KeyEmu(script);
  std::size_t steps = 0;
  const std::size_t bound = 2 * script.size() + 64;
  for (;;) {
    if (!timer.advanceToTick()) {
      if (caption.text == "Play") {
        emu.StopBtnClick();
        continue;
      }
      break;
    }
    if (++steps > bound * 4) std::abort();
    try {
      emu.KeyEmuTimerTimer();
    } catch (const EConvertError&) {
      break;
    }
    if (pauseEvery && steps % pauseEvery == 0 && steps < bound) emu.StopBtnClick();
  }
  std::map<int, bool> down;
  for (const auto& e : keyboard.events) down[e.vk] = e.down;
  for (const auto& [vk, isDown] : down) {
    if (isDown) std::abort();
  }
  return 0;
}
