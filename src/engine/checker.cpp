#include "engine/checker.h"

#include <algorithm>
#include <array>
#include <optional>

#include "engine/command.h"
#include "engine/keynames.h"

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

  // Reads the script command by command with the reader the stepper uses, so
  // that the check and the run agree on where each command ends.
  std::vector<Finding> run() {
    std::size_t i = 0;
    while (i < s_.size()) {
      const Command command = ReadCommand(s_.substr(i));
      switch (command.kind) {
        case CommandKind::End:
          if (command.length > 1) add(i + 1, false, "text after '#' never runs");
          return done();
        case CommandKind::Press:
        case CommandKind::Release:
        case CommandKind::Stroke:
          keyToken(i + 1, command.text);
          break;
        case CommandKind::Wait:
          if (!command.convertError.empty()) {
            const std::size_t at = i + command.errorAt;
            add(at, true, "wait value: '" + Shown(s_.substr(at)) + "' is not a digit");
            return done();
          }
          if (command.waitClamped)
            add(i + 1, false,
                "wait of " + std::string(s_.substr(i + 1, command.length - 1)) +
                    " seconds is longer than the longest wait: it waits 2147483.647 seconds (24.8 days)");
          break;
        case CommandKind::Run:
          programToken(i, command);
          break;
        case CommandKind::Type:
          literal(i + 1, command.text);
          break;
        case CommandKind::Text:
          if (const std::string untyped = ctx_.keyboard.charactersNotTyped(command.text); !untyped.empty()) {
            add(i + 1, false,
                "cannot be typed on the " + ctx_.layoutName + " layout of this keyboard: " + untyped +
                    " (the run names them and ends with exit status 1)");
          }
          break;
        case CommandKind::Error:
          error(i, command);
          return done();
      }
      i += command.length;
    }
    return done();
  }

 private:
  // The end of the argument of the command at `at`, as the reader finds it.
  std::size_t argumentEnd(std::size_t at) const { return at + ArgumentEnd(s_.substr(at)); }

  // The character that ends an argument at `end`, as the run sees it.
  std::string endedBy(std::size_t end) const { return end < s_.size() ? std::string(1, s_[end]) : "#"; }

  void error(std::size_t i, const Command& command) {
    switch (s_[i]) {
      case '>':
      case '<':
      case '_':
        add(i, true,
            "empty key token: '" + std::string(1, s_[i]) + "' is followed by '" + endedBy(i + 1) + "'");
        return;
      case '"':
        add(i, true, "unclosed literal: no closing '\"'; nothing of it is typed");
        return;
      case kTextQuote:
        add(i, true, "unclosed text: no closing \"'\"; nothing of it is typed");
        return;
      default:
        add(i, true, "'" + command.text + "' is no command: a command begins with one of > < _ ! # * \" '");
        return;
    }
  }

  void keyToken(std::size_t at, std::string_view token) {
    const std::string upper = Upper(token);
    if (FindKeyName(upper) || FirstCharacter(token).size() == token.size()) return;
    std::string message = "'" + std::string(token) + "' is no key name: it strikes only " +
                          (upper[0] == ' ' ? std::string("the space bar") : Upper(Shown(token)));
    if (const std::string name = SuggestKeyName(upper); !name.empty())
      message += "; did you mean " + name + "?";
    add(at, false, message);
  }

  void programToken(std::size_t i, const Command& command) {
    if (!ctx_.namesProgram || ctx_.namesProgram(command.text)) return;
    const std::string& token = command.text;
    const std::size_t end = i + command.length;
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

  // The characters of a literal that starts at `at`: a run types each with the
  // key the layout gives it, unshifted.
  void literal(std::size_t at, std::string_view text) {
    std::size_t k = 0;
    while (k < text.size()) {
      const std::string ch = Shown(text.substr(k));
      const std::optional<platform::CharacterKey> key =
          ch.size() == 1 ? ctx_.keyboard.keyForCharacter(ch[0]) : std::nullopt;
      if (!key) {
        add(at + k, false,
            "'" + ch + "' has no key on the " + ctx_.layoutName +
                " layout: the literal types nothing for it; use '...' for exact text");
      } else if (key->shift || key->ctrl || key->alt) {
        add(at + k, false,
            "'" + ch + "' needs Shift on the " + ctx_.layoutName +
                " layout: the literal types its key unshifted; use '...' for exact text");
      }
      k += ch.size();
    }
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
