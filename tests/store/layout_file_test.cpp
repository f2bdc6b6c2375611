#include "store/layout_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>

#include "core/errors.h"
#include "engine/keynames.h"
#include "store/button_record.h"
#include "test_support.h"

namespace tapwell::store {
namespace {

using test::ReadBytes;
using test::RunInChild;
using test::TempDir;
using test::WriteBytes;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
namespace fs = std::filesystem;

class LayoutFiles : public ::testing::Test {
 protected:
  TempDir dir;
  std::string keyTxt = dir.file("key.txt");
};

TEST_F(LayoutFiles, EmptyLinesAreSkipped) {
  WriteBytes(keyTxt, "0000000000200020A\r\n\r\n\r\n0000002000200020B\r\n\r\n");
  EXPECT_THAT(ReadLayoutRecords(keyTxt), ElementsAre("0000000000200020A", "0000002000200020B"));
}

TEST_F(LayoutFiles, LineFeedEndsARecordAndSavesBackTheSame) {
  WriteBytes(keyTxt, "0000000000200020A\n0000002000200020B\n");
  EXPECT_THAT(ReadLayoutRecords(keyTxt), ElementsAre("0000000000200020A", "0000002000200020B"));
  SaveRecordList(keyTxt, "0000000000200020A\n0000002000200020B");
  EXPECT_THAT(ReadLayoutRecords(keyTxt), ElementsAre("0000000000200020A", "0000002000200020B"));
}

TEST_F(LayoutFiles, TextFileRulesApply) {
  WriteBytes(keyTxt,
             "\xEF\xBB\xBF"
             "0000000000200020A\r0000000000200020\x95\x5C\r\n\x1A"
             "0000000000200020C\r\n");
  // Shift-JIS fallback for the whole file: "表" ends in the byte of a backslash.
  EXPECT_THAT(ReadLayoutRecords(keyTxt), ElementsAre("0000000000200020A", "0000000000200020表"));
}

TEST_F(LayoutFiles, MissingFileIsAnInputOutputError) {
  try {
    ReadLayoutRecords(keyTxt);
    FAIL() << "no error";
  } catch (const EInOutError& e) {
    EXPECT_THAT(e.what(), HasSubstr(keyTxt));
  }
}

TEST(RecordListFileText, EveryLineEndsInCrLf) {
  EXPECT_EQ(RecordListFileText(""), "\r\n");
  EXPECT_EQ(RecordListFileText("a"), "a\r\n");
  EXPECT_EQ(RecordListFileText("a\nb"), "a\r\nb\r\n");
  EXPECT_EQ(RecordListFileText("a\r\nb"), "a\r\nb\r\n");
  EXPECT_EQ(RecordListFileText("a\rb"), "a\r\nb\r\n");
  // A list that ends with a line break ends with an empty line.
  EXPECT_EQ(RecordListFileText("a\nb\n"), "a\r\nb\r\n\r\n");
  EXPECT_EQ(RecordListFileText("a\r\n\r\nb"), "a\r\n\r\nb\r\n");
}

TEST_F(LayoutFiles, EmptyListSavesTwoBytesAndLoadsNothing) {
  SaveRecordList(keyTxt, "");
  EXPECT_EQ(ReadBytes(keyTxt), "\r\n");
  EXPECT_THAT(ReadLayoutRecords(keyTxt), IsEmpty());
}

TEST_F(LayoutFiles, SavedListLoadsBack) {
  SaveRecordList(keyTxt, "0010002000250075Enter\n-005000000200020 a \n0000000000200020表示\n");
  EXPECT_THAT(ReadLayoutRecords(keyTxt),
              ElementsAre("0010002000250075Enter", "-005000000200020 a ", "0000000000200020表示"));
}

TEST_F(LayoutFiles, FailedSaveKeepsTheOldFile) {
  SaveRecordList(keyTxt, "0000000000200020A");
  const std::string big(50000, 'x');
  const auto result = RunInChild(
      [&] {
        SaveRecordList(keyTxt, big);
        return std::string("saved");
      },
      false, 1000);
  EXPECT_THAT(result.output, HasSubstr("exception: "));
  EXPECT_EQ(ReadBytes(keyTxt), "0000000000200020A\r\n");
}

TEST_F(LayoutFiles, LookupPrefersTheDataFolder) {
  TempDir shipped;
  const std::string data = dir.path() + "/";
  WriteBytes(shipped.file("sample1"), "shipped");

  EXPECT_EQ(LayoutFilePath(data, "sample1", shipped.path()), shipped.file("sample1"));
  EXPECT_EQ(LayoutFilePath(data, "sample1", shipped.path() + "/"), shipped.file("sample1"));

  WriteBytes(dir.file("sample1"), "own");
  EXPECT_EQ(LayoutFilePath(data, "sample1", shipped.path()), data + "sample1");

  // Neither: the data folder's path, whose reading reports the missing file.
  EXPECT_EQ(LayoutFilePath(data, "other", shipped.path()), data + "other");
  EXPECT_EQ(LayoutFilePath(data, "sample1x", ""), data + "sample1x");

  // Something else of that name in the data folder is still the user's.
  fs::create_directory(dir.file("folder"));
  fs::create_directory(shipped.file("folder"));
  EXPECT_EQ(LayoutFilePath(data, "folder", shipped.path()), data + "folder");
  EXPECT_EQ(LayoutFilePath(data, "", shipped.path()), data);
}

// The layouts shipped with the program: full keyboards of key commands.
class ShippedLayout : public ::testing::TestWithParam<const char*> {
 protected:
  static std::string Folder() { return std::string(TAPWELL_SOURCE_DIR) + "/packaging/layouts"; }
};

bool IsKeyCommand(const std::string& caption) {
  if (caption.size() < 2 || std::string("_<>").find(caption[0]) == std::string::npos) return false;
  std::string token = caption.substr(1);
  if (token.find_first_of("><_!#*\"") != std::string::npos) return false;
  for (char& c : token) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (FindKeyName(token)) return true;
  return token.size() == 1 && UsKeyForCharacter(token[0]).has_value();
}

TEST_P(ShippedLayout, EveryRecordIsAKeyThatDoesNotOverlapAnother) {
  TempDir emptyData;
  const std::string path = LayoutFilePath(emptyData.path() + "/", GetParam(), Folder());
  ASSERT_EQ(path, Folder() + "/" + GetParam());
  const std::vector<std::string> records = ReadLayoutRecords(path);
  // Written as the program writes layout files.
  EXPECT_EQ(ReadBytes(path).substr(ReadBytes(path).size() - 2), "\r\n");

  std::vector<ButtonRecord> keys;
  std::set<std::string> captions;
  for (const std::string& record : records) {
    SCOPED_TRACE(record);
    const ButtonRecord key = ParseButtonRecord(record);
    EXPECT_TRUE(IsKeyCommand(key.caption));
    EXPECT_GE(key.top, 0);
    EXPECT_GE(key.left, 0);
    EXPECT_GE(key.height, 18);
    EXPECT_GE(key.width, 18);
    for (const ButtonRecord& other : keys) {
      const bool apart = key.left >= other.left + other.width || other.left >= key.left + key.width ||
                         key.top >= other.top + other.height || other.top >= key.top + key.height;
      EXPECT_TRUE(apart) << "overlaps " << other.caption;
    }
    keys.push_back(key);
    captions.insert(key.caption);
  }
  for (const char* needed : {"_enter", "_space", "_bs", "_tab", "_esc", ">shift", "<shift", ">ctrl", "<ctrl",
                             ">alt", "<alt", "_kanji", "_left", "_right", "_up", "_down"}) {
    EXPECT_EQ(captions.count(needed), 1u) << needed;
  }
  for (char c = 'a'; c <= 'z'; ++c) EXPECT_EQ(captions.count(std::string("_") + c), 1u) << c;
  for (char c = '0'; c <= '9'; ++c) EXPECT_EQ(captions.count(std::string("_") + c), 1u) << c;
}

TEST(ShippedLayoutSize, Sample1FitsTheKeyboardWindow) {
  // The keyboard window is 200 x 300 with its frame: about 190 x 265 inside.
  for (const std::string& record :
       ReadLayoutRecords(std::string(TAPWELL_SOURCE_DIR) + "/packaging/layouts/sample1")) {
    const ButtonRecord key = ParseButtonRecord(record);
    EXPECT_LE(key.left + key.width, 190) << record;
    EXPECT_LE(key.top + key.height, 265) << record;
  }
}

INSTANTIATE_TEST_SUITE_P(Layouts, ShippedLayout, ::testing::Values("sample1", "ThinkPad235"));

}  // namespace
}  // namespace tapwell::store

