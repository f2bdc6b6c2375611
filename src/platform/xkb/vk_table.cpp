#include "platform/xkb/vk_table.h"

#include <linux/input-event-codes.h>
#include <xkbcommon/xkbcommon-keysyms.h>

#include <iterator>

namespace tapwell::xkb {

namespace {

struct VkEntry {
  std::uint8_t vk;
  std::uint16_t evdev;   // Linux input keycode; 0 when no physical key carries it
  std::uint32_t keysym;  // X keysym; 0 for position keys
  KeyRoute route;
};

// Punctuation keys that sit elsewhere, or carry other codes, on the Japanese layout.
struct EvdevOverride {
  std::uint16_t evdev;
  std::uint8_t vk;
};

constexpr KeyRoute S = KeyRoute::Keysym;
constexpr KeyRoute L = KeyRoute::Letter;
constexpr KeyRoute P = KeyRoute::Position;

// The US base table. Codes listed later with the same evdev keycode are aliases
// (VK_LSHIFT beside VK_SHIFT): they reach the key, the key reports the first code.
constexpr VkEntry kBase[] = {
    {0x08, KEY_BACKSPACE, XKB_KEY_BackSpace, S},
    {0x09, KEY_TAB, XKB_KEY_Tab, S},
    {0x0C, 0, XKB_KEY_Clear, S},
    {0x0D, KEY_ENTER, XKB_KEY_Return, S},
    {0x10, KEY_LEFTSHIFT, XKB_KEY_Shift_L, S},
    {0x11, KEY_LEFTCTRL, XKB_KEY_Control_L, S},
    {0x12, KEY_LEFTALT, XKB_KEY_Alt_L, S},
    {0x13, KEY_PAUSE, XKB_KEY_Pause, S},
    {0x14, KEY_CAPSLOCK, XKB_KEY_Caps_Lock, S},
    {0x15, KEY_KATAKANAHIRAGANA, XKB_KEY_Hiragana_Katakana, S},
    {0x19, 0, XKB_KEY_Kanji, S},
    {0x1B, KEY_ESC, XKB_KEY_Escape, S},
    {0x1C, KEY_HENKAN, XKB_KEY_Henkan_Mode, S},
    {0x1D, KEY_MUHENKAN, XKB_KEY_Muhenkan, S},
    {0x20, KEY_SPACE, XKB_KEY_space, S},
    {0x21, KEY_PAGEUP, XKB_KEY_Prior, S},
    {0x22, KEY_PAGEDOWN, XKB_KEY_Next, S},
    {0x23, KEY_END, XKB_KEY_End, S},
    {0x24, KEY_HOME, XKB_KEY_Home, S},
    {0x25, KEY_LEFT, XKB_KEY_Left, S},
    {0x26, KEY_UP, XKB_KEY_Up, S},
    {0x27, KEY_RIGHT, XKB_KEY_Right, S},
    {0x28, KEY_DOWN, XKB_KEY_Down, S},
    {0x29, 0, XKB_KEY_Select, S},
    {0x2B, 0, XKB_KEY_Execute, S},
    {0x2C, KEY_SYSRQ, XKB_KEY_Print, S},
    {0x2D, KEY_INSERT, XKB_KEY_Insert, S},
    {0x2E, KEY_DELETE, XKB_KEY_Delete, S},
    {0x2F, KEY_HELP, XKB_KEY_Help, S},
    {'0', KEY_0, XKB_KEY_0, L},
    {'1', KEY_1, XKB_KEY_1, L},
    {'2', KEY_2, XKB_KEY_2, L},
    {'3', KEY_3, XKB_KEY_3, L},
    {'4', KEY_4, XKB_KEY_4, L},
    {'5', KEY_5, XKB_KEY_5, L},
    {'6', KEY_6, XKB_KEY_6, L},
    {'7', KEY_7, XKB_KEY_7, L},
    {'8', KEY_8, XKB_KEY_8, L},
    {'9', KEY_9, XKB_KEY_9, L},
    {'A', KEY_A, XKB_KEY_a, L},
    {'B', KEY_B, XKB_KEY_b, L},
    {'C', KEY_C, XKB_KEY_c, L},
    {'D', KEY_D, XKB_KEY_d, L},
    {'E', KEY_E, XKB_KEY_e, L},
    {'F', KEY_F, XKB_KEY_f, L},
    {'G', KEY_G, XKB_KEY_g, L},
    {'H', KEY_H, XKB_KEY_h, L},
    {'I', KEY_I, XKB_KEY_i, L},
    {'J', KEY_J, XKB_KEY_j, L},
    {'K', KEY_K, XKB_KEY_k, L},
    {'L', KEY_L, XKB_KEY_l, L},
    {'M', KEY_M, XKB_KEY_m, L},
    {'N', KEY_N, XKB_KEY_n, L},
    {'O', KEY_O, XKB_KEY_o, L},
    {'P', KEY_P, XKB_KEY_p, L},
    {'Q', KEY_Q, XKB_KEY_q, L},
    {'R', KEY_R, XKB_KEY_r, L},
    {'S', KEY_S, XKB_KEY_s, L},
    {'T', KEY_T, XKB_KEY_t, L},
    {'U', KEY_U, XKB_KEY_u, L},
    {'V', KEY_V, XKB_KEY_v, L},
    {'W', KEY_W, XKB_KEY_w, L},
    {'X', KEY_X, XKB_KEY_x, L},
    {'Y', KEY_Y, XKB_KEY_y, L},
    {'Z', KEY_Z, XKB_KEY_z, L},
    {0x5B, KEY_LEFTMETA, XKB_KEY_Super_L, S},
    {0x5C, KEY_RIGHTMETA, XKB_KEY_Super_R, S},
    {0x5D, KEY_COMPOSE, XKB_KEY_Menu, S},
    {0x5F, KEY_SLEEP, XKB_KEY_XF86Sleep, S},
    {0x60, KEY_KP0, XKB_KEY_KP_0, S},
    {0x61, KEY_KP1, XKB_KEY_KP_1, S},
    {0x62, KEY_KP2, XKB_KEY_KP_2, S},
    {0x63, KEY_KP3, XKB_KEY_KP_3, S},
    {0x64, KEY_KP4, XKB_KEY_KP_4, S},
    {0x65, KEY_KP5, XKB_KEY_KP_5, S},
    {0x66, KEY_KP6, XKB_KEY_KP_6, S},
    {0x67, KEY_KP7, XKB_KEY_KP_7, S},
    {0x68, KEY_KP8, XKB_KEY_KP_8, S},
    {0x69, KEY_KP9, XKB_KEY_KP_9, S},
    {0x6A, KEY_KPASTERISK, XKB_KEY_KP_Multiply, S},
    {0x6B, KEY_KPPLUS, XKB_KEY_KP_Add, S},
    {0x6C, KEY_KPJPCOMMA, XKB_KEY_KP_Separator, S},
    {0x6D, KEY_KPMINUS, XKB_KEY_KP_Subtract, S},
    {0x6E, KEY_KPDOT, XKB_KEY_KP_Decimal, S},
    {0x6F, KEY_KPSLASH, XKB_KEY_KP_Divide, S},
    {0x70, KEY_F1, XKB_KEY_F1, S},
    {0x71, KEY_F2, XKB_KEY_F2, S},
    {0x72, KEY_F3, XKB_KEY_F3, S},
    {0x73, KEY_F4, XKB_KEY_F4, S},
    {0x74, KEY_F5, XKB_KEY_F5, S},
    {0x75, KEY_F6, XKB_KEY_F6, S},
    {0x76, KEY_F7, XKB_KEY_F7, S},
    {0x77, KEY_F8, XKB_KEY_F8, S},
    {0x78, KEY_F9, XKB_KEY_F9, S},
    {0x79, KEY_F10, XKB_KEY_F10, S},
    {0x7A, KEY_F11, XKB_KEY_F11, S},
    {0x7B, KEY_F12, XKB_KEY_F12, S},
    {0x7C, KEY_F13, XKB_KEY_F13, S},
    {0x7D, KEY_F14, XKB_KEY_F14, S},
    {0x7E, KEY_F15, XKB_KEY_F15, S},
    {0x7F, KEY_F16, XKB_KEY_F16, S},
    {0x80, KEY_F17, XKB_KEY_F17, S},
    {0x81, KEY_F18, XKB_KEY_F18, S},
    {0x82, KEY_F19, XKB_KEY_F19, S},
    {0x83, KEY_F20, XKB_KEY_F20, S},
    {0x84, KEY_F21, XKB_KEY_F21, S},
    {0x85, KEY_F22, XKB_KEY_F22, S},
    {0x86, KEY_F23, XKB_KEY_F23, S},
    {0x87, KEY_F24, XKB_KEY_F24, S},
    {0x90, KEY_NUMLOCK, XKB_KEY_Num_Lock, S},
    {0x91, KEY_SCROLLLOCK, XKB_KEY_Scroll_Lock, S},
    // Left-side aliases of the generic modifier codes.
    {0xA0, KEY_LEFTSHIFT, XKB_KEY_Shift_L, S},
    {0xA1, KEY_RIGHTSHIFT, XKB_KEY_Shift_R, S},
    {0xA2, KEY_LEFTCTRL, XKB_KEY_Control_L, S},
    {0xA3, KEY_RIGHTCTRL, XKB_KEY_Control_R, S},
    {0xA4, KEY_LEFTALT, XKB_KEY_Alt_L, S},
    {0xA5, KEY_RIGHTALT, XKB_KEY_Alt_R, S},
    {0xA6, KEY_BACK, XKB_KEY_XF86Back, S},
    {0xA7, KEY_FORWARD, XKB_KEY_XF86Forward, S},
    {0xA8, KEY_REFRESH, XKB_KEY_XF86Reload, S},
    {0xA9, KEY_STOP, XKB_KEY_XF86Stop, S},
    {0xAA, KEY_SEARCH, XKB_KEY_XF86Search, S},
    {0xAB, KEY_BOOKMARKS, XKB_KEY_XF86Favorites, S},
    {0xAC, KEY_HOMEPAGE, XKB_KEY_XF86HomePage, S},
    {0xAD, KEY_MUTE, XKB_KEY_XF86AudioMute, S},
    {0xAE, KEY_VOLUMEDOWN, XKB_KEY_XF86AudioLowerVolume, S},
    {0xAF, KEY_VOLUMEUP, XKB_KEY_XF86AudioRaiseVolume, S},
    {0xB0, KEY_NEXTSONG, XKB_KEY_XF86AudioNext, S},
    {0xB1, KEY_PREVIOUSSONG, XKB_KEY_XF86AudioPrev, S},
    {0xB2, KEY_STOPCD, XKB_KEY_XF86AudioStop, S},
    {0xB3, KEY_PLAYPAUSE, XKB_KEY_XF86AudioPlay, S},
    {0xB4, KEY_MAIL, XKB_KEY_XF86Mail, S},
    {0xB6, KEY_COMPUTER, XKB_KEY_XF86MyComputer, S},
    {0xB7, KEY_CALC, XKB_KEY_XF86Calculator, S},
    // Punctuation: the key at the position, whatever it prints on the layout.
    {0xBA, KEY_SEMICOLON, 0, P},
    {0xBB, KEY_EQUAL, 0, P},
    {0xBC, KEY_COMMA, 0, P},
    {0xBD, KEY_MINUS, 0, P},
    {0xBE, KEY_DOT, 0, P},
    {0xBF, KEY_SLASH, 0, P},
    {0xC0, KEY_GRAVE, 0, P},
    {0xDB, KEY_LEFTBRACE, 0, P},
    {0xDC, KEY_BACKSLASH, 0, P},
    {0xDD, KEY_RIGHTBRACE, 0, P},
    {0xDE, KEY_APOSTROPHE, 0, P},
    {0xE2, KEY_102ND, 0, P},
    // Hankaku/Zenkaku: a key of the Japanese layout only.
    {0xF3, 0, 0, P},
};

constexpr EvdevOverride kJp[] = {
    {KEY_EQUAL, 0xDE},     {KEY_LEFTBRACE, 0xC0},  {KEY_RIGHTBRACE, 0xDB},
    {KEY_SEMICOLON, 0xBB}, {KEY_APOSTROPHE, 0xBA}, {KEY_BACKSLASH, 0xDD},
    {KEY_GRAVE, 0xF3},     {KEY_RO, 0xE2},         {KEY_YEN, 0xDC},
};

}  // namespace

KeyLayout LayoutFromXkbLayouts(std::string_view layouts) {
  const std::string_view first = layouts.substr(0, layouts.find(','));
  return first == "jp" ? KeyLayout::Jp : KeyLayout::Us;
}

std::uint16_t EvdevButton(unsigned button) {
  static constexpr std::uint16_t kCodes[] = {0, BTN_LEFT, BTN_MIDDLE, BTN_RIGHT};
  return button < std::size(kCodes) ? kCodes[button] : 0;
}

VkLayoutTable::VkLayoutTable(KeyLayout layout) : layout_(layout) {
  route_.fill(KeyRoute::Position);
  for (const VkEntry& e : kBase) {
    known_[e.vk] = true;
    keysym_[e.vk] = e.keysym;
    route_[e.vk] = e.route;
    if (e.evdev == 0) continue;
    const int keycode = e.evdev + kEvdevOffset;
    if (keycode > 255) continue;
    const auto kc = static_cast<std::uint8_t>(keycode);
    keycode_[e.vk] = kc;
    if (vk_[kc] == 0) vk_[kc] = e.vk;
  }
  if (layout == KeyLayout::Jp) {
    for (const EvdevOverride& o : kJp) {
      const auto kc = static_cast<std::uint8_t>(o.evdev + kEvdevOffset);
      // The key's old code and the code's old key no longer meet.
      if (const std::uint8_t old = vk_[kc]; old != 0 && keycode_[old] == kc) keycode_[old] = 0;
      if (const std::uint8_t oldKey = keycode_[o.vk]; oldKey != 0 && vk_[oldKey] == o.vk) vk_[oldKey] = 0;
      keycode_[o.vk] = kc;
      vk_[kc] = o.vk;
    }
  }
}

}  // namespace tapwell::xkb
