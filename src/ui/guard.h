// The program's default error report and the one guard through which every
// handler runs, so that no exception crosses the event loop.
#pragma once

#include <exception>
#include <string>
#include <utility>

namespace tapwell::ui {

// A modal message box with a caption, a text, the error icon and an OK button.
class ErrorReport {
 public:
  virtual ~ErrorReport() = default;
  virtual void showError(const std::string& caption, const std::string& text) = 0;
};

class Guard {
 public:
  explicit Guard(ErrorReport& report) : report_(report) {}

  // Runs a handler. A failure abandons it at that point (what it did before stays
  // done) and is shown by the default error report; true when it ran to the end.
  template <class F>
  bool run(F&& handler) noexcept {
    try {
      std::forward<F>(handler)();
      return true;
    } catch (const std::exception& e) {
      report(e.what());
    } catch (...) {
      report("Unknown error");
    }
    return false;
  }

  // A handler wrapped for connecting to a signal.
  template <class F>
  auto wrap(F handler) {
    return [this, handler](auto&&...) { run(handler); };
  }

  // Shows the default report for a message: the product title as caption, the message with
  // its closing ".".
  void report(const std::string& message) noexcept;

 private:
  ErrorReport& report_;
};

}  // namespace tapwell::ui
