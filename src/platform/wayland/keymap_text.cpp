#include "platform/wayland/keymap_text.h"

namespace tapwell::platform::wayland {

namespace {

// The offset of the closing brace of the section that starts with `keyword`;
// npos when there is none.
std::size_t SectionEnd(std::string_view text, std::string_view keyword) {
  std::size_t at = 0;
  for (;;) {
    at = text.find(keyword, at);
    if (at == std::string_view::npos) return at;
    // A whole word at the start of a line (or of the text).
    const bool lineStart = at == 0 || text[at - 1] == '\n' || text[at - 1] == ' ' || text[at - 1] == '\t';
    const std::size_t after = at + keyword.size();
    if (lineStart && after < text.size() &&
        (text[after] == ' ' || text[after] == '{' || text[after] == '\t')) {
      break;
    }
    at = after;
  }
  std::size_t open = text.find('{', at);
  if (open == std::string_view::npos) return open;
  int depth = 0;
  bool quoted = false;
  for (std::size_t i = open; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"') quoted = !quoted;
    if (quoted) continue;
    if (c == '{') ++depth;
    if (c == '}' && --depth == 0) return i;
  }
  return std::string_view::npos;
}

}  // namespace

std::optional<std::string> AddKeys(std::string_view keymap, const std::vector<ExtraKey>& keys) {
  std::string names;
  std::string symbols;
  for (const ExtraKey& k : keys) {
    if (k.newName) names += "\t<" + k.name + "> = " + std::to_string(k.keycode) + ";\n";
    symbols += "\tkey <" + k.name + "> { [ " + k.keysym + " ] };\n";
  }
  const std::size_t keycodesEnd = SectionEnd(keymap, "xkb_keycodes");
  const std::size_t symbolsEnd = SectionEnd(keymap, "xkb_symbols");
  if (keycodesEnd == std::string_view::npos || symbolsEnd == std::string_view::npos) return std::nullopt;
  std::string out(keymap);
  // The later insertion first: the earlier offset stays valid.
  if (symbolsEnd > keycodesEnd) {
    out.insert(symbolsEnd, symbols);
    out.insert(keycodesEnd, names);
  } else {
    out.insert(keycodesEnd, names);
    out.insert(symbolsEnd, symbols);
  }
  return out;
}

}  // namespace tapwell::platform::wayland
