// Fuzzes the key script engine: any bytes become a script that runs to its end on
// recording fakes. A script must end or halt within a bound, and leave no key down.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>

#include "engine/stepper.h"
#include "platform/fake/fakes.h"

namespace {

struct HaltFlag : tapwell::StepperObserver {
  void onCommandError(const std::string&) override {}
  void onHalt(const std::string&) override { halted = true; }
  bool halted = false;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tapwell;
  fake::RecordingKeyboard keyboard;
  fake::RecordingLauncher launcher;
  Stepper stepper(keyboard, launcher);
  std::string script(reinterpret_cast<const char*>(data), size);
  // The first byte, when present, drives pause and resume at chosen steps.
  const unsigned pauseEvery = size > 0 ? (data[0] % 7) + 2 : 0;
  script += '#';
  StepTime now{};
  stepper.start(script, now);
  std::size_t steps = 0;
  const std::size_t bound = 2 * script.size() + 64;
  HaltFlag flag;
  stepper.setObserver(&flag);
  for (;;) {
    const std::optional<StepTime> due = stepper.nextStep();
    if (!due) {
      if (!flag.halted && stepper.state() == Stepper::State::Stopped) {
        stepper.stopOrPlay(now);
        continue;
      }
      break;
    }
    now = *due;
    if (++steps > bound * 4) std::abort();
    stepper.step(now);
    if (flag.halted) break;
    if (pauseEvery && steps % pauseEvery == 0 && steps < bound) stepper.stopOrPlay(now);
  }
  std::map<int, bool> down;
  for (const auto& e : keyboard.events) down[e.vk] = e.down;
  for (const auto& [vk, isDown] : down) {
    if (isDown) std::abort();
  }
  return 0;
}
