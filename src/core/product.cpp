#include "core/product.h"

namespace tapwell {

std::string VersionString(std::uint16_t major, std::uint16_t minor, std::uint16_t release,
                          std::uint16_t build) {
  return "Version " + std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(release) +
         "." + std::to_string(build);
}

const ProductStrings& Product() {
  static const ProductStrings strings = [] {
    const std::uint16_t numbers[] = {TAPWELL_VERSION_NUMBERS};
    return ProductStrings{"Tapwell", VersionString(numbers[0], numbers[1], numbers[2], numbers[3]),
                          "since 1999/11/23", "Copyright (C) the Tapwell developers"};
  }();
  return strings;
}

std::string GetFilePassName(std::string_view path) {
  for (std::size_t i = path.size(); i > 0; --i) {
    const char c = path[i - 1];
    if (c == '\\' || c == '/') return std::string(path.substr(0, i));
  }
  return {};
}

std::string GetFileName(std::string_view path) {
  return std::string(path.substr(GetFilePassName(path).size()));
}

}  // namespace tapwell
