#include "platform/xkb/text_keys.h"

#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <bit>

namespace tapwell::xkb {

int XkbKeyType::levelFor(unsigned mods) const {
  const unsigned masked = mods & mask;
  for (const Entry& e : entries) {
    if (e.mods == masked) return e.level;
  }
  return 0;
}

TextKeys::TextKeys(const XkbLayoutSnapshot& layout, const std::array<bool, 256>& skip) {
  unsigned pressable = 0;
  for (unsigned bit = 0; bit < 8; ++bit) {
    if (layout.modifierKeys[bit] != 0) pressable |= 1u << bit;
  }
  for (int kc = 8; kc < 256; ++kc) {
    if (skip[static_cast<std::size_t>(kc)]) continue;
    const auto& groups = layout.keys[static_cast<std::size_t>(kc)];
    // A modifier key types nothing, whatever its symbol means.
    if (layout.modifierMap[static_cast<std::size_t>(kc)] != 0) continue;
    for (std::size_t g = 0; g < groups.size(); ++g) {
      const XkbKeyGroup& group = groups[g];
      if (group.type < 0 || static_cast<std::size_t>(group.type) >= layout.types.size()) continue;
      const XkbKeyType& type = layout.types[static_cast<std::size_t>(group.type)];
      const auto n = static_cast<int>(groups.size());
      const bool currentGroup = layout.group % n == static_cast<int>(g);
      // Every combination of the modifiers typing may press, the locked ones on top.
      for (unsigned held = 0; held < 256; ++held) {
        if ((held & ~pressable) != 0 || (held & ~type.mask) != 0) continue;
        const int level = type.levelFor(held | layout.lockedMods);
        if (level < 0 || static_cast<std::size_t>(level) >= group.syms.size()) continue;
        const std::uint32_t sym = group.syms[static_cast<std::size_t>(level)];
        const char32_t c = CharacterForKeysym(sym);
        if (c == 0) continue;
        const int cost =
            (sym == KeysymForCharacter(c) ? 0 : 100) + (currentGroup ? 0 : 10) + std::popcount(held);
        auto [it, fresh] =
            best_.try_emplace(c, Best{cost, {static_cast<std::uint8_t>(kc), static_cast<int>(g), held}});
        if (!fresh && cost < it->second.cost)
          it->second = Best{cost, {static_cast<std::uint8_t>(kc), static_cast<int>(g), held}};
      }
    }
  }
  // A key of the current group needs no group change: it is typed in that group.
  for (auto& [c, best] : best_) {
    const auto& groups = layout.keys[best.stroke.keycode];
    if (layout.group % static_cast<int>(groups.size()) == best.stroke.group) best.stroke.group = layout.group;
  }
}

SpareType ChooseSpareType(const XkbLayoutSnapshot& layout) {
  unsigned pressable = 0;
  for (unsigned bit = 0; bit < 8; ++bit) {
    if (layout.modifierKeys[bit] != 0) pressable |= 1u << bit;
  }
  SpareType best;
  bool found = false;
  for (std::size_t t = 0; t < layout.types.size(); ++t) {
    const XkbKeyType& type = layout.types[t];
    if (type.levels < 2 || (found && type.levels <= static_cast<int>(best.levelMods.size()))) continue;
    std::vector<unsigned> mods(static_cast<std::size_t>(type.levels), ~0u);
    for (unsigned held = 0; held < 256; ++held) {
      if ((held & ~pressable) != 0) continue;
      const int level = type.levelFor(held | layout.lockedMods);
      if (level < 0 || level >= type.levels) continue;
      unsigned& m = mods[static_cast<std::size_t>(level)];
      if (m == ~0u || std::popcount(held) < std::popcount(m)) m = held;
    }
    if (std::find(mods.begin(), mods.end(), ~0u) != mods.end()) continue;
    best = SpareType{static_cast<int>(t), std::move(mods)};
    found = true;
  }
  return best;
}

std::optional<Keystroke> TextKeys::find(char32_t c) const {
  if (c == U'\n') c = U'\r';
  const auto it = best_.find(c);
  if (it == best_.end()) return std::nullopt;
  return it->second.stroke;
}

std::vector<char32_t> DecodeUtf8(std::string_view text) {
  std::vector<char32_t> out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    char32_t c = 0;
    char32_t min = 0;
    if (lead < 0x80) {
      length = 1;
      c = lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      c = lead & 0x1F;
      min = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      c = lead & 0x0F;
      min = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      c = lead & 0x07;
      min = 0x10000;
    }
    bool valid = length != 0 && i + length <= text.size();
    for (std::size_t k = 1; valid && k < length; ++k) {
      const auto b = static_cast<unsigned char>(text[i + k]);
      valid = (b & 0xC0) == 0x80;
      c = (c << 6) | (b & 0x3F);
    }
    if (valid && (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))) valid = false;
    if (!valid) {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    out.push_back(c);
    i += length;
  }
  return out;
}

std::uint32_t KeysymForCharacter(char32_t c) {
  switch (c) {
    case U'\b':
      return XKB_KEY_BackSpace;
    case U'\t':
      return XKB_KEY_Tab;
    case U'\n':
    case U'\r':
      return XKB_KEY_Return;
    default:
      return xkb_utf32_to_keysym(c);
  }
}

char32_t CharacterForKeysym(std::uint32_t keysym) {
  if (keysym == 0) return 0;
  if (keysym == XKB_KEY_Return) return U'\r';
  return xkb_keysym_to_utf32(keysym);
}

}  // namespace tapwell::xkb
