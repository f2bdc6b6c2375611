#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/cli.h"

namespace tapwell::app {
namespace {

struct Result {
  std::optional<int> code;
  std::string out;
  std::string err;
};

Result Headless(std::vector<std::string> args) {
  std::ostringstream out, err;
  Result r;
  r.code = RunHeadless(args, out, err);
  r.out = out.str();
  r.err = err.str();
  return r;
}

TEST(Cli, NoArgumentsStartTheUserInterface) {
  EXPECT_FALSE(Headless({}).code.has_value());
}

TEST(Cli, HelpAndVersion) {
  auto help = Headless({"--help"});
  EXPECT_EQ(help.code, 0);
  EXPECT_NE(help.out.find("--dry-run SCRIPT"), std::string::npos);
  for (const char* option : {"--new-instance", "--abort", "--show", "--hide", "--quit", "Pause key"})
    EXPECT_NE(help.out.find(option), std::string::npos) << option;
  // The remote commands are not headless modes: they go to the windows.
  EXPECT_FALSE(Headless({"--abort"}).code.has_value());
  auto version = Headless({"--version"});
  EXPECT_EQ(version.code, 0);
  EXPECT_EQ(version.out.rfind("tapwell ", 0), 0u);
}

TEST(Cli, DryRunUsageErrors) {
  EXPECT_EQ(Headless({"--dry-run"}).code, kExitUsage);
  EXPECT_EQ(Headless({"--dry-run", "a", "b"}).code, kExitUsage);
  auto missing = Headless({"--dry-run-file", "/nonexistent/script.txt"});
  EXPECT_EQ(missing.code, kExitUsage);
  EXPECT_NE(missing.err.find("/nonexistent/script.txt"), std::string::npos);
  auto control = Headless({"--dry-run-file", "/nonexistent/a\x1B[2Jb"});
  EXPECT_EQ(control.code, kExitUsage);
  EXPECT_NE(control.err.find("/nonexistent/a\\x1B[2Jb"), std::string::npos) << control.err;
}

TEST(Cli, DryRunFileReadsTheFirstLineOnly) {
  const auto path = std::filesystem::temp_directory_path() / "tapwell-cli-test.txt";
  {
    std::ofstream f(path, std::ios::binary);
    f << "_a!0.5\r\n_b\r\n";
  }
  auto r = Headless({"--dry-run-file", path.string()});
  std::filesystem::remove(path);
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "1 down 65\n1 up 65\n2 wait 500\n503 end\n");
}

TEST(Cli, DryRunFileEndsTheLineAtALineFeed) {
  const auto path = std::filesystem::temp_directory_path() / "tapwell-cli-lf.txt";
  {
    std::ofstream f(path, std::ios::binary);
    f << "_a\n_b\n";
  }
  auto r = Headless({"--dry-run-file", path.string()});
  std::filesystem::remove(path);
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "1 down 65\n1 up 65\n2 end\n");
}

TEST(Cli, DryRunFromStandardInputOfTheRealProgram) {
  // A script longer than a command line allows, through a pipe into the real binary.
  const std::string program = std::string(TAPWELL_BINARY_DIR) + "/src/app/tapwell";
  const auto path = std::filesystem::temp_directory_path() / "tapwell-cli-long.txt";
  {
    std::ofstream f(path, std::ios::binary);
    for (int i = 0; i < 200000; ++i) f << "_a";
    f << "\r\nnot read";
  }
  const std::string command = program + " --dry-run-file - < " + path.string() + " | tail -n 2";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output;
  char buffer[256];
  while (fgets(buffer, sizeof buffer, pipe)) output += buffer;
  const int status = pclose(pipe);
  std::filesystem::remove(path);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(output, "200000 up 65\n200001 end\n");
}

TEST(Cli, DryRunExitCodes) {
  EXPECT_EQ(Headless({"--dry-run", "_a"}).code, 0);
  EXPECT_EQ(Headless({"--dry-run", "?"}).code, kExitScriptFailed);
  EXPECT_EQ(Headless({"--dry-run", "!z"}).code, kExitScriptFailed);
}

TEST(Cli, CheckPrintsFindingsAndExitsByTheWorstOfThem) {
  // Without a display the built-in US layout is used.
  ::unsetenv("DISPLAY");
  auto sound = Headless({"--check", "'Hello, World!'_enter"});
  EXPECT_EQ(sound.code, kExitOk);
  EXPECT_EQ(sound.out, "");
  auto warned = Headless({"--check", "\"Hi\"#_a"});
  EXPECT_EQ(warned.code, kExitOk);
  EXPECT_EQ(warned.out,
            "2: warning: 'H' needs Shift on the us layout: the literal types its key unshifted; use '...' "
            "for exact "
            "text\n6: warning: text after '#' never runs\n");
  auto failed = Headless({"--check", "_a!1,5"});
  EXPECT_EQ(failed.code, kExitScriptFailed);
  EXPECT_EQ(failed.out, "5: error: wait value: ',' is not a digit\n");
  EXPECT_EQ(Headless({"--check"}).code, kExitUsage);
  EXPECT_EQ(Headless({"--check-file", "/nonexistent/script.txt"}).code, kExitUsage);
}

}  // namespace
}  // namespace tapwell::app
