// Which key, group and modifiers type a character on an XKB keymap. Works on a
// snapshot of the server's keymap, so it can be checked without a display.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tapwell::xkb {

// A key type: which level the real modifiers in `mask` select.
struct XkbKeyType {
  struct Entry {
    unsigned mods = 0;
    int level = 0;
  };
  unsigned mask = 0;
  int levels = 1;
  std::vector<Entry> entries;  // the active entries; any other combination is level 0

  int levelFor(unsigned mods) const;
};

struct XkbKeyGroup {
  int type = 0;
  std::vector<std::uint32_t> syms;  // by level
};

struct XkbLayoutSnapshot {
  std::vector<XkbKeyType> types;
  std::array<std::vector<XkbKeyGroup>, 256> keys;  // the groups of each keycode
  unsigned lockedMods = 0;                         // Caps Lock, Num Lock, ... as they stand
  int group = 0;                                   // the effective group when typing starts
  // The key that sets each real modifier bit while it is down; 0 for the
  // modifiers that typing does not use (Control, Alt, the locks).
  std::array<std::uint8_t, 8> modifierKeys{};
  // The real modifiers of each keycode (Shift, Control, Alt, ...).
  std::array<std::uint8_t, 256> modifierMap{};
};

struct Keystroke {
  std::uint8_t keycode = 0;
  int group = 0;      // the group to lock while the key goes down; -1: any group
  unsigned mods = 0;  // the real modifiers to hold
  bool operator==(const Keystroke&) const = default;
};

// The cheapest keystroke of every character the snapshot can type: a key of the
// exact keysym before one whose symbol merely means the same character (keypad
// digits), the current group before another, fewer modifiers before more.
class TextKeys {
 public:
  TextKeys() = default;
  // Keycodes marked in `skip` (spare keycodes) are left out.
  TextKeys(const XkbLayoutSnapshot& layout, const std::array<bool, 256>& skip);

  std::optional<Keystroke> find(char32_t c) const;

 private:
  struct Best {
    int cost = 0;
    Keystroke stroke;
  };
  std::unordered_map<char32_t, Best> best_;
};

// The key type that carries the most symbols on one spare keycode, and the
// modifiers that select each of its levels as the locks stand.
struct SpareType {
  int type = 1;  // two levels: plain and Shift
  std::vector<unsigned> levelMods{0, 1};
};
SpareType ChooseSpareType(const XkbLayoutSnapshot& layout);

// The code points of UTF-8 text; a byte that starts no valid sequence stands for
// itself as U+FFFD.
std::vector<char32_t> DecodeUtf8(std::string_view text);

// The keysym that stands for a character (Tab, Return and BackSpace for their
// control characters), and the character of a keysym (0 when it has none).
std::uint32_t KeysymForCharacter(char32_t c);
char32_t CharacterForKeysym(std::uint32_t keysym);

}  // namespace tapwell::xkb
