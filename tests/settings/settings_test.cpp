#include "platform/qt/qt_ini_store.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <optional>

#include "../store/test_support.h"
#include "core/errors.h"
#include "platform/fake/fakes.h"
#include "store/shortcut.h"

namespace tapwell::platform {
namespace {

using test::FileMode;
using test::ReadBytes;
using test::RunInChild;
using test::TempDir;
using test::WriteBytes;
using ::testing::HasSubstr;
using ::testing::StartsWith;
namespace fs = std::filesystem;

const std::string kKey = "Software\\qorvex\\Tapwell";

// Sets an environment variable for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      ::setenv(name_.c_str(), old_->c_str(), 1);
    } else {
      ::unsetenv(name_.c_str());
    }
  }

 private:
  std::string name_;
  std::optional<std::string> old_;
};

class Settings : public ::testing::Test {
 protected:
  std::string IniFile() const { return config.path() + "/qorvex/Tapwell.ini"; }
  // A store opened afresh, as the next run of the program sees it.
  std::string ReadAgain(const std::string& name, const std::string& defaultValue = "<default>") {
    QtIniStore again(config.path());
    again.open(kKey);
    return again.readString("data", name, defaultValue);
  }
  std::string RegistryError(const std::function<void()>& body) {
    try {
      body();
    } catch (const ERegistryError& e) {
      return e.what();
    }
    return "no error";
  }

  TempDir config;
};

TEST_F(Settings, KeyPathNamesTheIniFile) {
  EXPECT_EQ(QtIniStore::FileForKey("/c", kKey), "/c/qorvex/Tapwell.ini");
  EXPECT_EQ(QtIniStore::FileForKey("/c/", kKey), "/c/qorvex/Tapwell.ini");
  EXPECT_EQ(QtIniStore::FileForKey("/c", "Software\\a\\b\\c"), "/c/a/b/c.ini");
  for (const char* bad : {"Software\\qorvex\\", "Software\\..\\x", "Software\\a/b\\c", "", "Software\\\\x"}) {
    EXPECT_THROW(QtIniStore::FileForKey("/c", bad), ERegistryError) << bad;
  }
}

TEST_F(Settings, OpeningCreatesAnEmptyFileForItsOwnerOnly) {
  QtIniStore store(config.path());
  store.open(kKey);
  EXPECT_EQ(store.filePath(), IniFile());
  ASSERT_TRUE(fs::is_regular_file(IniFile()));
  EXPECT_EQ(fs::file_size(IniFile()), 0u);
  EXPECT_EQ(FileMode(IniFile()), 0600u);
  // Opening again changes nothing.
  store.open(kKey);
  EXPECT_EQ(fs::file_size(IniFile()), 0u);
}

TEST_F(Settings, UserConfigurationFolder) {
  {
    ScopedEnv xdg("XDG_CONFIG_HOME", config.path().c_str());
    QtIniStore store;
    store.open(kKey);
    EXPECT_EQ(store.filePath(), IniFile());
  }
  {
    TempDir home;
    ScopedEnv xdg("XDG_CONFIG_HOME", nullptr);
    ScopedEnv homeEnv("HOME", home.path().c_str());
    QtIniStore store;
    store.open(kKey);
    EXPECT_EQ(store.filePath(), home.path() + "/.config/qorvex/Tapwell.ini");
    EXPECT_TRUE(fs::is_regular_file(store.filePath()));
  }
}

TEST_F(Settings, ValuesGoToTheDataSection) {
  QtIniStore store(config.path());
  store.open(kKey);
  store.writeString("data", "time1", "7:05:00");
  store.writeString("data", "data1", "_a_b");
  const std::string text = ReadBytes(IniFile());
  EXPECT_THAT(text, StartsWith("[data]\n"));
  EXPECT_THAT(text, HasSubstr("time1=7:05:00\n"));
  EXPECT_THAT(text, HasSubstr("data1=_a_b\n"));
  EXPECT_EQ(FileMode(IniFile()), 0600u);
  EXPECT_EQ(ReadAgain("time1"), "7:05:00");
  EXPECT_EQ(ReadAgain("data1"), "_a_b");
}

TEST_F(Settings, MissingValuesAndSectionsGiveTheDefault) {
  QtIniStore store(config.path());
  store.open(kKey);
  EXPECT_EQ(store.readString("data", "time1", ""), "");
  EXPECT_EQ(store.readString("data", "time1", "x"), "x");
  store.writeString("data", "time1", "1:00:00");
  EXPECT_EQ(store.readString("data", "data1", "y"), "y");
  EXPECT_EQ(store.readString("other", "time1", "z"), "z");
}

