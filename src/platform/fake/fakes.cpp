#include "platform/fake/fakes.h"

#include "engine/keynames.h"

namespace tapwell::fake {

std::optional<platform::CharacterKey> RecordingKeyboard::keyForCharacter(char c) {
  return UsKeyForCharacter(c);
}

void RecordingTrace::trace(StepTime at, std::string_view line) {
  lines.push_back(
      std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(at.time_since_epoch()).count()) +
      " " + std::string(line));
}

}  // namespace tapwell::fake
