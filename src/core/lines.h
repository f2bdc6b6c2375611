// Text split into lines.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tapwell {

// Splits text into lines: a line ends at CR LF, CR or LF; the end of the text
// ends the last line. A text that ends with a line end has no further empty line.
std::vector<std::string> SplitLines(std::string_view text);

}  // namespace tapwell
