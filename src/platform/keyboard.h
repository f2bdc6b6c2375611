// Key events for the keys that key scripts name, and the key that types a
// character on the current keyboard layout.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tapwell::platform {

// A key as key scripts name it: the one-byte key code of the key-name table (1, 2 and 4 are mouse buttons).
using KeyCode = std::uint8_t;

// The key that types a character on the current layout and the modifiers it needs.
struct CharacterKey {
  KeyCode key = 0;
  bool shift = false;
  bool ctrl = false;
  bool alt = false;
};

class Keyboard {
 public:
  virtual ~Keyboard() = default;
  // Empty when key events can be sent; otherwise why not, in words for the user.
  virtual std::string unavailableReason() const { return {}; }
  virtual void press(KeyCode key) = 0;
  virtual void release(KeyCode key) = 0;
  // The key for a character on the current layout; nothing when no key produces it.
  virtual std::optional<CharacterKey> keyForCharacter(char c) = 0;
  virtual void flush() {}        // the end of one step: buffered events are delivered
  virtual void scriptEnded() {}  // the script ended, halted or was replaced
};

}  // namespace tapwell::platform
