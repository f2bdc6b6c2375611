// Reads a key script as the stepper would run it, runs nothing, and reports
// what would stop the run (errors) and what probably does not do what was meant
// (warnings).
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/keyboard.h"

namespace tapwell {

struct Finding {
  std::size_t position = 0;  // 1-based character position in the script
  bool error = false;
  std::string message;

  bool operator==(const Finding&) const = default;
};

struct CheckContext {
  // The layout that literals are typed on, and its name for the messages.
  platform::Keyboard& keyboard;
  std::string layoutName;
  // Whether a program token names an executable, file, folder or address.
  std::function<bool(const std::string&)> namesProgram;
};

// The findings, sorted by position. The script is checked as given, without the
// "#" that a run appends.
std::vector<Finding> CheckScript(std::string_view script, const CheckContext& context);

// "<pos>: error: <message>" or "<pos>: warning: <message>".
std::string FormatFinding(const Finding& finding);

}  // namespace tapwell
