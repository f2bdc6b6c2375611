// Fuzzes the text-file reading rules: decoding and line splitting of any bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "store/textfile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tapwell::store;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string text = DecodeText(bytes);
  if (!IsValidUtf8(text)) std::abort();
  const auto lines = SplitLines(text);
  for (const auto& line : lines) {
    if (line.find_first_of("\r\n") != std::string::npos) std::abort();
  }
  const std::string first = FirstLine(bytes);
  if (!lines.empty() && first != lines.front()) std::abort();
  if (lines.empty() && !first.empty()) std::abort();
  return 0;
}
