// Button records: one line of text per button, with top, left, height and width
// as four characters each (bytes 1-4, 5-8, 9-12, 13-16) and the caption from
// byte 17 to the end, e.g. 0010002000250075Enter.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace tapwell::store {

enum class RecordField { Top, Left, Height, Width };

inline constexpr std::size_t kRecordFieldWidth = 4;
// The caption starts after the four fields (0-based byte offset).
inline constexpr std::size_t kRecordCaptionStart = 4 * kRecordFieldWidth;

// The editor's label of a field: "上端", "左端", "高さ", "幅".
const char* RecordFieldLabel(RecordField field);

// The four characters of a field; fewer when the record ends inside it, empty
// when it ends before it. Nothing is trimmed.
std::string_view RecordFieldText(std::string_view record, RecordField field);

// The caption: every byte from the 17th to the end, spaces included; empty when
// the record has 16 bytes or fewer.
std::string RecordCaption(std::string_view record);

// Converts the fields with the standard conversion in the order top, left,
// height, width, and hands each to apply right after its own conversion. A field
// that does not convert raises EConvertError "'<field>' は整数ではありません";
// the fields before it have been applied, the later ones are not looked at.
void ApplyRecordFields(std::string_view record,
                       const std::function<void(RecordField field, std::int32_t value)>& apply);

// A whole record at once; raises EConvertError as ApplyRecordFields does.
struct ButtonRecord {
  std::int32_t top = 0;
  std::int32_t left = 0;
  std::int32_t height = 0;
  std::int32_t width = 0;
  std::string caption;
};
ButtonRecord ParseButtonRecord(std::string_view record);

// The smallest and largest numbers that fit a field of four characters.
inline constexpr std::int32_t kRecordMin = -999;
inline constexpr std::int32_t kRecordMax = 9999;

// A number as a record field of exactly four characters: 0 to 9999 as four
// digits padded with zeros, -999 to -1 as "-" and three digits (-5 gives
// "-005"). Any other number does not fit: EConvertError naming the field and
// the number.
std::string FormatRecordNumber(RecordField field, std::int32_t value);

// The editor's record: converts the texts of top, left, height and width in this
// order (each with the standard conversion, then checked to fit), and appends the
// caption unchanged. Raises EConvertError for the first field that fails, so
// that nothing is made from a record whose columns would not line up.
std::string RecordFromEditor(std::string_view top, std::string_view left, std::string_view height,
                             std::string_view width, std::string_view caption);

}  // namespace tapwell::store
