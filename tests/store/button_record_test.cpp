#include "store/button_record.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "core/errors.h"

namespace tapwell::store {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using Applied = std::vector<std::pair<RecordField, std::int32_t>>;

// Applies a record field by field and returns what was applied before it ended.
Applied ApplyAll(std::string_view record) {
  Applied applied;
  ApplyRecordFields(record,
                    [&](RecordField field, std::int32_t value) { applied.emplace_back(field, value); });
  return applied;
}

std::string ConversionError(std::string_view record) {
  try {
    ApplyAll(record);
  } catch (const EConvertError& e) {
    return e.what();
  }
  return "no error";
}

TEST(ButtonRecord, FieldsInTheOrderTopLeftHeightWidth) {
  const ButtonRecord r = ParseButtonRecord("0010002000250075Enter");
  EXPECT_EQ(r.top, 10);
  EXPECT_EQ(r.left, 20);
  EXPECT_EQ(r.height, 25);
  EXPECT_EQ(r.width, 75);
  EXPECT_EQ(r.caption, "Enter");
  EXPECT_THAT(ApplyAll("0010002000250075Enter"),
              ElementsAre(std::pair{RecordField::Top, 10}, std::pair{RecordField::Left, 20},
                          std::pair{RecordField::Height, 25}, std::pair{RecordField::Width, 75}));
}

TEST(ButtonRecord, SixteenDigitsGiveAnEmptyCaption) {
  const ButtonRecord r = ParseButtonRecord("0001000200030004");
  EXPECT_EQ(r.caption, "");
  EXPECT_EQ(r.width, 4);
}

TEST(ButtonRecord, CaptionIsTakenWholeFromByte17) {
  EXPECT_EQ(RecordCaption("0000000000200020  a b  "), "  a b  ");
  EXPECT_EQ(RecordCaption("0000000000200020&&"), "&&");
  EXPECT_EQ(RecordCaption("0000000000200020>Shift"), ">Shift");
  EXPECT_EQ(RecordCaption("0000000000200020削除"), "削除");
  EXPECT_EQ(RecordCaption("0000000000200020a\nb\n"), "a\nb\n");
  EXPECT_EQ(RecordCaption("000000000020002"), "");
  EXPECT_EQ(RecordCaption(""), "");
}

TEST(ButtonRecord, FieldsAreFourCharactersWithLeadingSpacesOnly) {
  EXPECT_EQ(ParseButtonRecord("  12000000200020").top, 12);
  EXPECT_EQ(ConversionError("12  000000200020"), "'12  ' は整数ではありません");
  // Signs and hexadecimal, as the standard conversion reads them.
  const ButtonRecord r = ParseButtonRecord("-005+010$00A 999x");
  EXPECT_EQ(r.top, -5);
  EXPECT_EQ(r.left, 10);
  EXPECT_EQ(r.height, 10);
  EXPECT_EQ(r.width, 999);
  EXPECT_EQ(r.caption, "x");
}

TEST(ButtonRecord, FailingFieldEndsAfterTheEarlierOnes) {
  Applied applied;
  try {
    ApplyRecordFields("00100020zz250075Enter",
                      [&](RecordField field, std::int32_t value) { applied.emplace_back(field, value); });
    FAIL() << "no error";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'zz25' は整数ではありません");
  }
  EXPECT_THAT(applied, ElementsAre(std::pair{RecordField::Top, 10}, std::pair{RecordField::Left, 20}));

  applied.clear();
  EXPECT_THROW(ApplyRecordFields("abcd", [&](RecordField f, std::int32_t v) { applied.emplace_back(f, v); }),
               EConvertError);
  EXPECT_THAT(applied, IsEmpty());
}

TEST(ButtonRecord, ShortRecordHoldsOnlyWhatIsThere) {
  // Width is "7": a shortened field that still holds a number.
  const ButtonRecord r = ParseButtonRecord("0010002000257");
  EXPECT_EQ(r.width, 7);
  EXPECT_EQ(r.caption, "");
  // Width lies wholly past the end: the empty text does not convert.
  EXPECT_EQ(ConversionError("000100020003"), "'' は整数ではありません");
  Applied applied;
  EXPECT_THROW(
      ApplyRecordFields("00010002000", [&](RecordField f, std::int32_t v) { applied.emplace_back(f, v); }),
      EConvertError);
  EXPECT_THAT(applied, ElementsAre(std::pair{RecordField::Top, 1}, std::pair{RecordField::Left, 2},
                                   std::pair{RecordField::Height, 0}));
  EXPECT_EQ(ConversionError(""), "'' は整数ではありません");
}

TEST(ButtonRecord, FieldTextIsCutByBytes) {
  EXPECT_EQ(RecordFieldText("0010002000250075Enter", RecordField::Left), "0020");
  EXPECT_EQ(RecordFieldText("00100", RecordField::Left), "0");
  EXPECT_EQ(RecordFieldText("00100", RecordField::Height), "");
}

TEST(FormatRecordNumber, FourCharactersExactly) {
  EXPECT_EQ(FormatRecordNumber(RecordField::Top, 0), "0000");
  EXPECT_EQ(FormatRecordNumber(RecordField::Top, 20), "0020");
  EXPECT_EQ(FormatRecordNumber(RecordField::Top, 9999), "9999");
  EXPECT_EQ(FormatRecordNumber(RecordField::Left, -5), "-005");
  EXPECT_EQ(FormatRecordNumber(RecordField::Left, -999), "-999");
  EXPECT_EQ(FormatRecordNumber(RecordField::Left, -1), "-001");
}

TEST(FormatRecordNumber, NumbersThatDoNotFitNameTheField) {
  const std::pair<RecordField, std::int32_t> cases[] = {{RecordField::Top, 10000},
                                                        {RecordField::Left, -1000},
                                                        {RecordField::Height, 2147483647},
                                                        {RecordField::Width, -2147483647 - 1}};
  const char* labels[] = {"上端", "左端", "高さ", "幅"};
  for (std::size_t i = 0; i < 4; ++i) {
    try {
      FormatRecordNumber(cases[i].first, cases[i].second);
      ADD_FAILURE() << "no error for " << cases[i].second;
    } catch (const EConvertError& e) {
      EXPECT_THAT(e.what(), HasSubstr(labels[i]));
      EXPECT_THAT(e.what(), HasSubstr(std::to_string(cases[i].second)));
    }
  }
}

TEST(RecordFromEditor, StartValuesAndCaption) {
  EXPECT_EQ(RecordFromEditor("0", "0", "20", "20", "A"), "0000000000200020A");
  EXPECT_EQ(RecordFromEditor("10", "20", "25", "75", "Enter"), "0010002000250075Enter");
  EXPECT_EQ(RecordFromEditor(" 7", "$10", "+3", "4", " cap "), "0007001600030004 cap ");
}

TEST(RecordFromEditor, NegativeNumbersReadBackExactly) {
  const std::string record = RecordFromEditor("-5", "0", "20", "20", "A");
  EXPECT_EQ(record, "-005000000200020A");
  const ButtonRecord r = ParseButtonRecord(record);
  EXPECT_EQ(r.top, -5);
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.height, 20);
  EXPECT_EQ(r.width, 20);
  EXPECT_EQ(r.caption, "A");
}

TEST(RecordFromEditor, FirstFailingFieldInOrderIsReported) {
  auto error = [](std::string_view t, std::string_view l, std::string_view h, std::string_view w) {
    try {
      RecordFromEditor(t, l, h, w, "A");
    } catch (const EConvertError& e) {
      return std::string(e.what());
    }
    return std::string("no error");
  };
  EXPECT_EQ(error("", "", "", ""), "'' は整数ではありません");
  EXPECT_EQ(error("0", "x", "", ""), "'x' は整数ではありません");
  EXPECT_EQ(error("0", "0", "20", "2 0"), "'2 0' は整数ではありません");
  // A number that does not fit comes before a later text that does not convert.
  EXPECT_THAT(error("0", "10000", "x", "20"), HasSubstr("左端"));
  EXPECT_THAT(error("-1000", "0", "20", "20"), HasSubstr("上端"));
  EXPECT_THAT(error("0", "0", "20", "12345"), HasSubstr("幅"));
}

}  // namespace
}  // namespace tapwell::store
