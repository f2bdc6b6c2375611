// Key events by Win32 virtual-key code, and the character-to-key lookup of the
// current keyboard layout.
#pragma once

#include <cstdint>
#include <string_view>

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

  // Types UTF-8 text exactly as written, each character as itself, with the
  // modifiers it needs; keys held by the script do not change it. This default
  // types the ASCII characters the layout has, with Shift where they need it,
  // and nothing else.
  virtual void typeText(std::string_view utf8) {
    constexpr std::uint8_t kShiftKey = 16;
    for (const char c : utf8) {
      if (static_cast<unsigned char>(c) >= 0x80) continue;
      const std::int16_t scan = VkKeyScanA(c);
      if (scan == -1) continue;
      const auto key = static_cast<std::uint8_t>(scan & 0xFF);
      const bool shift = (scan & 0x100) != 0;
      if (shift) keybd_event(kShiftKey, KeyDirection::Down);
      keybd_event(key, KeyDirection::Down);
      keybd_event(key, KeyDirection::Up);
      if (shift) keybd_event(kShiftKey, KeyDirection::Up);
    }
  }

  // The end of one step: buffered events are delivered.
  virtual void flush() {}

  // The script ended, halted or was replaced: resources held for it may go.
  virtual void scriptEnded() {}
};

}  // namespace tapwell::platform
