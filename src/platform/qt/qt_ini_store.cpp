#include "platform/qt/qt_ini_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QStandardPaths>
#include <QString>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string_view>
#include <system_error>
#include <vector>

#include "core/atomic_file.h"
#include "core/errors.h"
#include "core/file_read.h"
#include "core/lines.h"

namespace tapwell::platform {

namespace {

std::string WithReason(const std::string& what, const std::string& path, int error) {
  return what + ": " + path + " (" + std::strerror(error) + ")";
}

std::vector<std::string> KeyParts(const std::string& keyPath) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = keyPath.find('\\', start);
    parts.push_back(keyPath.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  // Every key lives below the user's "Software" key; the configuration folder
  // stands for it.
  if (parts.size() > 1 && parts.front() == "Software") parts.erase(parts.begin());
  for (const std::string& part : parts) {
    if (part.empty() || part == "." || part == ".." || part.find('/') != std::string::npos) {
      throw ERegistryError("キーのパスが正しくありません: " + keyPath);
    }
  }
  return parts;
}

// Creates the folder when missing (readable by its owner only, as the user's
// configuration folder is).
void MakeFolder(const std::string& folder) {
  if (::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return;
    throw ERegistryError(WithReason("設定のフォルダーを作成できません", folder, ENOTDIR));
  }
  throw ERegistryError(WithReason("設定のフォルダーを作成できません", folder, errno));
}

std::string Utf8(const QString& text) {
  const QByteArray bytes = text.toUtf8();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

std::string_view Trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// "[name]" gives name; a line that starts with "[" and does not end with "]" is
// no line of an INI file.
std::optional<std::string> SectionOf(const std::string& line, const std::string& file) {
  const std::string_view text = Trimmed(line);
  if (text.empty() || text.front() != '[') return std::nullopt;
  if (text.back() != ']') throw ERegistryError("設定ファイルの形式が正しくありません: " + file);
  return std::string(Trimmed(text.substr(1, text.size() - 2)));
}

// The name of a "name=value" line; nothing for blank lines and comments.
std::optional<std::string> NameOf(const std::string& line) {
  const std::size_t equals = line.find('=');
  if (equals == std::string::npos) return std::nullopt;
  const std::string_view name = Trimmed(std::string_view(line).substr(0, equals));
  if (name.empty() || name.front() == ';' || name.front() == '#') return std::nullopt;
  return std::string(name);
}

// Where the value name of section is: the index of its line, or nothing; and the
// index after the last value line of the section's first block (npos when the
// section is missing).
struct Place {
  std::optional<std::size_t> line;
  std::size_t sectionEnd = std::string::npos;
};

Place Find(const std::vector<std::string>& lines, const std::string& section, const std::string& name,
           const std::string& file) {
  Place place;
  bool inSection = false;
  bool firstBlock = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (const auto header = SectionOf(lines[i], file)) {
      inSection = *header == section;
      firstBlock = inSection && place.sectionEnd == std::string::npos;
      if (firstBlock) place.sectionEnd = i + 1;
      continue;
    }
    const auto key = inSection ? NameOf(lines[i]) : std::nullopt;
    if (!key) continue;
    if (firstBlock) place.sectionEnd = i + 1;
    if (*key == name && !place.line) place.line = i;
  }
  return place;
}

std::string ReadWhole(const std::string& file) {
  FileRead read = ReadWholeFile(file);
  if (read.error != 0) throw ERegistryError(WithReason("設定ファイルを読めません", file, read.error));
  return std::move(read.bytes);
}

}  // namespace

QtIniStore::QtIniStore() = default;

QtIniStore::QtIniStore(std::string configFolder) : configFolder_(std::move(configFolder)) {}

QtIniStore::~QtIniStore() = default;

std::string QtIniStore::UserConfigFolder() {
  return Utf8(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
}

std::string QtIniStore::FileForKey(const std::string& configFolder, const std::string& keyPath) {
  const std::vector<std::string> parts = KeyParts(keyPath);
  std::string file = configFolder;
  for (const std::string& part : parts) {
    if (file.empty() || file.back() != '/') file += '/';
    file += part;
  }
  return file + ".ini";
}

void QtIniStore::open(const std::string& keyPath) {
  file_.clear();
  const std::string folder = configFolder_.empty() ? UserConfigFolder() : configFolder_;
  if (folder.empty()) throw ERegistryError("設定のフォルダーがわかりません: " + keyPath);
  const std::string file = FileForKey(folder, keyPath);

  // The configuration folder and the folders of the key, then the file itself.
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  MakeFolder(folder);
  const std::vector<std::string> parts = KeyParts(keyPath);
  std::string dir = folder;
  for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
    if (dir.back() != '/') dir += '/';
    dir += parts[i];
    MakeFolder(dir);
  }
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd >= 0) {
    ::close(fd);
  } else if (errno != EEXIST) {
    throw ERegistryError(WithReason("設定ファイルを作成できません", file, errno));
  }
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0)
    throw ERegistryError(WithReason("設定ファイルを開けません", file, errno));
  if (!S_ISREG(st.st_mode)) {
    throw ERegistryError(WithReason("設定ファイルを開けません", file, S_ISDIR(st.st_mode) ? EISDIR : EINVAL));
  }
  // Reading it now reports a file that cannot be read or is no INI file.
  for (const std::string& line : SplitLines(ReadWhole(file))) SectionOf(line, file);
  file_ = file;
}

const std::string& QtIniStore::openFile(const std::string& name) const {
  if (file_.empty()) throw ERegistryError("'" + name + "' を読み書きするキーが開かれていません");
  return file_;
}

std::string QtIniStore::readString(const std::string& section, const std::string& name,
                                   const std::string& defaultValue) {
  const std::string& file = openFile(name);
  // Read afresh every time, so that an edit made by hand meanwhile is seen.
  const std::vector<std::string> lines = SplitLines(ReadWhole(file));
  const Place place = Find(lines, section, name, file);
  if (!place.line) return defaultValue;
  const std::string& line = lines[*place.line];
  return line.substr(line.find('=') + 1);
}

void QtIniStore::writeString(const std::string& section, const std::string& name, const std::string& value) {
  const std::string& file = openFile(name);
  const std::string what = "設定値 '" + name + "' を書き込めません";
  // A value is the rest of its line: a line end inside it would end it early.
  if (value.find_first_of("\r\n") != std::string::npos) {
    throw ERegistryError(what + ": " + file + " (改行を含んでいます)");
  }
  // A file that may not be written is not replaced.
  if (::access(file.c_str(), W_OK) != 0) throw ERegistryError(WithReason(what, file, errno));
  std::vector<std::string> lines = SplitLines(ReadWhole(file));
  const Place place = Find(lines, section, name, file);
  const std::string entry = name + "=" + value;
  if (place.line) {
    lines[*place.line] = entry;
  } else if (place.sectionEnd != std::string::npos) {
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(place.sectionEnd), entry);
  } else {
    if (!lines.empty() && !lines.back().empty()) lines.emplace_back();
    lines.push_back("[" + section + "]");
    lines.push_back(entry);
  }
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  // The file may hold scripts with passwords: it stays its owner's only.
  try {
    WriteFileAtomic(file, text, 0600);
  } catch (const EInOutError& e) {
    throw ERegistryError(what + ": " + e.what());
  }
}

}  // namespace tapwell::platform
