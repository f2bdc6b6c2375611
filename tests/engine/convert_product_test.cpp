#include <gtest/gtest.h>

#include "core/convert.h"
#include "core/errors.h"
#include "core/product.h"

namespace tapwell {
namespace {

TEST(StrToInt, AcceptsSpacesSignsDecimalsAndHex) {
  EXPECT_EQ(StrToInt("0"), 0);
  EXPECT_EQ(StrToInt("0012"), 12);
  EXPECT_EQ(StrToInt("  12"), 12);
  EXPECT_EQ(StrToInt("+7"), 7);
  EXPECT_EQ(StrToInt("-0005"), -5);
  EXPECT_EQ(StrToInt("$1F"), 31);
  EXPECT_EQ(StrToInt("$ff"), 255);
  EXPECT_EQ(StrToInt("  $10"), 16);
  EXPECT_EQ(StrToInt("2147483647"), 2147483647);
  EXPECT_EQ(StrToInt("-2147483648"), -2147483647 - 1);
  EXPECT_EQ(StrToInt("$FFFFFFFF"), -1);
}

TEST(StrToInt, RejectsEverythingElseWithTheMessage) {
  for (const char* bad : {"", " ", "12  ", "1 2", "+", "-", "$", "$G", "0x10", "1.5", "abc", "+-1", "2147483648",
                          "-2147483649", "$100000000", "\t1", "１２"}) {
    EXPECT_FALSE(TryStrToInt(bad).has_value()) << bad;
    try {
      StrToInt(bad);
      ADD_FAILURE() << "no error for '" << bad << "'";
    } catch (const EConvertError& e) {
      EXPECT_EQ(std::string(e.what()), "'" + std::string(bad) + "' は整数ではありません");
    }
  }
}

TEST(DefaultReport, AppendsAPointOnlyAfterCharactersThatSortAfterIt) {
  EXPECT_EQ(DefaultReportText("Registration Error"), "Registration Error.");
  EXPECT_EQ(DefaultReportText("'x' は整数ではありません"), "'x' は整数ではありません.");
  EXPECT_EQ(DefaultReportText("done."), "done.");
  EXPECT_EQ(DefaultReportText("a, b"), "a, b.");
  EXPECT_EQ(DefaultReportText("(x)"), "(x)");
  EXPECT_EQ(DefaultReportText("50%"), "50%");
  EXPECT_EQ(DefaultReportText(""), "");
}

TEST(Product, VersionStringHasNoLeadingZeros) {
  EXPECT_EQ(VersionString(0, 0, 4, 9), "Version 0.0.4.9");
  EXPECT_EQ(VersionString(1, 10, 0, 255), "Version 1.10.0.255");
  EXPECT_EQ(VersionString(65535, 0, 0, 0), "Version 65535.0.0.0");
}

TEST(Product, FolderAndFileNameParts) {
  EXPECT_EQ(GetFilePassName("C:\\Tools\\app.exe"), "C:\\Tools\\");
  EXPECT_EQ(GetFilePassName("C:\\Tools/app.exe"), "C:\\Tools/");
  EXPECT_EQ(GetFilePassName("/usr/bin/"), "/usr/bin/");
  EXPECT_EQ(GetFilePassName("app.exe"), "");
  EXPECT_EQ(GetFilePassName(""), "");
  EXPECT_EQ(GetFileName("C:\\Tools\\app.exe"), "app.exe");
  EXPECT_EQ(GetFileName("/opt/tapwell/tapwell"), "tapwell");
  EXPECT_EQ(GetFileName("app.exe"), "app.exe");
  EXPECT_EQ(GetFileName("C:\\Tools\\"), "");
}

}  // namespace
}  // namespace tapwell
