// The stored shortcut: one reservation time and one key script in the per-user
// settings store, under "Software\qorvex\" + the program title, section "data",
// values "time1" (H:MM:SS or HH:MM:SS) and "data1" (the script).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/ini_store.h"

namespace tapwell::store {

inline constexpr const char* kShortcutSection = "data";
inline constexpr const char* kShortcutTimeValue = "time1";
inline constexpr const char* kShortcutScriptValue = "data1";

// "Software\qorvex\" followed by the program title.
std::string ShortcutKeyPath(const std::string& appTitle);

// One of the three time lists (Hour: items "0" to "23"; Minute, Second: "00" to
// "59"; the item index equals the number).
class TimeList {
 public:
  virtual ~TimeList() = default;
  // The selected item index, -1 when nothing is selected.
  virtual int selection() const = 0;
  // The text of the selected item.
  virtual std::string text() const = 0;
  virtual void setSelection(int index) = 0;
};

// The highest item index of each list.
inline constexpr int kMaxHour = 23;
inline constexpr int kMaxMinute = 59;
inline constexpr int kMaxSecond = 59;

// What saving the shortcut came to: both values written, or nothing written
// because a list has no selection (the form then asks for a time).
enum class ShortcutSave { Saved, NoTime };

// Saves the shortcut: opens the key (creating it); when a list has no selection
// writes nothing and returns NoTime; otherwise writes "time1" (the three texts
// joined by ":") and then "data1" (the script). Raises ERegistryError from the
// store; a failure on "data1" leaves "time1" written.
ShortcutSave SaveShortcut(platform::IniStore& store, const std::string& appTitle, const TimeList& hour,
                          const TimeList& minute, const TimeList& second, const std::string& script);

// The three fields of a stored time text, cut by fixed positions: when the
// second character is ":" the hour is one character (then minutes at 3-4,
// seconds at 6-7), otherwise two (minutes at 4-5, seconds at 7-8). A range that
// runs past the end holds only what is there.
struct TimeFields {
  std::string hour;
  std::string minute;
  std::string second;
};
TimeFields CutShortcutTime(std::string_view time);

// Loads the shortcut: opens the key (creating it); reads "time1" and returns
// nothing when it is empty or missing, changing nothing. Otherwise converts the
// hour with the standard conversion and selects it in hour, then the same for the
// minutes and the seconds, each converted just before its own selection; a field
// that does not convert raises EConvertError, and one outside its list (hour
// above 23, minutes or seconds above 59, or negative) raises EConvertError naming
// the value; either way the lists handled before keep their new selection and
// nothing later changes. Finally reads "data1" (empty when missing) and returns
// it as the new script. Raises ERegistryError for a value that is not one string.
std::optional<std::string> LoadShortcut(platform::IniStore& store, const std::string& appTitle,
                                        TimeList& hour, TimeList& minute, TimeList& second);

}  // namespace tapwell::store
