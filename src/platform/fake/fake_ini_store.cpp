#include "platform/fake/fake_ini_store.h"

#include "core/errors.h"

namespace tapwell::fake {

void FakeIniStore::open(const std::string& keyPath) {
  log.push_back("open " + keyPath);
  if (failOpen) throw ERegistryError("キーを開けません: " + keyPath);
  keys[keyPath];
  openKey_ = keyPath;
}

FakeIniStore::Key& FakeIniStore::current(const std::string& what) {
  if (!openKey_) throw ERegistryError("キーが開かれていません: " + what);
  return keys[*openKey_];
}

std::string FakeIniStore::readString(const std::string& section, const std::string& name,
                                     const std::string& defaultValue) {
  log.push_back("read " + section + "/" + name);
  Key& key = current(name);
  const auto s = key.find(section);
  if (s == key.end()) return defaultValue;
  const auto v = s->second.find(name);
  if (v == s->second.end()) return defaultValue;
  if (!v->second.isString) throw ERegistryError("'" + name + "' の値は文字列ではありません");
  return v->second.text;
}

void FakeIniStore::writeString(const std::string& section, const std::string& name,
                               const std::string& value) {
  log.push_back("write " + section + "/" + name + "=" + value);
  Key& key = current(name);
  if (name == failWriteOf) throw ERegistryError("'" + name + "' を書き込めません");
  key[section][name] = Value{value, true};
}

void FakeIniStore::putNonString(const std::string& keyPath, const std::string& section,
                                const std::string& name) {
  keys[keyPath][section][name] = Value{"", false};
}

std::optional<std::string> FakeIniStore::stored(const std::string& keyPath, const std::string& section,
                                                const std::string& name) const {
  const auto k = keys.find(keyPath);
  if (k == keys.end()) return std::nullopt;
  const auto s = k->second.find(section);
  if (s == k->second.end()) return std::nullopt;
  const auto v = s->second.find(name);
  if (v == s->second.end() || !v->second.isString) return std::nullopt;
  return v->second.text;
}

}  // namespace tapwell::fake
