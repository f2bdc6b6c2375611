#include "store/shortcut.h"

#include "core/convert.h"
#include "core/errors.h"

namespace tapwell::store {

namespace {

// Characters [from, from + count) of text, 0-based; fewer or none past the end.
std::string Slice(std::string_view text, std::size_t from, std::size_t count) {
  if (from >= text.size()) return {};
  return std::string(text.substr(from, count));
}

// Converts one field and selects it, refusing an index the list does not have.
void SelectField(TimeList& list, const std::string& field, int max, const char* what) {
  const std::int32_t value = StrToInt(field);
  if (value < 0 || value > max) {
    throw EConvertError("保存された" + std::string(what) + "の値 '" + field + "' は範囲外です (0 から " +
                        std::to_string(max) + " まで)");
  }
  list.setSelection(value);
}

}  // namespace

std::string ShortcutKeyPath(const std::string& appTitle) {
  return "Software\\qorvex\\" + appTitle;
}

ShortcutSave SaveShortcut(platform::IniStore& store, const std::string& appTitle, const TimeList& hour,
                          const TimeList& minute, const TimeList& second, const std::string& script) {
  store.open(ShortcutKeyPath(appTitle));
  if (hour.selection() < 0 || minute.selection() < 0 || second.selection() < 0) return ShortcutSave::NoTime;
  const std::string time = hour.text() + ":" + minute.text() + ":" + second.text();
  store.writeString(kShortcutSection, kShortcutTimeValue, time);
  store.writeString(kShortcutSection, kShortcutScriptValue, script);
  return ShortcutSave::Saved;
}

TimeFields CutShortcutTime(std::string_view time) {
  if (time.size() >= 2 && time[1] == ':') return {Slice(time, 0, 1), Slice(time, 2, 2), Slice(time, 5, 2)};
  return {Slice(time, 0, 2), Slice(time, 3, 2), Slice(time, 6, 2)};
}

std::optional<std::string> LoadShortcut(platform::IniStore& store, const std::string& appTitle,
                                        TimeList& hour, TimeList& minute, TimeList& second) {
  store.open(ShortcutKeyPath(appTitle));
  const std::string time = store.readString(kShortcutSection, kShortcutTimeValue, "");
  if (time.empty()) return std::nullopt;
  const TimeFields fields = CutShortcutTime(time);
  SelectField(hour, fields.hour, kMaxHour, "時");
  SelectField(minute, fields.minute, kMaxMinute, "分");
  SelectField(second, fields.second, kMaxSecond, "秒");
  return store.readString(kShortcutSection, kShortcutScriptValue, "");
}

}  // namespace tapwell::store
