// Fuzzes the loading of a stored shortcut time: any text as "time1" either sets
// the lists to valid items, in order, or stops with a conversion error.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/errors.h"
#include "platform/fake/fake_ini_store.h"
#include "store/shortcut.h"

namespace {

class List : public tapwell::store::TimeList {
 public:
  explicit List(int max) : max_(max) {}
  int selection() const override { return index_; }
  std::string text() const override { return index_ < 0 ? "" : std::to_string(index_); }
  void setSelection(int index) override {
    if (index < 0 || index > max_) std::abort();
    index_ = index;
  }

 private:
  int max_;
  int index_ = -1;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tapwell;
  const std::string time(reinterpret_cast<const char*>(data), size);
  fake::FakeIniStore store;
  store.open(store::ShortcutKeyPath("Tapwell"));
  store.writeString(store::kShortcutSection, store::kShortcutTimeValue, time);
  store.writeString(store::kShortcutSection, store::kShortcutScriptValue, "_a");
  List hour(store::kMaxHour), minute(store::kMaxMinute), second(store::kMaxSecond);
  try {
    const auto script = store::LoadShortcut(store, "Tapwell", hour, minute, second);
    if (script) {
      if (hour.selection() < 0 || minute.selection() < 0 || second.selection() < 0) std::abort();
      if (*script != "_a") std::abort();
    } else if (!time.empty()) {
      std::abort();
    }
  } catch (const EConvertError&) {
    // Lists are set in order: a later list never changes before an earlier one.
    if (second.selection() >= 0) std::abort();
    if (minute.selection() >= 0 && hour.selection() < 0) std::abort();
  }
  return 0;
}
