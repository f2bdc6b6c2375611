// The standard text-to-integer conversion used for every number read from text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tapwell {

// Optional leading spaces, then an optional sign and decimal digits, or "$" and
// hexadecimal digits, and nothing after them; the value must fit a signed 32-bit
// integer. Returns nothing for any other text, the empty text included.
std::optional<std::int32_t> TryStrToInt(std::string_view text);

// As TryStrToInt, but raises EConvertError "'<text>' は整数ではありません".
std::int32_t StrToInt(std::string_view text);

// The message of the conversion error for a text.
std::string ConvertErrorMessage(std::string_view text);

}  // namespace tapwell
