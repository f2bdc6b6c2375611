#include "store/script_file.h"

#include "core/atomic_file.h"
#include "store/textfile.h"

namespace tapwell::store {

void SaveScriptFile(const std::string& path, const std::string& script) {
  WriteFileAtomic(path, script + "\r\n");
}

std::string LoadScriptFile(const std::string& path) {
  return FirstLine(ReadFileBytes(path));
}

}  // namespace tapwell::store
