// The rows of the main window's sample list.
#pragma once

#include <array>
#include <string>

namespace tapwell::ui {

// Label rows name a sample; the script row after a label is that sample.
const std::array<std::string, 16>& SampleRows();

}  // namespace tapwell::ui
