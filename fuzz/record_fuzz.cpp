// Fuzzes the button record reader and the layout-file reading: any bytes as a
// layout file, every non-empty line as a record.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/errors.h"
#include "store/button_record.h"
#include "store/textfile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tapwell;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  for (const auto& line : store::SplitLines(store::DecodeText(bytes))) {
    if (line.empty()) continue;
    int applied = 0;
    try {
      store::ApplyRecordFields(line, [&](store::RecordField, std::int32_t) { ++applied; });
      // A record that converts whole parses the same way at once.
      const auto record = store::ParseButtonRecord(line);
      if (applied != 4) std::abort();
      if (record.caption != store::RecordCaption(line)) std::abort();
    } catch (const EConvertError&) {
      if (applied >= 4) std::abort();
    }
  }
  // The editor's formatting round-trips through the reader.
  if (size >= 4) {
    std::int32_t value;
    static_assert(sizeof value == 4);
    __builtin_memcpy(&value, data, 4);
    try {
      const std::string field = store::FormatRecordNumber(store::RecordField::Top, value);
      if (field.size() != 4) std::abort();
      const auto record = store::ParseButtonRecord(field + "000000000000x");
      if (record.top != value) std::abort();
    } catch (const EConvertError&) {
      if (value >= store::kRecordMin && value <= store::kRecordMax) std::abort();
    }
  }
  return 0;
}
