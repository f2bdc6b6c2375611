// The main window: layout, tab order, the Test buttons, Stop/Play, Hide/show,
// About, Help, the end, the guard, the reservation on a set clock, the tray.
#include <gtest/gtest.h>

#include <thread>

#include <QApplication>
#include <QCursor>
#include <QFontInfo>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "main_fixture.h"
#include "ui/samples.h"

namespace tapwell::ui {
namespace {

using fake::Down;
using fake::Up;
using testing::MainFixture;

struct Place {
  const char* name;
  int x, y, w, h;
  const char* text;
};

class MainLayoutTest : public MainFixture {};

TEST_F(MainLayoutTest, EveryControlAtItsPlaceWithItsText) {
  Tmain& m = form();
  const Place places[] = {
      {"Label1", 8, 8, 48, 12, "現在時刻"},
      {"Label2", 64, 8, 40, 12, "00:00:00"},
      {"Label3", 8, 24, 32, 12, "予約１"},
      {"Hour", 40, 24, 41, 20, ""},
      {"Label4", 88, 32, 12, 12, "時"},
      {"Minute", 104, 24, 41, 20, ""},
      {"Label5", 152, 32, 12, 12, "分"},
      {"Second", 168, 24, 41, 20, ""},
      {"Label6", 216, 32, 12, 12, "秒"},
      {"Edit1", 8, 48, 473, 20, ""},
      {"HideBtn", 376, 8, 75, 25, "Hide"},
      {"Button2", 8, 72, 75, 25, "短縮Load"},
      {"TestBtn", 88, 72, 75, 25, "Test"},
      {"StopBtn", 168, 72, 75, 25, "Stop"},
      {"SaveBtn", 248, 72, 75, 25, "Save"},
      {"LoadBtn", 328, 72, 75, 25, "Load"},
      {"Button1", 408, 72, 75, 25, "短縮Save"},
      {"ComboBox1", 40, 104, 393, 20, ""},
      {"TestBtn2", 40, 128, 75, 25, "Test"},
      {"Editer", 120, 128, 75, 25, "Editer"},
      {"ToolSave", 200, 128, 75, 25, "ToolSave"},
      {"ToolLoad", 280, 128, 75, 25, "ToolLoad"},
      {"ToolMake", 360, 128, 75, 25, "ToolMake"},
      {"KeyBord", 40, 160, 75, 25, "KeyBord"},
      {"ComboBox2", 120, 160, 145, 20, "key.txt"},
  };
  for (const Place& p : places) {
    SCOPED_TRACE(p.name);
    auto* w = m.client->findChild<QWidget*>(QString::fromLatin1(p.name), Qt::FindDirectChildrenOnly);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->geometry(), QRect(p.x, p.y, p.w, p.h));
    QString text;
    if (auto* l = qobject_cast<QLabel*>(w)) text = l->text();
    if (auto* b = qobject_cast<QPushButton*>(w)) text = b->text();
    if (auto* e = qobject_cast<QLineEdit*>(w)) text = e->text();
    if (auto* c = qobject_cast<QComboBox*>(w)) text = c->currentText();
    EXPECT_EQ(text.toStdString(), p.text);
    EXPECT_TRUE(w->isEnabled());
    EXPECT_FALSE(w->isHidden());
    // The controls at top 104 and below lie outside the client area.
    EXPECT_EQ(p.y >= 104, !m.client->rect().intersects(w->geometry()));
  }
}

TEST_F(MainLayoutTest, WindowIsFixedWithSystemMenuAndCloseBoxOnly) {
  Tmain& m = form();
  EXPECT_EQ(m.client->size(), QSize(491, 104));
  EXPECT_EQ(m.minimumSize(), m.maximumSize());
  const Qt::WindowFlags f = m.windowFlags();
  EXPECT_TRUE(f & Qt::WindowSystemMenuHint);
  EXPECT_TRUE(f & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(f & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(f & Qt::WindowMaximizeButtonHint);
  EXPECT_EQ(m.windowTitle().toStdString(), "Tapwell");
  EXPECT_EQ(m.pos(), QPoint(191, 107));
  EXPECT_FALSE(m.isVisible());
  EXPECT_EQ(m.font().families().value(0).toStdString(), "ＭＳ Ｐゴシック");
  EXPECT_EQ(m.font().pixelSize(), 12);
  EXPECT_EQ(m.Label1->font().pixelSize(), 12);
}

TEST_F(MainLayoutTest, ListsHoldTheirRowsAndNoSelection) {
  Tmain& m = form();
  ASSERT_EQ(m.Hour->count(), 24);
  EXPECT_EQ(m.Hour->itemText(0), "0");
  EXPECT_EQ(m.Hour->itemText(9), "9");
  EXPECT_EQ(m.Hour->itemText(23), "23");
  for (QComboBox* box : {m.Minute, m.Second}) {
    ASSERT_EQ(box->count(), 60);
    EXPECT_EQ(box->itemText(0), "00");
    EXPECT_EQ(box->itemText(5), "05");
    EXPECT_EQ(box->itemText(59), "59");
  }
  for (QComboBox* box : {m.Hour, m.Minute, m.Second}) {
    EXPECT_FALSE(box->isEditable());
    EXPECT_EQ(box->currentIndex(), -1);
    EXPECT_EQ(box->currentText(), "");
  }
  EXPECT_TRUE(m.ComboBox1->isEditable());
  ASSERT_EQ(m.ComboBox1->count(), 16);
  EXPECT_EQ(m.ComboBox1->itemText(0).toStdString(), "Windowsの強制終了");
  EXPECT_EQ(m.ComboBox1->itemText(1).toStdString(),
            "_Win_U_Enter_S_Enter!30_e!30_e!30_e!30_e!30_e!30_e!30_e!30_e#");
  EXPECT_EQ(m.ComboBox1->itemText(4).toStdString(), "メモパッドサンプル");
  EXPECT_EQ(
      m.ComboBox1->itemText(5).toStdString(),
      "*notepad!5_kanji_k_a_i_t_e!1_conv!1_enter!2_ _k_e_s_i_t_e!1_conv!1_enter!2_bs!1_bs!1_bs!1_m_a_t_a_k_a_"
      "i_t_e!1_conv!1_enter!2#");
  EXPECT_EQ(m.ComboBox1->itemText(6).toStdString(), "メモパッドサンプル（長め）");
  EXPECT_EQ(m.ComboBox1->itemText(10).toStdString(), "--- 個人用---");
  EXPECT_EQ(m.ComboBox1->itemText(11).toStdString(), "メールチェック");
  EXPECT_EQ(m.ComboBox1->itemText(13).toStdString(), "ルータログオン");
  EXPECT_EQ(m.ComboBox1->itemText(15), "");
  EXPECT_EQ(m.ComboBox1->currentText(), "");
  ASSERT_EQ(m.ComboBox2->count(), 2);
  EXPECT_EQ(m.ComboBox2->itemText(0), "sample1");
  EXPECT_EQ(m.ComboBox2->itemText(1), "ThinkPad235");
}

TEST(SampleRows, ScriptRowsAreScriptsOfTheirDescription) {
  const auto& rows = SampleRows();
  // Script rows end with "#", but for the browser sample, which has none.
  for (int i : {1, 3, 5, 7, 12, 14}) EXPECT_EQ(rows[i].back(), '#') << i;
  EXPECT_NE(rows[9].back(), '#');
  EXPECT_EQ(rows[9].find('#'), std::string::npos);
  // Row 4 and its longer form start Notepad and close it without saving.
  for (int i : {3, 7}) {
    EXPECT_EQ(rows[i].rfind("*notepad!5", 0), 0u) << i;
    EXPECT_NE(rows[i].find("_alt!0.5_f!0.5_up!0.5_x!1_tab!0.5_n#"), std::string::npos) << i;
    EXPECT_NE(rows[i].find(">shift"), std::string::npos) << i;
  }
  EXPECT_GT(rows[7].size(), rows[3].size());
  EXPECT_NE(rows[8].find("http"), std::string::npos);
  EXPECT_EQ(rows[9].rfind("*firefox", 0), 0u);
  // The personal samples use another browser than the browser sample.
  EXPECT_EQ(rows[12].rfind("*chromium", 0), 0u);
  EXPECT_EQ(rows[14].rfind("*chromium", 0), 0u);
  EXPECT_NE(rows[12].find(">ctrl_2<ctrl"), std::string::npos);
  EXPECT_NE(rows[12].find("_caps_s_caps"), std::string::npos);
}

TEST_F(MainLayoutTest, InputMethodIsOffInTheTimeListsAndTheScriptBox) {
  Tmain& m = form();
  for (QWidget* w : std::initializer_list<QWidget*>{m.Hour, m.Minute, m.Second, m.Edit1}) {
    EXPECT_FALSE(w->testAttribute(Qt::WA_InputMethodEnabled)) << w->objectName().toStdString();
  }
}

TEST_F(MainLayoutTest, MenusAndComponents) {
  Tmain& m = form();
  // File, the Tool menu of the button commands (tested with them), and Help last.
  ASSERT_EQ(m.MainMenu1->actions().size(), 3);
  EXPECT_EQ(m.MainMenu1->actions()[0], m.File1->menuAction());
  EXPECT_EQ(m.MainMenu1->actions()[2], m.Help1->menuAction());
  EXPECT_EQ(m.File1->title(), "File");
  EXPECT_EQ(m.Help1->title(), "Help");
  // Hide, the login start (tested on its own), Exit.
  ASSERT_EQ(m.File1->actions().size(), 4);
  EXPECT_EQ(m.File1->actions()[0], m.Hide1);
  EXPECT_EQ(m.File1->actions()[1], m.Abort1);
  EXPECT_EQ(m.File1->actions()[2], m.StartAtLogin1);
  EXPECT_EQ(m.File1->actions()[3], m.Exit1);
  EXPECT_EQ(m.Abort1->shortcut(), QKeySequence(Qt::Key_Pause));
  EXPECT_EQ(m.Hide1->text(), "Hide");
  EXPECT_EQ(m.Exit1->text(), "Exit");
  EXPECT_EQ(m.Help1->actions()[0], m.Help2);
  EXPECT_EQ(m.Help1->actions()[1], m.About1);
  EXPECT_EQ(m.Help2->text(), "Help");
  EXPECT_EQ(m.About1->text(), "About");
  for (QAction* a : {m.Hide1, m.Exit1, m.Help2, m.About1, m.show1, m.exit2})
    EXPECT_TRUE(a->shortcut().isEmpty());
  ASSERT_EQ(m.PopupMenu1->actions().size(), 3);
  EXPECT_EQ(m.PopupMenu1->actions()[0]->text(), "show");
  EXPECT_EQ(m.PopupMenu1->actions()[1]->text(), "abort (Pause)");
  EXPECT_EQ(m.PopupMenu1->actions()[2]->text(), "exit");
  EXPECT_TRUE(m.PopupMenu1->AutoPopup);
  EXPECT_TRUE(m.Timer1->isActive());
  EXPECT_FALSE(m.KeyEmuTimer->scheduled());
  EXPECT_EQ(m.stepper().interval(), 1);
  EXPECT_EQ(m.IconTray1->LBtnPopupMenu(), m.PopupMenu1);
  EXPECT_EQ(m.IconTray1->RBtnPopupMenu(), nullptr);
  EXPECT_TRUE(m.IconTray1->ShowHint());
  EXPECT_FALSE(m.IconTray1->HideMainForm());
  EXPECT_NE(m.SaveDialog1, nullptr);
  EXPECT_NE(m.OpenDialog1, nullptr);
}

QWidget* Owner(QWidget* w) {
  // The line edit of an editable list stands for the list.
  if (w && qobject_cast<QComboBox*>(w->parentWidget())) return w->parentWidget();
  return w;
}

TEST_F(MainLayoutTest, TabWalksTheControlsInTheirOrder) {
  Tmain& m = form();
  m.show();
  QApplication::setActiveWindow(&m);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&m));
  m.Hour->setFocus();
  const QWidget* expected[] = {m.Hour,     m.Minute,   m.Second,   m.Edit1,     m.HideBtn,
                               m.TestBtn,  m.StopBtn,  m.TestBtn2, m.ComboBox1, m.Editer,
                               m.ToolSave, m.ToolLoad, m.ToolMake, m.KeyBord,   m.ComboBox2,
                               m.SaveBtn,  m.LoadBtn,  m.Button1,  m.Button2,   m.Hour};
  for (const QWidget* w : expected) {
    EXPECT_EQ(Owner(QApplication::focusWidget()), w)
        << "at "
        << (QApplication::focusWidget() ? QApplication::focusWidget()->objectName().toStdString() : "none");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  }
  m.hide();
}

class MainBehaviourTest : public MainFixture {};

TEST_F(MainBehaviourTest, CreationSetsTheHintTheCaptionAndClearsRunning) {
  Tmain& m = form();
  ASSERT_TRUE(tray.shown);
  EXPECT_EQ(tray.tip, "Tapwell");
  // The icon is shown at load with an empty tip, then the hint is written.
  ASSERT_GE(tray.calls.size(), 2u);
  EXPECT_EQ(tray.calls[0].op, "show");
  EXPECT_EQ(tray.calls[0].tip, "");
  EXPECT_EQ(tray.calls[1].op, "update");
  EXPECT_FALSE(m.stepper().record().Running);
  EXPECT_TRUE(errors.shown.empty());
}

TEST_F(MainBehaviourTest, TestHandsTheScriptBoxWithOneEndCommand) {
  Tmain& m = form();
  m.TestBtn->click();
  EXPECT_EQ(m.stepper().record().Buf.str(), "#");
  EXPECT_TRUE(m.stepper().record().Running);
  EXPECT_TRUE(m.KeyEmuTimer->scheduled());
  m.Edit1->setText(QStringLiteral("_a#"));
  m.TestBtn->click();
  EXPECT_EQ(m.stepper().record().Buf.str(), "_a##");
  m.KeyEmuTimerTimer();
  m.KeyEmuTimerTimer();
  EXPECT_FALSE(m.stepper().record().Running);
  EXPECT_EQ(keyboard.events, (std::vector<fake::KeyEvent>{Down(65), Up(65)}));
}

TEST_F(MainBehaviourTest, Test2HandsTheSampleListText) {
  Tmain& m = form();
  m.ComboBox1->setCurrentIndex(0);
  m.TestBtn2->click();
  EXPECT_EQ(m.stepper().record().Buf.str(), "Windowsの強制終了#");
  m.ComboBox1->setCurrentIndex(1);
  m.TestBtn2->click();
  EXPECT_EQ(m.stepper().record().Buf.str(), SampleRows()[1] + "#");
  m.ComboBox1->setEditText(QStringLiteral("_x"));
  m.TestBtn2->click();
  EXPECT_EQ(m.stepper().record().Buf.str(), "_x#");
  // A label row runs as a script: the command error names its first character.
  m.ComboBox1->setCurrentIndex(0);
  m.TestBtn2->click();
  m.KeyEmuTimerTimer();
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].first, "Tapwell:エラー");
  EXPECT_EQ(boxes.shown[0].second, "コマンドエラー [W]");
  EXPECT_EQ(m.stepper().record().Buf.str(), "#");
}

