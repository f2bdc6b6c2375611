// Where the program file is and where its data files live.
#pragma once

#include <string>

namespace tapwell::platform {

// The full path of the running program file.
std::string ProgramFile();

// The folder that data files are named by appending to, with its trailing "/": the
// program's own folder when it runs from there (a build tree or a portable folder);
// the user's data folder ($XDG_DATA_HOME/Tapwell/, created on demand) when the
// program is installed under a prefix (<prefix>/bin/ beside <prefix>/share/tapwell).
// The install layout alone decides: a portable folder that may not be written is
// still the data folder, and saves there fail with their reason.
std::string DataFolder();

// The same decision for a given program file and environment, for tests.
std::string DataFolderFor(const std::string& programFile, const std::string& xdgDataHome,
                          const std::string& home);

// The user's private folder for the sockets of a session, with no trailing "/":
// $XDG_RUNTIME_DIR when it is set, otherwise tapwell-<uid> in the temporary
// folder, made on demand readable by the user alone. Empty, with the reason in
// why, when that folder cannot be made or belongs to someone else.
std::string RuntimeFolder(std::string& why);

// The same for a given $XDG_RUNTIME_DIR, temporary folder and user id, for tests.
std::string RuntimeFolderFor(const std::string& xdgRuntimeDir, const std::string& tmp, unsigned uid,
                             std::string& why);

}  // namespace tapwell::platform
