// The key-name table of the key script language and the built-in US layout.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace tapwell {

struct KeyName {
  std::string_view name;
  std::uint8_t code;  // Win32 virtual-key code
};

// The 71 key names in the order in which they are compared.
const std::array<KeyName, 71>& KeyNameTable();

// The code of an upper-case key name; nothing when the token is no key name.
std::optional<std::uint8_t> FindKeyName(std::string_view upperToken);

// VkKeyScanA of a US keyboard: the virtual-key code in the low byte, the shift
// state in the high byte (1 Shift, 2 Ctrl), -1 when no key produces the character.
std::int16_t UsVkKeyScan(char c);

}  // namespace tapwell