TEST_F(MainBehaviourTest, StopPausesAndPlayResumesWithAltTab) {
  Tmain& m = form();
  m.Edit1->setText(QStringLiteral("_a_b"));
  m.TestBtn->click();
  m.KeyEmuTimerTimer();
  m.StopBtn->click();
  EXPECT_EQ(m.StopBtn->text(), "Play");
  EXPECT_FALSE(m.KeyEmuTimer->scheduled());
  m.StopBtn->click();
  EXPECT_EQ(m.StopBtn->text(), "Stop");
  EXPECT_TRUE(m.KeyEmuTimer->scheduled());
  EXPECT_EQ(m.stepper().record().Buf.str(), ">Alt_Tab<Alt_b#");
  for (int i = 0; i < 5; ++i) m.KeyEmuTimerTimer();
  EXPECT_EQ(keyboard.events, (std::vector<fake::KeyEvent>{Down(65), Up(65), Down(18), Down(9), Up(9), Up(18),
                                                          Down(66), Up(66)}));
  // Stop after the end: nothing happens.
  m.StopBtn->click();
  EXPECT_EQ(m.StopBtn->text(), "Stop");
}

TEST_F(MainBehaviourTest, TheStepperRunsOnItsTimer) {
  Tmain& m = form();
  m.Edit1->setText(QStringLiteral("_a\"bc\""));
  m.TestBtn->click();
  QTRY_VERIFY_WITH_TIMEOUT(!m.stepper().record().Running, 20000);
  EXPECT_EQ(keyboard.events,
            (std::vector<fake::KeyEvent>{Down(65), Up(65), Down(66), Up(66), Down(67), Up(67)}));
}

