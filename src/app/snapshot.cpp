#include "app/snapshot.h"

#include <filesystem>
#include <system_error>

namespace tapwell::app {

bool VersionSnapshot(const std::string& programFolder, const std::string& version, MessageBoxes& boxes) {
  namespace fs = std::filesystem;
  const fs::path folder(programFolder);
  const fs::path target(programFolder + version);
  std::error_code error;
  if (fs::exists(fs::symlink_status(target, error)))
    return false;
  fs::create_directories(target, error);
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    std::error_code copyError;
    if (!it->is_regular_file(copyError))
      continue;
    fs::copy_file(it->path(), target / it->path().filename(), fs::copy_options::overwrite_existing,
                  copyError);
  }
  boxes.showMessage("自動バージョン管理", version + "を記録しました");
  return true;
}

}  // namespace tapwell::app
