#include "store/textfile.h"

#include <iconv.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <iterator>

#include "core/errors.h"
#include "core/file_read.h"

namespace tapwell::store {

namespace {

std::string ErrorText(const std::string& what, const std::string& path, int error) {
  return what + ": " + path + " (" + std::strerror(error) + ")";
}

std::string FromCp932(std::string_view bytes) {
  iconv_t cd = iconv_open("UTF-8", "CP932");
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    // Without the converter keep the ASCII and mark every other byte, so that the
    // result is still valid UTF-8.
    std::string out;
    for (const char c : bytes) {
      if (static_cast<unsigned char>(c) < 0x80) {
        out += c;
      } else {
        out += "\xEF\xBF\xBD";
      }
    }
    return out;
  }
  std::string out;
  out.reserve(bytes.size() * 3 / 2 + 16);
  char* in = const_cast<char*>(bytes.data());
  std::size_t inLeft = bytes.size();
  char buffer[4096];
  while (inLeft > 0) {
    char* outPtr = buffer;
    std::size_t outLeft = sizeof buffer;
    const std::size_t result = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
    if (result == static_cast<std::size_t>(-1) && errno != E2BIG) {
      // A byte that is not Shift-JIS either: keep the text readable.
      out += "\xEF\xBF\xBD";
      ++in;
      --inLeft;
    }
  }
  iconv_close(cd);
  return out;
}

}  // namespace

bool IsValidUtf8(std::string_view s) {
  std::size_t i = 0;
  const std::size_t n = s.size();
  while (i < n) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    std::size_t len;
    unsigned char lo = 0x80, hi = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
      len = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
      len = 3;
      if (c == 0xE0) lo = 0xA0;
      if (c == 0xED) hi = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      len = 4;
      if (c == 0xF0) lo = 0x90;
      if (c == 0xF4) hi = 0x8F;
    } else {
      return false;
    }
    if (i + len > n) return false;
    const auto second = static_cast<unsigned char>(s[i + 1]);
    if (second < lo || second > hi) return false;
    for (std::size_t k = 2; k < len; ++k) {
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    }
    i += len;
  }
  return true;
}

namespace {

// The text part of file bytes: up to a 0x1A, without a UTF-8 byte-order mark.
std::string_view TextPart(std::string_view bytes) {
  const std::size_t eof = bytes.find('\x1A');
  if (eof != std::string_view::npos) bytes = bytes.substr(0, eof);
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  return bytes;
}

}  // namespace

std::string DecodeText(std::string_view bytes) {
  bytes = TextPart(bytes);
  if (IsValidUtf8(bytes)) return std::string(bytes);
  return FromCp932(bytes);
}

std::string FirstLine(std::string_view bytes) {
  // The encoding is that of the whole text; only the first line is converted.
  // Neither CR nor LF occurs inside a Shift-JIS character, so the line can be cut
  // first.
  bytes = TextPart(bytes);
  const std::string_view line = bytes.substr(0, bytes.find_first_of("\r\n"));
  if (IsValidUtf8(bytes)) return std::string(line);
  return FromCp932(line);
}

std::string ReadFileBytes(const std::string& path) {
  FileRead read = ReadWholeFile(path);
  if (read.error != 0) {
    throw EInOutError(
        ErrorText(read.failedToOpen ? "ファイルを開けません" : "ファイルを読めません", path, read.error));
  }
  return std::move(read.bytes);
}

std::string ReadFirstLine(const std::string& path) {
  if (path == "-") {
    return FirstLine(std::string(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>()));
  }
  return FirstLine(ReadFileBytes(path));
}

std::vector<std::string> ReadLines(const std::string& path) {
  return SplitLines(DecodeText(ReadFileBytes(path)));
}

}  // namespace tapwell::store