TEST_F(MainBehaviourTest, AFailingHandlerIsReportedAndTheProgramGoesOn) {
  Tmain& m = form();
  m.Edit1->setText(QStringLiteral("_a!x_b"));
  m.TestBtn->click();
  QTRY_COMPARE_WITH_TIMEOUT(errors.shown.size(), size_t{1}, 20000);
  EXPECT_EQ(errors.shown[0].first, "Tapwell");
  EXPECT_EQ(errors.shown[0].second, "'x' は整数ではありません.");
  // Work before the failure stays done; the stepper is halted on the wait.
  EXPECT_EQ(keyboard.events, (std::vector<fake::KeyEvent>{Down(65), Up(65)}));
  EXPECT_TRUE(m.stepper().record().Running);
  EXPECT_EQ(m.stepper().record().Buf.str().rfind("!x", 0), 0u);
  EXPECT_FALSE(m.KeyEmuTimer->scheduled());
  // The window still works.
  m.Edit1->setText(QStringLiteral("_c"));
  m.TestBtn->click();
  QTRY_VERIFY_WITH_TIMEOUT(!m.stepper().record().Running, 20000);
  EXPECT_EQ(keyboard.events.back(), Up(67));
}

TEST_F(MainBehaviourTest, GuardReportAppendsThePointOnlyWhenNeeded) {
  Tmain& m = form();
  m.guard().run([] { throw EInOutError("書き込めません"); });
  m.guard().run([] { throw EInOutError("done."); });
  m.guard().run([] { throw EInOutError("ends with !"); });
  ASSERT_EQ(errors.shown.size(), 3u);
  EXPECT_EQ(errors.shown[0].second, "書き込めません.");
  EXPECT_EQ(errors.shown[1].second, "done.");
  EXPECT_EQ(errors.shown[2].second, "ends with !");
}

