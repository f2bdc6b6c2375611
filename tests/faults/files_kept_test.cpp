// Files that cannot be written: a program folder without write permission, a
// full disk (a file-size limit), settings files that are damaged. Data goes
// where it can be kept, a save that fails says which file and why, and the old
// file stays as it was.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "../store/test_support.h"
#include "core/errors.h"
#include "platform/paths.h"
#include "platform/qt/qt_ini_store.h"
#include "store/layout_file.h"
#include "store/script_file.h"

namespace {

namespace fs = std::filesystem;
using tapwell::test::ReadBytes;
using tapwell::test::RunInChild;
using tapwell::test::TempDir;
using tapwell::test::WriteBytes;
using ::testing::HasSubstr;
using ::testing::StartsWith;

const std::string kKey = "Software\\qorvex\\Tapwell";

// A portable program folder that its user may not write, and a home folder.
class ReadOnlyProgramFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(portable());
    WriteBytes(program(), "");
    WriteBytes(portable() + "/key.txt", "0000000000200020A\r\n");
    fs::create_directories(home());
    ::chmod(home().c_str(), 0777);
    ::chmod(portable().c_str(), 0555);
  }
  void TearDown() override { ::chmod(portable().c_str(), 0755); }

  std::string portable() const { return dir.path() + "/portable"; }
  std::string program() const { return portable() + "/tapwell"; }
  std::string home() const { return dir.path() + "/home"; }

  TempDir dir;
};

TEST_F(ReadOnlyProgramFolder, DataStaysBesideTheProgramAndASaveThereNamesFileAndReason) {
  // As an ordinary user: root may write anywhere.
  const auto result = RunInChild(
      [&] {
        const std::string folder = tapwell::platform::DataFolderFor(program(), dir.path() + "/xdg", home());
        std::string out = folder + "\n" + tapwell::store::ReadLayoutRecords(folder + "key.txt").at(0) + "\n";
        try {
          tapwell::store::SaveRecordList(folder + "key.txt", "0000000000200020B");
        } catch (const tapwell::EInOutError& e) {
          out += std::string("error: ") + e.what() + "\n";
        }
        return out;
      },
      true);
  EXPECT_EQ(result.output, portable() + "/\n0000000000200020A\nerror: ファイルを作成できません: " +
                               portable() + "/key.txt (Permission denied)\n");
  EXPECT_EQ(ReadBytes(portable() + "/key.txt"), "0000000000200020A\r\n");
  EXPECT_FALSE(fs::exists(home() + "/.local/share/Tapwell"));
  EXPECT_FALSE(fs::exists(dir.path() + "/xdg"));
}

// A full disk, as a file-size limit: saves fail and keep the old file.
TEST(FullDisk, ScriptLayoutAndSettingsSavesKeepTheOldFiles) {
  TempDir dir;
  const std::string script = dir.file("script.txt");
  const std::string layout = dir.file("key.txt");
  tapwell::store::SaveScriptFile(script, "_old");
  tapwell::store::SaveRecordList(layout, "0000000000200020A");
  {
    tapwell::platform::QtIniStore store(dir.path());
    store.open(kKey);
    store.writeString("data", "time1", "7:05:00");
    store.writeString("data", "data1", "_old");
  }
  const std::string ini = dir.path() + "/qorvex/Tapwell.ini";
  const std::string iniBefore = ReadBytes(ini);
  EXPECT_EQ(tapwell::test::FileMode(ini), 0600u);
  const std::string big(8192, 'n');

  const auto result = RunInChild(
      [&] {
        std::string out;
        try {
          tapwell::store::SaveScriptFile(script, big);
        } catch (const tapwell::EInOutError& e) {
          out += std::string("script: ") + e.what() + "\n";
        }
        try {
          tapwell::store::SaveRecordList(layout, big);
        } catch (const tapwell::EInOutError& e) {
          out += std::string("layout: ") + e.what() + "\n";
        }
        try {
          tapwell::platform::QtIniStore store(dir.path());
          store.open(kKey);
          store.writeString("data", "time1", "8:00:00");
          store.writeString("data", "data1", big);
        } catch (const tapwell::ERegistryError& e) {
          out += std::string("settings: ") + e.what() + "\n";
        }
        return out;
      },
      false, 1024);
  EXPECT_THAT(result.output, HasSubstr("script: "));
  EXPECT_THAT(result.output, HasSubstr(script));
  EXPECT_THAT(result.output, HasSubstr("layout: "));
  EXPECT_THAT(result.output, HasSubstr(layout));
  const auto settingsAt = result.output.find("settings: ");
  ASSERT_NE(settingsAt, std::string::npos) << result.output;
  const std::string settingsError = result.output.substr(settingsAt);
  EXPECT_THAT(settingsError, HasSubstr("'data1'"));
  EXPECT_THAT(settingsError, HasSubstr(ini));
  EXPECT_THAT(settingsError, HasSubstr("File too large"));
  EXPECT_EQ(tapwell::store::LoadScriptFile(script), "_old");
  EXPECT_EQ(ReadBytes(layout), "0000000000200020A\r\n");
  // The settings file holds the last value that could be written in full, and
  // nothing half-written.
  tapwell::platform::QtIniStore again(dir.path());
  again.open(kKey);
  EXPECT_EQ(again.readString("data", "data1", "<none>"), "_old");
  const std::string time = again.readString("data", "time1", "<none>");
  EXPECT_TRUE(time == "7:05:00" || time == "8:00:00") << time;
  EXPECT_LE(ReadBytes(ini).size(), iniBefore.size() + 16);
  // No temporary files are left beside the files.
  for (const auto& entry : fs::directory_iterator(dir.path())) {
    const std::string name = entry.path().filename().string();
    EXPECT_TRUE(name == "script.txt" || name == "key.txt" || name == "qorvex") << name;
  }
}

