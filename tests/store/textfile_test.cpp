#include "store/textfile.h"
#include "core/atomic_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "core/errors.h"
#include "test_support.h"

namespace tapwell::store {
namespace {

using test::FileMode;
using test::ReadBytes;
using test::RunInChild;
using test::TempDir;
using test::WriteBytes;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
namespace fs = std::filesystem;

// "日本語" and "表示" in Shift-JIS; the second character of "表" is 0x5C, the
// backslash of ASCII, which a byte-wise reader must not take for one.
const std::string kSjisNihongo = "\x93\xFA\x96\x7B\x8C\xEA";
const std::string kSjisHyouji = "\x95\x5C\x8E\xA6";

TEST(DecodeText, Utf8PassesUnchanged) {
  EXPECT_EQ(DecodeText("abc"), "abc");
  EXPECT_EQ(DecodeText("日本語 _enter"), "日本語 _enter");
  EXPECT_EQ(DecodeText(""), "");
}

TEST(DecodeText, ByteOrderMarkIsDropped) {
  EXPECT_EQ(DecodeText("\xEF\xBB\xBF"
                       "abc"),
            "abc");
  EXPECT_EQ(DecodeText("\xEF\xBB\xBF"), "");
  // Only at the start.
  EXPECT_EQ(DecodeText("a\xEF\xBB\xBF"), "a\xEF\xBB\xBF");
}

TEST(DecodeText, Byte1AEndsTheText) {
  EXPECT_EQ(DecodeText("abc\x1A"
                       "def"),
            "abc");
  EXPECT_EQ(DecodeText("\x1A"
                       "abc"),
            "");
  // Behind 0x1A even bytes that are not UTF-8 do not count.
  EXPECT_EQ(DecodeText("日本\x1A\x82"), "日本");
}

TEST(DecodeText, ShiftJisFallback) {
  EXPECT_EQ(DecodeText(kSjisNihongo), "日本語");
  EXPECT_EQ(DecodeText(kSjisHyouji), "表示");
  EXPECT_EQ(DecodeText("_a" + kSjisHyouji + "\\_enter"), "_a表示\\_enter");
  // Half-width katakana are single bytes in Shift-JIS.
  EXPECT_EQ(DecodeText("\xB1\xB2"), "ｱｲ");
  // Windows' extensions: the circled digit one and the wave dash of CP932.
  EXPECT_EQ(DecodeText("\x87\x40\x81\x60"), "①～");
}

TEST(DecodeText, BytesOfNeitherEncodingStayValidText) {
  const std::string decoded = DecodeText(
      "a\x80"
      "b\xFD");
  EXPECT_TRUE(IsValidUtf8(decoded));
  EXPECT_EQ(decoded.front(), 'a');
  EXPECT_THAT(decoded, HasSubstr("b"));
  EXPECT_THAT(decoded, HasSubstr("\xEF\xBF\xBD"));
}

TEST(IsValidUtf8, RejectsMalformedSequences) {
  EXPECT_TRUE(IsValidUtf8("abc 日本 \xF0\x9F\x98\x80"));
  EXPECT_FALSE(IsValidUtf8("\xC0\x80"));          // overlong
  EXPECT_FALSE(IsValidUtf8("\xE0\x80\xAF"));      // overlong
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));      // surrogate
  EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));  // above U+10FFFF
  EXPECT_FALSE(IsValidUtf8("\xE3\x81"));          // cut short
  EXPECT_FALSE(IsValidUtf8("\x80"));
  EXPECT_FALSE(IsValidUtf8(kSjisNihongo));
}

TEST(SplitLines, LineEnds) {
  EXPECT_THAT(SplitLines(""), IsEmpty());
  EXPECT_THAT(SplitLines("abc"), ElementsAre("abc"));
  EXPECT_THAT(SplitLines("a\r\nb\r\n"), ElementsAre("a", "b"));
  EXPECT_THAT(SplitLines("a\rb"), ElementsAre("a", "b"));
  EXPECT_THAT(SplitLines("\r\n"), ElementsAre(""));
  EXPECT_THAT(SplitLines("a\r\n\r\nb"), ElementsAre("a", "", "b"));
  // The LF belongs to the CR right before it only.
  EXPECT_THAT(SplitLines("a\r\r\nb"), ElementsAre("a", "", "b"));
  EXPECT_THAT(SplitLines("a\r\n\nb"), ElementsAre("a", "", "b"));
  // A file written on Linux ends its lines with LF alone.
  EXPECT_THAT(SplitLines("a\nb\nc\n"), ElementsAre("a", "b", "c"));
  EXPECT_THAT(SplitLines("a\nb\r\nc"), ElementsAre("a", "b", "c"));
  EXPECT_THAT(SplitLines("a\n\r"), ElementsAre("a", ""));
}

