#include "store/shortcut.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "core/errors.h"
#include "platform/fake/fake_ini_store.h"
#include "platform/fake/fakes.h"

namespace tapwell::store {
namespace {

using fake::FakeIniStore;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

const std::string kKey = "Software\\qorvex\\Tapwell";

// A drop-down list with the items of the reservation lists: "0" to "23" for the
// hour, "00" to "59" for minutes and seconds.
class FakeTimeList : public TimeList {
 public:
  FakeTimeList(int count, bool twoDigits) {
    for (int i = 0; i < count; ++i) {
      char text[8];
      std::snprintf(text, sizeof text, twoDigits ? "%02d" : "%d", i);
      items.emplace_back(text);
    }
  }
  int selection() const override { return index; }
  std::string text() const override {
    return index >= 0 && index < static_cast<int>(items.size()) ? items[static_cast<std::size_t>(index)] : "";
  }
  void setSelection(int i) override {
    // A real list cannot select an item it does not have.
    ASSERT_GE(i, 0);
    ASSERT_LT(i, static_cast<int>(items.size()));
    index = i;
  }
  std::vector<std::string> items;
  int index = -1;
};

class Shortcut : public ::testing::Test {
 protected:
  bool Save(const std::string& script) {
    return SaveShortcut(store, "Tapwell", hour, minute, second, script) == ShortcutSave::Saved;
  }
  std::optional<std::string> Load() { return LoadShortcut(store, "Tapwell", hour, minute, second); }
  void Select(int h, int m, int s) {
    hour.index = h;
    minute.index = m;
    second.index = s;
  }
  std::optional<std::string> Stored(const std::string& name) { return store.stored(kKey, "data", name); }
  void StoreTime(const std::string& time) { store.keys[kKey]["data"]["time1"] = {time, true}; }
  void ExpectSelections(int h, int m, int s) {
    EXPECT_EQ(hour.index, h);
    EXPECT_EQ(minute.index, m);
    EXPECT_EQ(second.index, s);
  }

