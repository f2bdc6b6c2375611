// Program launches of the real program: by name, by path, by words, the empty
// token and the opener for everything else.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "x_session.h"

namespace {

namespace fs = std::filesystem;

// A program that writes its arguments, standard input and session to
// $MARK_DIR/<its name>.out.
constexpr const char* kMarker =
    "#!/bin/sh\n"
    "out=\"$MARK_DIR/$(basename \"$0\").out\"\n"
    "{ echo \"argc=$#\"; for a in \"$@\"; do echo \"arg=$a\"; done;\n"
    "  echo \"stdin=$(readlink /proc/$$/fd/0)\"; echo \"pid=$$\";\n"
    "  echo \"sid=$(cut -d' ' -f6 /proc/$$/stat)\"; } > \"$out.tmp\" && mv \"$out.tmp\" \"$out\"\n";

// The opener stub: one file per call with the argument.
constexpr const char* kOpener =
    "#!/bin/sh\n"
    "printf '%s' \"$1\" > \"$MARK_DIR/open.$$.tmp\" && mv \"$MARK_DIR/open.$$.tmp\" \"$MARK_DIR/open.$$\"\n";

void WriteProgram(const fs::path& path, const char* text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path) << text;
  fs::permissions(path, fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
}

std::string ReadWhenThere(const fs::path& path) {
  xs::WaitUntil([&] { return fs::exists(path); });
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(Launch, ByNamePathWordsEmptyAndTheOpener) {
  XS_START_X(server);
  char pattern[] = "/tmp/tapwell-e2e-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const fs::path dir = pattern;
  WriteProgram(dir / "bin" / "mark-name", kMarker);
  WriteProgram(dir / "bin" / "mark-words", kMarker);
  WriteProgram(dir / "tools" / "mark-path", kMarker);
  WriteProgram(dir / "with blank" / "my tool", kMarker);
  WriteProgram(dir / "bin" / "xdg-open", kOpener);
  std::ofstream(dir / "doc.txt") << "text";

  const std::string script = "*mark-name*" + (dir / "tools" / "mark-path").string() +
                             "*mark-words one 'two three'  four**https://example.com/x*no such program*" +
                             (dir / "doc.txt").string() + "*" + (dir / "with blank" / "my tool").string();
  const xs::Result r =
      xs::Run({xs::TapwellPath(), "--run", script},
              server->env({"PATH=" + (dir / "bin").string() + ":/usr/bin:/bin", "MARK_DIR=" + dir.string()}));
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.err.find("empty"), std::string::npos) << r.err;

  const std::string byName = ReadWhenThere(dir / "mark-name.out");
  EXPECT_NE(byName.find("argc=0\n"), std::string::npos) << byName;
  EXPECT_NE(byName.find("stdin=/dev/null\n"), std::string::npos) << byName;
  // Detached: another session than the one Tapwell was started in.
  const auto sidAt = byName.find("sid=");
  ASSERT_NE(sidAt, std::string::npos);
  const std::string sid = byName.substr(sidAt + 4, byName.find('\n', sidAt) - sidAt - 4);
  EXPECT_NE(sid, std::to_string(::getsid(0)));

  EXPECT_NE(ReadWhenThere(dir / "mark-path.out").find("argc=0\n"), std::string::npos);
  EXPECT_NE(ReadWhenThere(dir / "my tool.out").find("argc=0\n"), std::string::npos);
  const std::string words = ReadWhenThere(dir / "mark-words.out");
  EXPECT_NE(words.find("argc=3\narg=one\narg=two three\narg=four\n"), std::string::npos) << words;

  // The opener got the address, the unknown words and the document, in some order.
  std::vector<std::string> opened;
  xs::WaitUntil([&] {
    opened.clear();
    for (const auto& entry : fs::directory_iterator(dir)) {
      const std::string name = entry.path().filename().string();
      if (name.rfind("open.", 0) == 0 && name.find(".tmp") == std::string::npos) {
        opened.push_back(ReadWhenThere(entry.path()));
      }
    }
    return opened.size() >= 3;
  });
  std::sort(opened.begin(), opened.end());
  EXPECT_EQ(opened, (std::vector<std::string>{(dir / "doc.txt").string(), "https://example.com/x",
                                              "no such program"}));
  fs::remove_all(dir);
}

}  // namespace