TEST(FirstLine, UpToCrOr1AOrTheEnd) {
  EXPECT_EQ(FirstLine(""), "");
  EXPECT_EQ(FirstLine("abc"), "abc");
  EXPECT_EQ(FirstLine("abc\r\ndef\r\n"), "abc");
  EXPECT_EQ(FirstLine("\rabc"), "");
  EXPECT_EQ(FirstLine("\r\nabc"), "");
  EXPECT_EQ(FirstLine("ab\x1A"
                      "c\r\n"),
            "ab");
  EXPECT_EQ(FirstLine("a\nb\r\nc"), "a");
  EXPECT_EQ(FirstLine("\"hi\"_enter\n"), "\"hi\"_enter");
  EXPECT_EQ(FirstLine("\xEF\xBB\xBF\r\nabc"), "");
}

TEST(FirstLine, EncodingIsJudgedOnTheWholeText) {
  // A file is one encoding: the first line reads as it does among all the lines.
  EXPECT_EQ(FirstLine(kSjisNihongo + "\r\n" + kSjisNihongo), "日本語");
  EXPECT_EQ(FirstLine("abc\r\n" + kSjisNihongo), "abc");
  EXPECT_EQ(FirstLine("日本\r\n日本語"), "日本");
}

class TextFiles : public ::testing::Test {
 protected:
  TempDir dir;
};

TEST_F(TextFiles, ReadsLinesOfRealFiles) {
  const std::string path = dir.file("layout");
  WriteBytes(path,
             "\xEF\xBB\xBF"
             "one\r\ntwo\rthree\nstill three\r\n\r\n\x1A"
             "four\r\n");
  EXPECT_THAT(ReadLines(path), ElementsAre("one", "two", "three", "still three", ""));
  EXPECT_EQ(ReadFirstLine(path), "one");

  WriteBytes(path, kSjisHyouji + "\r\n" + kSjisNihongo + "\r\n");
  EXPECT_THAT(ReadLines(path), ElementsAre("表示", "日本語"));

  WriteBytes(path, "");
  EXPECT_THAT(ReadLines(path), IsEmpty());
  EXPECT_EQ(ReadFirstLine(path), "");
}

TEST_F(TextFiles, ReadErrorsNameTheFileAndTheReason) {
  const std::string missing = dir.file("missing.txt");
  try {
    ReadFileBytes(missing);
    FAIL() << "no error";
  } catch (const EInOutError& e) {
    EXPECT_THAT(e.what(), HasSubstr(missing));
    EXPECT_THAT(e.what(), HasSubstr("No such file"));
  }
  try {
    ReadLines(dir.path());
    FAIL() << "no error";
  } catch (const EInOutError& e) {
    EXPECT_THAT(e.what(), HasSubstr(dir.path()));
    EXPECT_THAT(e.what(), HasSubstr("directory"));
  }
}

TEST_F(TextFiles, ReadOfAFileWithoutReadPermissionIsRefused) {
  const std::string path = dir.file("secret.txt");
  WriteBytes(path, "abc\r\n");
  ::chmod(path.c_str(), 0200);
  const auto result = RunInChild([&] { return ReadFirstLine(path); }, true);
  EXPECT_THAT(result.output, HasSubstr("exception: "));
  EXPECT_THAT(result.output, HasSubstr(path));
  EXPECT_THAT(result.output, HasSubstr("Permission denied"));
}

TEST_F(TextFiles, WriteCreatesAndReplaces) {
  const std::string path = dir.file("out.txt");
  const mode_t old = ::umask(022);
  WriteFileAtomic(path, "first\r\n");
  ::umask(old);
  EXPECT_EQ(ReadBytes(path), "first\r\n");
  EXPECT_EQ(FileMode(path), 0644u);

  WriteFileAtomic(path, "");
  EXPECT_EQ(ReadBytes(path), "");
  WriteFileAtomic(path, "second");
  EXPECT_EQ(ReadBytes(path), "second");

  // Nothing but the file is left in the folder.
  int entries = 0;
  for (const auto& entry : fs::directory_iterator(dir.path())) {
    (void)entry;
    ++entries;
  }
  EXPECT_EQ(entries, 1);
}

