// Safe writing of whole files.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tapwell {

// Writes content to path through a temporary file beside it that is flushed to
// disk and renamed over the old file, so that a failed write leaves the old file
// as it was. The replaced file keeps its permissions (a new one gets 0666 less
// the umask); a symbolic link stays a link and its target is replaced; an
// existing file that may not be written, a folder, a device or a pipe is
// refused. A mode, when given, is the written file's instead. Raises EInOutError
// naming the file and the reason.
void WriteFileAtomic(const std::string& path, std::string_view content,
                     std::optional<unsigned> mode = std::nullopt);

}  // namespace tapwell
