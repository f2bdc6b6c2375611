#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <QMenuBar>

#include "main_fixture.h"

namespace tapwell::ui::testing {
namespace {

namespace fs = std::filesystem;

// The login entry is written to the autostart folder of a temporary
// configuration folder.
class StartAtLoginTest : public MainFixture {
 protected:
  void SetUp() override {
    MainFixture::SetUp();
    config = fs::temp_directory_path() / ("tapwell-login-" + std::to_string(::getpid()));
    fs::remove_all(config);
    fs::create_directories(config);
    const char* old = std::getenv("XDG_CONFIG_HOME");
    saved = old ? std::optional<std::string>(old) : std::nullopt;
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  }
  void TearDown() override {
    destroy();
    if (saved) {
      ::setenv("XDG_CONFIG_HOME", saved->c_str(), 1);
    } else {
      ::unsetenv("XDG_CONFIG_HOME");
    }
    fs::remove_all(config);
  }
  fs::path entry() const { return config / "autostart" / "org.qorvex.Tapwell.desktop"; }

  fs::path config;
  std::optional<std::string> saved;
};

TEST_F(StartAtLoginTest, TheItemWritesAndRemovesTheEntryThatStartsInTheTray) {
  QAction* item = form().StartAtLogin1;
  ASSERT_NE(item, nullptr);
  EXPECT_TRUE(item->isCheckable());
  EXPECT_FALSE(item->isChecked());
  item->trigger();
  EXPECT_TRUE(item->isChecked());
  ASSERT_TRUE(fs::exists(entry()));
  std::ifstream in(entry());
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_NE(text.str().find(" --tray\n"), std::string::npos) << text.str();
  item->trigger();
  EXPECT_FALSE(item->isChecked());
  EXPECT_FALSE(fs::exists(entry()));
  EXPECT_TRUE(errors.shown.empty());
}

TEST_F(StartAtLoginTest, TheCheckMarkShowsAnExistingEntryAtStart) {
  fs::create_directories(config / "autostart");
  std::ofstream(entry()) << "[Desktop Entry]\nType=Application\nExec=/usr/bin/tapwell --tray\n";
  EXPECT_TRUE(form().StartAtLogin1->isChecked());
}

TEST_F(StartAtLoginTest, AFailedWriteIsReportedAndTheMarkStaysOff) {
  // A file where the autostart folder should be.
  std::ofstream((config / "autostart").string()) << "x";
  form().StartAtLogin1->trigger();
  EXPECT_FALSE(form().StartAtLogin1->isChecked());
  ASSERT_EQ(errors.shown.size(), 1u);
  EXPECT_EQ(errors.shown[0].first, "Tapwell");
  EXPECT_NE(errors.shown[0].second.find("autostart"), std::string::npos) << errors.shown[0].second;
}

TEST_F(StartAtLoginTest, TheToolMenuStandsBeforeHelp) {
  const auto actions = form().MainMenu1->actions();
  ASSERT_EQ(actions.size(), 3);
  EXPECT_EQ(actions[0]->text(), "File");
  EXPECT_EQ(actions[1]->text(), "Tool");
  EXPECT_EQ(actions[2]->text(), "Help");
}

}  // namespace
}  // namespace tapwell::ui::testing
