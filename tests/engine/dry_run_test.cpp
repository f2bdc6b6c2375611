#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>

#include "engine/session.h"
#include "rig.h"

namespace tapwell {
namespace {

namespace fs = std::filesystem;

// A dry-run case file: "script " and the script (or "script" alone for none) with \xHH for any byte, then
// "exit " and the exit code, then the expected output line by line.
struct DryRunCase {
  std::string script;
  int exitCode = -1;
  std::string trace;
};

std::string Unescape(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 2, "\\x") == 0 && i + 4 <= text.size()) {
      out += static_cast<char>(std::stoi(text.substr(i + 2, 2), nullptr, 16));
      i += 3;
    } else {
      out += text[i];
    }
  }
  return out;
}

DryRunCase ReadCase(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  DryRunCase c;
  std::string line;
  std::getline(in, line);
  // An empty script is the word alone.
  EXPECT_TRUE(line == "script" || line.rfind("script ", 0) == 0) << path;
  c.script = Unescape(line.substr(std::min<std::size_t>(line.size(), 7)));
  std::getline(in, line);
  EXPECT_EQ(line.rfind("exit ", 0), 0u) << path;
  c.exitCode = std::stoi(line.substr(5));
  c.trace.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return c;
}

std::vector<std::string> CaseNames() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(fs::path(TAPWELL_SOURCE_DIR) / "tests/engine/cases")) {
    if (entry.path().extension() == ".case") names.push_back(entry.path().stem().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

class DryRunCases : public ::testing::TestWithParam<std::string> {};

TEST_P(DryRunCases, OutputAndExitCodeAsRecorded) {
  const DryRunCase c = ReadCase(fs::path(TAPWELL_SOURCE_DIR) / "tests/engine/cases" / (GetParam() + ".case"));
  std::ostringstream out;
  EXPECT_EQ(DryRun(c.script, out), c.exitCode);
  EXPECT_EQ(out.str(), c.trace);
}

INSTANTIATE_TEST_SUITE_P(Files, DryRunCases, ::testing::ValuesIn(CaseNames()),
                         [](const ::testing::TestParamInfo<std::string>& param) { return param.param; });

TEST(DryRun, EscapesC1ControlsButNotOtherUtf8) {
  EXPECT_EQ(EscapeForTerminal("é\xc2\x85z"), "é\\xC2\\x85z");
}

// Every script, however malformed, ends or halts within a number of steps bounded
// by its length, and leaves no key held.
class GeneratedScripts : public ::testing::TestWithParam<int> {};

std::string RandomScript(std::mt19937& rng, bool commandsOnly) {
  static const std::vector<std::string> kPieces = {
      ">shift", "<shift", "_a", "_enter",  "_",     ">",   "<",       "!",    "!0",     "!0.001",
      "!1.5",   "!x",     "#",  "*prog",   "*",     "\"",  "\"abc\"", "\"\"", "x",      "あ",
      " ",      ".",      "!.", "_Enter ", ">ctrl", "_ml", "\xff",    "$",    "'a''b'", "'"};
  std::uniform_int_distribution<int> length(0, 40);
  std::string script;
  const int n = length(rng);
  if (commandsOnly) {
    std::uniform_int_distribution<std::size_t> pick(0, kPieces.size() - 1);
    for (int i = 0; i < n; ++i) script += kPieces[pick(rng)];
  } else {
    std::uniform_int_distribution<int> byte(0, 255);
    for (int i = 0; i < n; ++i) script += static_cast<char>(byte(rng));
  }
  return script;
}

TEST_P(GeneratedScripts, EndOrHaltWithinABoundAndReleaseEverything) {
  std::mt19937 rng(static_cast<unsigned>(GetParam()));
  for (int round = 0; round < 400; ++round) {
    const std::string script = RandomScript(rng, round % 2 == 0) + "#";
    test::Rig rig;
    rig.start(script);
    // A step consumes at least one byte, a wait takes two steps, a command error one more.
    const std::size_t bound = 2 * script.size() + 4;
    std::size_t steps = 0;
    while (rig.scheduled()) {
      ASSERT_LT(steps, bound) << "script did not end: " << EscapeForTerminal(script);
      ++steps;
      rig.tick();
    }
    EXPECT_TRUE(!rig.halts.empty() || !rig.kb().Running) << EscapeForTerminal(script);
    EXPECT_TRUE(rig.emu.heldKeys().empty()) << EscapeForTerminal(script);
    // The last event of every key is a key-up.
    std::map<int, bool> down;
    for (const auto& e : rig.keyboard.events) down[e.vk] = e.down;
    for (const auto& [vk, isDown] : down) {
      EXPECT_FALSE(isDown) << "key " << vk << " left down by " << EscapeForTerminal(script);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Seeds, GeneratedScripts, ::testing::Range(1, 9));

}  // namespace
}  // namespace tapwell
