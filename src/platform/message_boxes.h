// Plain modal message boxes.
#pragma once

#include <string>

namespace tapwell {

// A modal message box with a caption, a text, an OK button and no icon. Returns
// when the user has closed it.
class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  virtual void showMessage(const std::string& caption, const std::string& text) = 0;
};

}  // namespace tapwell
