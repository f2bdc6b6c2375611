// Edits of an XKB keymap in its text form, as the compositor sends it and as
// xkbcommon writes it: keys the layout lacks are added on free keycodes before
// the keymap is uploaded to the virtual keyboard.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tapwell::xkb {

struct ExtraKey {
  std::uint32_t keycode = 0;  // XKB keycode (Linux input code + 8)
  std::string name;           // key name without the angle brackets
  bool newName = false;       // the name is declared for the keycode first
  std::string keysym;         // keysym name, the key's only symbol
};

// The keymap with the keys added: new names in the xkb_keycodes section, one
// single-level key per entry in the xkb_symbols section. Nothing when either
// section cannot be found.
std::optional<std::string> AddKeys(std::string_view keymap, const std::vector<ExtraKey>& keys);

// The keymap with every key of the xkb_symbols section marked as not repeating,
// so that a key a script holds is not repeated by the client that receives it.
// Nothing when the section cannot be found.
std::optional<std::string> WithoutRepeat(std::string_view keymap);

}  // namespace tapwell::xkb
