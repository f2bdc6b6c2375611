// Key events for the keys that key scripts name, and the key that types a
// character on the current keyboard layout.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

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

// A layout's key for a character as a 16-bit scan: the key code in the low
// byte, Shift, Ctrl and Alt in bits 8, 9 and 10; -1 for none.
inline std::optional<CharacterKey> CharacterKeyFromScan(std::int16_t scan) {
  if (scan == -1) return std::nullopt;
  return CharacterKey{static_cast<KeyCode>(scan & 0xFF), (scan & 0x100) != 0, (scan & 0x200) != 0,
                      (scan & 0x400) != 0};
}

class Keyboard {
 public:
  virtual ~Keyboard() = default;
  virtual void press(KeyCode key) = 0;
  virtual void release(KeyCode key) = 0;
  // The key for a character on the current layout; nothing when no key produces it.
  virtual std::optional<CharacterKey> keyForCharacter(char c) = 0;
  // Types UTF-8 text exactly as written, each character as itself, with the
  // modifiers it needs; keys held by the script do not change it. Returns the
  // characters it could not type (UTF-8, each once, in the order of the text):
  // empty when every character went out. This default types the ASCII
  // characters the layout has, with the modifiers they need, and no other.
  virtual std::string typeText(std::string_view utf8) {
    constexpr KeyCode kShift = 16, kCtrl = 17, kAlt = 18;
    std::string untyped;
    auto notTyped = [&untyped](std::string_view character) {
      if (untyped.find(character) == std::string::npos) untyped += character;
    };
    for (std::size_t i = 0; i < utf8.size(); ++i) {
      const auto c = static_cast<unsigned char>(utf8[i]);
      if (c >= 0x80) {
        // A multi-byte character: its lead byte and the continuation bytes.
        std::size_t end = i + 1;
        while (end < utf8.size() && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80) ++end;
        notTyped(utf8.substr(i, end - i));
        i = end - 1;
        continue;
      }
      const std::optional<CharacterKey> key = keyForCharacter(utf8[i]);
      if (!key) {
        notTyped(utf8.substr(i, 1));
        continue;
      }
      if (key->shift) press(kShift);
      if (key->ctrl) press(kCtrl);
      if (key->alt) press(kAlt);
      press(key->key);
      release(key->key);
      if (key->alt) release(kAlt);
      if (key->ctrl) release(kCtrl);
      if (key->shift) release(kShift);
    }
    return untyped;
  }
  // The characters of a text that typeText would not be able to type, as it
  // returns them, where the keyboard can tell beforehand; nothing is sent. Empty
  // when it cannot tell.
  virtual std::string charactersNotTyped(std::string_view) { return {}; }
  virtual void flush() {}        // the end of one step: buffered events are delivered
  virtual void scriptEnded() {}  // the script ended, halted or was replaced
};

}  // namespace tapwell::platform
