#include "engine/checker.h"

#include <algorithm>
#include <array>
#include <optional>

#include "engine/keynames.h"
#include "engine/stepper.h"

namespace tapwell {

namespace {

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

std::size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// The key name a token that is none probably meant; empty when nothing is close.
std::string SuggestKeyName(std::string_view upperToken) {
  struct Alias {
    std::string_view word;
    std::string_view name;
  };
  static constexpr Alias kAliases[] = {
      {"RETURN", "ENTER"},       {"ESCAPE", "ESC"},     {"BACKSPACE", "BS"},   {"BACK", "BS"},
      {"DELETE", "DEL"},         {"CONTROL", "CTRL"},   {"PAGEUP", "PGUP"},    {"PAGEDOWN", "PGDN"},
      {"INSERT", "INS"},         {"CAPSLOCK", "CAPS"},  {"NUMLOCK", "NUM"},    {"PRINT", "PRTSRC"},
      {"PRINTSCREEN", "PRTSRC"}, {"PRTSC", "PRTSRC"},   {"WINDOWS", "WIN"},    {"SUPER", "WIN"},
      {"SPACEBAR", "SPACE"},     {"CONVERT", "CONV"},   {"HENKAN", "CONV"},    {"ALTGR", "ALT"},
      {"LSHIFT", "SHIFT"},       {"RSHIFT", "SHIFT"},   {"LCTRL", "CTRL"},     {"RCTRL", "CTRL"},
      {"ARROWUP", "UP"},         {"ARROWDOWN", "DOWN"}, {"ARROWLEFT", "LEFT"}, {"ARROWRIGHT", "RIGHT"},
  };
  std::string token(upperToken);
  // Blanks and separators never belong to a key name.
  token.erase(std::remove_if(token.begin(), token.end(), [](char c) { return c == ' ' || c == '-'; }),
              token.end());
  for (const Alias& a : kAliases) {
    if (token == a.word) return std::string(a.name);
  }
  // Close misspellings: one letter off in short words, two in longer ones.
  std::string best;
  std::size_t bestDistance = 3;
  auto consider = [&](std::string_view word, std::string_view name) {
    const std::size_t d = EditDistance(token, word);
    const std::size_t allowed = word.size() >= 5 ? 2 : 1;
    if (d <= allowed && d < bestDistance) {
      bestDistance = d;
      best = name;
    }
  };
  for (const KeyName& k : KeyNameTable()) consider(k.name, k.name);
  for (const Alias& a : kAliases) consider(a.word, a.name);
  return best;
}

// The character that starts text, for messages.
std::string Shown(std::string_view text) {
  return std::string(FirstCharacter(text));
}

class Checker {
 public:
  Checker(std::string_view script, const CheckContext& context) : s_(script), ctx_(context) {}

  std::vector<Finding> run() {
    std::size_t i = 0;
    while (i < s_.size()) {
      const char c = s_[i];
      switch (c) {
        case '#':
          if (i + 1 < s_.size()) add(i + 1, false, "text after '#' never runs");
          return done();
        case '>':
        case '<':
        case '_':
          if (!keyCommand(i)) return done();
          break;
        case '!':
          if (!waitCommand(i)) return done();
          break;
        case '*':
          i = programCommand(i);
          continue;
        case '"':
          if (!literal(i)) return done();
          break;
        case kTextQuote:
          if (!exactText(i)) return done();
          break;
        default:
          add(i, true,
              "'" + Shown(s_.substr(i)) + "' is no command: a command begins with one of > < _ ! # * \" '");
          return done();
      }
    }
    return done();
  }

 private:
  std::size_t argumentEnd(std::size_t at) const {
    std::size_t end = at + 1;
    while (end < s_.size() && !IsCommandChar(s_[end])) ++end;
    return end;
  }

  // The character that ends an argument at `end`, as the run sees it.
  std::string endedBy(std::size_t end) const { return end < s_.size() ? std::string(1, s_[end]) : "#"; }

