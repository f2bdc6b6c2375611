#include "platform/posix/launcher.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <thread>

extern char** environ;

namespace tapwell::platform {

namespace {

// In a child after fork: standard input from /dev/null, no inherited descriptors
// beyond the standard three, then the program. Returns only when it cannot start.
void ExecWithNoInput(char* const* argv) {
  const int null = ::open("/dev/null", O_RDONLY);
  if (null >= 0 && null != 0) {
    ::dup2(null, 0);
    ::close(null);
  }
  ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
  ::execve(argv[0], argv, environ);
}

bool IsExecutableFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

bool Exists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

std::string PathList() {
  const char* path = std::getenv("PATH");
  return path ? path : "/usr/local/bin:/usr/bin:/bin";
}

// Writes all of a small buffer; only async-signal-safe calls.
void WriteAll(int fd, const void* data, std::size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(fd, p, size);
    if (n <= 0) {
      if (n < 0 && errno == EINTR) continue;
      return;
    }
    p += n;
    size -= static_cast<std::size_t>(n);
  }
}

struct Report {
  char what;  // 'p': the pid of the program; 'e': exec failed with `value`
  int value;
};

}  // namespace

std::string FindExecutable(const std::string& word, const std::string& pathList) {
  if (word.empty()) return {};
  if (word.find('/') != std::string::npos) return IsExecutableFile(word) ? word : std::string();
  std::size_t start = 0;
  while (start <= pathList.size()) {
    std::size_t end = pathList.find(':', start);
    if (end == std::string::npos) end = pathList.size();
    std::string dir = pathList.substr(start, end - start);
    if (dir.empty()) dir = ".";
    const std::string candidate = dir + "/" + word;
    if (IsExecutableFile(candidate)) return candidate;
    start = end + 1;
  }
  return {};
}

std::vector<std::string> SplitWords(const std::string& token) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false;
  bool quoted = false;
  for (const char c : token) {
    if (c == '\'') {
      quoted = !quoted;
      inWord = true;
    } else if (c == ' ' && !quoted) {
      if (inWord) words.push_back(word);
      word.clear();
      inWord = false;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (inWord) words.push_back(word);
  return words;
}

bool IsAddress(const std::string& token) {
  if (token.empty() || !std::isalpha(static_cast<unsigned char>(token[0]))) return false;
  for (std::size_t i = 1; i < token.size(); ++i) {
    const auto c = static_cast<unsigned char>(token[i]);
    if (c == ':') return true;
    if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') return false;
  }
  return false;
}

LaunchPlan PlanLaunch(const std::string& token, const std::string& pathList) {
  LaunchPlan plan;
  if (token.empty()) return plan;
  if (std::string exe = FindExecutable(token, pathList); !exe.empty()) {
    plan.kind = LaunchPlan::Kind::Spawn;
    plan.argv = {exe};
    return plan;
  }
  plan.kind = LaunchPlan::Kind::Open;
  plan.argv = {token};
  if (Exists(token) || IsAddress(token)) return plan;
  if (token.find(' ') != std::string::npos) {
    std::vector<std::string> words = SplitWords(token);
    if (!words.empty()) {
      if (std::string exe = FindExecutable(words[0], pathList); !exe.empty()) {
        words[0] = exe;
        plan.kind = LaunchPlan::Kind::Spawn;
        plan.argv = std::move(words);
      }
    }
  }
  return plan;
}

bool NamesProgram(const std::string& token, const std::string& pathList) {
  const LaunchPlan plan = PlanLaunch(token, pathList);
  if (plan.kind == LaunchPlan::Kind::Spawn) return true;
  return plan.kind == LaunchPlan::Kind::Open && (Exists(token) || IsAddress(token));
}

bool NamesProgram(const std::string& token) {
  return NamesProgram(token, PathList());
}

PosixLauncher::PosixLauncher(std::ostream& err) : err_(err) {}
PosixLauncher::PosixLauncher() : err_(std::cerr) {}

int PosixLauncher::Spawn(const std::vector<std::string>& argv, std::string& error) {
  if (argv.empty()) {
    error = "no program";
    return -1;
  }
  // Everything the children need is prepared before fork: after it only
  // async-signal-safe calls are made.
  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    error = std::strerror(errno);
    return -1;
  }
  const pid_t middle = ::fork();
  if (middle < 0) {
    error = std::strerror(errno);
    ::close(fds[0]);
    ::close(fds[1]);
    return -1;
  }
  if (middle == 0) {
    // The middle process gives the program a session of its own and leaves at
    // once, so the program is nobody's child here and leaves no zombie.
    ::close(fds[0]);
    ::setsid();
    const pid_t program = ::fork();
    if (program < 0) {
      const Report r{'e', errno};
      WriteAll(fds[1], &r, sizeof r);
      ::_exit(1);
    }
    if (program == 0) {
      ExecWithNoInput(args.data());
      const Report r{'e', errno};
      WriteAll(fds[1], &r, sizeof r);
      ::_exit(127);
    }
    const Report r{'p', program};
    WriteAll(fds[1], &r, sizeof r);
    ::_exit(0);
  }
  ::close(fds[1]);
  int status = 0;
  while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
  }
  // The pipe closes when the program's exec succeeded, or carries the reason.
  int pid = -1;
  int failure = 0;
  Report r{};
  for (;;) {
    const ssize_t n = ::read(fds[0], &r, sizeof r);
    if (n < 0 && errno == EINTR) continue;
    if (n != static_cast<ssize_t>(sizeof r)) break;
    if (r.what == 'p') pid = r.value;
    if (r.what == 'e') failure = r.value;
  }
  ::close(fds[0]);
  if (failure != 0) {
    error = std::strerror(failure);
    return -1;
  }
  if (pid < 0) error = "the program could not be started";
  return pid;
}

