// Win32 virtual-key codes and the physical keys that carry them: one table of
// evdev keycodes with a US base and the overrides of the Japanese 106/109 layout.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace tapwell::xkb {

// The layouts whose punctuation keys the table knows.
enum class KeyLayout { Us, Jp };

// The layout of the first group of an XKB layout list such as "jp" or "us,jp".
KeyLayout LayoutFromXkbLayouts(std::string_view layouts);

// How a virtual-key code reaches a key.
enum class KeyRoute {
  Keysym,    // named keys: the key whose unshifted symbol is the keysym
  Letter,    // letters and digits: by keysym, else by position
  Position,  // punctuation: by position only (its symbol depends on the layout)
};

struct VkEntry {
  std::uint8_t vk;
  std::uint16_t evdev;   // Linux input keycode; 0 when no physical key carries it
  std::uint32_t keysym;  // X keysym; 0 for position keys
  KeyRoute route;
};

// The US base table. Codes listed later with the same evdev keycode are aliases
// (VK_LSHIFT beside VK_SHIFT): they reach the key, the key reports the first code.
std::span<const VkEntry> BaseVkTable();

// Punctuation keys that sit elsewhere, or carry other codes, on the Japanese layout.
struct EvdevOverride {
  std::uint16_t evdev;
  std::uint8_t vk;
};
std::span<const EvdevOverride> JpOverrides();

// X keycodes are evdev keycodes plus 8.
inline constexpr int kEvdevOffset = 8;

// Both directions of the table for one layout, over X keycodes.
class VkLayoutTable {
 public:
  explicit VkLayoutTable(KeyLayout layout);

  KeyLayout layout() const { return layout_; }
  // The X keycode of the key that carries vk on this layout; 0 when none does.
  std::uint8_t keycodeForVk(std::uint8_t vk) const { return keycode_[vk]; }
  // The virtual-key code of an X keycode; 0 when the key has none.
  std::uint8_t vkForKeycode(std::uint8_t keycode) const { return vk_[keycode]; }
  // The keysym and the route of vk, whatever the layout; keysym 0 when vk is a
  // position key or unassigned.
  std::uint32_t keysymForVk(std::uint8_t vk) const { return keysym_[vk]; }
  KeyRoute routeForVk(std::uint8_t vk) const { return route_[vk]; }
  // Whether vk has an entry at all.
  bool known(std::uint8_t vk) const { return known_[vk]; }

 private:
  KeyLayout layout_;
  std::array<std::uint8_t, 256> keycode_{};
  std::array<std::uint8_t, 256> vk_{};
  std::array<std::uint32_t, 256> keysym_{};
  std::array<KeyRoute, 256> route_{};
  std::array<bool, 256> known_{};
};

}  // namespace tapwell::xkb
