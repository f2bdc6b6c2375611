// Engine benchmarks: the cost of one step against the length of the rest of the
// script, the readers, and the dry run of long scripts.
#include <benchmark/benchmark.h>

#include <sstream>
#include <string>

#include "engine/simulation.h"
#include "engine/stepper.h"
#include "platform/fake/fakes.h"

namespace {

using namespace tapwell;

class NullKeyboard : public platform::Keyboard {
 public:
  void keybd_event(std::uint8_t, platform::KeyDirection) override {}
  std::int16_t VkKeyScanA(char c) override { return static_cast<std::int16_t>(c); }
};

// One stroke step with `rest` bytes of script behind it.
void BM_StepCost(benchmark::State& state) {
  const auto rest = static_cast<std::size_t>(state.range(0));
  std::string script;
  while (script.size() < rest) script += "_a";
  script += '#';
  NullKeyboard keyboard;
  fake::RecordingLauncher launcher;
  SimulatedTimer timer;
  fake::FakeCaption caption;
  fake::RecordingMessageBoxes boxes;
  KeyEmulator emulator(keyboard, launcher, timer, caption, boxes);
  emulator.KeyEmu(script);
  for (auto _ : state) {
    if (emulator.keyBuf().Buf.size() < 8) {
      state.PauseTiming();
      emulator.KeyEmu(script);
      state.ResumeTiming();
    }
    emulator.KeyEmuTimerTimer();
  }
}
BENCHMARK(BM_StepCost)->Arg(100)->Arg(1 << 20);

void BM_KeyNameLookup(benchmark::State& state) {
  NullKeyboard keyboard;
  fake::RecordingLauncher launcher;
  SimulatedTimer timer;
  fake::FakeCaption caption;
  fake::RecordingMessageBoxes boxes;
  KeyEmulator emulator(keyboard, launcher, timer, caption, boxes);
  for (auto _ : state) {
    emulator.keyBuf().BufLen = 11;
    benchmark::DoNotOptimize(emulator.GetKeyByte("_separator#"));
  }
}
BENCHMARK(BM_KeyNameLookup);

void BM_DryRunLongScript(benchmark::State& state) {
  std::string script;
  for (int i = 0; i < 5000; ++i) script += "_a!0.001\"bc\"";
  for (auto _ : state) {
    std::ostringstream out;
    benchmark::DoNotOptimize(DryRun(script, out));
  }
}
BENCHMARK(BM_DryRunLongScript)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
