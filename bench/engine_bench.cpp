// Engine benchmarks: the cost of one step against the length of the rest of the
// script, the readers, and the dry run of long scripts.
#include <benchmark/benchmark.h>

#include <sstream>
#include <string>

#include "engine/command.h"
#include "engine/session.h"
#include "engine/stepper.h"
#include "platform/fake/fakes.h"

namespace {

using namespace tapwell;

class NullKeyboard : public platform::Keyboard {
 public:
  void press(platform::KeyCode) override {}
  void release(platform::KeyCode) override {}
  std::optional<platform::CharacterKey> keyForCharacter(char c) override {
    return platform::CharacterKey{static_cast<platform::KeyCode>(c)};
  }
};

// One stroke step with `rest` bytes of script behind it.
void BM_StepCost(benchmark::State& state) {
  const auto rest = static_cast<std::size_t>(state.range(0));
  std::string script;
  while (script.size() < rest) script += "_a";
  script += '#';
  NullKeyboard keyboard;
  fake::RecordingLauncher launcher;
  Stepper stepper(keyboard, launcher);
  StepTime now{};
  stepper.start(script, now);
  for (auto _ : state) {
    if (stepper.record().Buf.size() < 8) {
      state.PauseTiming();
      stepper.start(script, now);
      state.ResumeTiming();
    }
    now += std::chrono::milliseconds(1);
    stepper.step(now);
  }
}
BENCHMARK(BM_StepCost)->Arg(100)->Arg(1 << 20);

void BM_KeyNameLookup(benchmark::State& state) {
  NullKeyboard keyboard;
  for (auto _ : state) {
    const Command command = ReadCommand("_separator#");
    benchmark::DoNotOptimize(KeyForToken(command.text, keyboard));
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
