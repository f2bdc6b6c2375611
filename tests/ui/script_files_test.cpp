// Save, Load, 短縮Save and 短縮Load as the user clicks them: the dialogs answered
// by the test, real files in a temporary program folder, the shortcut in a fake
// store and in a real INI file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QSettings>

#include "core/product.h"
#include "handler_fixture.h"
#include "platform/qt/qt_ini_store.h"

namespace tapwell::ui::testing {
namespace {

namespace fs = std::filesystem;

using ScriptFilesUi = HandlerFixture;

TEST_F(ScriptFilesUi, DialogsListEveryFileAddNoExtensionAndTheSaveDialogAsksBeforeReplacing) {
  Tmain& m = windows();
  for (QFileDialog* d : {m.SaveDialog1, m.OpenDialog1}) {
    EXPECT_TRUE(d->defaultSuffix().isEmpty());
    EXPECT_TRUE(d->nameFilters().isEmpty() ||
                d->nameFilters() == QStringList{QStringLiteral("All Files (*)")})
        << d->nameFilters().join(';').toStdString();
    // A name of a file that does not exist is accepted (and reported when it cannot be opened).
    EXPECT_EQ(d->fileMode(), QFileDialog::AnyFile);
  }
  EXPECT_EQ(m.SaveDialog1->acceptMode(), QFileDialog::AcceptSave);
  EXPECT_EQ(m.OpenDialog1->acceptMode(), QFileDialog::AcceptOpen);
  EXPECT_FALSE(m.SaveDialog1->testOption(QFileDialog::DontConfirmOverwrite));
}

TEST_F(ScriptFilesUi, SaveWritesTheScriptAndCrLfToTheChosenNameAndLoadReadsItBack) {
  Tmain& m = windows();
  m.Edit1->setText("abc");
  const fs::path file = root / "command" / "noext";
  dialogs.answers = {file.string(), file.string()};
  m.SaveBtn->click();
  ASSERT_EQ(dialogs.seen.size(), 1u);
  EXPECT_EQ(dialogs.seen[0].dialog, m.SaveDialog1);
  EXPECT_EQ(dialogs.seen[0].directory, (root / "command").string());
  EXPECT_EQ(Read(file), "abc\r\n");
  EXPECT_FALSE(fs::exists(file.string() + ".txt"));

  m.Edit1->setText("other");
  m.LoadBtn->click();
  ASSERT_EQ(dialogs.seen.size(), 2u);
  EXPECT_EQ(dialogs.seen[1].dialog, m.OpenDialog1);
  EXPECT_EQ(dialogs.seen[1].directory, (root / "command").string());
  EXPECT_EQ(m.Edit1->text(), "abc");
  EXPECT_TRUE(errors.shown.empty());
}

TEST_F(ScriptFilesUi, InitialFolderIsSetBeforeEveryUseAndTheLastNameIsOfferedAgain) {
  Tmain& m = windows();
  fs::create_directories(root / "elsewhere");
  // The user wanders off to another folder and cancels.
  dialogs.whileOpen = [this](QFileDialog& d) {
    d.setDirectory(QString::fromStdString((root / "elsewhere").string()));
  };
  m.SaveBtn->click();
  m.LoadBtn->click();
  dialogs.whileOpen = nullptr;
  m.SaveBtn->click();
  m.LoadBtn->click();
  ASSERT_EQ(dialogs.seen.size(), 4u);
  for (const auto& seen : dialogs.seen) {
    EXPECT_EQ(seen.directory, (root / "command").string());
    EXPECT_TRUE(seen.selected.isEmpty() || seen.selected == QStringList{QString()} ||
                QFileInfo(seen.selected.front()).isDir())
        << seen.selected.join(';').toStdString();
  }

  // A chosen name comes back the next time, each dialog its own.
  const fs::path saved = root / "command" / "one.txt";
  const fs::path loaded = root / "command" / "two.txt";
  Write(loaded, "_b\r\n");
  m.Edit1->setText("_a");
  dialogs.answers = {saved.string(), loaded.string()};
  m.SaveBtn->click();
  m.LoadBtn->click();
  dialogs.seen.clear();
  m.SaveBtn->click();  // cancelled
  m.LoadBtn->click();  // cancelled
  ASSERT_EQ(dialogs.seen.size(), 2u);
  EXPECT_EQ(dialogs.seen[0].selected, QStringList{QString::fromStdString(saved.string())});
  EXPECT_EQ(dialogs.seen[1].selected, QStringList{QString::fromStdString(loaded.string())});
  EXPECT_EQ(dialogs.seen[0].directory, (root / "command").string());
}

TEST_F(ScriptFilesUi, ScriptFolderIsCreatedOnFirstUseElseTheDialogsOpenInTheDataFolder) {
  Tmain& m = windows();
  fs::remove(root / "command");
  m.SaveBtn->click();
  EXPECT_TRUE(fs::is_directory(root / "command"));
  // A file where the folder should be: it cannot be made.
  fs::remove(root / "command");
  Write(root / "command", "");
  m.LoadBtn->click();
  ASSERT_EQ(dialogs.seen.size(), 2u);
  EXPECT_EQ(dialogs.seen[0].directory, (root / "command").string());
  EXPECT_EQ(dialogs.seen[1].directory, root.string());
  EXPECT_TRUE(errors.shown.empty());
}

TEST_F(ScriptFilesUi, CancelDoesNothingAndShowsNothing) {
  Tmain& m = windows();
  m.Edit1->setText("keep");
  m.SaveBtn->click();
  m.LoadBtn->click();
  EXPECT_EQ(dialogs.seen.size(), 2u);
  EXPECT_EQ(m.Edit1->text(), "keep");
  EXPECT_TRUE(fs::is_empty(root / "command"));
  EXPECT_TRUE(errors.shown.empty());
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(ScriptFilesUi, LoadTakesTheFirstLineWithItsJapaneseFromShiftJisOrUtf8) {
  Tmain& m = windows();
  // "*notepad\"日本語\"" in Shift-JIS, then a second line.
  Write(root / "command" / "sjis.txt", "*notepad\"\x93\xfa\x96\x7b\x8c\xea\"\r\nsecond\r\n");
  Write(root / "command" / "utf8.txt", "\"テスト\"_a\nrest");
  Write(root / "command" / "empty.txt", "");
  dialogs.answers = {(root / "command" / "sjis.txt").string(), (root / "command" / "utf8.txt").string(),
                     (root / "command" / "empty.txt").string()};
  m.LoadBtn->click();
  EXPECT_EQ(m.Edit1->text(), QStringLiteral("*notepad\"日本語\""));
  m.LoadBtn->click();
  EXPECT_EQ(m.Edit1->text(), QStringLiteral("\"テスト\"_a"));
  m.LoadBtn->click();
  EXPECT_EQ(m.Edit1->text(), QString());
  EXPECT_TRUE(errors.shown.empty());
}

TEST_F(ScriptFilesUi, AnyScriptSurvivesSaveAndLoadThroughTheWindow) {
  Tmain& m = windows();
  const std::vector<QString> scripts = {QStringLiteral("  \"a#b;c=d\"\\\\x\\  "),
                                        QStringLiteral("*メモ帳!1\"日本語\"_enter#"),
                                        QString(20000, QLatin1Char('x')) + QStringLiteral("_a")};
  for (const QString& script : scripts) {
    const fs::path file = root / "command" / "roundtrip";
    dialogs.answers = {file.string(), file.string()};
    m.Edit1->setText(script);
    m.SaveBtn->click();
    m.Edit1->setText("changed");
    m.LoadBtn->click();
    EXPECT_EQ(m.Edit1->text(), script);
  }
  EXPECT_TRUE(errors.shown.empty());
}

TEST_F(ScriptFilesUi, FileErrorsAreReportedWithPathAndReasonAndLoseNothing) {
  Tmain& m = windows();
  m.Edit1->setText("keep");
  const fs::path missing = root / "command" / "missing.txt";
  // A file standing where a folder should be: the save cannot create its file.
  Write(root / "plainfile", "x");
  const fs::path unwritable = root / "plainfile" / "script.txt";
  dialogs.answers = {missing.string(), unwritable.string()};
  m.LoadBtn->click();
  ASSERT_EQ(errors.shown.size(), 1u);
  EXPECT_EQ(errors.shown[0].first, "Tapwell");
  EXPECT_NE(errors.shown[0].second.find(missing.string()), std::string::npos) << errors.shown[0].second;
  EXPECT_EQ(m.Edit1->text(), "keep");

  m.SaveBtn->click();
  ASSERT_EQ(errors.shown.size(), 2u);
  EXPECT_NE(errors.shown[1].second.find(unwritable.string()), std::string::npos) << errors.shown[1].second;
  // The system's reason follows the path.
  EXPECT_GT(errors.shown[1].second.size(), unwritable.string().size() + 3);
  EXPECT_EQ(m.Edit1->text(), "keep");
  // The dialog still offers the name that failed, so the user can correct it.
  dialogs.seen.clear();
  m.SaveBtn->click();
  ASSERT_EQ(dialogs.seen.size(), 1u);
  EXPECT_EQ(dialogs.seen[0].selected, QStringList{QString::fromStdString(unwritable.string())});
}

// The shortcut.

void Select(QComboBox* box, int row) {
  box->setCurrentIndex(row);
}

TEST_F(ScriptFilesUi, ShortcutRoundTripsBothTimeForms) {
  Tmain& m = windows();
  struct Case {
    int h, mi, s;
    const char* text;
  };
  for (const Case& c : {Case{7, 5, 0, "7:05:00"}, Case{17, 5, 9, "17:05:09"}}) {
    Select(m.Hour, c.h);
    Select(m.Minute, c.mi);
    Select(m.Second, c.s);
    m.Edit1->setText("*notepad!5\"abc\"_enter");
    m.Button1->click();
    EXPECT_EQ(store.stored("Software\\qorvex\\Tapwell", "data", "time1"), std::optional<std::string>(c.text));
    EXPECT_EQ(store.stored("Software\\qorvex\\Tapwell", "data", "data1"),
              std::optional<std::string>("*notepad!5\"abc\"_enter"));
    Select(m.Hour, 1);
    Select(m.Minute, 2);
    Select(m.Second, 3);
    m.Edit1->setText("other");
    m.Button2->click();
    EXPECT_EQ(m.Hour->currentIndex(), c.h);
    EXPECT_EQ(m.Minute->currentIndex(), c.mi);
    EXPECT_EQ(m.Second->currentIndex(), c.s);
    EXPECT_EQ(m.Edit1->text(), "*notepad!5\"abc\"_enter");
  }
  EXPECT_TRUE(errors.shown.empty());
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(ScriptFilesUi, ShortcutSaveWithoutATimeAsksForOneAndWritesNothing) {
  Tmain& m = windows();
  Select(m.Hour, 9);
  Select(m.Minute, 5);
  m.Edit1->setText("_a");
  m.Button1->click();
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0], std::make_pair(std::string("情報"), std::string("時刻を入力してください")));
  EXPECT_TRUE(store.keys.count("Software\\qorvex\\Tapwell"));
  EXPECT_FALSE(store.stored("Software\\qorvex\\Tapwell", "data", "time1"));
  EXPECT_FALSE(store.stored("Software\\qorvex\\Tapwell", "data", "data1"));
  EXPECT_TRUE(errors.shown.empty());
}

TEST_F(ScriptFilesUi, ShortcutLoadWithNothingStoredChangesNothingAndWithoutScriptEmptiesTheBox) {
  Tmain& m = windows();
  Select(m.Hour, 3);
  m.Edit1->setText("keep");
  m.Button2->click();
  EXPECT_EQ(m.Hour->currentIndex(), 3);
  EXPECT_EQ(m.Minute->currentIndex(), -1);
  EXPECT_EQ(m.Edit1->text(), "keep");
  EXPECT_TRUE(store.keys.count("Software\\qorvex\\Tapwell"));

  store.writeString("data", "time1", "12:34:56");
  m.Button2->click();
  EXPECT_EQ(m.Hour->currentIndex(), 12);
  EXPECT_EQ(m.Minute->currentIndex(), 34);
  EXPECT_EQ(m.Second->currentIndex(), 56);
  EXPECT_EQ(m.Edit1->text(), "");
  EXPECT_TRUE(errors.shown.empty());
}

TEST_F(ScriptFilesUi, ShortcutLoadStopsAtTheFirstBadFieldAndReportsIt) {
  Tmain& m = windows();
  struct Case {
    const char* time;
    int hour, minute, second;  // the selections afterwards
    const char* message;
  };
  store.open("Software\\qorvex\\Tapwell");
  // Each starts from 1, 2, 3 and "keep".
  const Case cases[] = {
      {"5", 5, 2, 3, "'' は整数ではありません."},
      {"7:5:00", 7, 2, 3, "'5:' は整数ではありません."},
      {"9:05:6x", 9, 5, 3, "'6x' は整数ではありません."},
  };
  for (const Case& c : cases) {
    errors.shown.clear();
    Select(m.Hour, 1);
    Select(m.Minute, 2);
    Select(m.Second, 3);
    m.Edit1->setText("keep");
    store.writeString("data", "time1", c.time);
    store.writeString("data", "data1", "new");
    m.Button2->click();
    EXPECT_EQ(m.Hour->currentIndex(), c.hour) << c.time;
    EXPECT_EQ(m.Minute->currentIndex(), c.minute) << c.time;
    EXPECT_EQ(m.Second->currentIndex(), c.second) << c.time;
    EXPECT_EQ(m.Edit1->text(), "keep") << c.time;
    EXPECT_EQ(onlyError(), c.message) << c.time;
  }
}

TEST_F(ScriptFilesUi, ShortcutValuesOutsideTheListsAreReportedAndNoListPointsPastItsItems) {
  Tmain& m = windows();
  store.open("Software\\qorvex\\Tapwell");
  for (const char* time : {"24:00:00", "7:60:00", "7:05:99"}) {
    errors.shown.clear();
    Select(m.Hour, 1);
    Select(m.Minute, 2);
    Select(m.Second, 3);
    m.Edit1->setText("keep");
    store.writeString("data", "time1", time);
    m.Button2->click();
    ASSERT_EQ(errors.shown.size(), 1u) << time;
    EXPECT_EQ(m.Edit1->text(), "keep");
    for (QComboBox* box : {m.Hour, m.Minute, m.Second}) {
      EXPECT_GE(box->currentIndex(), 0) << time;
      EXPECT_LT(box->currentIndex(), box->count()) << time;
      EXPECT_FALSE(box->currentText().isEmpty()) << time;
    }
  }
  EXPECT_NE(errors.shown[0].second.find("99"), std::string::npos) << errors.shown[0].second;
}

TEST_F(ScriptFilesUi, ShortcutStoreErrorsAreReported) {
  Tmain& m = windows();
  store.open("Software\\qorvex\\Tapwell");
  store.putNonString("Software\\qorvex\\Tapwell", "data", "time1");
  Select(m.Hour, 1);
  m.Edit1->setText("keep");
  m.Button2->click();
  EXPECT_NE(onlyError().find("time1"), std::string::npos) << onlyError();
  EXPECT_EQ(m.Hour->currentIndex(), 1);
  EXPECT_EQ(m.Edit1->text(), "keep");

  // A failed write of the script leaves the time written.
  errors.shown.clear();
  store.failWriteOf = "data1";
  Select(m.Hour, 8);
  Select(m.Minute, 0);
  Select(m.Second, 0);
  m.Button1->click();
  EXPECT_NE(onlyError().find("data1"), std::string::npos) << onlyError();
  EXPECT_EQ(store.stored("Software\\qorvex\\Tapwell", "data", "time1"),
            std::optional<std::string>("8:00:00"));
}

TEST_F(ScriptFilesUi, ShortcutInARealIniFileReadableByItsOwnerOnly) {
  const fs::path config = root / "config";
  platform::QtIniStore ini(config.string());
  settings = &ini;
  Tmain& m = windows();
  const QString script =
      QStringLiteral("  \"a#b;c=d, e\"\\_enter ！日本語 ") + QString(5000, QLatin1Char('y'));
  // Saving twice keeps only the second time and script.
  Select(m.Hour, 23);
  Select(m.Minute, 59);
  Select(m.Second, 58);
  m.Edit1->setText("first");
  m.Button1->click();
  Select(m.Hour, 7);
  Select(m.Minute, 5);
  Select(m.Second, 0);
  m.Edit1->setText(script);
  m.Button1->click();
  ASSERT_TRUE(errors.shown.empty()) << onlyError();
  const fs::path file = config / "qorvex" / "Tapwell.ini";
  ASSERT_TRUE(fs::exists(file));
  struct stat st {};
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600);
  EXPECT_EQ(Read(file), "[data]\ntime1=7:05:00\ndata1=" + script.toStdString() + "\n");

  Select(m.Hour, 0);
  m.Edit1->clear();
  m.Button2->click();
  EXPECT_EQ(m.Hour->currentIndex(), 7);
  EXPECT_EQ(m.Minute->currentIndex(), 5);
  EXPECT_EQ(m.Second->currentIndex(), 0);
  EXPECT_EQ(m.Edit1->text(), script);
  EXPECT_TRUE(errors.shown.empty()) << onlyError();
}

}  // namespace
}  // namespace tapwell::ui::testing