void PosixLauncher::start(const std::string& token) {
  const std::string pathList = PathList();
  LaunchPlan plan = PlanLaunch(token, pathList);
  switch (plan.kind) {
    case LaunchPlan::Kind::Nothing:
      err_ << "tapwell: the program name is empty: nothing started\n";
      err_.flush();
      return;
    case LaunchPlan::Kind::Spawn:
      break;
    case LaunchPlan::Kind::Open: {
      const std::string opener = FindExecutable("xdg-open", pathList);
      if (opener.empty()) {
        err_ << "tapwell: cannot open '" << token << "': xdg-open is not installed\n";
        err_.flush();
        return;
      }
      plan.argv.insert(plan.argv.begin(), opener);
      break;
    }
  }
  std::string error;
  if (Spawn(plan.argv, error) < 0) {
    err_ << "tapwell: cannot start '" << token << "': " << error << "\n";
    err_.flush();
  }
}

std::string PosixLauncher::openDocument(const std::string& path,
                                        std::function<void(const std::string& reason)> failedLater) {
  const std::string opener = FindExecutable("xdg-open", PathList());
  if (opener.empty()) return "xdg-open is not installed";
  std::vector<char*> args{const_cast<char*>(opener.c_str()), const_cast<char*>(path.c_str()), nullptr};
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return std::strerror(errno);
  const pid_t watcher = ::fork();
  if (watcher < 0) {
    const int error = errno;
    ::close(fds[0]);
    ::close(fds[1]);
    return std::strerror(error);
  }
  if (watcher == 0) {
    // The watcher runs the opener in a session of its own and reports how it
    // ended; only async-signal-safe calls after fork.
    ::close(fds[0]);
    ::setsid();
    const pid_t child = ::fork();
    if (child == 0) {
      ExecWithNoInput(args.data());
      ::_exit(127);
    }
    int status = 0;
    int code = 127;
    if (child > 0) {
      while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
      }
      code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    WriteAll(fds[1], &code, sizeof code);
    ::_exit(0);
  }
  ::close(fds[1]);
  std::thread([fd = fds[0], watcher, failedLater = std::move(failedLater)] {
    int code = 0;
    ssize_t n;
    while ((n = ::read(fd, &code, sizeof code)) < 0 && errno == EINTR) {
    }
    ::close(fd);
    while (::waitpid(watcher, nullptr, 0) < 0 && errno == EINTR) {
    }
    if (n == static_cast<ssize_t>(sizeof code) && code != 0 && failedLater) {
      failedLater("xdg-open ended with status " + std::to_string(code));
    }
  }).detach();
  return {};
}

}  // namespace tapwell::platform
