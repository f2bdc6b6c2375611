#include "engine/command.h"

#include <algorithm>
#include <limits>

#include "core/convert.h"

namespace tapwell {

std::string_view FirstCharacter(std::string_view text) {
  if (text.empty()) return text;
  const auto lead = static_cast<unsigned char>(text[0]);
  std::size_t length = 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
  }
  if (length > text.size()) return text.substr(0, 1);
  for (std::size_t i = 1; i < length; ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) return text.substr(0, 1);
  }
  return text.substr(0, length);
}

std::size_t ArgumentEnd(std::string_view text) {
  if (text.empty()) return 0;
  const char command = text[0];
  // A key token keeps a quote as its first character; a wait value never.
  const bool quoteEnds = command == '!' || command == '>' || command == '<' || command == '_';
  const std::size_t quoteFrom = command == '!' ? 1 : 2;
  std::size_t i = 1;
  while (i < text.size() && !IsCommandChar(text[i]) && !(quoteEnds && i >= quoteFrom && text[i] == kTextQuote))
    ++i;
  return i;
}

namespace {

Command Error(std::string_view character) {
  Command c;
  c.kind = CommandKind::Error;
  c.text = std::string(character);
  return c;
}

Command Wait(std::string_view text) {
  constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
  const std::size_t end = ArgumentEnd(text);
  Command c;
  c.kind = CommandKind::Wait;
  std::int64_t weight = 1000;
  std::int64_t total = 0;
  bool point = false;
  for (std::size_t i = 1; i < end; ++i) {
    const char ch = text[i];
    if (ch == '.') {
      point = true;
      continue;
    }
    if (point) {
      // Digits past the third decimal count for nothing, but must be digits.
      weight /= 10;
      if (weight <= 0) continue;
    }
    if (ch < '0' || ch > '9') {
      c.convertError = ConvertErrorMessage(FirstCharacter(text.substr(i)));
      c.errorAt = i;
      return c;
    }
    const std::int64_t digit = ch - '0';
    // Values beyond the 32-bit range saturate.
    total = point ? total + digit * weight : total * 10 + digit * 1000;
    if (total > kMax) {
      total = kMax;
      c.waitClamped = true;
    }
  }
  c.waitMs = static_cast<std::int32_t>(total);
  c.length = end;
  return c;
}

// The exact text command at the front of text: up to the closing quote, every
// doubled quote standing for one.
Command Text(std::string_view text) {
  Command c;
  c.kind = CommandKind::Text;
  std::size_t i = 1;
  for (;;) {
    const std::size_t quote = text.find(kTextQuote, i);
    // Like an unclosed literal: nothing of it is typed.
    if (quote == std::string_view::npos) return Error(text.substr(0, 1));
    c.text.append(text.substr(i, quote - i));
    if (quote + 1 < text.size() && text[quote + 1] == kTextQuote) {
      c.text += kTextQuote;
      i = quote + 2;
      continue;
    }
    c.length = quote + 1;
    return c;
  }
}

}  // namespace

Command ReadCommand(std::string_view text) {
  Command c;
  if (text.empty()) return c;  // End: nothing is left
  switch (text[0]) {
    case '#':
      c.length = text.size();  // everything after the end is discarded
      return c;
    case '>':
    case '<':
    case '_': {
      // A key command needs a key token.
      if (text.size() < 2 || IsCommandChar(text[1])) return Error(text.substr(0, 1));
      c.kind = text[0] == '>'   ? CommandKind::Press
               : text[0] == '<' ? CommandKind::Release
                                : CommandKind::Stroke;
      c.length = ArgumentEnd(text);
      c.text = std::string(text.substr(1, c.length - 1));
      return c;
    }
    case '!':
      return Wait(text);
    case '*':
      c.kind = CommandKind::Run;
      c.length = ArgumentEnd(text);
      c.text = std::string(text.substr(1, c.length - 1));
      return c;
    case '"': {
      const std::size_t close = text.find('"', 1);
      // Reading never runs past the script: an unclosed literal types nothing.
      if (close == std::string_view::npos) return Error(text.substr(0, 1));
      c.kind = CommandKind::Type;
      c.text = std::string(text.substr(1, close - 1));
      c.length = close + 1;
      return c;
    }
    case kTextQuote:
      return Text(text);
    default:
      return Error(FirstCharacter(text));
  }
}

}  // namespace tapwell