  FakeIniStore store;
  FakeTimeList hour{24, false};
  FakeTimeList minute{60, true};
  FakeTimeList second{60, true};
};

TEST_F(Shortcut, KeyPath) {
  EXPECT_EQ(ShortcutKeyPath("Tapwell"), "Software\\qorvex\\Tapwell");
}

TEST_F(Shortcut, SaveWritesTimeThenScript) {
  Select(7, 5, 0);
  EXPECT_TRUE(Save("_a"));
  EXPECT_THAT(store.log, ElementsAre("open " + kKey, "write data/time1=7:05:00", "write data/data1=_a"));

  Select(17, 5, 9);
  EXPECT_TRUE(Save("_b"));
  EXPECT_EQ(Stored("time1"), "17:05:09");
  EXPECT_EQ(Stored("data1"), "_b");
}

// The form asks for a time when it hears NoTime (tests/ui/script_files_test.cpp).
TEST_F(Shortcut, SaveWithoutATimeSaysSoAndWritesNothing) {
  for (int missing = 0; missing < 3; ++missing) {
    SCOPED_TRACE(missing);
    store = FakeIniStore();
    Select(missing == 0 ? -1 : 1, missing == 1 ? -1 : 2, missing == 2 ? -1 : 3);
    EXPECT_EQ(SaveShortcut(store, "Tapwell", hour, minute, second, "_a"), ShortcutSave::NoTime);
    // The key was opened (and so created) first; nothing was written.
    EXPECT_THAT(store.log, ElementsAre("open " + kKey));
    EXPECT_EQ(store.keys.count(kKey), 1u);
    EXPECT_THAT(store.keys[kKey], IsEmpty());
  }
}

TEST_F(Shortcut, FailureOnTheScriptLeavesTheTimeWritten) {
  Select(9, 5, 0);
  store.failWriteOf = "data1";
  EXPECT_THROW(Save("_a"), ERegistryError);
  EXPECT_EQ(Stored("time1"), "9:05:00");
  EXPECT_EQ(Stored("data1"), std::nullopt);
}

TEST_F(Shortcut, FailingOpenStopsBeforeTheSelectionsAreLookedAt) {
  store.failOpen = true;
  EXPECT_THROW(Save("_a"), ERegistryError);
}

TEST_F(Shortcut, RoundTrips) {
  for (const auto& [h, m, s] :
       {std::tuple{7, 5, 0}, std::tuple{17, 5, 9}, std::tuple{0, 0, 0}, std::tuple{23, 59, 59}}) {
    Select(h, m, s);
    ASSERT_TRUE(Save("_x"));
    Select(-1, -1, -1);
    EXPECT_EQ(Load(), "_x");
    ExpectSelections(h, m, s);
  }
}

TEST_F(Shortcut, ScriptsRoundTripUnchanged) {
  Select(1, 2, 3);
  for (const std::string script : {"\"a;b\"#=\\ \t", "  leading and trailing  ", "日本語_enter", ""}) {
    ASSERT_TRUE(Save(script));
    EXPECT_EQ(Load(), script);
  }
}

TEST_F(Shortcut, NothingStoredChangesNothingButCreatesTheKey) {
  Select(3, 4, 5);
  EXPECT_EQ(Load(), std::nullopt);
  ExpectSelections(3, 4, 5);
  EXPECT_THAT(store.log, ElementsAre("open " + kKey, "read data/time1"));
  EXPECT_EQ(store.keys.count(kKey), 1u);
}

TEST_F(Shortcut, EmptyTimeChangesNothing) {
  StoreTime("");
  store.keys[kKey]["data"]["data1"] = {"_z", true};
  Select(3, 4, 5);
  EXPECT_EQ(Load(), std::nullopt);
  ExpectSelections(3, 4, 5);
}

TEST_F(Shortcut, TimeWithoutScriptEmptiesTheScript) {
  StoreTime("7:05:00");
  EXPECT_EQ(Load(), "");
  ExpectSelections(7, 5, 0);
}

TEST_F(Shortcut, OneCharacterTimeSetsTheHourThenFailsOnTheMinutes) {
  StoreTime("5");
  Select(1, 2, 3);
  try {
    Load();
    FAIL() << "no error";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'' は整数ではありません");
  }
  ExpectSelections(5, 2, 3);
  EXPECT_THAT(store.log, ElementsAre("open " + kKey, "read data/time1"));
}

TEST_F(Shortcut, MinutesOfOneDigitFailAfterTheHour) {
  StoreTime("7:5:00");
  Select(1, 2, 3);
  try {
    Load();
    FAIL() << "no error";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'5:' は整数ではありません");
  }
  ExpectSelections(7, 2, 3);
}

TEST_F(Shortcut, BadSecondsKeepHourAndMinutes) {
  StoreTime("12:34:x9");
  Select(1, 2, 3);
  EXPECT_THROW(Load(), EConvertError);
  ExpectSelections(12, 34, 3);
}

TEST_F(Shortcut, FieldsTakeTheStandardConversion) {
  // Leading spaces and hexadecimal are numbers to the standard conversion.
  StoreTime(" 7:$A: 9");
  EXPECT_EQ(Load(), "");
  ExpectSelections(7, 10, 9);
}

TEST_F(Shortcut, ValuesOutsideTheListsStopTheLoad) {
  struct Case {
    std::string time;
    std::string named;
    int hour, minute, second;
  };
  for (const Case& c : {Case{"24:00:00", "'24'", 1, 2, 3}, Case{"99:00:00", "'99'", 1, 2, 3},
                        Case{"7:60:00", "'60'", 7, 2, 3}, Case{"23:59:60", "'60'", 23, 59, 3},
                        Case{"-1:00:00", "'-1'", 1, 2, 3}, Case{"1:-5:00", "'-5'", 1, 2, 3}}) {
    SCOPED_TRACE(c.time);
    StoreTime(c.time);
    store.keys[kKey]["data"]["data1"] = {"_z", true};
    Select(1, 2, 3);
    try {
      Load();
      FAIL() << "no error";
    } catch (const EConvertError& e) {
      EXPECT_THAT(e.what(), HasSubstr(c.named));
      EXPECT_THAT(e.what(), HasSubstr("範囲外"));
    }
    ExpectSelections(c.hour, c.minute, c.second);
  }
}

TEST_F(Shortcut, ValueThatIsNotAStringStopsTheLoad) {
  store.putNonString(kKey, "data", "time1");
  Select(1, 2, 3);
  try {
    Load();
    FAIL() << "no error";
  } catch (const ERegistryError& e) {
    EXPECT_THAT(e.what(), HasSubstr("time1"));
  }
  ExpectSelections(1, 2, 3);

  // A bad script value comes after the lists have been set.
  StoreTime("8:09:10");
  store.putNonString(kKey, "data", "data1");
  EXPECT_THROW(Load(), ERegistryError);
  ExpectSelections(8, 9, 10);
}

TEST_F(Shortcut, SavingTwiceKeepsTheSecond) {
  Select(7, 5, 0);
  Save("_first");
  Select(17, 5, 9);
  Save("_second");
  Select(-1, -1, -1);
  EXPECT_EQ(Load(), "_second");
  ExpectSelections(17, 5, 9);
}

TEST(CutShortcutTime, FixedPositions) {
  auto cut = [](std::string_view t) {
    const TimeFields f = CutShortcutTime(t);
    return std::vector<std::string>{f.hour, f.minute, f.second};
  };
  EXPECT_THAT(cut("7:05:00"), ElementsAre("7", "05", "00"));
  EXPECT_THAT(cut("17:05:09"), ElementsAre("17", "05", "09"));
  EXPECT_THAT(cut("5"), ElementsAre("5", "", ""));
  EXPECT_THAT(cut("7:5:00"), ElementsAre("7", "5:", "0"));
  EXPECT_THAT(cut("7:"), ElementsAre("7", "", ""));
  EXPECT_THAT(cut("17:0"), ElementsAre("17", "0", ""));
  EXPECT_THAT(cut("123456789"), ElementsAre("12", "45", "78"));
}

}  // namespace
}  // namespace tapwell::store
