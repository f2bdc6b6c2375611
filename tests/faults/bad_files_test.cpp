// Script and layout files that are huge, binary, not UTF-8 and not Shift-JIS,
// or full of NUL bytes: the readers finish, nothing crashes, and what comes out
// is valid text with a clear result.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "core/errors.h"
#include "store/button_record.h"
#include "store/layout_file.h"
#include "store/script_file.h"
#include "store/textfile.h"
#include "x_session.h"

namespace {

using tapwell::store::IsValidUtf8;
using ::testing::HasSubstr;

constexpr std::size_t kTenMegabytes = 10u * 1024u * 1024u;

// Deterministic bytes without CR and 0x1A, which would end the first line or the
// text early.
std::string BinaryBytes(std::size_t size, std::uint32_t seed) {
  std::string out(size, '\0');
  std::uint32_t x = seed;
  for (std::size_t i = 0; i < size; ++i) {
    x = x * 1664525u + 1013904223u;
    auto b = static_cast<unsigned char>(x >> 24);
    if (b == 0x0D || b == 0x1A) b = 0x00;
    out[i] = static_cast<char>(b);
  }
  return out;
}

// Bytes that are valid neither as UTF-8 nor as Shift-JIS (CP932): stray trail
// bytes, lead bytes without a trail, and bytes no table has.
const std::string kNeitherEncoding = std::string("_a\"") + "\x80\xA0\xFD\xFE\xFF\x81\x20\x82" + "\"_b";

xs::Result DryRunFile(const std::string& path) {
  return xs::Run({xs::TapwellPath(), "--dry-run-file", path}, xs::Environment({}), 120000);
}

// The real program's dry run of bad script files.
TEST(BadScriptFile, TenMegabytesAfterTheFirstLineAreNotNeeded) {
  xs::TempFolder tmp;
  std::string text = "_a\r\n";
  while (text.size() < kTenMegabytes) text += "0010002000250075Enter\r\n";
  xs::WriteFile(tmp.file("big.txt"), text);
  const xs::Result r = DryRunFile(tmp.file("big.txt"));
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "1 down 65\n1 up 65\n2 end\n");
}

TEST(BadScriptFile, TenMegabytesOfBinaryEndWithCommandErrorsAndNoCrash) {
  xs::TempFolder tmp;
  xs::WriteFile(tmp.file("binary.bin"), BinaryBytes(kTenMegabytes, 7));
  const xs::Result r = DryRunFile(tmp.file("binary.bin"));
  // A command error is a failed script, not a crash or a usage error.
  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_THAT(r.out, HasSubstr(" error "));
  EXPECT_THAT(r.out, HasSubstr(" end\n"));
  // Every byte that is not plain text reaches the terminal escaped.
  for (char c : r.out) {
    const auto b = static_cast<unsigned char>(c);
    EXPECT_TRUE(b == '\n' || (b >= 0x20 && b < 0x7F) || b >= 0x80) << static_cast<int>(b);
    if (!(b == '\n' || (b >= 0x20 && b < 0x7F) || b >= 0x80)) break;
  }
  EXPECT_TRUE(IsValidUtf8(r.out));
}

TEST(BadScriptFile, AOneMegabyteScriptLineRunsToItsEnd) {
  xs::TempFolder tmp;
  std::string script;
  while (script.size() < 1024u * 1024u) script += "_a";
  xs::WriteFile(tmp.file("long.txt"), script + "\r\n");
  const xs::Result r = DryRunFile(tmp.file("long.txt"));
  EXPECT_EQ(r.code, 0) << r.err;
  const std::size_t strokes = script.size() / 2;
  std::size_t ups = 0;
  for (std::size_t at = r.out.find(" up 65\n"); at != std::string::npos; at = r.out.find(" up 65\n", at + 1))
    ++ups;
  EXPECT_EQ(ups, strokes);
  EXPECT_THAT(r.out, HasSubstr(std::to_string(strokes + 1) + " end\n"));
}

TEST(BadScriptFile, NulBytesAreCommandErrorsShownEscaped) {
  xs::TempFolder tmp;
  // A NUL inside a literal is a character without a key; one where a command
  // belongs is a command error that ends the script.
  xs::WriteFile(tmp.file("nul.txt"), std::string("_a\"x\0y\"\0_b", 10) + "\r\n");
  const xs::Result r = DryRunFile(tmp.file("nul.txt"));
  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_EQ(r.out,
            "1 down 65\n1 up 65\n2 down 88\n2 up 88\n2 down 255\n2 up 255\n2 down 89\n2 up 89\n"
            "3 error コマンドエラー [\\x00]\n4 end\n");
}

TEST(BadScriptFile, BytesOfNeitherEncodingGiveValidTextAndAResult) {
  xs::TempFolder tmp;
  xs::WriteFile(tmp.file("neither.txt"), kNeitherEncoding + "\r\n");
  const xs::Result r = DryRunFile(tmp.file("neither.txt"));
  EXPECT_TRUE(r.code == 0 || r.code == 1) << r.code << " " << r.err;
  EXPECT_TRUE(IsValidUtf8(r.out));
  EXPECT_THAT(r.out, HasSubstr(" down 65\n"));
  EXPECT_THAT(r.out, HasSubstr(" down 66\n"));
  EXPECT_THAT(r.out, HasSubstr(" end\n"));
}

