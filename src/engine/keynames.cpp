#include "engine/keynames.h"

namespace tapwell {

namespace {

constexpr std::array<KeyName, 71> kTable = {{
    {"ENTER", 13},    {"WIN", 91},    {"ALT", 18},    {"CTRL", 17},  {"UP", 38},         {"DOWN", 40},
    {"LEFT", 37},     {"RIGHT", 39},  {"BS", 8},      {"DEL", 46},   {"END", 35},        {"ESC", 27},
    {"HOME", 36},     {"INS", 45},    {"PGDN", 34},   {"PGUP", 33},  {"SHIFT", 16},      {"PRTSRC", 44},
    {"SPACE", 32},    {"TAB", 9},     {"KANJI", 25},  {"CAPS", 20},  {"NUM", 144},       {"KANA", 21},
    {"CONV", 28},     {"SELECT", 41}, {"EXE", 43},    {"HELP", 47},  {"NUM0", 96},       {"NUM1", 97},
    {"NUM2", 98},     {"NUM3", 99},   {"NUM4", 100},  {"NUM5", 101}, {"NUM6", 102},      {"NUM7", 103},
    {"NUM8", 104},    {"NUM9", 105},  {"NUMPP", 106}, {"NUMP", 107}, {"SEPARATOR", 108}, {"NUMM", 109},
    {"DECIMAL", 110}, {"NUMMM", 111}, {"F1", 112},    {"F2", 113},   {"F3", 114},        {"F4", 115},
    {"F5", 116},      {"F6", 117},    {"F7", 118},    {"F8", 119},   {"F9", 120},        {"F10", 121},
    {"F11", 122},     {"F12", 123},   {"F13", 124},   {"F14", 125},  {"F15", 126},       {"F16", 127},
    {"F17", 128},     {"F18", 129},   {"F19", 130},   {"F20", 131},  {"F21", 132},       {"F22", 133},
    {"F23", 134},     {"F24", 135},   {"ML", 1},      {"MM", 2},     {"MR", 4},
}};

constexpr std::int16_t kShift = 0x100;
constexpr std::int16_t kCtrl = 0x200;

}  // namespace

const std::array<KeyName, 71>& KeyNameTable() {
  return kTable;
}

std::optional<std::uint8_t> FindKeyName(std::string_view upperToken) {
  for (const auto& entry : kTable) {
    if (entry.name == upperToken) return entry.code;
  }
  return std::nullopt;
}

namespace {

// The key code in the low byte, the modifiers in the high byte; -1 for none.
std::int16_t UsScan(char ch) {
  const auto c = static_cast<unsigned char>(ch);
  if (c >= 'a' && c <= 'z') return static_cast<std::int16_t>(c - 'a' + 'A');
  if (c >= 'A' && c <= 'Z') return static_cast<std::int16_t>(kShift | c);
  if (c >= '0' && c <= '9') return static_cast<std::int16_t>(c);
  switch (c) {
    case ' ':
      return 0x20;
    case '\t':
      return 0x09;
    case '\r':
      return 0x0D;
    case '\n':
      return kCtrl | 0x0D;
    case '\b':
      return 0x08;
    case 0x1B:
      return kCtrl | 0xDB;
    case 0x1C:
      return kCtrl | 0xDC;
    case 0x1D:
      return kCtrl | 0xDD;
    case '`':
      return 0xC0;
    case '~':
      return kShift | 0xC0;
    case '!':
      return kShift | '1';
    case '@':
      return kShift | '2';
    case '#':
      return kShift | '3';
    case '$':
      return kShift | '4';
    case '%':
      return kShift | '5';
    case '^':
      return kShift | '6';
    case '&':
      return kShift | '7';
    case '*':
      return kShift | '8';
    case '(':
      return kShift | '9';
    case ')':
      return kShift | '0';
    case '-':
      return 0xBD;
    case '_':
      return kShift | 0xBD;
    case '=':
      return 0xBB;
    case '+':
      return kShift | 0xBB;
    case '[':
      return 0xDB;
    case '{':
      return kShift | 0xDB;
    case ']':
      return 0xDD;
    case '}':
      return kShift | 0xDD;
    case '\\':
      return 0xDC;
    case '|':
      return kShift | 0xDC;
    case ';':
      return 0xBA;
    case ':':
      return kShift | 0xBA;
    case '\'':
      return 0xDE;
    case '"':
      return kShift | 0xDE;
    case ',':
      return 0xBC;
    case '<':
      return kShift | 0xBC;
    case '.':
      return 0xBE;
    case '>':
      return kShift | 0xBE;
    case '/':
      return 0xBF;
    case '?':
      return kShift | 0xBF;
    default:
      break;
  }
  if (c >= 0x01 && c <= 0x1A) return static_cast<std::int16_t>(kCtrl | (c - 1 + 'A'));
  return -1;
}

}  // namespace

std::optional<platform::CharacterKey> UsKeyForCharacter(char c) {
  return platform::CharacterKeyFromScan(UsScan(c));
}

}  // namespace tapwell
