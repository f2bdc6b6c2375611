#include "platform/posix/launcher.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <sstream>
#include <thread>

namespace tapwell::platform {
namespace {

namespace fs = std::filesystem;
using Kind = LaunchPlan::Kind;
using Words = std::vector<std::string>;

class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/tapwell-launch-XXXXXX";
    path = ::mkdtemp(pattern);
  }
  ~TempDir() { fs::remove_all(path); }
  fs::path path;
};

void MakeFile(const fs::path& p, const std::string& text, bool executable) {
  fs::create_directories(p.parent_path());
  std::ofstream(p) << text;
  fs::permissions(p, executable ? fs::perms::owner_all : fs::perms::owner_read | fs::perms::owner_write);
}

std::string ReadWhenThere(const fs::path& path) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!fs::exists(path) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class Plans : public ::testing::Test {
 protected:
  void SetUp() override {
    bin = dir.path / "bin";
    MakeFile(bin / "tool", "#!/bin/sh\n", true);
    MakeFile(bin / "tool with blank", "#!/bin/sh\n", true);
    MakeFile(bin / "plain", "text\n", false);
    fs::create_directories(bin / "folder");
    MakeFile(dir.path / "doc.txt", "text\n", false);
    pathList = "/nonexistent:" + bin.string();
  }
  LaunchPlan plan(const std::string& token) const { return PlanLaunch(token, pathList); }

  TempDir dir;
  fs::path bin;
  std::string pathList;
};

TEST_F(Plans, EmptyTokenStartsNothing) {
  EXPECT_EQ(plan("").kind, Kind::Nothing);
}

TEST_F(Plans, AWholeTokenNamingAnExecutableIsSpawned) {
  EXPECT_EQ(plan("tool").kind, Kind::Spawn);
  EXPECT_EQ(plan("tool").argv, Words{(bin / "tool").string()});
  EXPECT_EQ(plan((bin / "tool").string()).argv, Words{(bin / "tool").string()});
  // Names with blanks keep working: the whole token is tried first.
  EXPECT_EQ(plan("tool with blank").argv, Words{(bin / "tool with blank").string()});
}

TEST_F(Plans, FilesFoldersAndAddressesAreOpened) {
  for (const std::string& token :
       {(dir.path / "doc.txt").string(), dir.path.string(), (bin / "plain").string(),
        std::string("https://example.com/a b"), std::string("mailto:someone@example.com")}) {
    const LaunchPlan p = plan(token);
    EXPECT_EQ(p.kind, Kind::Open) << token;
    EXPECT_EQ(p.argv, Words{token}) << token;
  }
  // Not executables: a file without the x bit and a folder on PATH.
  EXPECT_EQ(plan("plain").kind, Kind::Open);
  EXPECT_EQ(plan("folder").kind, Kind::Open);
}

TEST_F(Plans, WordsWhoseFirstNamesAnExecutableAreSplit) {
  const LaunchPlan p = plan("tool https://example.com 'two words'  last");
  EXPECT_EQ(p.kind, Kind::Spawn);
  EXPECT_EQ(p.argv, (Words{(bin / "tool").string(), "https://example.com", "two words", "last"}));
  // No expansion of any kind.
  EXPECT_EQ(plan("tool $HOME * ~ `x`").argv, (Words{(bin / "tool").string(), "$HOME", "*", "~", "`x`"}));
}

TEST_F(Plans, AnythingElseGoesToTheOpener) {
  for (const std::string& token : std::vector<std::string>{"no such program", "nosuchprogram",
                                                           "plain words here", "/nonexistent/tool x"}) {
    const LaunchPlan p = plan(token);
    EXPECT_EQ(p.kind, Kind::Open) << token;
    EXPECT_EQ(p.argv, Words{token}) << token;
  }
}

TEST_F(Plans, WhatNamesAProgramForTheChecker) {
  for (const std::string& token :
       {std::string("tool"), std::string("tool x y"), (dir.path / "doc.txt").string(), dir.path.string(),
        std::string("https://example.com")}) {
    EXPECT_TRUE(NamesProgram(token, pathList)) << token;
  }
  // What the opener would only be guessing at names nothing.
  for (const std::string& token : {std::string(""), std::string("nosuchprogram"),
                                   std::string("/nonexistent/my"), std::string("plain words here")}) {
    EXPECT_FALSE(NamesProgram(token, pathList)) << token;
  }
}

TEST(Words, BlanksSplitAndSingleQuotesGroup) {
  EXPECT_EQ(SplitWords(""), Words{});
  EXPECT_EQ(SplitWords("   "), Words{});
  EXPECT_EQ(SplitWords(" a  b "), (Words{"a", "b"}));
  EXPECT_EQ(SplitWords("'a b'c d"), (Words{"a bc", "d"}));
  EXPECT_EQ(SplitWords("a '' b"), (Words{"a", "", "b"}));
  EXPECT_EQ(SplitWords("a 'b c"), (Words{"a", "b c"}));
  EXPECT_EQ(SplitWords("a\tb"), (Words{"a\tb"}));
}

