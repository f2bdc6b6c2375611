// How the exact text finds a key, group and modifiers for each character, on a
// small hand-made XKB keymap.
#include "platform/xkb/text_keys.h"

#include <gtest/gtest.h>
// clang-format off
#include <X11/Xlib.h>
#include <X11/keysym.h>
// clang-format on

namespace tapwell::xkb {
namespace {

constexpr unsigned kShift = ShiftMask;
constexpr unsigned kLock = LockMask;
constexpr unsigned kLevel3 = Mod5Mask;

XkbLayoutSnapshot Layout() {
  XkbLayoutSnapshot l;
  l.types = {
      {0, 1, {}},                                                                 // one level
      {kShift, 2, {{kShift, 1}}},                                                 // two levels
      {kShift | kLock, 2, {{kShift, 1}, {kLock, 1}}},                             // letters
      {kShift | kLevel3, 4, {{kShift, 1}, {kLevel3, 2}, {kShift | kLevel3, 3}}},  // four levels
  };
  l.keys[38] = {{2, {XK_a, XK_A}}};
  l.keys[11] = {{3, {XK_2, XK_quotedbl, XK_twosuperior, XK_at}}};
  l.keys[10] = {{1, {XK_1, XK_exclam}}};
  l.keys[87] = {{1, {XK_KP_1, XK_KP_End}}};
  l.keys[24] = {{2, {XK_q, XK_Q}}, {2, {XK_Cyrillic_shorti, XK_Cyrillic_SHORTI}}};
  l.keys[50] = {{0, {XK_Shift_L}}};
  l.keys[92] = {{0, {XK_ISO_Level3_Shift}}};
  l.modifierMap[50] = ShiftMask;
  l.modifierMap[92] = Mod5Mask;
  l.modifierKeys[0] = 50;
  l.modifierKeys[7] = 92;
  return l;
}

Keystroke K(std::uint8_t keycode, int group, unsigned mods) {
  return {keycode, group, mods};
}

TEST(TextKeys, LevelsTakeShiftAltGrOrBoth) {
  const TextKeys keys(Layout(), {});
  EXPECT_EQ(keys.find(U'a'), K(38, 0, 0));
  EXPECT_EQ(keys.find(U'A'), K(38, 0, kShift));
  EXPECT_EQ(keys.find(U'"'), K(11, 0, kShift));
  EXPECT_EQ(keys.find(U'²'), K(11, 0, kLevel3));
  EXPECT_EQ(keys.find(U'@'), K(11, 0, kShift | kLevel3));
  // The modifier keys themselves type nothing; a character no key has is absent.
  EXPECT_EQ(keys.find(U'日'), std::nullopt);
  // The digit key, not the keypad key that means the same character.
  EXPECT_EQ(keys.find(U'1'), K(10, 0, 0));
}

TEST(TextKeys, CapsLockTurnsTheLettersAround) {
  XkbLayoutSnapshot l = Layout();
  l.lockedMods = kLock;
  const TextKeys keys(l, {});
  EXPECT_EQ(keys.find(U'a'), K(38, 0, kShift));
  EXPECT_EQ(keys.find(U'A'), K(38, 0, 0));
}

TEST(TextKeys, AnotherGroupIsLockedOnlyWhenTheCurrentOneLacksTheCharacter) {
  XkbLayoutSnapshot l = Layout();
  const TextKeys first(l, {});
  EXPECT_EQ(first.find(U'й'), K(24, 1, 0));
  EXPECT_EQ(first.find(U'q'), K(24, 0, 0));
  l.group = 1;
  const TextKeys second(l, {});
  EXPECT_EQ(second.find(U'й'), K(24, 1, 0));
  EXPECT_EQ(second.find(U'Q'), K(24, 0, kShift));
  // Keys of one group are typed in whatever group is current.
  EXPECT_EQ(second.find(U'1'), K(10, 1, 0));
}

TEST(TextKeys, NoLevelKeyAndSkippedKeycodesAreNotUsed) {
  XkbLayoutSnapshot l = Layout();
  l.modifierKeys[7] = 0;
  std::array<bool, 256> skip{};
  skip[10] = true;
  const TextKeys keys(l, skip);
  EXPECT_EQ(keys.find(U'²'), std::nullopt);
  EXPECT_EQ(keys.find(U'"'), K(11, 0, kShift));
  // Without the digit key the keypad key is the one left.
  EXPECT_EQ(keys.find(U'1'), K(87, 0, 0));
}

TEST(TextKeys, SpareKeysTakeTheWidestTypeTheModifierKeysReach) {
  XkbLayoutSnapshot l = Layout();
  SpareType spare = ChooseSpareType(l);
  EXPECT_EQ(spare.type, 3);
  EXPECT_EQ(spare.levelMods, (std::vector<unsigned>{0, kShift, kLevel3, kShift | kLevel3}));
  // Without a level key only Shift is left; Caps Lock does not matter to the
  // two-level type.
  l.modifierKeys[7] = 0;
  l.lockedMods = kLock;
  spare = ChooseSpareType(l);
  EXPECT_EQ(spare.type, 1);
  EXPECT_EQ(spare.levelMods, (std::vector<unsigned>{0, kShift}));
}

TEST(TextKeys, Utf8DecodingAndKeysyms) {
  EXPECT_EQ(DecodeUtf8("aé日\xF0\x9F\x98\x80"), (std::vector<char32_t>{U'a', U'é', U'日', U'\U0001F600'}));
  // Stray, overlong and truncated bytes stand for themselves as U+FFFD.
  EXPECT_EQ(DecodeUtf8("\xC0\xAF"
                       "b\xE6\x97"),
            (std::vector<char32_t>{0xFFFD, 0xFFFD, U'b', 0xFFFD, 0xFFFD}));
  EXPECT_EQ(KeysymForCharacter(U'a'), static_cast<std::uint32_t>(XK_a));
  EXPECT_EQ(KeysymForCharacter(U'日'), 0x10065E5u);
  EXPECT_EQ(KeysymForCharacter(U'\t'), static_cast<std::uint32_t>(XK_Tab));
  EXPECT_EQ(CharacterForKeysym(XK_EuroSign), U'€');
  EXPECT_EQ(CharacterForKeysym(XK_Shift_L), 0u);
}

}  // namespace
}  // namespace tapwell::xkb
