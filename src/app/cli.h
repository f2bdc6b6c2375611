// The command-line modes of the program.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace tapwell::app {

// Exit codes of the command-line modes.
inline constexpr int kExitOk = 0;
inline constexpr int kExitScriptFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitNoDisplay = 3;
// A remote command that reached no instance, or that the instance refused.
inline constexpr int kExitNotDelivered = 1;

// --show, --hide, --quit, --abort: the commands to the running instance.
bool IsRemoteOption(const std::string& arg);

// The usage text.
std::string UsageText();

// Reports a usage error with the hint to the usage text; the exit code for it.
int UsageError(std::ostream& err, const std::string& problem);

// The script an option's operand stands for: the operand itself, or for an
// option that ends in "-file" the first line of the file it names ("-" for
// standard input). Nothing, after saying why on err, when the file cannot be
// read: the mode then ends with kExitUsage.
std::optional<std::string> ScriptOfOperand(const std::string& option, const std::string& operand,
                                           std::ostream& err);

// Runs a headless command-line mode when the arguments ask for one and returns its
// exit code; nothing when the user interface is to start.
std::optional<int> RunHeadless(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace tapwell::app
