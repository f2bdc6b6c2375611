// The settings store on Linux: one INI file per key under the user's
// configuration folder. A value is stored as the plain text after "=" on its line
// and read back the same way, with no quoting or escaping, so that a value
// written by hand ("data1=_a,_b") means what the program would have written.
#pragma once

#include <string>

#include "platform/ini_store.h"

namespace tapwell::platform {

// The key "Software\qorvex\Tapwell" is the file qorvex/Tapwell.ini in the
// configuration folder ($XDG_CONFIG_HOME, else ~/.config), the file QSettings
// uses for organisation "qorvex" and application "Tapwell"; a section is an INI
// section ("data" is [data]) and a value a "name=value" line in it: the value is
// everything after the first "=" up to the line end (CR LF, CR or LF), exactly.
// Lines the store does not know (comments, other sections) are kept when it
// writes. The file is created, empty and readable by its owner only (0600), when
// the key is opened: it may hold scripts with passwords. A write replaces the
// file through a temporary file renamed over it.
class QtIniStore : public IniStore {
 public:
  // Files under the user's configuration folder, looked up when a key is opened.
  QtIniStore();
  // Files under configFolder.
  explicit QtIniStore(std::string configFolder);
  ~QtIniStore() override;

  void open(const std::string& keyPath) override;
  std::string readString(const std::string& section, const std::string& name,
                         const std::string& defaultValue) override;
  void writeString(const std::string& section, const std::string& name, const std::string& value) override;

  // The INI file of the key opened last; empty before the first open.
  const std::string& filePath() const { return file_; }

  // The INI file of a key path below a configuration folder. Raises
  // ERegistryError for a key path that names no file (empty parts, "." or "..").
  static std::string FileForKey(const std::string& configFolder, const std::string& keyPath);

  // The user's configuration folder.
  static std::string UserConfigFolder();

 private:
  // The file of the open key; raises ERegistryError naming the value when no key
  // is open.
  const std::string& openFile(const std::string& name) const;

  std::string configFolder_;
  std::string file_;
};

}  // namespace tapwell::platform
