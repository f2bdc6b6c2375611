// The key script language: reading the command at the front of a script.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tapwell {

inline constexpr std::string_view kCommandChars = "><_!#*\"";
inline bool IsCommandChar(char c) {
  return kCommandChars.find(c) != std::string_view::npos;
}

// The exact text command. It also ends a key token (after the token's first
// character, so that "_'" still strikes the apostrophe key) and a wait value:
// "_enter'text'" strikes Enter and types the text. Program tokens and literals
// run on through it.
inline constexpr char kTextQuote = '\'';

// Where the argument of the command at the front of text ends: the position of
// the character that starts the next command, or the size of text.
std::size_t ArgumentEnd(std::string_view text);

// The whole UTF-8 character that starts text (one byte when it is not valid UTF-8).
std::string_view FirstCharacter(std::string_view text);

enum class CommandKind {
  Press,    // ">" key: the key goes down
  Release,  // "<" key: the key goes up
  Stroke,   // "_" key: down and up
  Wait,     // "!" seconds
  End,      // "#", or nothing left
  Run,      // "*" program
  Type,     // '"' literal '"'
  Text,     // "'" text "'": typed exactly as written, "''" standing for one "'"
  Error,    // anything else: a command error
};

// One command read from the front of a script.
struct Command {
  CommandKind kind = CommandKind::End;
  // The key token (Press, Release, Stroke), the program token (Run), the literal
  // (Type), the text with every doubled quote made one (Text), or the character
  // the error names (Error).
  std::string text;
  // The wait in milliseconds, saturated at the 32-bit range.
  std::int32_t waitMs = 0;
  // The wait value was longer than that range (about 24.8 days) and was cut to it.
  bool waitClamped = false;
  // A wait value that does not convert: the message of the conversion error. The
  // command then consumes nothing.
  std::string convertError;
  // Where the character an error names starts, from the front of the command:
  // the command character of an Error, the offending character of a wait value.
  std::size_t errorAt = 0;
  // The bytes the command takes from the front of the script.
  std::size_t length = 0;
};

// Reads the command that starts text. An argument runs up to the next command
// character; a key token keeps its case (the caller compares names upper-case).
Command ReadCommand(std::string_view text);

}  // namespace tapwell
