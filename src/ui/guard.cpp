#include "ui/guard.h"

#include "core/errors.h"
#include "core/product.h"

namespace tapwell::ui {

void Guard::report(const std::string& message) noexcept {
  try {
    report_.showError(Product().title, DefaultReportText(message));
  } catch (...) {
    // A report that cannot be shown has nowhere else to go.
  }
}

}  // namespace tapwell::ui
