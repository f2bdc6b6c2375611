// The key-name table of the key script language and the built-in US layout.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/keyboard.h"

namespace tapwell {

struct KeyName {
  std::string_view name;
  std::uint8_t code;  // the key code of the key
};

// The 71 key names in the order in which they are compared.
const std::array<KeyName, 71>& KeyNameTable();

// The code of an upper-case key name; nothing when the token is no key name.
std::optional<std::uint8_t> FindKeyName(std::string_view upperToken);

// The key that types a character on a US keyboard and the modifiers it needs;
// nothing when no key produces the character.
std::optional<platform::CharacterKey> UsKeyForCharacter(char c);

}  // namespace tapwell