TEST_F(Settings, AnyScriptSurvivesUnchanged) {
  const std::string scripts[] = {
      "",
      "\"quoted\" 'single'",
      "#hash;semicolon=equals",
      "back\\slash\\\\double\\",
      "  leading and trailing blanks  ",
      "\ttab",
      "日本語の\"テキスト\"_enter",
      "a, b, c",
      "@ByteArray(x)",
      "@Variant(y)",
      "[data]",
      "*notepad!5_kanji_k_a_i_t_e!1_conv!1_enter!2_ _k_e_s_i_t_e!1_conv!1_enter!2#",
      std::string(100000, 'x') + "_end",
  };
  QtIniStore store(config.path());
  store.open(kKey);
  for (const std::string& script : scripts) {
    store.writeString("data", "data1", script);
    EXPECT_EQ(store.readString("data", "data1", "<default>"), script);
    EXPECT_EQ(ReadAgain("data1"), script);
  }
}

TEST_F(Settings, HandWrittenValuesReadBackExactlyAndWritesKeepTheRest) {
  fs::create_directories(config.path() + "/qorvex");
  WriteBytes(IniFile(),
             "; written by hand\n[other]\ndata1=elsewhere\n\n[data]\r\ntime1=7:05:00\r\n"
             "data1=_a,_b\ncomma = a, b\nquoted=\"_a\"\nslash=\\\\x\\\"\njp=日本語\"テスト\"\n"
             "eq==a=b\nblank= x \n");
  QtIniStore store(config.path());
  store.open(kKey);
  const std::pair<const char*, const char*> expected[] = {
      {"time1", "7:05:00"},   {"data1", "_a,_b"},         {"comma", " a, b"}, {"quoted", "\"_a\""},
      {"slash", "\\\\x\\\""}, {"jp", "日本語\"テスト\""}, {"eq", "=a=b"},     {"blank", " x "},
  };
  for (const auto& [name, value] : expected)
    EXPECT_EQ(store.readString("data", name, "<none>"), value) << name;
  EXPECT_EQ(store.readString("other", "data1", ""), "elsewhere");

  store.writeString("data", "data1", "\"x\",\\y");
  store.writeString("data", "added", "z");
  store.writeString("new", "n", "1");
  EXPECT_EQ(ReadBytes(IniFile()),
            "; written by hand\n[other]\ndata1=elsewhere\n\n[data]\ntime1=7:05:00\n"
            "data1=\"x\",\\y\ncomma = a, b\nquoted=\"_a\"\nslash=\\\\x\\\"\njp=日本語\"テスト\"\n"
            "eq==a=b\nblank= x \nadded=z\n\n[new]\nn=1\n");
  EXPECT_EQ(FileMode(IniFile()), 0600u);
  // A line end would cut the value short: refused, the file left as it was.
  const std::string before = ReadBytes(IniFile());
  EXPECT_THAT(RegistryError([&] { store.writeString("data", "data1", "a\nb"); }), HasSubstr("'data1'"));
  EXPECT_EQ(ReadBytes(IniFile()), before);
}

TEST_F(Settings, CorruptFileIsARegistryError) {
  fs::create_directories(config.path() + "/qorvex");
  WriteBytes(IniFile(), "[data\ntime1=7:05:00\n");
  QtIniStore store(config.path());
  const std::string error = RegistryError([&] { store.open(kKey); });
  EXPECT_THAT(error, HasSubstr(IniFile()));
  EXPECT_THAT(RegistryError([&] { store.readString("data", "time1", ""); }), HasSubstr("time1"));
}

TEST_F(Settings, FolderInPlaceOfTheFileIsARegistryError) {
  fs::create_directories(IniFile());
  QtIniStore store(config.path());
  const std::string error = RegistryError([&] { store.open(kKey); });
  EXPECT_THAT(error, HasSubstr(IniFile()));
  EXPECT_THAT(error, HasSubstr("directory"));
}

TEST_F(Settings, FileInPlaceOfTheFolderIsARegistryError) {
  WriteBytes(config.path() + "/qorvex", "");
  QtIniStore store(config.path());
  EXPECT_THAT(RegistryError([&] { store.open(kKey); }), HasSubstr(config.path() + "/qorvex"));
}

TEST_F(Settings, ReadingOrWritingWithoutAnOpenKeyIsARegistryError) {
  QtIniStore store(config.path());
  EXPECT_THROW(store.readString("data", "time1", ""), ERegistryError);
  EXPECT_THROW(store.writeString("data", "time1", "x"), ERegistryError);
}

