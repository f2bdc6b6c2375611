// The script checker on the command line: --check and --check-file.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace tapwell::app {

// Checks a script and prints its findings on out, one line each. The layout is
// the X server's when a display can be reached, else the built-in US one.
// Returns 0 without errors, 1 with an error.
int CheckScriptText(const std::string& script, std::ostream& out);

}  // namespace tapwell::app
