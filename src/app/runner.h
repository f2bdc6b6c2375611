// The headless runner: a key script with real key events and launches, no window.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace tapwell::app {

// Runs the --run, --run-file and --trace modes; args are the command-line
// arguments after the program name. Returns the exit code: 0 the script ended at
// "#", 1 a command error or a halt, 2 a usage error, 3 no display or no key
// injection, 128 + the signal number after SIGINT or SIGTERM.
int RunCommand(const std::vector<std::string>& args, std::ostream& err);

// Runs script + "#" now, as RunCommand does once the arguments are read.
int RunScript(const std::string& script, bool trace, std::ostream& err);

}  // namespace tapwell::app