TEST(BadScriptFile, AFolderOrAMissingFileIsAUsageErrorNamingIt) {
  xs::TempFolder tmp;
  xs::Result r = DryRunFile(tmp.path());
  EXPECT_EQ(r.code, 2);
  EXPECT_THAT(r.err, HasSubstr(tmp.path()));
  r = DryRunFile(tmp.file("missing.txt"));
  EXPECT_EQ(r.code, 2);
  EXPECT_THAT(r.err, HasSubstr(tmp.file("missing.txt")));
}

// The store's readers directly.
TEST(BadScriptFile, StoreReaderTakesTheWholeHugeLineAndValidText) {
  xs::TempFolder tmp;
  std::string line(kTenMegabytes, 'a');
  xs::WriteFile(tmp.file("a.txt"), line);
  EXPECT_EQ(tapwell::store::LoadScriptFile(tmp.file("a.txt")).size(), kTenMegabytes);

  xs::WriteFile(tmp.file("bin.txt"), BinaryBytes(kTenMegabytes, 11));
  const std::string binary = tapwell::store::LoadScriptFile(tmp.file("bin.txt"));
  EXPECT_TRUE(IsValidUtf8(binary));
  EXPECT_FALSE(binary.empty());

  xs::WriteFile(tmp.file("neither.txt"), kNeitherEncoding);
  const std::string neither = tapwell::store::LoadScriptFile(tmp.file("neither.txt"));
  EXPECT_TRUE(IsValidUtf8(neither));
  EXPECT_EQ(neither.substr(0, 3), "_a\"");
  EXPECT_EQ(neither.substr(neither.size() - 3), "\"_b");

  // NUL bytes stay in the script, where the stepper reports them.
  xs::WriteFile(tmp.file("nul.txt"), std::string("_a\0_b\r\n_c", 9));
  EXPECT_EQ(tapwell::store::LoadScriptFile(tmp.file("nul.txt")), std::string("_a\0_b", 5));
}

TEST(BadLayoutFile, AHundredThousandRecordsAreAllMade) {
  xs::TempFolder tmp;
  std::string text;
  for (int i = 0; i < 100000; ++i) {
    text += tapwell::store::FormatRecordNumber(tapwell::store::RecordField::Top, i % 10000) +
            "002000250075B" + std::to_string(i) + "\r\n";
  }
  xs::WriteFile(tmp.file("key.txt"), text);
  std::size_t made = 0;
  std::size_t added = 0;
  std::string last;
  tapwell::store::LoadLayout(
      tmp.file("key.txt"),
      [&](const std::string& record) {
        const auto parsed = tapwell::store::ParseButtonRecord(record);
        last = parsed.caption;
        ++made;
      },
      [&](const std::string&) { ++added; });
  EXPECT_EQ(made, 100000u);
  EXPECT_EQ(added, 100000u);
  EXPECT_EQ(last, "B99999");
}

TEST(BadLayoutFile, TenMegabytesOfBinaryStopAtTheFirstBadRecordWithItsText) {
  xs::TempFolder tmp;
  xs::WriteFile(tmp.file("bin.txt"), BinaryBytes(kTenMegabytes, 3));
  std::size_t made = 0;
  std::string error;
  try {
    tapwell::store::LoadLayout(
        tmp.file("bin.txt"), [&](const std::string& record) { tapwell::store::ParseButtonRecord(record); },
        [&](const std::string&) { ++made; });
  } catch (const tapwell::EConvertError& e) {
    error = e.what();
  }
  EXPECT_EQ(made, 0u);
  EXPECT_THAT(error, HasSubstr("は整数ではありません"));
  EXPECT_TRUE(IsValidUtf8(error));
}

TEST(BadLayoutFile, NulBytesAndNeitherEncodingStayInsideTheirRecords) {
  xs::TempFolder tmp;
  const std::string nulCaption("A\0B", 3);
  xs::WriteFile(tmp.file("odd.txt"), "0001000200030004" + nulCaption + "\r\n" + "0001000200030004" +
                                         std::string("\x80\xFF\x81", 3) + "\r\n\r\n");
  const auto records = tapwell::store::ReadLayoutRecords(tmp.file("odd.txt"));
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(tapwell::store::ParseButtonRecord(records[0]).caption, nulCaption);
  EXPECT_TRUE(IsValidUtf8(records[1]));
  EXPECT_EQ(tapwell::store::ParseButtonRecord(records[1]).width, 4);
}

TEST(BadLayoutFile, AFolderInPlaceOfTheFileIsAnInputErrorNamingIt) {
  xs::TempFolder tmp;
  std::string error;
  try {
    tapwell::store::ReadLayoutRecords(tmp.path());
  } catch (const tapwell::EInOutError& e) {
    error = e.what();
  }
  EXPECT_THAT(error, HasSubstr(tmp.path()));
}

}  // namespace
