// The keyboard's decisions on keymaps recorded from an Xvfb server with
// `xmodmap -pke` on the us (pc105) and jp (jp106) layouts.
#include "platform/xkb/keymap_model.h"

#include <gtest/gtest.h>
// clang-format off
#include <X11/Xlib.h>
#include <X11/keysym.h>
// clang-format on

#include <algorithm>
#include <fstream>
#include <sstream>

#include "engine/keynames.h"

namespace tapwell::xkb {
namespace {

using Kind = KeyTarget::Kind;

CoreKeymap ReadKeymap(const std::string& name) {
  std::ifstream in(std::string(KEYMAP_DIR) + "/" + name);
  CoreKeymap keymap;
  keymap.minKeycode = 8;
  keymap.maxKeycode = 255;
  keymap.perKeycode = 7;
  keymap.keysyms.assign(static_cast<std::size_t>(248 * 7), 0);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string word;
    int kc = 0;
    std::string eq;
    if (!(words >> word >> kc >> eq) || word != "keycode" || kc < 8 || kc > 255) continue;
    int i = 0;
    while (words >> word && i < 7) {
      const KeySym sym = word == "NoSymbol" ? NoSymbol : XStringToKeysym(word.c_str());
      keymap.keysyms[static_cast<std::size_t>((kc - 8) * 7 + i)] = static_cast<std::uint32_t>(sym);
      ++i;
    }
  }
  return keymap;
}

class Keymaps : public ::testing::Test {
 protected:
  void SetUp() override {
    usMap = ReadKeymap("us.keymap");
    jpMap = ReadKeymap("jp.keymap");
    ASSERT_EQ(usMap.at(38, 0), XK_a);
    ASSERT_EQ(jpMap.at(49, 1), XK_Kanji);
    us.load(usMap, KeyLayout::Us);
    jp.load(jpMap, KeyLayout::Jp);
  }
  CoreKeymap usMap;
  CoreKeymap jpMap;
  KeymapModel us;
  KeymapModel jp;
};

void ExpectKey(const KeymapModel& m, int vk, int keycode) {
  const KeyTarget t = m.resolve(static_cast<std::uint8_t>(vk));
  EXPECT_EQ(t.kind, Kind::Keycode) << "code " << vk;
  EXPECT_EQ(t.keycode, keycode) << "code " << vk;
}

void ExpectSpare(const KeymapModel& m, int vk, KeySym keysym) {
  const KeyTarget t = m.resolve(static_cast<std::uint8_t>(vk));
  EXPECT_EQ(t.kind, Kind::Spare) << "code " << vk;
  EXPECT_EQ(t.keysym, keysym) << "code " << vk;
}

TEST_F(Keymaps, NamedKeysOnUs) {
  ExpectKey(us, 13, 36);   // ENTER
  ExpectKey(us, 16, 50);   // SHIFT
  ExpectKey(us, 91, 133);  // WIN
  ExpectKey(us, 21, 101);  // KANA: Hiragana_Katakana is in the us keymap
  ExpectKey(us, 28, 100);  // CONV
  ExpectKey(us, 144, 77);  // NUM
  ExpectKey(us, 112, 67);  // F1
  ExpectKey(us, 'A', 38);
  ExpectKey(us, '1', 10);
  // Missing from the us keymap: F13 there is XF86Tools.
  ExpectSpare(us, 25, XK_Kanji);
  ExpectSpare(us, 124, XK_F13);
  ExpectSpare(us, 135, XK_F24);
  ExpectSpare(us, 41, XK_Select);
}

TEST_F(Keymaps, KeypadDigitsAndPointWhateverNumLock) {
  for (const KeymapModel* m : {&us, &jp}) {
    for (int n = 0; n <= 9; ++n) ExpectSpare(*m, 96 + n, XK_KP_0 + static_cast<KeySym>(n));
    // KP_Decimal is the unshifted symbol of keycode 129, not of the keypad point.
    ExpectKey(*m, 110, 129);
    ExpectKey(*m, 106, 63);  // NUMPP
    ExpectKey(*m, 107, 86);  // NUMP
  }
}

TEST_F(Keymaps, ShiftedSymbolsDoNotCountOnJp) {
  // KANJI is the Hankaku/Zenkaku key itself there, as the key it is named after.
  ExpectKey(jp, 25, 49);
  EXPECT_EQ(jp.resolve(25).keysym, XK_Zenkaku_Hankaku);
  // A Japanese layout without that key keeps Kanji on a spare keycode.
  CoreKeymap noZenkaku = jpMap;
  for (std::uint32_t& keysym : noZenkaku.keysyms) {
    if (keysym == XK_Zenkaku_Hankaku) keysym = 0;
  }
  KeymapModel m;
  m.load(noZenkaku, KeyLayout::Jp);
  ExpectSpare(m, 25, XK_Kanji);
  ExpectKey(jp, 0xF3, 49);
  ExpectKey(jp, 0xC0, 34);
  ExpectKey(jp, 0xE2, 97);
  ExpectKey(jp, 0xDC, 132);
  ExpectKey(jp, 0xDE, 21);
  EXPECT_EQ(us.resolve(0xF3).kind, Kind::Nothing);
}

TEST_F(Keymaps, MouseButtonsAndUnassignedCodes) {
  for (const KeymapModel* m : {&us, &jp}) {
    EXPECT_EQ(m->resolve(1).kind, Kind::Button);
    EXPECT_EQ(m->resolve(1).button, 1u);
    EXPECT_EQ(m->resolve(2).button, 3u);
    EXPECT_EQ(m->resolve(4).button, 2u);
    for (int vk : {0, 3, 5, 7, 0x0A, 0x3A, 0x88, 0xFF}) {
      EXPECT_EQ(m->resolve(static_cast<std::uint8_t>(vk)).kind, Kind::Nothing) << vk;
    }
  }
}

TEST_F(Keymaps, UsScanAgreesWithTheBuiltInUsLayout) {
  for (int c = 0; c < 256; ++c) {
    const auto key = UsKeyForCharacter(static_cast<char>(c));
    const int expected = key ? key->key | (key->shift ? 0x100 : 0) | (key->ctrl ? 0x200 : 0) : -1;
    EXPECT_EQ(us.vkKeyScan(static_cast<char>(c)), expected) << "character " << c;
  }
}

TEST_F(Keymaps, JpScanGivesTheJapaneseKeys) {
  EXPECT_EQ(jp.vkKeyScan('@'), 0xC0);
  EXPECT_EQ(jp.vkKeyScan('`'), 0x1C0);
  EXPECT_EQ(jp.vkKeyScan('"'), 0x132);
  EXPECT_EQ(jp.vkKeyScan(':'), 0xBA);
  EXPECT_EQ(jp.vkKeyScan('*'), 0x1BA);
  EXPECT_EQ(jp.vkKeyScan(';'), 0xBB);
  EXPECT_EQ(jp.vkKeyScan('+'), 0x1BB);
  EXPECT_EQ(jp.vkKeyScan('^'), 0xDE);
  EXPECT_EQ(jp.vkKeyScan('['), 0xDB);
  EXPECT_EQ(jp.vkKeyScan(']'), 0xDD);
  EXPECT_EQ(jp.vkKeyScan('_'), 0x1E2);
  EXPECT_EQ(jp.vkKeyScan('|'), 0x1DC);
  EXPECT_EQ(jp.vkKeyScan('='), 0x1BD);
  EXPECT_EQ(jp.vkKeyScan('a'), 'A');
  EXPECT_EQ(jp.vkKeyScan('A'), 0x141);
  EXPECT_EQ(jp.vkKeyScan('\x1b'), 0x2DB);
  EXPECT_EQ(jp.vkKeyScan('\x7f'), -1);
  EXPECT_EQ(jp.vkKeyScan('\xa4'), -1);
}

// Pressing the code of every printable character without Shift presses a key
// that carries the character.
TEST_F(Keymaps, EveryPrintableCharacterRoundTrips) {
  for (const auto* pair : {&us, &jp}) {
    const CoreKeymap& map = pair == &us ? usMap : jpMap;
    for (int c = 0x20; c <= 0x7E; ++c) {
      const std::int16_t scan = pair->vkKeyScan(static_cast<char>(c));
      ASSERT_GE(scan, 0) << "character " << c;
      const KeyTarget t = pair->resolve(static_cast<std::uint8_t>(scan & 0xFF));
      ASSERT_EQ(t.kind, Kind::Keycode) << "character " << c;
      EXPECT_TRUE(map.at(t.keycode, 0) == static_cast<std::uint32_t>(c) ||
                  map.at(t.keycode, 1) == static_cast<std::uint32_t>(c))
          << "character '" << static_cast<char>(c) << "' gives keycode " << int(t.keycode);
      const bool unshifted = map.at(t.keycode, 0) == static_cast<std::uint32_t>(c);
      EXPECT_EQ((scan & 0x100) != 0, !unshifted) << "shift state of '" << static_cast<char>(c) << "'";
    }
  }
}

TEST_F(Keymaps, SpareCandidatesAreEmptyAndNoKeyOfEitherLayout) {
  for (const auto* m : {&us, &jp}) {
    const auto& map = m == &us ? usMap : jpMap;
    const auto spare = m->emptyKeycodes();
    EXPECT_GE(spare.size(), 8u);
    for (const std::uint8_t kc : spare) {
      EXPECT_TRUE(map.empty(kc)) << int(kc);
      EXPECT_NE(kc, 97);
      EXPECT_NE(kc, 132);
    }
    EXPECT_TRUE(std::is_sorted(spare.rbegin(), spare.rend()));
  }
}

TEST_F(Keymaps, ReservedKeycodesAreNeverKeysOfTheKeymap) {
  // A spare keycode that carries Kanji for a moment is not the keymap's Kanji key.
  CoreKeymap withSpare = usMap;
  withSpare.keysyms[static_cast<std::size_t>((248 - 8) * 7)] = XK_Kanji;
  KeymapModel m;
  m.load(withSpare, KeyLayout::Us, {248});
  ExpectSpare(m, 25, XK_Kanji);
  m.load(withSpare, KeyLayout::Us, {});
  ExpectKey(m, 25, 248);
}

}  // namespace
}  // namespace tapwell::xkb
