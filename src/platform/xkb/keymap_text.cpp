#include "platform/xkb/keymap_text.h"

namespace tapwell::xkb {

namespace {

// The offset of the opening brace of the section that starts with `keyword`;
// npos when there is none.
std::size_t SectionStart(std::string_view text, std::string_view keyword) {
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
  return text.find('{', at);
}

// The offset of the closing brace of the section that starts with `keyword`;
// npos when there is none.
std::size_t SectionEnd(std::string_view text, std::string_view keyword) {
  const std::size_t open = SectionStart(text, keyword);
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

std::optional<std::string> WithoutRepeat(std::string_view keymap) {
  const std::size_t start = SectionStart(keymap, "xkb_symbols");
  const std::size_t end = SectionEnd(keymap, "xkb_symbols");
  if (start == std::string_view::npos || end == std::string_view::npos) return std::nullopt;
  std::string out(keymap.substr(0, start + 1));
  // Each key statement ("key <NAME> {") starts a line of the section.
  std::size_t at = start + 1;
  while (at < end) {
    const std::size_t lineEnd = std::min(keymap.find('\n', at), end);
    std::string_view line = keymap.substr(at, lineEnd - at);
    const std::size_t first = line.find_first_not_of(" \t");
    const std::size_t brace = line.find('{');
    if (first != std::string_view::npos && line.substr(first, 5) == "key <" &&
        brace != std::string_view::npos) {
      out.append(line.substr(0, brace + 1));
      out.append(" repeat= No,");
      out.append(line.substr(brace + 1));
    } else {
      out.append(line);
    }
    at = lineEnd;
    if (at < end) {
      out += '\n';
      ++at;
    }
  }
  out.append(keymap.substr(end));
  return out;
}

}  // namespace tapwell::xkb
