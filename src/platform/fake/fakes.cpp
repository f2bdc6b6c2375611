#include "platform/fake/fakes.h"

#include "engine/keynames.h"

namespace tapwell::fake {

void RecordingKeyboard::keybd_event(std::uint8_t vk, platform::KeyDirection direction) {
  events.push_back({vk, direction == platform::KeyDirection::Down});
}

std::int16_t RecordingKeyboard::VkKeyScanA(char c) { return layout ? layout(c) : UsVkKeyScan(c); }

}  // namespace tapwell::fake