TEST_F(MainBehaviourTest, HideAndShowKeepTheScriptGoing) {
  Tmain& m = form();
  m.show();
  m.Edit1->setText(QStringLiteral("_a_b"));
  m.TestBtn->click();
  m.KeyEmuTimerTimer();
  m.HideBtn->click();
  EXPECT_FALSE(m.isVisible());
  EXPECT_TRUE(m.KeyEmuTimer->scheduled());
  EXPECT_TRUE(m.Timer1->isActive());
  EXPECT_TRUE(m.IconTray1->Registered());
  m.show1->trigger();
  EXPECT_TRUE(m.isVisible());
  EXPECT_EQ(m.stepper().record().Buf.str(), "_b#");
  m.Hide1->trigger();
  EXPECT_FALSE(m.isVisible());
  m.show1->trigger();
  EXPECT_TRUE(m.isVisible());
  m.hide();
}

TEST_F(MainBehaviourTest, TrayLeftClickOpensTheShowExitMenu) {
  Tmain& m = form();
  QSignalSpy popped(m.PopupMenu1, &TPopupMenu::poppedUp);
  tray.activate(platform::TrayActivation::Context);
  tray.activate(platform::TrayActivation::DoubleClick);
  EXPECT_EQ(popped.count(), 0);
  tray.activate(platform::TrayActivation::Click);
  ASSERT_EQ(popped.count(), 1);
  EXPECT_EQ(QPoint(popped[0][0].toInt(), popped[0][1].toInt()), QCursor::pos());
  m.PopupMenu1->hide();
}