TEST_F(Settings, UnreadableFileIsARegistryError) {
  fs::create_directories(config.path() + "/qorvex");
  ::chmod((config.path() + "/qorvex").c_str(), 0777);
  WriteBytes(IniFile(), "[data]\ntime1=7:05:00\n");
  ::chmod(IniFile().c_str(), 0200);
  const auto result = RunInChild(
      [&] {
        QtIniStore store(config.path());
        store.open(kKey);
        return store.readString("data", "time1", "");
      },
      true);
  EXPECT_THAT(result.output, StartsWith("exception: "));
  EXPECT_THAT(result.output, HasSubstr(IniFile()));
  EXPECT_THAT(result.output, HasSubstr("Permission denied"));
}

TEST_F(Settings, FailedWriteIsARegistryErrorNamingTheValue) {
  fs::create_directories(config.path() + "/qorvex");
  WriteBytes(IniFile(), "[data]\ntime1=7:05:00\n");
  ::chmod(IniFile().c_str(), 0644);
  ::chmod((config.path() + "/qorvex").c_str(), 0555);
  const auto result = RunInChild(
      [&] {
        QtIniStore store(config.path());
        store.open(kKey);
        store.writeString("data", "time1", "8:00:00");
        return std::string("written");
      },
      true);
  ::chmod((config.path() + "/qorvex").c_str(), 0755);
  EXPECT_THAT(result.output, StartsWith("exception: "));
  EXPECT_THAT(result.output, HasSubstr("'time1'"));
  EXPECT_THAT(result.output, HasSubstr(IniFile()));
  EXPECT_EQ(ReadAgain("time1"), "7:05:00");
}

// The shortcut over the real INI file.
class FakeList : public store::TimeList {
 public:
  explicit FakeList(bool twoDigits) : twoDigits_(twoDigits) {}
  int selection() const override { return index; }
  std::string text() const override {
    const std::string digits = std::to_string(index);
    return twoDigits_ && index < 10 ? "0" + digits : digits;
  }
  void setSelection(int i) override { index = i; }
  int index = -1;

 private:
  bool twoDigits_;
};

TEST_F(Settings, ShortcutRoundTripsThroughTheIniFile) {
  FakeList hour(false), minute(true), second(true);
  {
    QtIniStore store(config.path());
    // Nothing stored: nothing changes, and the (empty) file exists afterwards.
    EXPECT_EQ(store::LoadShortcut(store, "Tapwell", hour, minute, second), std::nullopt);
    EXPECT_EQ(hour.index, -1);
    EXPECT_EQ(fs::file_size(IniFile()), 0u);

    hour.index = 7;
    minute.index = 5;
    second.index = 0;
    EXPECT_EQ(store::SaveShortcut(store, "Tapwell", hour, minute, second, "*notepad!5\"日本\"_enter"),
              store::ShortcutSave::Saved);
  }
  EXPECT_THAT(ReadBytes(IniFile()), HasSubstr("time1=7:05:00"));
  EXPECT_EQ(FileMode(IniFile()), 0600u);
  hour.index = minute.index = second.index = -1;
  QtIniStore next(config.path());
  EXPECT_EQ(store::LoadShortcut(next, "Tapwell", hour, minute, second), "*notepad!5\"日本\"_enter");
  EXPECT_EQ(hour.index, 7);
  EXPECT_EQ(minute.index, 5);
  EXPECT_EQ(second.index, 0);
}

TEST_F(Settings, SavingWithoutATimeCreatesTheEmptyFile) {
  FakeList hour(false), minute(true), second(true);
  QtIniStore store(config.path());
  EXPECT_EQ(store::SaveShortcut(store, "Tapwell", hour, minute, second, "_a"), store::ShortcutSave::NoTime);
  EXPECT_TRUE(fs::is_regular_file(IniFile()));
  EXPECT_EQ(fs::file_size(IniFile()), 0u);
}

TEST_F(Settings, HandEditedScriptWithCommasLoads) {
  fs::create_directories(config.path() + "/qorvex");
  WriteBytes(IniFile(), "[data]\ntime1=17:05:09\ndata1=_a, _b\n");
  FakeList hour(false), minute(true), second(true);
  QtIniStore store(config.path());
  EXPECT_EQ(store::LoadShortcut(store, "Tapwell", hour, minute, second), "_a, _b");
  EXPECT_EQ(hour.index, 17);
  EXPECT_EQ(minute.index, 5);
  EXPECT_EQ(second.index, 9);
}

}  // namespace
}  // namespace tapwell::platform
