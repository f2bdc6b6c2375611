#include "platform/qt/qt_ini_store.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "core/errors.h"

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
  QSettings& current = settings(name);
  const QString key = FromUtf8(section + "/" + name);
  const std::string what = "設定値 '" + name + "' を書き込めません";
  // A file that may not be written is not replaced.
  if (::access(file_.c_str(), W_OK) != 0) throw ERegistryError(WithReason(what, file_, errno));
  // QSettings counts a write that stopped short (a full disk, a file-size limit)
  // as done and replaces the file with what it got. So the new contents go to a
  // file of their own first, are read back, and only then replace the old file
  // (the target of a symbolic link, which stays a link).
  std::error_code linkError;
  std::string target = std::filesystem::canonical(file_, linkError).string();
  if (linkError) target = file_;
  std::string temp = target + ".XXXXXX";
  const int fd = ::mkstemp(temp.data());  // readable by its owner only, as the file
  if (fd < 0) throw ERegistryError(WithReason(what, file_, errno));
  ::close(fd);
  const QStringList keys = current.allKeys();
  bool written = false;
  {
    QSettings next(FromUtf8(temp), QSettings::IniFormat);
    for (const QString& k : keys) next.setValue(k, current.value(k));
    next.setValue(key, FromUtf8(value));
    next.sync();
    written = next.status() == QSettings::NoError;
  }
  if (written) {
    // QSettings keeps what it wrote in a cache by file name: read back under a
    // name it has never seen, so that the bytes on the disk are what is read.
    std::string fresh = target + ".XXXXXX";
    const int freshFd = ::mkstemp(fresh.data());
    if (freshFd >= 0) ::close(freshFd);
    written = freshFd >= 0 && ::rename(temp.c_str(), fresh.c_str()) == 0;
    if (written) {
      temp = fresh;
    } else if (freshFd >= 0) {
      ::unlink(fresh.c_str());
    }
  }
  if (written) {
    QSettings check(FromUtf8(temp), QSettings::IniFormat);
    written = check.status() == QSettings::NoError && check.value(key) == FromUtf8(value);
    for (const QString& k : keys) {
      if (!written) break;
      if (k != key) written = check.value(k) == current.value(k);
    }
  }
  if (written && ::rename(temp.c_str(), target.c_str()) == 0) {
    // Read afresh, so that later reads see the file as it now is.
    settings_ = std::make_unique<QSettings>(FromUtf8(file_), QSettings::IniFormat);
    return;
  }
  int error = written ? errno : EIO;
  ::unlink(temp.c_str());
  if (!written) {
    // QSettings gives no reason; the disk and the limits tell it.
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash);
    struct statvfs disk {};
    struct rlimit limit {};
    if (::statvfs(folder.c_str(), &disk) == 0 && disk.f_bavail == 0) {
      error = ENOSPC;
    } else if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
      error = EFBIG;
    }
  }
  throw ERegistryError(WithReason(what, file_, error));
}

}  // namespace tapwell::platform
