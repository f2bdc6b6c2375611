// Text files: the reading rules shared by script files and layout files.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/lines.h"

namespace tapwell::store {

// Bytes of a file as UTF-8 text: a byte 0x1A ends the text; a UTF-8 byte-order
// mark is dropped; text that is not valid UTF-8 is read as Shift-JIS (CP932).
std::string DecodeText(std::string_view bytes);

// Whether bytes are valid UTF-8.
bool IsValidUtf8(std::string_view bytes);

// Splits text into lines at CR LF, CR or LF (see core/lines.h).
using tapwell::SplitLines;

// The first line of the bytes, decoded on its own (so that what follows it does
// not change how it is read); empty for an empty file.
std::string FirstLine(std::string_view bytes);

// Reads a whole file; raises EInOutError naming the file and the reason.
std::string ReadFileBytes(const std::string& path);

// The first line of a file; the path "-" reads standard input (command line use).
std::string ReadFirstLine(const std::string& path);

// Every line of a file.
std::vector<std::string> ReadLines(const std::string& path);

}  // namespace tapwell::store
