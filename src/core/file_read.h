// Reading whole files.
#pragma once

#include <string>

namespace tapwell {

struct FileRead {
  std::string bytes;
  // 0 when the whole file was read; else the errno of the failure, which
  // happened on opening (a folder counts as EISDIR there) or on reading.
  int error = 0;
  bool failedToOpen = false;
};

// Reads every byte of the file at path; interrupted reads are resumed.
FileRead ReadWholeFile(const std::string& path);

}  // namespace tapwell
