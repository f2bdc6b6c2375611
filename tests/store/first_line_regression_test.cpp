#include <gtest/gtest.h>

#include "store/textfile.h"

namespace tapwell::store {
namespace {

// The encoding of a file is decided on its whole text, so the first line reads the
// same whether it is read alone or with the rest.
TEST(FirstLineRegression, EncodingIsDecidedOnTheWholeText) {
  // A first line that is valid UTF-8 on its own, in a file that is not.
  const std::string bytes("\xEF\xBB\x86\r\x01\r+\xBF\r\r\xF5", 11);
  const auto lines = SplitLines(DecodeText(bytes));
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(FirstLine(bytes), lines.front());
  // Shift-JIS: "あい" then a second line that makes the file invalid UTF-8.
  EXPECT_EQ(FirstLine("\x82\xA0\x82\xA2\r\n\x83\x65"), "あい");
  EXPECT_EQ(FirstLine("\xE3\x81\x82\r\n\xE3\x81\x84"), "あ");
}

}  // namespace
}  // namespace tapwell::store
