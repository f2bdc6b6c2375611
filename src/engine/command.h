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

// The exact text command. It opens a command only: it ends no argument, so
// scripts written before it keep their meaning.
inline constexpr char kTextQuote = '\'';

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
