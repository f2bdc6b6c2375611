#include "platform/xkb/keymap_model.h"

#include <linux/input-event-codes.h>
#include <xkbcommon/xkbcommon-keysyms.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>

namespace tapwell::xkb {

namespace {

constexpr std::int16_t kShift = 0x100;
constexpr std::int16_t kCtrl = 0x200;
constexpr std::uint8_t kVkKanji = 0x19;

bool IsLetterKeysym(std::uint32_t keysym) {
  return keysym >= XKB_KEY_a && keysym <= XKB_KEY_z;
}

}  // namespace

std::uint32_t CoreKeymap::at(int keycode, int index) const {
  if (keycode < minKeycode || keycode > maxKeycode || index < 0 || index >= perKeycode) return 0;
  const auto pos = static_cast<std::size_t>((keycode - minKeycode) * perKeycode + index);
  return pos < keysyms.size() ? keysyms[pos] : 0;
}

bool CoreKeymap::empty(int keycode) const {
  for (int i = 0; i < perKeycode; ++i) {
    if (at(keycode, i) != 0) return false;
  }
  return true;
}

CoreKeymap CoreViewOf(xkb_keymap* keymap) {
  CoreKeymap core;
  core.minKeycode = static_cast<int>(std::max<xkb_keycode_t>(xkb_keymap_min_keycode(keymap), 8));
  core.maxKeycode = static_cast<int>(std::min<xkb_keycode_t>(xkb_keymap_max_keycode(keymap), 255));
  core.perKeycode = 2;
  for (int kc = core.minKeycode; kc <= core.maxKeycode; ++kc) {
    for (xkb_level_index_t level = 0; level < 2; ++level) {
      const xkb_keysym_t* syms = nullptr;
      const int n = xkb_keymap_key_get_syms_by_level(keymap, static_cast<xkb_keycode_t>(kc), 0, level, &syms);
      core.keysyms.push_back(n > 0 ? syms[0] : 0);
    }
  }
  return core;
}

void KeymapModel::load(const CoreKeymap& keymap, KeyLayout layout,
                       const std::vector<std::uint8_t>& reserved) {
  keymap_ = keymap;
  table_ = VkLayoutTable(layout);
  reserved_.fill(false);
  for (const std::uint8_t kc : reserved) reserved_[kc] = true;
  for (int vk = 0; vk < 256; ++vk) targets_[vk] = computeTarget(static_cast<std::uint8_t>(vk));
  for (int c = 0; c < 256; ++c) scans_[c] = computeScan(static_cast<unsigned char>(c));
}

std::uint8_t KeymapModel::find(std::uint32_t keysym, int level, int skip) const {
  if (keysym == 0) return 0;
  for (int kc = keymap_.minKeycode; kc <= keymap_.maxKeycode && kc < 256; ++kc) {
    if (reserved_[kc] || kc == skip) continue;
    if (keymap_.at(kc, level) == keysym) return static_cast<std::uint8_t>(kc);
  }
  return 0;
}

KeyTarget KeymapModel::computeTarget(std::uint8_t vk) const {
  KeyTarget t;
  // The mouse buttons of the key-name table: 1 left, 2 right, 4 middle.
  if (vk == 1 || vk == 2 || vk == 4) {
    t.kind = KeyTarget::Kind::Button;
    t.button = vk == 1 ? 1 : vk == 2 ? 3 : 2;
    return t;
  }
  if (!table_.known(vk)) return t;
  // On the Japanese layout the key named KANJI is Hankaku/Zenkaku, the key input
  // methods toggle on (Kanji is only its shifted symbol there).
  if (vk == kVkKanji && table_.layout() == KeyLayout::Jp) {
    if (const std::uint8_t keycode = find(XKB_KEY_Zenkaku_Hankaku, 0); keycode != 0) {
      t.kind = KeyTarget::Kind::Keycode;
      t.keycode = keycode;
      t.keysym = XKB_KEY_Zenkaku_Hankaku;
      return t;
    }
  }
  std::uint8_t position = table_.keycodeForVk(vk);
  if (position != 0 && reserved_[position]) position = 0;
  const std::uint32_t keysym = table_.keysymForVk(vk);
  const KeyRoute route = table_.routeForVk(vk);
  if (route == KeyRoute::Position || keysym == 0) {
    // Punctuation goes by position: its keysym differs between layouts.
    if (position != 0) {
      t.kind = KeyTarget::Kind::Keycode;
      t.keycode = position;
    }
    return t;
  }
  // A key counts only when it gives the keysym unshifted: a symbol that needs
  // Shift is another key's meaning.
  std::uint8_t keycode = 0;
  if (position != 0 && keymap_.at(position, 0) == keysym) {
    keycode = position;
  } else {
    keycode = find(keysym, 0);
  }
  if (keycode == 0 && route == KeyRoute::Letter && position != 0) {
    // A layout without the Latin letter (or with the digit shifted): the key at
    // the letter's position, as the letter codes mean there.
    keycode = position;
  }
  if (keycode != 0) {
    t.kind = KeyTarget::Kind::Keycode;
    t.keycode = keycode;
    t.keysym = keysym;
    return t;
  }
  t.kind = KeyTarget::Kind::Spare;
  t.keysym = keysym;
  return t;
}

std::int16_t KeymapModel::scanKeysym(std::uint32_t keysym) const {
  // The extra key of 105-key keyboards (less and greater on pc105 us) is taken
  // only when no key of the main block gives the symbol.
  const std::uint8_t extra = static_cast<std::uint8_t>(KEY_102ND + kEvdevOffset);
  for (int pass = 0; pass < 4; ++pass) {
    const int level = pass % 2;
    std::uint8_t kc = 0;
    if (pass < 2) {
      kc = find(keysym, level, extra);
    } else if (!reserved_[extra] && keymap_.at(extra, level) == keysym) {
      kc = extra;
    }
    if (kc == 0) continue;
    std::uint8_t vk = table_.vkForKeycode(kc);
    // Letters follow the layout: the key that prints a carries the code of A.
    const std::uint32_t base = keymap_.at(kc, 0);
    if (IsLetterKeysym(base)) vk = static_cast<std::uint8_t>(base - XKB_KEY_a + 'A');
    if (vk == 0) continue;
    return static_cast<std::int16_t>(vk | (level == 1 ? kShift : 0));
  }
  return -1;
}

std::int16_t KeymapModel::computeScan(unsigned char c) const {
  if (c >= 0x20 && c <= 0x7E) {
    if (c >= 'A' && c <= 'Z') {
      // An upper-case letter is its letter key with Shift.
      const std::int16_t lower = scanKeysym(c - 'A' + XKB_KEY_a);
      if (lower >= 0 && (lower & kShift) == 0) return static_cast<std::int16_t>(lower | kShift);
    }
    // Latin-1 keysyms are the character codes.
    return scanKeysym(c);
  }
  auto withCtrl = [](std::int16_t scan) -> std::int16_t {
    return scan < 0 ? static_cast<std::int16_t>(-1) : static_cast<std::int16_t>((scan & 0xFF) | kCtrl);
  };
  switch (c) {
    case '\t':
      return scanKeysym(XKB_KEY_Tab);
    case '\r':
      return scanKeysym(XKB_KEY_Return);
    case '\b':
      return scanKeysym(XKB_KEY_BackSpace);
    case '\n':
      return withCtrl(scanKeysym(XKB_KEY_Return));
    case 0x1B:
      return withCtrl(scanKeysym(XKB_KEY_bracketleft));
    case 0x1C:
      return withCtrl(scanKeysym(XKB_KEY_backslash));
    case 0x1D:
      return withCtrl(scanKeysym(XKB_KEY_bracketright));
    default:
      break;
  }
  if (c >= 0x01 && c <= 0x1A) return withCtrl(scanKeysym(c - 1 + XKB_KEY_a));
  return -1;
}

std::vector<std::uint8_t> KeymapModel::emptyKeycodes() const {
  const VkLayoutTable us(KeyLayout::Us);
  const VkLayoutTable jp(KeyLayout::Jp);
  std::vector<std::uint8_t> out;
  for (int kc = std::min(keymap_.maxKeycode, 255); kc >= keymap_.minKeycode; --kc) {
    const auto k = static_cast<std::uint8_t>(kc);
    if (!keymap_.empty(kc)) continue;
    if (us.vkForKeycode(k) != 0 || jp.vkForKeycode(k) != 0) continue;
    out.push_back(k);
  }
  return out;
}

}  // namespace tapwell::xkb
