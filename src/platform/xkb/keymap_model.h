// The decisions of the XTest keyboard over a snapshot of the server's keymap:
// which keycode a virtual-key code presses, and which key a character needs.
// Holds no connection, so it can be checked against recorded keymaps.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "platform/xkb/vk_table.h"

struct xkb_keymap;

namespace tapwell::xkb {

// The core keyboard mapping: perKeycode keysyms for each keycode from
// minKeycode to maxKeycode; index 0 is the unshifted symbol of the first
// group, index 1 the shifted one.
struct CoreKeymap {
  int minKeycode = 8;
  int maxKeycode = 255;
  int perKeycode = 0;
  std::vector<std::uint32_t> keysyms;

  std::uint32_t at(int keycode, int index) const;
  bool empty(int keycode) const;
};

// The core-protocol view of an XKB keymap that the key decisions work on: the
// unshifted and shifted symbol of the first group of each keycode.
CoreKeymap CoreViewOf(xkb_keymap* keymap);

// Where one key event of a virtual-key code goes.
struct KeyTarget {
  enum class Kind {
    Nothing,  // nothing is sent
    Keycode,  // a key of the keymap
    Spare,    // a keysym the keymap lacks: to be put on a spare keycode
    Button,   // a mouse button
  };
  Kind kind = Kind::Nothing;
  std::uint8_t keycode = 0;
  std::uint32_t keysym = 0;
  unsigned button = 0;
};

class KeymapModel {
 public:
  // Takes a keymap; keycodes in `reserved` (the spare pool) are never taken for
  // keys of the keymap.
  void load(const CoreKeymap& keymap, KeyLayout layout, const std::vector<std::uint8_t>& reserved = {});

  KeyLayout layout() const { return table_.layout(); }
  const VkLayoutTable& table() const { return table_; }

  KeyTarget resolve(std::uint8_t vk) const { return targets_[vk]; }
  std::int16_t vkKeyScan(char c) const { return scans_[static_cast<unsigned char>(c)]; }

  // Keycodes without any symbol, highest first, that carry no key of either
  // layout: the candidates for spare keycodes.
  std::vector<std::uint8_t> emptyKeycodes() const;

 private:
  // The first keycode but `skip` whose symbol at index `level` is keysym; 0
  // when none.
  std::uint8_t find(std::uint32_t keysym, int level, int skip = -1) const;
  KeyTarget computeTarget(std::uint8_t vk) const;
  std::int16_t computeScan(unsigned char c) const;
  // The key code that gives a keysym: the code in the low byte, 1 in the high
  // byte when the keysym needs Shift; -1 when no key gives it.
  std::int16_t scanKeysym(std::uint32_t keysym) const;

  CoreKeymap keymap_;
  VkLayoutTable table_{KeyLayout::Us};
  std::array<bool, 256> reserved_{};
  std::array<KeyTarget, 256> targets_{};
  std::array<std::int16_t, 256> scans_{};
};

}  // namespace tapwell::xkb