TEST_F(MainBehaviourTest, AFailingTrayHandlerIsReportedAndGoesNoFurther) {
  Tmain& m = form();
  QSignalSpy popped(m.PopupMenu1, &TPopupMenu::poppedUp);
  m.IconTray1->OnClick = [](TIconTray*) { throw EInOutError("tray handler failed"); };
  EXPECT_NO_THROW(tray.activate(platform::TrayActivation::Click));
  ASSERT_EQ(errors.shown.size(), 1u);
  EXPECT_EQ(errors.shown[0].second, "tray handler failed.");
  EXPECT_EQ(popped.count(), 0);
}

TEST_F(MainBehaviourTest, CheckScriptShowsTheFindingsOfTheScriptBox) {
  Tmain& m = form();
  m.Edit1->setText(QString::fromUtf8("_return\"W\"'日本"));
  m.CheckScriptItem->trigger();
  m.Edit1->setText(QStringLiteral("_enter"));
  m.CheckScriptItem->trigger();
  ASSERT_EQ(boxes.shown.size(), 2u);
  EXPECT_EQ(boxes.shown[0].first, "Tapwell");
  EXPECT_EQ(boxes.shown[0].second,
            "2: warning: 'return' is no key name: it strikes only R; did you mean ENTER?\n"
            "9: warning: 'W' needs Shift on the us layout: the literal types its key unshifted; use '...' "
            "for exact "
            "text\n"
            "11: error: unclosed text: no closing \"'\"; nothing of it is typed");
  EXPECT_EQ(boxes.shown[1].second, "No problems found.");
  EXPECT_TRUE(keyboard.events.empty());
}

