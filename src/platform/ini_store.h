// The per-user settings store: an INI-style store under a key path, with sections
// of named string values.
#pragma once

#include <string>

namespace tapwell::platform {

// The key path of the stored shortcut and similar settings is written with "\"
// between its parts, e.g. "Software\qorvex\Tapwell"; every section is a group
// of named string values below the key.
class IniStore {
 public:
  virtual ~IniStore() = default;

  // Opens the key, creating it when it is missing, so that the (possibly empty)
  // key exists afterwards. Reads and writes go to the key opened last. Raises
  // ERegistryError when the key cannot be opened or created.
  virtual void open(const std::string& keyPath) = 0;

  // The string value name of section; defaultValue when the section or the value
  // is missing. Raises ERegistryError naming the value when no key is open, and
  // when the store cannot be read.
  virtual std::string readString(const std::string& section, const std::string& name,
                                 const std::string& defaultValue) = 0;

  // Stores value as the string value name of section, creating the section when
  // it is missing. Raises ERegistryError naming the value when the write fails.
  virtual void writeString(const std::string& section, const std::string& name, const std::string& value) = 0;
};

}  // namespace tapwell::platform