TEST_F(TextFiles, ReplacedFileKeepsItsPermissions) {
  const std::string path = dir.file("private.txt");
  WriteBytes(path, "old");
  ::chmod(path.c_str(), 0600);
  WriteFileAtomic(path, "new");
  EXPECT_EQ(ReadBytes(path), "new");
  EXPECT_EQ(FileMode(path), 0600u);

  ::chmod(path.c_str(), 0640);
  WriteFileAtomic(path, "newer");
  EXPECT_EQ(FileMode(path), 0640u);
}

TEST_F(TextFiles, SymbolicLinkStaysALink) {
  const std::string target = dir.file("target.txt");
  const std::string link = dir.file("link.txt");
  WriteBytes(target, "old");
  fs::create_symlink(target, link);
  WriteFileAtomic(link, "new");
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadBytes(target), "new");
}

TEST_F(TextFiles, WriteIntoAMissingFolderNamesThePath) {
  const std::string path = dir.file("no/such/folder.txt");
  try {
    WriteFileAtomic(path, "x");
    FAIL() << "no error";
  } catch (const EInOutError& e) {
    EXPECT_THAT(e.what(), HasSubstr(path));
    EXPECT_THAT(e.what(), HasSubstr("No such file"));
  }
}

TEST_F(TextFiles, FolderDeviceAndPipeAreNotReplaced) {
  fs::create_directory(dir.file("folder"));
  EXPECT_THROW(WriteFileAtomic(dir.file("folder"), "x"), EInOutError);
  EXPECT_TRUE(fs::is_directory(dir.file("folder")));

  const std::string fifo = dir.file("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  try {
    WriteFileAtomic(fifo, "x");
    FAIL() << "no error";
  } catch (const EInOutError& e) {
    EXPECT_THAT(e.what(), HasSubstr(fifo));
  }
  EXPECT_TRUE(fs::is_fifo(fifo));
}

// A failed write leaves the old file as it was and no temporary file behind.
class FailedWrite : public TextFiles {
 protected:
  void SetUp() override {
    path = dir.file("keep.txt");
    WriteBytes(path, "old content\r\n");
    ::chmod(path.c_str(), 0666);
  }
  void ExpectOldFileIntact() {
    EXPECT_EQ(ReadBytes(path), "old content\r\n");
    int entries = 0;
    for (const auto& entry : fs::directory_iterator(dir.path())) {
      EXPECT_EQ(entry.path().filename(), "keep.txt");
      ++entries;
    }
    EXPECT_EQ(entries, 1);
  }
  std::string path;
};

TEST_F(FailedWrite, FileSizeLimitExceeded) {
  const std::string big(200000, 'x');
  const auto result = RunInChild(
      [&] {
        WriteFileAtomic(path, big);
        return std::string("written");
      },
      false, 4096);
  EXPECT_THAT(result.output, HasSubstr("exception: "));
  EXPECT_THAT(result.output, HasSubstr(path));
  EXPECT_THAT(result.output, HasSubstr("File too large"));
  ExpectOldFileIntact();
}

TEST_F(FailedWrite, ReadOnlyFolder) {
  ::chmod(dir.path().c_str(), 0555);
  const auto result = RunInChild(
      [&] {
        WriteFileAtomic(path, "new");
        return std::string("written");
      },
      true);
  ::chmod(dir.path().c_str(), 0777);
  EXPECT_THAT(result.output, HasSubstr("exception: "));
  EXPECT_THAT(result.output, HasSubstr(path));
  EXPECT_THAT(result.output, HasSubstr("Permission denied"));
  ExpectOldFileIntact();
}

TEST_F(FailedWrite, ReadOnlyFile) {
  ::chmod(path.c_str(), 0444);
  const auto result = RunInChild(
      [&] {
        WriteFileAtomic(path, "new");
        return std::string("written");
      },
      true);
  EXPECT_THAT(result.output, HasSubstr("exception: "));
  EXPECT_THAT(result.output, HasSubstr("Permission denied"));
  ExpectOldFileIntact();
  EXPECT_EQ(FileMode(path), 0444u);
}

}  // namespace
}  // namespace tapwell::store
