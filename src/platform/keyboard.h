// Key events by Win32 virtual-key code, and the character-to-key lookup of the
// current keyboard layout.
#pragma once

#include <cstdint>

namespace tapwell::platform {

enum class KeyDirection { Down, Up };

class Keyboard {
 public:
  virtual ~Keyboard() = default;

  // One key event for the virtual-key code, to the window that has the focus.
  virtual void keybd_event(std::uint8_t vk, KeyDirection direction) = 0;

  // The virtual-key code of the key that produces c on the current layout in the
  // low byte, the shift state in the high byte; -1 when no key produces it.
  virtual std::int16_t VkKeyScanA(char c) = 0;

  // The end of one step: buffered events are delivered.
  virtual void flush() {}

  // The script ended, halted or was replaced: resources held for it may go.
  virtual void scriptEnded() {}
};

}  // namespace tapwell::platform
