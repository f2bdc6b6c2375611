#include "store/button_record.h"

#include <array>
#include <cstdio>

#include "core/convert.h"
#include "core/errors.h"

namespace tapwell::store {

namespace {

constexpr std::array kFields = {RecordField::Top, RecordField::Left, RecordField::Height, RecordField::Width};

}  // namespace

const char* RecordFieldLabel(RecordField field) {
  switch (field) {
    case RecordField::Top:
      return "上端";
    case RecordField::Left:
      return "左端";
    case RecordField::Height:
      return "高さ";
    case RecordField::Width:
      return "幅";
  }
  return "";
}

std::string_view RecordFieldText(std::string_view record, RecordField field) {
  const std::size_t from = static_cast<std::size_t>(field) * kRecordFieldWidth;
  if (from >= record.size()) return {};
  return record.substr(from, kRecordFieldWidth);
}

std::string RecordCaption(std::string_view record) {
  if (record.size() <= kRecordCaptionStart) return {};
  return std::string(record.substr(kRecordCaptionStart));
}

void ApplyRecordFields(std::string_view record,
                       const std::function<void(RecordField field, std::int32_t value)>& apply) {
  for (const RecordField field : kFields) apply(field, StrToInt(RecordFieldText(record, field)));
}

ButtonRecord ParseButtonRecord(std::string_view record) {
  ButtonRecord result;
  result.caption = RecordCaption(record);
  ApplyRecordFields(record, [&](RecordField field, std::int32_t value) {
    switch (field) {
      case RecordField::Top:
        result.top = value;
        break;
      case RecordField::Left:
        result.left = value;
        break;
      case RecordField::Height:
        result.height = value;
        break;
      case RecordField::Width:
        result.width = value;
        break;
    }
  });
  return result;
}

std::string FormatRecordNumber(RecordField field, std::int32_t value) {
  if (value < kRecordMin || value > kRecordMax) {
    throw EConvertError(std::string(RecordFieldLabel(field)) + "の値 " + std::to_string(value) +
                        " は 4 文字に収まりません (-999 から 9999 まで)");
  }
  char text[8];
  if (value < 0) {
    std::snprintf(text, sizeof text, "-%03d", static_cast<int>(-value));
  } else {
    std::snprintf(text, sizeof text, "%04d", static_cast<int>(value));
  }
  return text;
}

std::string RecordFromEditor(std::string_view top, std::string_view left, std::string_view height,
                             std::string_view width, std::string_view caption) {
  const std::array<std::string_view, 4> texts = {top, left, height, width};
  std::string record;
  for (std::size_t i = 0; i < kFields.size(); ++i)
    record += FormatRecordNumber(kFields[i], StrToInt(texts[i]));
  record += caption;
  return record;
}

}  // namespace tapwell::store
