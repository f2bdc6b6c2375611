// Temporary folders with real files, and running code in a forked child (as an
// ordinary user when the tests run as root, so that permissions apply).
#pragma once

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <string>

namespace tapwell::test {

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tapwell-store-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
    // Reachable for the unprivileged child of RunInChild.
    ::chmod(path_.c_str(), 0777);
  }
  ~TempDir() {
    std::error_code error;
    std::filesystem::permissions(path_, std::filesystem::perms::all, error);
    std::filesystem::remove_all(path_, error);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline unsigned FileMode(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return 0;
  return st.st_mode & 07777u;
}

// The result of code run in a child: what it wrote to its pipe, or "exit <n>" /
// "signal <n>" when it did not end normally.
struct ChildResult {
  std::string output;
  bool exitedNormally = false;
};

// Runs body in a forked child; body returns the text that the parent sees. When
// the tests run as root the child becomes the unprivileged user nobody first, so
// that file permissions hold for it. fileSizeLimit > 0 caps the size of files the
// child writes (writing past it fails with EFBIG instead of ending the child).
inline ChildResult RunInChild(const std::function<std::string()>& body, bool unprivileged,
                              rlim_t fileSizeLimit = 0) {
  int fds[2];
  if (::pipe(fds) != 0) throw std::runtime_error("pipe failed");
  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    ::close(fds[0]);
    if (unprivileged && ::geteuid() == 0) {
      if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(90);
    }
    if (fileSizeLimit > 0) {
      ::signal(SIGXFSZ, SIG_IGN);
      const rlimit limit{fileSizeLimit, fileSizeLimit};
      if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(91);
    }
    std::string text;
    try {
      text = body();
    } catch (const std::exception& e) {
      text = std::string("exception: ") + e.what();
    }
    const char* p = text.data();
    std::size_t left = text.size();
    while (left > 0) {
      const ssize_t n = ::write(fds[1], p, left);
      if (n <= 0) break;
      p += n;
      left -= static_cast<std::size_t>(n);
    }
    ::close(fds[1]);
    ::_exit(0);
  }
  ::close(fds[1]);
  ChildResult result;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    result.output.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  result.exitedNormally = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  if (!result.exitedNormally) {
    result.output += WIFEXITED(status) ? " exit " + std::to_string(WEXITSTATUS(status))
                                       : " signal " + std::to_string(WTERMSIG(status));
  }
  return result;
}

}  // namespace tapwell::test
