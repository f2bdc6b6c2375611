#include "platform/x11/vk_table.h"

#include <X11/XF86keysym.h>
#include <X11/keysym.h>
#include <linux/input-event-codes.h>

#include <iterator>

namespace tapwell::platform::x11 {

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
    {0x08, KEY_BACKSPACE, XK_BackSpace, S},
    {0x09, KEY_TAB, XK_Tab, S},
    {0x0C, 0, XK_Clear, S},
    {0x0D, KEY_ENTER, XK_Return, S},
    {0x10, KEY_LEFTSHIFT, XK_Shift_L, S},
    {0x11, KEY_LEFTCTRL, XK_Control_L, S},
    {0x12, KEY_LEFTALT, XK_Alt_L, S},
    {0x13, KEY_PAUSE, XK_Pause, S},
    {0x14, KEY_CAPSLOCK, XK_Caps_Lock, S},
    {0x15, KEY_KATAKANAHIRAGANA, XK_Hiragana_Katakana, S},
    {0x19, 0, XK_Kanji, S},
    {0x1B, KEY_ESC, XK_Escape, S},
    {0x1C, KEY_HENKAN, XK_Henkan_Mode, S},
    {0x1D, KEY_MUHENKAN, XK_Muhenkan, S},
    {0x20, KEY_SPACE, XK_space, S},
    {0x21, KEY_PAGEUP, XK_Prior, S},
    {0x22, KEY_PAGEDOWN, XK_Next, S},
    {0x23, KEY_END, XK_End, S},
    {0x24, KEY_HOME, XK_Home, S},
    {0x25, KEY_LEFT, XK_Left, S},
    {0x26, KEY_UP, XK_Up, S},
    {0x27, KEY_RIGHT, XK_Right, S},
    {0x28, KEY_DOWN, XK_Down, S},
    {0x29, 0, XK_Select, S},
    {0x2B, 0, XK_Execute, S},
    {0x2C, KEY_SYSRQ, XK_Print, S},
    {0x2D, KEY_INSERT, XK_Insert, S},
    {0x2E, KEY_DELETE, XK_Delete, S},
    {0x2F, KEY_HELP, XK_Help, S},
    {'0', KEY_0, XK_0, L},
    {'1', KEY_1, XK_1, L},
    {'2', KEY_2, XK_2, L},
    {'3', KEY_3, XK_3, L},
    {'4', KEY_4, XK_4, L},
    {'5', KEY_5, XK_5, L},
    {'6', KEY_6, XK_6, L},
    {'7', KEY_7, XK_7, L},
    {'8', KEY_8, XK_8, L},
    {'9', KEY_9, XK_9, L},
    {'A', KEY_A, XK_a, L},
    {'B', KEY_B, XK_b, L},
    {'C', KEY_C, XK_c, L},
    {'D', KEY_D, XK_d, L},
    {'E', KEY_E, XK_e, L},
    {'F', KEY_F, XK_f, L},
    {'G', KEY_G, XK_g, L},
    {'H', KEY_H, XK_h, L},
    {'I', KEY_I, XK_i, L},
    {'J', KEY_J, XK_j, L},
    {'K', KEY_K, XK_k, L},
    {'L', KEY_L, XK_l, L},
    {'M', KEY_M, XK_m, L},
    {'N', KEY_N, XK_n, L},
    {'O', KEY_O, XK_o, L},
    {'P', KEY_P, XK_p, L},
    {'Q', KEY_Q, XK_q, L},
    {'R', KEY_R, XK_r, L},
    {'S', KEY_S, XK_s, L},
    {'T', KEY_T, XK_t, L},
    {'U', KEY_U, XK_u, L},
    {'V', KEY_V, XK_v, L},
    {'W', KEY_W, XK_w, L},
    {'X', KEY_X, XK_x, L},
    {'Y', KEY_Y, XK_y, L},
    {'Z', KEY_Z, XK_z, L},
    {0x5B, KEY_LEFTMETA, XK_Super_L, S},
    {0x5C, KEY_RIGHTMETA, XK_Super_R, S},
    {0x5D, KEY_COMPOSE, XK_Menu, S},
    {0x5F, KEY_SLEEP, XF86XK_Sleep, S},
    {0x60, KEY_KP0, XK_KP_0, S},
    {0x61, KEY_KP1, XK_KP_1, S},
    {0x62, KEY_KP2, XK_KP_2, S},
    {0x63, KEY_KP3, XK_KP_3, S},
    {0x64, KEY_KP4, XK_KP_4, S},
    {0x65, KEY_KP5, XK_KP_5, S},
    {0x66, KEY_KP6, XK_KP_6, S},
    {0x67, KEY_KP7, XK_KP_7, S},
    {0x68, KEY_KP8, XK_KP_8, S},
    {0x69, KEY_KP9, XK_KP_9, S},
    {0x6A, KEY_KPASTERISK, XK_KP_Multiply, S},
    {0x6B, KEY_KPPLUS, XK_KP_Add, S},
    {0x6C, KEY_KPJPCOMMA, XK_KP_Separator, S},
    {0x6D, KEY_KPMINUS, XK_KP_Subtract, S},
    {0x6E, KEY_KPDOT, XK_KP_Decimal, S},
    {0x6F, KEY_KPSLASH, XK_KP_Divide, S},
    {0x70, KEY_F1, XK_F1, S},
    {0x71, KEY_F2, XK_F2, S},
    {0x72, KEY_F3, XK_F3, S},
    {0x73, KEY_F4, XK_F4, S},
    {0x74, KEY_F5, XK_F5, S},
    {0x75, KEY_F6, XK_F6, S},
    {0x76, KEY_F7, XK_F7, S},
    {0x77, KEY_F8, XK_F8, S},
    {0x78, KEY_F9, XK_F9, S},
    {0x79, KEY_F10, XK_F10, S},
    {0x7A, KEY_F11, XK_F11, S},
    {0x7B, KEY_F12, XK_F12, S},
    {0x7C, KEY_F13, XK_F13, S},
    {0x7D, KEY_F14, XK_F14, S},
    {0x7E, KEY_F15, XK_F15, S},
    {0x7F, KEY_F16, XK_F16, S},
    {0x80, KEY_F17, XK_F17, S},
    {0x81, KEY_F18, XK_F18, S},
    {0x82, KEY_F19, XK_F19, S},
    {0x83, KEY_F20, XK_F20, S},
    {0x84, KEY_F21, XK_F21, S},
    {0x85, KEY_F22, XK_F22, S},
    {0x86, KEY_F23, XK_F23, S},
    {0x87, KEY_F24, XK_F24, S},
    {0x90, KEY_NUMLOCK, XK_Num_Lock, S},
    {0x91, KEY_SCROLLLOCK, XK_Scroll_Lock, S},
    // Left-side aliases of the generic modifier codes.
    {0xA0, KEY_LEFTSHIFT, XK_Shift_L, S},
    {0xA1, KEY_RIGHTSHIFT, XK_Shift_R, S},
    {0xA2, KEY_LEFTCTRL, XK_Control_L, S},
    {0xA3, KEY_RIGHTCTRL, XK_Control_R, S},
    {0xA4, KEY_LEFTALT, XK_Alt_L, S},
    {0xA5, KEY_RIGHTALT, XK_Alt_R, S},
    {0xA6, KEY_BACK, XF86XK_Back, S},
    {0xA7, KEY_FORWARD, XF86XK_Forward, S},
    {0xA8, KEY_REFRESH, XF86XK_Reload, S},
    {0xA9, KEY_STOP, XF86XK_Stop, S},
    {0xAA, KEY_SEARCH, XF86XK_Search, S},
    {0xAB, KEY_BOOKMARKS, XF86XK_Favorites, S},
    {0xAC, KEY_HOMEPAGE, XF86XK_HomePage, S},
    {0xAD, KEY_MUTE, XF86XK_AudioMute, S},
    {0xAE, KEY_VOLUMEDOWN, XF86XK_AudioLowerVolume, S},
    {0xAF, KEY_VOLUMEUP, XF86XK_AudioRaiseVolume, S},
    {0xB0, KEY_NEXTSONG, XF86XK_AudioNext, S},
    {0xB1, KEY_PREVIOUSSONG, XF86XK_AudioPrev, S},
    {0xB2, KEY_STOPCD, XF86XK_AudioStop, S},
    {0xB3, KEY_PLAYPAUSE, XF86XK_AudioPlay, S},
    {0xB4, KEY_MAIL, XF86XK_Mail, S},
    {0xB6, KEY_COMPUTER, XF86XK_MyComputer, S},
    {0xB7, KEY_CALC, XF86XK_Calculator, S},
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

}  // namespace tapwell::platform::x11
