#include "engine/product.h"

namespace tapwell {

std::string AppTitle;
std::string AppVersion;
std::string AppSince;
std::string AppCopyright;

std::string VersionString(std::uint16_t major, std::uint16_t minor, std::uint16_t release,
                          std::uint16_t build) {
  return "Version " + std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(release) +
         "." + std::to_string(build);
}

std::string GetFilePassName(std::string_view path) {
  for (std::size_t i = path.size(); i > 0; --i) {
    const char c = path[i - 1];
    if (c == '\\' || c == '/') return std::string(path.substr(0, i));
  }
  return {};
}

std::string GetFileName(std::string_view path) { return std::string(path.substr(GetFilePassName(path).size())); }

}  // namespace tapwell
