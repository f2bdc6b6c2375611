// Program tokens full of shell characters: no shell ever sees them, every word
// arrives as it was written.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "x_session.h"

namespace {

namespace fs = std::filesystem;
using xs::Strings;

// Records its own path and its arguments, one per line, in $MARK_DIR/rec.<pid>.
constexpr const char* kRecorder =
    "#!/bin/sh\n"
    "f=\"$MARK_DIR/rec.$$\"\n"
    "{ printf '%s\\n' \"$0\"; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } > \"$f.tmp\"\n"
    "mv \"$f.tmp\" \"$f.done\"\n";

// The desktop opener: records how many arguments it got and the first one.
constexpr const char* kOpener =
    "#!/bin/sh\n"
    "f=\"$MARK_DIR/open.$$\"\n"
    "printf '%s\\n%s' \"$#\" \"$1\" > \"$f.tmp\"\n"
    "mv \"$f.tmp\" \"$f.done\"\n";

// The finished records whose names start with prefix, sorted.
std::vector<Strings> Records(const std::string& dir, const std::string& prefix) {
  std::vector<Strings> out;
  for (const auto& entry : fs::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(prefix, 0) != 0 || name.size() < 5 || name.substr(name.size() - 5) != ".done") continue;
    Strings lines;
    std::string text = xs::ReadFile(entry.path().string());
    std::size_t start = 0;
    while (start <= text.size()) {
      const std::size_t nl = text.find('\n', start);
      if (nl == std::string::npos) {
        if (start < text.size()) lines.push_back(text.substr(start));
        break;
      }
      lines.push_back(text.substr(start, nl - start));
      start = nl + 1;
    }
    out.push_back(lines);
  }
  std::sort(out.begin(), out.end());
  return out;
}

TEST(ShellCharacters, TokensAreNeverInterpretedByAShell) {
  XS_START_X(server);
  xs::TempFolder tmp;
  const std::string dir = tmp.path();
  fs::create_directories(dir + "/bin");
  fs::create_directories(dir + "/odd");
  xs::WriteFile(dir + "/bin/rec", kRecorder, 0755);
  xs::WriteFile(dir + "/bin/xdg-open", kOpener, 0755);
  // A program whose own file name is full of shell characters.
  const std::string oddProgram = dir + "/odd/a;b|c $(x) `y` & 'z'";
  xs::WriteFile(oddProgram, kRecorder, 0755);
  // Files that a glob in the working folder would expand to.
  xs::WriteFile(dir + "/g1", "");
  xs::WriteFile(dir + "/g2", "");

  // A shell would create these files.
  const std::string p1 = dir + "/P1";
  const std::string p2 = dir + "/P2";
  const std::string p3 = dir + "/P3";
  const std::string p4 = dir + "/P4";
  const std::string p5 = dir + "/P5";
  const std::string words =
      "rec a;b c|d $(touch " + p1 + ") `touch " + p2 + "` 'q r' g? [g]1 ~ {x,y} $HOME & \\ && ||touch " + p5;
  const std::string opened1 = "rec;touch " + p3;
  const std::string opened2 = "$(touch " + p4 + ")";
  const std::string script = "*" + words + "*" + opened1 + "*" + opened2 + "*" + oddProgram;

  const fs::path before = fs::current_path();
  fs::current_path(dir);
  const xs::Result r =
      xs::RunTapwell(*server, {"--run", script},
                     {"PATH=" + dir + "/bin:/usr/bin:/bin", "MARK_DIR=" + dir, "HOME=/nonexistent"});
  fs::current_path(before);
  EXPECT_EQ(r.code, 0) << r.err;

  ASSERT_TRUE(xs::WaitUntil([&] {
    return Records(dir, "rec.").size() == 2 && Records(dir, "open.").size() == 2;
  })) << r.err;
  const auto programs = Records(dir, "rec.");
  const Strings wordsSeen = {dir + "/bin/rec", "a;b", "c|d", "$(touch", p1 + ")",  "`touch",
                             p2 + "`",         "q r", "g?",  "[g]1",    "~",       "{x,y}",
                             "$HOME",          "&",   "\\",  "&&",      "||touch", p5};
  const Strings oddSeen = {oddProgram};
  std::vector<Strings> expected = {wordsSeen, oddSeen};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(programs, expected);

  std::vector<Strings> openerSeen = Records(dir, "open.");
  std::vector<Strings> openerExpected = {{"1", opened1}, {"1", opened2}};
  std::sort(openerExpected.begin(), openerExpected.end());
  EXPECT_EQ(openerSeen, openerExpected);

  // Nothing was run by a shell: each word reached the program whole, and none of
  // the files exists.
  for (const std::string& p : {p1, p2, p3, p4, p5}) EXPECT_FALSE(fs::exists(p)) << p;
}

}  // namespace
