#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/errors.h"
#include "platform/posix/xdg_autostart.h"

namespace tapwell::platform {
namespace {

namespace fs = std::filesystem;

class AutostartTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root = fs::temp_directory_path() / ("tapwell-autostart-" + std::to_string(::getpid()));
    fs::remove_all(root);
    fs::create_directories(root);
  }
  void TearDown() override {
    fs::permissions(root, fs::perms::owner_all);
    fs::remove_all(root);
  }
  static std::string Read(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  fs::path root;
};

TEST_F(AutostartTest, EnablingWritesAnEntryThatStartsTheProgramInTheTray) {
  XdgAutostart autostart((root / "autostart").string(), "/usr/bin/tapwell");
  EXPECT_FALSE(autostart.enabled());
  autostart.setEnabled(true);
  EXPECT_TRUE(autostart.enabled());
  const std::string text = Read(autostart.entryPath());
  EXPECT_NE(text.find("[Desktop Entry]\n"), std::string::npos);
  EXPECT_NE(text.find("\nExec=/usr/bin/tapwell --tray\n"), std::string::npos);
  EXPECT_NE(text.find("\nType=Application\n"), std::string::npos);
  autostart.setEnabled(false);
  EXPECT_FALSE(autostart.enabled());
  EXPECT_FALSE(fs::exists(autostart.entryPath()));
  // Disabling twice is no error.
  autostart.setEnabled(false);
}

TEST_F(AutostartTest, AProgramPathWithBlanksAndQuotesIsQuoted) {
  XdgAutostart autostart((root / "autostart").string(), "/opt/my tools/tap\"well$");
  autostart.setEnabled(true);
  EXPECT_NE(Read(autostart.entryPath()).find("Exec=\"/opt/my tools/tap\\\\\"well\\\\$\" --tray\n"),
            std::string::npos)
      << Read(autostart.entryPath());
}

TEST_F(AutostartTest, OnlyAnEntryThatStartsThisProgramCountsAsOn) {
  const fs::path program = root / "bin" / "tapwell";
  fs::create_directories(program.parent_path());
  std::ofstream(program.string()) << "#!/bin/sh\n";
  fs::permissions(program, fs::perms::owner_all);
  fs::create_symlink(program, root / "link");
  XdgAutostart self(root.string(), program.string());
  // The entry another copy of the program wrote.
  XdgAutostart(root.string(), "/opt/other copy/tapwell").setEnabled(true);
  EXPECT_FALSE(self.enabled());
  // This program by a link, and by its name in PATH.
  XdgAutostart(root.string(), (root / "link").string()).setEnabled(true);
  EXPECT_TRUE(self.enabled());
  std::ofstream(self.entryPath()) << "[Desktop Entry]\nExec=tapwell --tray\n";
  const std::string savedPath = std::getenv("PATH") ? std::getenv("PATH") : "";
  ::setenv("PATH", (root / "bin").c_str(), 1);
  EXPECT_TRUE(self.enabled());
  ::setenv("PATH", "/nowhere", 1);
  EXPECT_FALSE(self.enabled());
  ::setenv("PATH", savedPath.c_str(), 1);
}

TEST_F(AutostartTest, AnEntryHiddenByTheDesktopCountsAsOff) {
  XdgAutostart autostart(root.string(), "/usr/bin/tapwell");
  std::ofstream(autostart.entryPath()) << "[Desktop Entry]\nHidden=true\n";
  EXPECT_FALSE(autostart.enabled());
}

TEST_F(AutostartTest, AFolderThatCannotBeWrittenIsAClearError) {
  if (::geteuid() == 0) {
    // Root writes anywhere; a file in place of the folder fails for everyone.
    std::ofstream((root / "autostart").string()) << "x";
  } else {
    fs::create_directories(root / "autostart");
    fs::permissions(root / "autostart", fs::perms::owner_read | fs::perms::owner_exec);
  }
  XdgAutostart autostart((root / "autostart").string(), "/usr/bin/tapwell");
  try {
    autostart.setEnabled(true);
    FAIL() << "no error";
  } catch (const EInOutError& e) {
    EXPECT_NE(std::string(e.what()).find((root / "autostart").string()), std::string::npos) << e.what();
  }
  EXPECT_FALSE(autostart.enabled());
}

TEST(AutostartFolder, FollowsXdgConfigHome) {
  const char* old = std::getenv("XDG_CONFIG_HOME");
  const std::string saved = old ? old : "";
  const std::string savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
  ::setenv("XDG_CONFIG_HOME", "/tmp/xdg-config", 1);
  EXPECT_EQ(XdgAutostart::UserFolder(), "/tmp/xdg-config/autostart");
  ::setenv("XDG_CONFIG_HOME", "relative", 1);
  ::setenv("HOME", "/home/someone", 1);
  EXPECT_EQ(XdgAutostart::UserFolder(), "/home/someone/.config/autostart");
  ::setenv("HOME", savedHome.c_str(), 1);
  if (old) {
    ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
  } else {
    ::unsetenv("XDG_CONFIG_HOME");
  }
}

}  // namespace
}  // namespace tapwell::platform