TEST(Addresses, SchemeThenColon) {
  EXPECT_TRUE(IsAddress("https://example.com"));
  EXPECT_TRUE(IsAddress("mailto:x@example.com"));
  EXPECT_TRUE(IsAddress("git+ssh://host"));
  EXPECT_TRUE(IsAddress("a.b-c:x"));
  EXPECT_FALSE(IsAddress(""));
  EXPECT_FALSE(IsAddress(":x"));
  EXPECT_FALSE(IsAddress("1http://x"));
  EXPECT_FALSE(IsAddress("/usr/bin:x"));
  EXPECT_FALSE(IsAddress("no colon"));
  EXPECT_FALSE(IsAddress("a b:c"));
}

TEST(Spawn, DetachedWithNullInputTheSameEnvironmentAndNoZombie) {
  TempDir dir;
  const fs::path out = dir.path / "out";
  ::setenv("TAPWELL_LAUNCH_TEST", "inherited value", 1);
  const std::string script =
      "{ readlink /proc/$$/fd/0; cut -d' ' -f6 /proc/$$/stat; pwd; "
      "echo \"$TAPWELL_LAUNCH_TEST\"; echo \"$1\"; } > '" +
      out.string() + ".tmp' && mv '" + out.string() + ".tmp' '" + out.string() + "'";
  std::string error;
  const int pid = PosixLauncher::Spawn({"/bin/sh", "-c", script, "sh", "first argument"}, error);
  ASSERT_GT(pid, 0) << error;
  // The program is not our child: nothing is left to reap.
  int status = 0;
  errno = 0;
  EXPECT_EQ(::waitpid(-1, &status, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
  std::istringstream lines(ReadWhenThere(out));
  std::string stdinTarget, sid, cwd, value, arg;
  std::getline(lines, stdinTarget);
  std::getline(lines, sid);
  std::getline(lines, cwd);
  std::getline(lines, value);
  std::getline(lines, arg);
  EXPECT_EQ(stdinTarget, "/dev/null");
  EXPECT_NE(sid, std::to_string(::getsid(0)));
  EXPECT_EQ(cwd, fs::current_path().string());
  EXPECT_EQ(value, "inherited value");
  EXPECT_EQ(arg, "first argument");
}

TEST(Spawn, ExecFailuresComeBackWithTheReason) {
  TempDir dir;
  std::string error;
  EXPECT_EQ(PosixLauncher::Spawn({(dir.path / "missing").string()}, error), -1);
  EXPECT_EQ(error, std::strerror(ENOENT));
  MakeFile(dir.path / "garbage",
           "\x7f"
           "not a program\n",
           true);
  error.clear();
  EXPECT_EQ(PosixLauncher::Spawn({(dir.path / "garbage").string()}, error), -1);
  EXPECT_EQ(error, std::strerror(ENOEXEC));
}

class Starting : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* path = std::getenv("PATH");
    savedPath = path ? path : "";
  }
  void TearDown() override { ::setenv("PATH", savedPath.c_str(), 1); }
  std::string savedPath;
};

TEST_F(Starting, FailuresAreWrittenToTheErrorStream) {
  TempDir dir;
  std::ostringstream err;
  PosixLauncher launcher(err);
  launcher.start("");
  EXPECT_NE(err.str().find("empty"), std::string::npos) << err.str();

  // No opener on PATH.
  ::setenv("PATH", dir.path.c_str(), 1);
  err.str("");
  launcher.start("https://example.com");
  EXPECT_NE(err.str().find("'https://example.com'"), std::string::npos) << err.str();
  EXPECT_NE(err.str().find("xdg-open"), std::string::npos) << err.str();

  MakeFile(dir.path / "broken",
           "\x7f"
           "not a program\n",
           true);
  err.str("");
  launcher.start("broken");
  EXPECT_NE(err.str().find("cannot start 'broken'"), std::string::npos) << err.str();
  EXPECT_NE(err.str().find(std::strerror(ENOEXEC)), std::string::npos) << err.str();
}

TEST_F(Starting, TheOpenerGetsTheWholeToken) {
  TempDir dir;
  const fs::path out = dir.path / "opened";
  MakeFile(dir.path / "xdg-open",
           "#!/bin/sh\nprintf '%s|%s' \"$#\" \"$1\" > '" + out.string() + ".tmp' && mv '" + out.string() +
               ".tmp' '" + out.string() + "'\n",
           true);
  ::setenv("PATH", (dir.path.string() + ":/usr/bin:/bin").c_str(), 1);
  std::ostringstream err;
  PosixLauncher launcher(err);
  launcher.start("some document name");
  EXPECT_EQ(ReadWhenThere(out), "1|some document name");
  EXPECT_EQ(err.str(), "");
}

TEST_F(Starting, ADocumentThatCannotBeOpenedSaysWhyNowOrLater) {
  TempDir dir;
  PosixLauncher launcher;
  ::setenv("PATH", dir.path.c_str(), 1);
  EXPECT_EQ(launcher.openDocument("/doc.html", nullptr), "xdg-open is not installed");

  // An opener that finds no program to open the document with.
  MakeFile(dir.path / "xdg-open", "#!/bin/sh\nexit 3\n", true);
  ::setenv("PATH", (dir.path.string() + ":/usr/bin:/bin").c_str(), 1);
  std::promise<std::string> reason;
  EXPECT_EQ(launcher.openDocument("/doc.html", [&](const std::string& r) { reason.set_value(r); }), "");
  auto later = reason.get_future();
  ASSERT_EQ(later.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_EQ(later.get(), "xdg-open ended with status 3");
}

}  // namespace
}  // namespace tapwell::platform