// The settings file is replaced as a whole, but a link stays a link and a file
// that may not be written is left alone.
TEST(SettingsReplacement, KeepsLinksAndRefusesAReadOnlyFile) {
  TempDir dir;
  fs::create_directories(dir.path() + "/qorvex");
  const std::string ini = dir.path() + "/qorvex/Tapwell.ini";
  const std::string real = dir.file("real.ini");
  WriteBytes(real, "[data]\ntime1=7:05:00\n");
  fs::create_symlink(real, ini);
  {
    tapwell::platform::QtIniStore store(dir.path());
    store.open(kKey);
    store.writeString("data", "data1", "_a");
    EXPECT_EQ(store.readString("data", "time1", ""), "7:05:00");
    EXPECT_EQ(store.readString("data", "data1", ""), "_a");
  }
  EXPECT_TRUE(fs::is_symlink(ini));
  EXPECT_THAT(ReadBytes(real), HasSubstr("data1=_a"));
  // The replaced file may hold scripts with passwords: its owner's only.
  EXPECT_EQ(tapwell::test::FileMode(real), 0600u);

  fs::remove(ini);
  WriteBytes(ini, "[data]\ntime1=7:05:00\n");
  ::chmod(ini.c_str(), 0444);
  ::chmod((dir.path() + "/qorvex").c_str(), 0777);
  const auto result = RunInChild(
      [&] {
        tapwell::platform::QtIniStore store(dir.path());
        store.open(kKey);
        store.writeString("data", "time1", "8:00:00");
        return std::string("written");
      },
      true);
  EXPECT_THAT(result.output, StartsWith("exception: "));
  EXPECT_THAT(result.output, HasSubstr(ini));
  EXPECT_THAT(result.output, HasSubstr("Permission denied"));
  EXPECT_EQ(ReadBytes(ini), "[data]\ntime1=7:05:00\n");
  for (const auto& entry : fs::directory_iterator(dir.path() + "/qorvex")) {
    EXPECT_EQ(entry.path().filename(), "Tapwell.ini");
  }
}

// Settings files that are damaged: a clear message naming the file, or the
// defaults, never a crash.
TEST(DamagedSettings, BinaryAndHugeFilesAreReadOrRefusedByName) {
  TempDir dir;
  fs::create_directories(dir.path() + "/qorvex");
  const std::string ini = dir.path() + "/qorvex/Tapwell.ini";
  std::string binary(1024 * 1024, '\0');
  std::uint32_t x = 5;
  for (char& c : binary) {
    x = x * 1664525u + 1013904223u;
    c = static_cast<char>(x >> 24);
  }
  std::string huge = "[data]\r\ntime1=7:05:00\r\ndata1=" + std::string(10 * 1024 * 1024, 'a') + "\r\n";
  for (const std::string& content : {binary, huge, std::string("[data]\ntime1=\0\x01\xff\n", 18)}) {
    WriteBytes(ini, content);
    std::string outcome;
    try {
      tapwell::platform::QtIniStore store(dir.path());
      store.open(kKey);
      outcome = "time1=" + store.readString("data", "time1", "<default>");
      store.readString("data", "data1", "<default>");
    } catch (const tapwell::ERegistryError& e) {
      outcome = std::string("error: ") + e.what();
      EXPECT_THAT(outcome, HasSubstr(ini));
    }
    EXPECT_FALSE(outcome.empty());
    if (content == huge) {
      EXPECT_EQ(outcome, "time1=7:05:00");
    }
  }
}

}  // namespace
