#include "store/script_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "core/errors.h"
#include "test_support.h"

namespace tapwell::store {
namespace {

using test::ReadBytes;
using test::RunInChild;
using test::TempDir;
using test::WriteBytes;
using ::testing::HasSubstr;

class ScriptFiles : public ::testing::Test {
 protected:
  TempDir dir;
  std::string path = dir.file("script.txt");
};

TEST_F(ScriptFiles, ThreeByteScriptSavesAsFiveBytes) {
  SaveScriptFile(path, "abc");
  EXPECT_EQ(ReadBytes(path), std::string("abc\x0D\x0A"));
  EXPECT_EQ(LoadScriptFile(path), "abc");
}

TEST_F(ScriptFiles, EmptyScriptSavesAsLineEndAndLoadsEmpty) {
  SaveScriptFile(path, "");
  EXPECT_EQ(ReadBytes(path), "\r\n");
  EXPECT_EQ(LoadScriptFile(path), "");
}

TEST_F(ScriptFiles, LoadReadsTheFirstLineOnly) {
  WriteBytes(path, "_a_b\r\n_c\r\n_d");
  EXPECT_EQ(LoadScriptFile(path), "_a_b");
  WriteBytes(path, "_a\r_b");
  EXPECT_EQ(LoadScriptFile(path), "_a");
}

TEST_F(ScriptFiles, FirstByteCrLoadsTheEmptyScript) {
  WriteBytes(path, "\r_a_b\r\n");
  EXPECT_EQ(LoadScriptFile(path), "");
}

TEST_F(ScriptFiles, Byte1AEndsTheScript) {
  WriteBytes(path, "_a\x1A_b\r\n");
  EXPECT_EQ(LoadScriptFile(path), "_a");
}

TEST_F(ScriptFiles, LineFeedEndsTheScriptOfAFileWrittenOnLinux) {
  WriteBytes(path, "_a\n_b\n");
  EXPECT_EQ(LoadScriptFile(path), "_a");
  WriteBytes(path, "\"hi\"_enter\n");
  EXPECT_EQ(LoadScriptFile(path), "\"hi\"_enter");
}

TEST_F(ScriptFiles, EmptyFileLoadsTheEmptyScript) {
  WriteBytes(path, "");
  EXPECT_EQ(LoadScriptFile(path), "");
}

TEST_F(ScriptFiles, ByteOrderMarkIsDropped) {
  WriteBytes(path, "\xEF\xBB\xBF\"日本\"_enter\r\n");
  EXPECT_EQ(LoadScriptFile(path), "\"日本\"_enter");
}

TEST_F(ScriptFiles, ShiftJisScriptFromWindowsLoadsItsJapanese) {
  // *notepad!5"日本語"_enter in Shift-JIS.
  WriteBytes(path, "*notepad!5\"\x93\xFA\x96\x7B\x8C\xEA\"_enter\r\n");
  EXPECT_EQ(LoadScriptFile(path), "*notepad!5\"日本語\"_enter");
}

TEST_F(ScriptFiles, AnyScriptRoundTrips) {
  const std::string scripts[] = {
      "*notepad!5_kanji_k_a_i_t_e!1_conv!1_enter!2#",
      "  \"a;b#c=d\\e\" 'quoted' ",
      "日本語の\"テキスト\"_enter",
      "_\\_¥",
      std::string(1 << 20, 'x') + "_end",
  };
  for (const std::string& script : scripts) {
    SaveScriptFile(path, script);
    EXPECT_EQ(ReadBytes(path), script + "\r\n");
    EXPECT_EQ(LoadScriptFile(path), script);
  }
}

TEST_F(ScriptFiles, SavingTwiceKeepsOnlyTheSecond) {
  SaveScriptFile(path, "_first_long_script");
  SaveScriptFile(path, "_b");
  EXPECT_EQ(ReadBytes(path), "_b\r\n");
}

TEST_F(ScriptFiles, MissingFileNamesPathAndReason) {
  const std::string missing = dir.file("nothing.txt");
  try {
    LoadScriptFile(missing);
    FAIL() << "no error";
  } catch (const EInOutError& e) {
    EXPECT_THAT(e.what(), HasSubstr(missing));
    EXPECT_THAT(e.what(), HasSubstr("No such file"));
  }
}

TEST_F(ScriptFiles, NameDashIsAFileNotStandardInput) {
  // Only the command line reads standard input for "-"; a script file of that
  // name is looked up as a file (there is none in the test's folder).
  ASSERT_FALSE(std::filesystem::exists("-"));
  EXPECT_THROW(LoadScriptFile("-"), EInOutError);
}

TEST_F(ScriptFiles, FailedSaveKeepsTheOldScript) {
  SaveScriptFile(path, "_old");
  const auto result = RunInChild(
      [&] {
        SaveScriptFile(path, std::string(100000, 'n'));
        return std::string("saved");
      },
      false, 1000);
  EXPECT_THAT(result.output, HasSubstr("exception: "));
  EXPECT_THAT(result.output, HasSubstr(path));
  EXPECT_EQ(LoadScriptFile(path), "_old");
}

TEST_F(ScriptFiles, SaveIntoAFolderIsRefused) {
  EXPECT_THROW(SaveScriptFile(dir.path(), "_a"), EInOutError);
}

}  // namespace
}  // namespace tapwell::store
