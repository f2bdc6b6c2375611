#include "platform/qt/qt_ini_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QStandardPaths>
#include <QString>
#include <QVariant>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "engine/errors.h"

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

QString FromUtf8(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
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
  settings_.reset();
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
  const int check = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (check < 0) throw ERegistryError(WithReason("設定ファイルを読めません", file, errno));
  ::close(check);

  auto settings = std::make_unique<QSettings>(FromUtf8(file), QSettings::IniFormat);
  if (settings->status() == QSettings::FormatError) {
    throw ERegistryError("設定ファイルの形式が正しくありません: " + file);
  }
  if (settings->status() != QSettings::NoError) throw ERegistryError("設定ファイルを読めません: " + file);
  settings_ = std::move(settings);
  file_ = file;
}

QSettings& QtIniStore::settings(const std::string& name) {
  if (!settings_) throw ERegistryError("'" + name + "' を読み書きするキーが開かれていません");
  return *settings_;
}

std::string QtIniStore::readString(const std::string& section, const std::string& name,
                                   const std::string& defaultValue) {
  QSettings& s = settings(name);
  const QString key = FromUtf8(section + "/" + name);
  if (!s.contains(key)) return defaultValue;
  const QVariant value = s.value(key);
  if (value.typeId() != QMetaType::QString) {
    throw ERegistryError("設定値 '" + name + "' は文字列ではありません: " + file_);
  }
  return Utf8(value.toString());
}

void QtIniStore::writeString(const std::string& section, const std::string& name, const std::string& value) {
  QSettings& s = settings(name);
  s.setValue(FromUtf8(section + "/" + name), FromUtf8(value));
  s.sync();
  if (s.status() != QSettings::NoError) {
    // QSettings gives no reason; the folder and the file tell it.
    const std::size_t slash = file_.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : file_.substr(0, slash);
    int error = EIO;
    if (::access(file_.c_str(), W_OK) != 0) {
      error = errno;
    } else if (::access(folder.c_str(), W_OK) != 0) {
      error = errno;
    }
    throw ERegistryError(WithReason("設定値 '" + name + "' を書き込めません", file_, error));
  }
}

}  // namespace tapwell::platform