namespace tapwell::store {
namespace {

using test::TempDir;
using test::WriteBytes;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

struct LoadLog {
  std::vector<std::string> steps;
  std::string failOn;
  void Load(const std::string& path) {
    LoadLayout(
        path,
        [&](const std::string& r) {
          steps.push_back("make " + r);
          if (!failOn.empty() && r == failOn) ParseButtonRecord(r);
        },
        [&](const std::string& r) { steps.push_back("add " + r); });
  }
};

TEST(LoadLayout, MakesThenAddsEveryNonEmptyLine) {
  TempDir dir;
  WriteBytes(dir.file("key.txt"), "0000000000200020A\r\n\r\n0000002000200020B\r\n");
  LoadLog log;
  log.Load(dir.file("key.txt"));
  EXPECT_THAT(log.steps, ElementsAre("make 0000000000200020A", "add 0000000000200020A",
                                     "make 0000002000200020B", "add 0000002000200020B"));
}

TEST(LoadLayout, FailingRecordInTheMiddleStopsBeforeItsLine) {
  TempDir dir;
  WriteBytes(dir.file("key.txt"), "0000000000200020A\r\n00x0000000200020B\r\n0000004000200020C\r\n");
  LoadLog log;
  log.failOn = "00x0000000200020B";
  EXPECT_THROW(log.Load(dir.file("key.txt")), EConvertError);
  EXPECT_THAT(log.steps,
              ElementsAre("make 0000000000200020A", "add 0000000000200020A", "make 00x0000000200020B"));
}

TEST(LoadLayout, MissingFileMakesNothing) {
  TempDir dir;
  LoadLog log;
  EXPECT_THROW(log.Load(dir.file("key.txt")), EInOutError);
  EXPECT_THAT(log.steps, IsEmpty());
}

TEST(AppendRecordLine, ReplacesAnEmptyLastLine) {
  EXPECT_EQ(AppendRecordLine("", "R"), "R");
  EXPECT_EQ(AppendRecordLine("A", "R"), "A\nR");
  EXPECT_EQ(AppendRecordLine("A\n", "R"), "A\nR");
  EXPECT_EQ(AppendRecordLine("A\n\n", "R"), "A\n\nR");
  EXPECT_EQ(AppendRecordLine(AppendRecordLine("", "R"), "S"), "R\nS");
}

TEST(ShippedLayoutFolder, InstalledPortableAndBuildTree) {
  TempDir dir;
  namespace fs = std::filesystem;
  // Installed: <prefix>/bin/tapwell with <prefix>/share/tapwell/layouts.
  fs::create_directories(dir.file("prefix/bin"));
  fs::create_directories(dir.file("prefix/share/tapwell/layouts"));
  EXPECT_EQ(ShippedLayoutFolder(dir.file("prefix/bin/tapwell")), dir.file("prefix/share/tapwell/layouts"));
  // Portable or a build tree: layouts beside the program.
  fs::create_directories(dir.file("portable/layouts"));
  EXPECT_EQ(ShippedLayoutFolder(dir.file("portable/tapwell")), dir.file("portable/layouts"));
  // A bin folder without the installed data: beside it too.
  EXPECT_EQ(ShippedLayoutFolder(dir.file("bin/tapwell")), dir.file("bin/layouts"));
}

}  // namespace
}  // namespace tapwell::store
