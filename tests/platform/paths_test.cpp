#include <gtest/gtest.h>

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

TEST(ProgramFile, IsTheRunningTestBinary) {
  EXPECT_EQ(fs::path(ProgramFile()).filename(), "platform_tests");
}

}  // namespace
}  // namespace tapwell::platform
