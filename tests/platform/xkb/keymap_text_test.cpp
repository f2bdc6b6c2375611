// The keymap edits before an upload, checked by compiling the result.
#include "platform/xkb/keymap_text.h"

#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon.h>

#include <memory>

namespace tapwell::xkb {
namespace {

struct Keymaps {
  Keymaps() : context(xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES)) {
    const xkb_rule_names us{"evdev", "pc105", "us", "", ""};
    base = xkb_keymap_new_from_names(context, &us, XKB_KEYMAP_COMPILE_NO_FLAGS);
    char* raw = xkb_keymap_get_as_string(base, XKB_KEYMAP_FORMAT_TEXT_V1);
    text = raw;
    std::free(raw);
  }
  ~Keymaps() {
    xkb_keymap_unref(base);
    xkb_context_unref(context);
  }
  std::unique_ptr<xkb_keymap, void (*)(xkb_keymap*)> compile(const std::string& t) const {
    return {xkb_keymap_new_from_string(context, t.c_str(), XKB_KEYMAP_FORMAT_TEXT_V1,
                                       XKB_KEYMAP_COMPILE_NO_FLAGS),
            xkb_keymap_unref};
  }
  xkb_context* context;
  xkb_keymap* base = nullptr;
  std::string text;
};

xkb_keysym_t FirstSym(xkb_keymap* keymap, xkb_keycode_t keycode) {
  const xkb_keysym_t* syms = nullptr;
  return xkb_keymap_key_get_syms_by_level(keymap, keycode, 0, 0, &syms) > 0 ? syms[0] : XKB_KEY_NoSymbol;
}

TEST(KeymapText, AddedKeysCarryTheirSymbolOnNamedAndNewKeycodes) {
  Keymaps k;
  ASSERT_NE(k.base, nullptr);
  // 255 has a name in the evdev keycodes, 300 has none.
  ASSERT_NE(xkb_keymap_key_get_name(k.base, 255), nullptr);
  ASSERT_EQ(xkb_keymap_key_get_name(k.base, 300), nullptr);
  const auto added = AddKeys(
      k.text, {{255, xkb_keymap_key_get_name(k.base, 255), false, "Kanji"}, {300, "TW300", true, "F24"}});
  ASSERT_TRUE(added);
  const auto keymap = k.compile(*added);
  ASSERT_NE(keymap, nullptr);
  EXPECT_EQ(FirstSym(keymap.get(), 255), XKB_KEY_Kanji);
  EXPECT_EQ(FirstSym(keymap.get(), 300), XKB_KEY_F24);
  // The rest of the keymap is as it was.
  EXPECT_EQ(FirstSym(keymap.get(), 38), XKB_KEY_a);
  EXPECT_FALSE(AddKeys("xkb_keymap { };", {{300, "TW300", true, "F24"}}));
}

TEST(KeymapText, WithoutRepeatNoKeyRepeatsAndTheSymbolsStay) {
  Keymaps k;
  ASSERT_TRUE(xkb_keymap_key_repeats(k.base, 38));
  const auto still = WithoutRepeat(k.text);
  ASSERT_TRUE(still);
  const auto keymap = k.compile(*still);
  ASSERT_NE(keymap, nullptr);
  int repeating = 0;
  int keys = 0;
  for (xkb_keycode_t kc = xkb_keymap_min_keycode(keymap.get()); kc <= xkb_keymap_max_keycode(keymap.get());
       ++kc) {
    if (xkb_keymap_num_layouts_for_key(keymap.get(), kc) == 0) continue;
    ++keys;
    repeating += xkb_keymap_key_repeats(keymap.get(), kc);
    EXPECT_EQ(FirstSym(keymap.get(), kc), FirstSym(k.base, kc)) << kc;
  }
  EXPECT_GT(keys, 100);
  EXPECT_EQ(repeating, 0);
}

}  // namespace
}  // namespace tapwell::xkb
