#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "platform/paths.h"

namespace tapwell::platform {
namespace {

namespace fs = std::filesystem;

class DataFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root = fs::temp_directory_path() / ("tapwell-paths-" + std::to_string(::getpid()));
    fs::remove_all(root);
    fs::create_directories(root / "prefix" / "bin");
    fs::create_directories(root / "portable");
    fs::create_directories(root / "home");
  }
  void TearDown() override { fs::remove_all(root); }
  fs::path root;
};

TEST_F(DataFolderTest, ARunFromItsOwnFolderKeepsDataBesideTheProgram) {
  EXPECT_EQ(DataFolderFor((root / "portable" / "tapwell").string(), "", (root / "home").string()),
            (root / "portable").string() + "/");
  // A bin folder alone is no install layout.
  EXPECT_EQ(DataFolderFor((root / "prefix" / "bin" / "tapwell").string(), "", (root / "home").string()),
            (root / "prefix" / "bin").string() + "/");
}

TEST_F(DataFolderTest, AnInstalledProgramUsesTheUsersDataFolderCreatedOnDemand) {
  fs::create_directories(root / "prefix" / "share" / "tapwell");
  const std::string program = (root / "prefix" / "bin" / "tapwell").string();
  const std::string folder = DataFolderFor(program, "", (root / "home").string());
  EXPECT_EQ(folder, (root / "home" / ".local" / "share" / "Tapwell").string() + "/");
  EXPECT_TRUE(fs::is_directory(folder));
  const std::string xdg = DataFolderFor(program, (root / "xdg").string(), (root / "home").string());
  EXPECT_EQ(xdg, (root / "xdg" / "Tapwell").string() + "/");
  EXPECT_TRUE(fs::is_directory(xdg));
  // A relative XDG_DATA_HOME is ignored, as the base directory rules say.
  EXPECT_EQ(DataFolderFor(program, "relative", (root / "home").string()), folder);
}

TEST_F(DataFolderTest, TheRuntimeFolderIsTheSessionsOrAPrivateOneOfTheUser) {
  std::string why;
  EXPECT_EQ(RuntimeFolderFor("/run/user/1000", root.string(), ::getuid(), why), "/run/user/1000");
  // Without the session's folder: a folder of the user's own, made private.
  const std::string own = (root / ("tapwell-" + std::to_string(::getuid()))).string();
  EXPECT_EQ(RuntimeFolderFor("", root.string(), ::getuid(), why), own) << why;
  EXPECT_EQ(fs::status(own).permissions() & fs::perms::all, fs::perms::owner_all);
  // A relative XDG_RUNTIME_DIR is ignored; a folder others may enter is refused.
  fs::permissions(own, fs::perms::group_read | fs::perms::group_exec, fs::perm_options::add);
  EXPECT_EQ(RuntimeFolderFor("relative", root.string(), ::getuid(), why), "");
  EXPECT_NE(why.find(own), std::string::npos);
  // So is a name that someone put there as a link to elsewhere.
  fs::remove(own);
  fs::create_directory_symlink(root / "home", own);
  why.clear();
  EXPECT_EQ(RuntimeFolderFor("", root.string(), ::getuid(), why), "");
  EXPECT_FALSE(why.empty());
}

TEST(ProgramFile, IsTheRunningTestBinary) {
  EXPECT_EQ(fs::path(ProgramFile()).filename(), "platform_tests");
}

}  // namespace
}  // namespace tapwell::platform
