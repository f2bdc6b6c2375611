// Win32 virtual-key codes and the physical keys that carry them: one table of
// evdev keycodes with a US base and the overrides of the Japanese 106/109 layout.
#pragma once

#include <array>
#include <cstdint>
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

// The Linux input code of mouse button 1, 2 or 3 (left, middle, right, as a
// KeyTarget numbers them); 0 for any other.
std::uint16_t EvdevButton(unsigned button);

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
