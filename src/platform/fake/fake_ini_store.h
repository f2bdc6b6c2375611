// An in-memory settings store for tests: keys of sections of values, a log of
// every operation, values that are not strings, and writes that fail on demand.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/ini_store.h"

namespace tapwell::fake {

class FakeIniStore : public platform::IniStore {
 public:
  // A stored value: a string, or something else (a list, binary data).
  struct Value {
    std::string text;
    bool isString = true;
  };
  using Section = std::map<std::string, Value>;
  using Key = std::map<std::string, Section>;

  void open(const std::string& keyPath) override;
  std::string readString(const std::string& section, const std::string& name,
                         const std::string& defaultValue) override;
  void writeString(const std::string& section, const std::string& name, const std::string& value) override;

  // Puts a value that is not one string into the open key (or into keyPath).
  void putNonString(const std::string& keyPath, const std::string& section, const std::string& name);
  // The string stored under keyPath/section/name, if any.
  std::optional<std::string> stored(const std::string& keyPath, const std::string& section,
                                    const std::string& name) const;

  std::map<std::string, Key> keys;
  // "open <key>", "read <section>/<name>", "write <section>/<name>=<value>".
  std::vector<std::string> log;
  // A write of this value name raises ERegistryError.
  std::string failWriteOf;
  // open raises ERegistryError.
  bool failOpen = false;

 private:
  Key& current(const std::string& what);
  std::optional<std::string> openKey_;
};

}  // namespace tapwell::fake
