#include "platform/paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "core/product.h"

namespace tapwell::platform {

namespace fs = std::filesystem;

std::string ProgramFile() {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (!ec) return exe.string();
  return {};
}

std::string DataFolderFor(const std::string& programFile, const std::string& xdgDataHome,
                          const std::string& home) {
  const std::string folder = GetFilePassName(programFile);
  const fs::path bin = fs::path(folder).parent_path();
  std::error_code ec;
  const bool installed =
      bin.filename() == "bin" && fs::is_directory(bin.parent_path() / "share" / "tapwell", ec);
  // A portable copy keeps its data beside the program even when that folder may
  // not be written: the files are read where they are, and a save that cannot be
  // written there is reported rather than sent elsewhere.
  if (!installed) return folder;
  fs::path data;
  if (!xdgDataHome.empty() && fs::path(xdgDataHome).is_absolute()) {
    data = fs::path(xdgDataHome) / "Tapwell";
  } else {
    data = fs::path(home.empty() ? "/tmp" : home) / ".local" / "share" / "Tapwell";
  }
  fs::create_directories(data, ec);
  std::string result = data.string();
  if (result.empty() || result.back() != '/') result += '/';
  return result;
}

std::string DataFolder() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  const char* home = std::getenv("HOME");
  return DataFolderFor(ProgramFile(), xdg ? xdg : "", home ? home : "");
}

std::string RuntimeFolderFor(const std::string& xdgRuntimeDir, const std::string& tmp, unsigned uid,
                             std::string& why) {
  if (!xdgRuntimeDir.empty() && xdgRuntimeDir.front() == '/') return xdgRuntimeDir;
  const std::string folder = (tmp.empty() ? std::string("/tmp") : tmp) + "/tapwell-" + std::to_string(uid);
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    why = "cannot make the folder " + folder + ": " + std::strerror(errno);
    return {};
  }
  // Another user may have made the name first in the shared temporary folder:
  // only a real folder of this user that no one else may enter is used.
  struct stat st {};
  if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != uid ||
      (st.st_mode & 077) != 0) {
    why = "the folder " + folder + " is not a private folder of this user";
    return {};
  }
  return folder;
}

std::string RuntimeFolder(std::string& why) {
  const char* xdg = std::getenv("XDG_RUNTIME_DIR");
  const char* tmp = std::getenv("TMPDIR");
  return RuntimeFolderFor(xdg ? xdg : "", tmp && *tmp == '/' ? tmp : "/tmp", ::getuid(), why);
}

}  // namespace tapwell::platform