TEST_F(MainBehaviourTest, AboutShowsTitleAndVersionOnTwoLines) {
  Tmain& m = form();
  m.About1->trigger();
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].first, "バージョン情報");
  EXPECT_EQ(boxes.shown[0].second, "Tapwell\nVersion 0.1.0.0");
}

class TempDir {
 public:
  TempDir() {
    path_ = std::filesystem::temp_directory_path() /
            ("tapwell_ui_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

void Touch(const std::filesystem::path& p) {
  std::filesystem::create_directories(p.parent_path());
  std::ofstream(p) << "<html></html>";
}

TEST_F(MainBehaviourTest, HelpOpensTheDocumentBesideTheProgram) {
  TempDir dir;
  Touch(dir.path() / "bin" / "tapwellhelp.html");
  programFolder = (dir.path() / "bin").string() + "/";
  form().Help2->trigger();
  ASSERT_EQ(launcher.tokens.size(), 1u);
  EXPECT_EQ(launcher.tokens[0],
            (std::filesystem::canonical(dir.path() / "bin" / "tapwellhelp.html")).string());
}

TEST_F(MainBehaviourTest, HelpOpensTheInstalledDocument) {
  TempDir dir;
  std::filesystem::create_directories(dir.path() / "bin");
  Touch(dir.path() / "share" / "doc" / "tapwell" / "tapwellhelp.html");
  programFolder = (dir.path() / "bin").string() + "/";
  form().Help2->trigger();
  ASSERT_EQ(launcher.tokens.size(), 1u);
  EXPECT_EQ(
      launcher.tokens[0],
      (std::filesystem::canonical(dir.path() / "share" / "doc" / "tapwell" / "tapwellhelp.html")).string());
}

TEST_F(MainBehaviourTest, HelpThatCannotBeOpenedIsReportedWithItsPath) {
  TempDir dir;
  Touch(dir.path() / "tapwellhelp.html");
  programFolder = dir.path().string() + "/";
  const std::string path = std::filesystem::canonical(dir.path() / "tapwellhelp.html").string();
  launcher.openError = "xdg-open is not installed";
  form().Help2->trigger();
  ASSERT_EQ(errors.shown.size(), 1u);
  EXPECT_EQ(errors.shown[0].second, "ヘルプを開けません: " + path + " (xdg-open is not installed)");
  // An opener that gives up later reports from its own thread.
  launcher.openError.clear();
  form().Help2->trigger();
  ASSERT_TRUE(launcher.laterFailure);
  std::thread([failed = launcher.laterFailure] { failed("xdg-open ended with status 3"); }).join();
  EXPECT_TRUE(QTest::qWaitFor([&] { return errors.shown.size() == 2; }, 5000));
  ASSERT_EQ(errors.shown.size(), 2u);
  EXPECT_EQ(errors.shown[1].second, "ヘルプを開けません: " + path + " (xdg-open ended with status 3)");
}

TEST_F(MainBehaviourTest, HelpIgnoresTheCurrentDirectory) {
  TempDir dir;
  Touch(dir.path() / "cwd" / "tapwellhelp.html");
  std::filesystem::create_directories(dir.path() / "bin");
  const auto old = std::filesystem::current_path();
  std::filesystem::current_path(dir.path() / "cwd");
  programFolder = (dir.path() / "bin").string() + "/";
  form().Help2->trigger();
  std::filesystem::current_path(old);
  EXPECT_TRUE(launcher.tokens.empty());
  EXPECT_TRUE(errors.shown.empty());
}

TEST_F(MainBehaviourTest, CloseBoxEndsTheProgramLikeExit) {
  Tmain& m = form();
  m.show();
  m.close();
  EXPECT_EQ(quits, 1);
  EXPECT_FALSE(m.isVisible());
  m.Exit1->trigger();
  EXPECT_EQ(quits, 2);
  m.exit2->trigger();
  EXPECT_EQ(quits, 3);
}

TEST_F(MainBehaviourTest, EndReleasesTheKeysAScriptHolds) {
  Tmain& m = form();
  m.Edit1->setText(QStringLiteral(">shift>ctrl_a!10_b"));
  m.TestBtn->click();
  for (int i = 0; i < 4; ++i) m.KeyEmuTimerTimer();
  keyboard.events.clear();
  m.Exit1->trigger();
  EXPECT_EQ(keyboard.events, (std::vector<fake::KeyEvent>{Up(17), Up(16)}));
  EXPECT_FALSE(m.KeyEmuTimer->scheduled());
  EXPECT_EQ(quits, 1);
}

class ReservationTest : public MainFixture {
 protected:
  Tmain& reserve(int h, int m, int s, const char* script = "_a") {
    Tmain& f = form();
    f.Hour->setCurrentIndex(h);
    f.Minute->setCurrentIndex(m);
    f.Second->setCurrentIndex(s);
    f.Edit1->setText(QString::fromUtf8(script));
    return f;
  }
  void tickAt(int h, int m, int s, int ms = 5, int day = 7) {
    clock.time = {2026, 12, day, h, m, s, ms};
    form().Timer1Timer();
  }
};

TEST_F(ReservationTest, FiresAtTheReservedSecondAndShowsTheClock) {
  Tmain& m = reserve(9, 5, 7);
  tickAt(9, 5, 6);
  EXPECT_EQ(m.Label2->text(), "9:05:06");
  EXPECT_FALSE(m.stepper().record().Running);
  tickAt(9, 5, 7);
  EXPECT_EQ(m.Label2->text(), "9:05:07");
  EXPECT_TRUE(m.stepper().record().Running);
  EXPECT_EQ(m.stepper().record().Buf.str(), "_a#");
}

TEST_F(ReservationTest, DriftThatSkipsTheReservedSecondStillFires) {
  Tmain& m = reserve(9, 5, 7);
  tickAt(9, 5, 6, 998);
  tickAt(9, 5, 8, 2);
  EXPECT_EQ(m.stepper().record().Buf.str(), "_a#");
  EXPECT_EQ(m.Label2->text(), "9:05:08");
}

TEST_F(ReservationTest, AGapOfSixSecondsDropsTheOldestSecond) {
  Tmain& m = reserve(9, 5, 7);
  tickAt(9, 5, 6);
  tickAt(9, 5, 13);  // 9:05:07 is six seconds old
  EXPECT_FALSE(m.stepper().record().Running);
  m.Second->setCurrentIndex(8);
  tickAt(9, 5, 3, 5, 8);
  tickAt(9, 5, 12, 5, 8);  // 9:05:08 is within the last five seconds
  EXPECT_TRUE(m.stepper().record().Running);
}

TEST_F(ReservationTest, AListWithoutASelectionNeverFires) {
  Tmain& m = reserve(9, 5, 7);
  m.Second->setCurrentIndex(-1);
  for (int s = 0; s < 60; ++s) tickAt(9, 5, s);
  EXPECT_FALSE(m.stepper().record().Running);
  EXPECT_EQ(m.reservedTime().second, std::nullopt);
}

TEST_F(ReservationTest, FiresAgainTheNextDayButOnlyOncePerDateAndTime) {
  Tmain& m = reserve(0, 0, 0);
  tickAt(23, 59, 59, 5, 7);
  tickAt(0, 0, 0, 5, 8);
  ASSERT_TRUE(m.stepper().record().Running);
  m.KeyEmuTimerTimer();
  m.KeyEmuTimerTimer();
  ASSERT_FALSE(m.stepper().record().Running);
  // The clock set back over the reserved second: not again.
  tickAt(23, 59, 58, 5, 7);
  tickAt(0, 0, 0, 5, 8);
  EXPECT_FALSE(m.stepper().record().Running);
  // The next day it fires again, with the text the box holds then.
  m.Edit1->setText(QStringLiteral("_b"));
  tickAt(23, 59, 59, 500, 8);
  tickAt(0, 0, 0, 5, 9);
  EXPECT_EQ(m.stepper().record().Buf.str(), "_b#");
}

TEST_F(ReservationTest, FiringReplacesARunningScript) {
  Tmain& m = reserve(9, 5, 7, "_r");
  m.Edit1->setText(QStringLiteral("_a!100_b"));
  m.TestBtn->click();
  m.KeyEmuTimerTimer();
  m.Edit1->setText(QStringLiteral("_r"));
  tickAt(9, 5, 7);
  EXPECT_EQ(m.stepper().record().Buf.str(), "_r#");
}

class NoTrayTest : public MainFixture {};

TEST_F(NoTrayTest, RefusedAddIsReportedOnceAndCreationCompletes) {
  tray.isAvailable = false;
  Tmain& m = form();
  // Reported once the event loop runs, and only once.
  EXPECT_TRUE(errors.shown.empty());
  QCoreApplication::processEvents();
  ASSERT_EQ(errors.shown.size(), 1u);
  EXPECT_EQ(errors.shown[0].first, "Tapwell");
  EXPECT_EQ(errors.shown[0].second, "Registration Error.");
  EXPECT_EQ(m.windowTitle(), "Tapwell");
  EXPECT_FALSE(m.stepper().record().Running);
  EXPECT_FALSE(m.IconTray1->Registered());
  EXPECT_EQ(m.IconTray1->Hint(), "Tapwell");
}

TEST_F(NoTrayTest, HideMinimisesInsteadOfHiding) {
  tray.isAvailable = false;
  Tmain& m = form();
  m.show();
  m.HideBtn->click();
  EXPECT_TRUE(m.isVisible());
  EXPECT_TRUE(m.isMinimized());
  m.show1Click();
  EXPECT_FALSE(m.isMinimized());
  m.hide();
}

TEST_F(NoTrayTest, TheIconIsAddedWhenATrayHostAppears) {
  tray.isAvailable = false;
  Tmain& m = form();
  QCoreApplication::processEvents();
  m.Timer1Timer();
  EXPECT_FALSE(tray.shown);
  tray.setAvailable(true);
  EXPECT_TRUE(m.IconTray1->Registered());
  ASSERT_TRUE(tray.shown);
  EXPECT_EQ(tray.tip, "Tapwell");
  // A host that goes and comes back keeps the icon: nothing is shown again.
  const auto calls = tray.calls.size();
  tray.setAvailable(false);
  tray.setAvailable(true);
  EXPECT_EQ(tray.calls.size(), calls);
  EXPECT_EQ(errors.shown.size(), 1u);
}

TEST_F(NoTrayTest, WaitingForAHostHoldsTheReportBackAndAHostInTimeCancelsIt) {
  trayWait = std::chrono::minutes(1);
  tray.isAvailable = false;
  Tmain& m = form();
  QCoreApplication::processEvents();
  EXPECT_TRUE(m.waitingForTray());
  EXPECT_TRUE(errors.shown.empty());
  tray.setAvailable(true);
  EXPECT_TRUE(m.IconTray1->Registered());
  EXPECT_FALSE(m.waitingForTray());
  QCoreApplication::processEvents();
  EXPECT_TRUE(errors.shown.empty());
}

TEST_F(NoTrayTest, WithoutAHostTheReportComesOnceWhenTheWaitIsOver) {
  trayWait = std::chrono::milliseconds(1);
  tray.isAvailable = false;
  Tmain& m = form();
  QSignalSpy over(&m, &Tmain::trayWaitOver);
  // Nothing before the event loop has run the wait out.
  EXPECT_TRUE(m.waitingForTray());
  EXPECT_TRUE(errors.shown.empty());
  QTRY_COMPARE_WITH_TIMEOUT(errors.shown.size(), 1u, 5000);
  EXPECT_EQ(errors.shown[0].second, "Registration Error.");
  EXPECT_EQ(over.count(), 1);
  EXPECT_FALSE(m.waitingForTray());
  // A host that comes later still takes the icon, without a second report.
  tray.setAvailable(true);
  EXPECT_TRUE(m.IconTray1->Registered());
  QCoreApplication::processEvents();
  EXPECT_EQ(errors.shown.size(), 1u);
}

TEST_F(NoTrayTest, DestroyingTheWindowTakesTheIconOut) {
  form();
  ASSERT_TRUE(tray.shown);
  destroy();
  EXPECT_FALSE(tray.shown);
}

}  // namespace
}  // namespace tapwell::ui
