// Exceptions of the program and the text of its default error report.
#pragma once

#include <stdexcept>
#include <string>

namespace tapwell {

// Base of every failure that the default error report shows. Messages are UTF-8.
class Exception : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A text that is not an integer in the standard conversion.
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

// A file that cannot be created, opened, read or written.
class EInOutError : public Exception {
 public:
  using Exception::Exception;
};

// The per-user settings store refused a read or a write.
class ERegistryError : public Exception {
 public:
  using Exception::Exception;
};

// The notification area refused to add, modify or delete the icon.
class EIconTrayError : public Exception {
 public:
  using Exception::Exception;
};

// The text of the default error report: the message, with a "." appended when its
// last byte sorts after ".".
std::string DefaultReportText(const std::string& message);

}  // namespace tapwell
