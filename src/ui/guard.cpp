#include "ui/guard.h"

#include "engine/errors.h"
#include "engine/product.h"

namespace tapwell::ui {

void Guard::report(const std::string& message) noexcept {
  try {
    report_.showError(AppTitle, DefaultReportText(message));
  } catch (...) {
    // A report that cannot be shown has nowhere else to go.
  }
}

}  // namespace tapwell::ui
