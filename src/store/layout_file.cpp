#include "store/layout_file.h"

#include <filesystem>
#include <system_error>

#include "core/atomic_file.h"
#include "store/textfile.h"

namespace tapwell::store {

std::vector<std::string> ReadLayoutRecords(const std::string& path) {
  std::vector<std::string> records;
  for (std::string& line : ReadLines(path)) {
    if (!line.empty()) records.push_back(std::move(line));
  }
  return records;
}

void LoadLayout(const std::string& path, const std::function<void(const std::string& record)>& make,
                const std::function<void(const std::string& record)>& add) {
  for (const std::string& record : ReadLayoutRecords(path)) {
    make(record);
    add(record);
  }
}

std::string AppendRecordLine(std::string_view listText, std::string_view record) {
  std::string out(listText);
  if (!out.empty() && out.back() != '\n') out += '\n';
  out += record;
  return out;
}

std::string RecordListFileText(std::string_view listText) {
  std::string out;
  out.reserve(listText.size() + 2);
  for (std::size_t i = 0; i < listText.size(); ++i) {
    const char c = listText[i];
    if (c == '\r') {
      if (i + 1 < listText.size() && listText[i + 1] == '\n') ++i;
      out += "\r\n";
    } else if (c == '\n') {
      out += "\r\n";
    } else {
      out += c;
    }
  }
  out += "\r\n";
  return out;
}

void SaveRecordList(const std::string& path, std::string_view listText) {
  WriteFileAtomic(path, RecordListFileText(listText));
}

std::string LayoutFilePath(const std::string& dataFolder, const std::string& name,
                           const std::string& shippedFolder) {
  namespace fs = std::filesystem;
  const std::string own = dataFolder + name;
  std::error_code error;
  if (fs::exists(fs::symlink_status(own, error))) return own;
  if (!shippedFolder.empty() && !name.empty()) {
    std::string shipped = shippedFolder;
    if (shipped.back() != '/') shipped += '/';
    shipped += name;
    if (fs::is_regular_file(shipped, error)) return shipped;
  }
  return own;
}

std::string ShippedLayoutFolder(const std::string& programFile) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path folder = fs::path(programFile).parent_path();
  if (folder.filename() == "bin") {
    const fs::path installed = folder.parent_path() / "share" / "tapwell" / "layouts";
    if (fs::is_directory(installed, error)) return installed.string();
  }
  return (folder / "layouts").string();
}

}  // namespace tapwell::store
