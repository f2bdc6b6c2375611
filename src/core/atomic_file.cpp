#include "core/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "core/errors.h"

namespace tapwell {

namespace {

std::string ErrorText(const std::string& what, const std::string& path, int error) {
  return what + ": " + path + " (" + std::strerror(error) + ")";
}

}  // namespace

namespace {

// The file that a write to path replaces: the target of a symbolic link, so that
// the link stays a link.
std::string ReplacedFile(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    if (char* resolved = ::realpath(path.c_str(), nullptr)) {
      std::string target(resolved);
      std::free(resolved);
      return target;
    }
  }
  return path;
}

// Closes fd, removes the temporary file and raises the write error.
[[noreturn]] void FailWrite(int fd, const std::string& temp, const std::string& path, int error) {
  if (fd >= 0) ::close(fd);
  ::unlink(temp.c_str());
  throw EInOutError(ErrorText("ファイルに書き込めません", path, error));
}

}  // namespace

void WriteFileAtomic(const std::string& path, std::string_view content, std::optional<unsigned> forcedMode) {
  const std::string target = ReplacedFile(path);

  // An existing file that may not be written is refused, as opening it for
  // writing would be; a directory cannot be replaced by a file.
  struct stat old {};
  const bool exists = ::stat(target.c_str(), &old) == 0;
  if (exists && S_ISDIR(old.st_mode)) throw EInOutError(ErrorText("ファイルを作成できません", path, EISDIR));
  // A device or a pipe would be replaced by a plain file instead of written to.
  if (exists && !S_ISREG(old.st_mode)) {
    throw EInOutError("ファイルを作成できません: " + path + " (通常のファイルではありません)");
  }
  if (exists && ::access(target.c_str(), W_OK) != 0) {
    throw EInOutError(ErrorText("ファイルを作成できません", path, errno));
  }

  // The temporary file lies in the same folder, so that the rename is atomic; its
  // name is short so that it fits wherever the target's name fits.
  const std::size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  std::string temp = folder + ".tapwell-XXXXXX";
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) throw EInOutError(ErrorText("ファイルを作成できません", path, errno));

  // Keep the permissions of the file being replaced; new files get the usual mode.
  mode_t mode;
  if (forcedMode) {
    mode = static_cast<mode_t>(*forcedMode & 07777);
  } else if (exists) {
    mode = old.st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  if (::fchmod(fd, mode) != 0) FailWrite(fd, temp, path, errno);

  std::size_t done = 0;
  while (done < content.size()) {
    const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      FailWrite(fd, temp, path, errno);
    }
    done += static_cast<std::size_t>(n);
  }
  if (::fsync(fd) != 0) FailWrite(fd, temp, path, errno);
  if (::close(fd) != 0) FailWrite(-1, temp, path, errno);
  if (::rename(temp.c_str(), target.c_str()) != 0) FailWrite(-1, temp, path, errno);

  // Make the rename itself durable.
  const int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
}

}  // namespace tapwell