  bool keyCommand(std::size_t& i) {
    const std::size_t end = argumentEnd(i);
    const std::string_view token = s_.substr(i + 1, end - i - 1);
    if (token.empty()) {
      add(i, true, "empty key token: '" + std::string(1, s_[i]) + "' is followed by '" + endedBy(end) + "'");
      return false;
    }
    const std::string upper = Upper(token);
    if (!FindKeyName(upper) && FirstCharacter(token).size() < token.size()) {
      std::string message = "'" + std::string(token) + "' is no key name: it strikes only " +
                            (upper[0] == ' ' ? std::string("the space bar") : Upper(Shown(token)));
      if (const std::string name = SuggestKeyName(upper); !name.empty())
        message += "; did you mean " + name + "?";
      add(i + 1, false, message);
    }
    i = end;
    return true;
  }

  bool waitCommand(std::size_t& i) {
    const std::size_t end = argumentEnd(i);
    std::size_t weight = 1000;
    bool point = false;
    for (std::size_t k = i + 1; k < end; ++k) {
      const char c = s_[k];
      if (c == '.') {
        point = true;
        continue;
      }
      if (point) {
        weight /= 10;
        if (weight == 0) continue;
      }
      if (c < '0' || c > '9') {
        add(k, true, "wait value: '" + Shown(s_.substr(k)) + "' is not a digit");
        return false;
      }
    }
    i = end;
    return true;
  }

  std::size_t programCommand(std::size_t i) {
    const std::size_t end = argumentEnd(i);
    const std::string token(s_.substr(i + 1, end - i - 1));
    if (ctx_.namesProgram && !ctx_.namesProgram(token)) {
      std::string message = token.empty() ? std::string("empty program token starts nothing")
                                          : "'" + token + "' names no program, file, folder or address";
      if (end < s_.size() && s_[end] != '#') {
        message += "; the token ends at '" + std::string(1, s_[end]) + "'";
        if (s_[end] == '_' || s_[end] == '>' || s_[end] == '<') {
          const std::size_t next = argumentEnd(end);
          const std::string_view rest = s_.substr(end + 1, next - end - 1);
          if (!rest.empty()) message += " and the rest strikes " + Upper(Shown(rest));
        }
      }
      add(i + 1, false, message);
    }
    return end;
  }

  bool literal(std::size_t& i) {
    const std::size_t close = s_.find('"', i + 1);
    if (close == std::string_view::npos) {
      add(i, true, "unclosed literal: no closing '\"'; nothing of it is typed");
      return false;
    }
    std::size_t k = i + 1;
    while (k < close) {
      const std::string ch = Shown(s_.substr(k, close - k));
      const std::int16_t scan = ch.size() == 1 ? ctx_.keyboard.VkKeyScanA(ch[0]) : -1;
      if (scan == -1) {
        add(k, false,
            "'" + ch + "' has no key on the " + ctx_.layoutName +
                " layout: the literal types nothing for it; use '...' for exact text");
      } else if ((scan & 0x700) != 0) {
        add(k, false,
            "'" + ch + "' needs Shift on the " + ctx_.layoutName +
                " layout: the literal types its key unshifted; use '...' for exact text");
      }
      k += ch.size();
    }
    i = close + 1;
    return true;
  }

  bool exactText(std::size_t& i) {
    const auto quoted = ReadQuotedText(s_.substr(i));
    if (!quoted) {
      add(i, true, "unclosed text: no closing \"'\"; nothing of it is typed");
      return false;
    }
    i += quoted->length;
    return true;
  }

  void add(std::size_t byteOffset, bool error, std::string message) {
    // Characters, not bytes: a multi-byte character counts once.
    std::size_t position = 1;
    for (std::size_t k = 0; k < byteOffset && k < s_.size(); ++k) {
      if ((static_cast<unsigned char>(s_[k]) & 0xC0) != 0x80) ++position;
    }
    findings_.push_back({position, error, std::move(message)});
  }

  std::vector<Finding> done() {
    std::stable_sort(findings_.begin(), findings_.end(),
                     [](const Finding& a, const Finding& b) { return a.position < b.position; });
    return std::move(findings_);
  }

  std::string_view s_;
  const CheckContext& ctx_;
  std::vector<Finding> findings_;
};

}  // namespace

std::vector<Finding> CheckScript(std::string_view script, const CheckContext& context) {
  return Checker(script, context).run();
}

std::string FormatFinding(const Finding& finding) {
  return std::to_string(finding.position) + (finding.error ? ": error: " : ": warning: ") + finding.message;
}

}  // namespace tapwell
