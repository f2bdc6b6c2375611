// Product strings and the path helpers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tapwell {

// The strings that name the product: window titles, the version box, the splash.
struct ProductStrings {
  std::string title;
  std::string version;
  std::string since;
  std::string copyright;
};

// The product strings of this build, made once from its version number.
const ProductStrings& Product();

// "Version " and the four numbers joined by ".", without leading zeros.
std::string VersionString(std::uint16_t major, std::uint16_t minor, std::uint16_t release,
                          std::uint16_t build);

// The folder part of a path, up to and including its last "\" or "/"; empty when
// the path holds no separator.
std::string GetFilePassName(std::string_view path);

// Everything after the folder part of a path.
std::string GetFileName(std::string_view path);

}  // namespace tapwell
