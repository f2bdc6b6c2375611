// Script files: one key script per file, as one line of text.
#pragma once

#include <string>

namespace tapwell::store {

// Writes the script followed by CR LF, as UTF-8, replacing the file through a
// temporary file so that a failed save leaves the old file intact. Raises
// EInOutError naming the file and the reason.
void SaveScriptFile(const std::string& path, const std::string& script);

// The first line of the file: up to the first CR, LF, byte 0x1A or the end of
// the file. Raises EInOutError naming the file and the
// reason (not found, access denied, a folder).
std::string LoadScriptFile(const std::string& path);

}  // namespace tapwell::store
