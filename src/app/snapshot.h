// The version snapshot of the development mode.
#pragma once

#include <string>

#include "platform/message_boxes.h"

namespace tapwell::app {

// Copies every file directly in the program folder (hidden ones included, no
// subfolders) into the folder program folder + version, once: when an entry of
// that name exists, of any kind, nothing happens and false is returned. Failures
// to create or copy pass silently; the closing message is shown all the same.
bool VersionSnapshot(const std::string& programFolder, const std::string& version, MessageBoxes& boxes);

}  // namespace tapwell::app
