// The button panels, the button editor, the layout files and the virtual keyboard
// as the user works them: records made into buttons, clicks that edit the script
// box, ToolSave and ToolLoad on a temporary program folder, KeyBord with its
// layouts, and the Tool menu.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMenuBar>
#include <QPointer>
#include <QStyle>

#include "core/product.h"
#include "handler_fixture.h"

namespace tapwell::ui::testing {
namespace {

namespace fs = std::filesystem;

using Panels = HandlerFixture;

QStringList Captions(const TButtonPanel& panel) {
  QStringList out;
  for (QPushButton* b : panel.madeButtons()) out << b->text();
  return out;
}

TEST_F(Panels, RecordBecomesAButtonThatAppendsItsCaption) {
  Tmain& m = windows();
  QPushButton* b = tool2->MakeBtn("0010002000250075Enter");
  EXPECT_EQ(b->parentWidget(), tool2.get());
  EXPECT_EQ(b->geometry(), QRect(20, 10, 75, 25));
  EXPECT_EQ(b->text(), "Enter");
  // Made on a hidden panel, it shows with the panel.
  EXPECT_TRUE(b->isVisibleTo(tool2.get()));
  m.Edit1->setText("_a");
  b->click();
  EXPECT_EQ(m.Edit1->text(), "_aEnter");
  // The record list and the buttons are independent.
  EXPECT_TRUE(tool2->Memo1->toPlainText().isEmpty());

  QPushButton* bare = tool2->MakeBtn("0000000000200020");
  EXPECT_EQ(bare->text(), "");
  EXPECT_EQ(bare->geometry(), QRect(0, 0, 20, 20));
  bare->click();
  EXPECT_EQ(m.Edit1->text(), "_aEnter");
  EXPECT_EQ(tool2->madeButtons().size(), 2);
}

TEST_F(Panels, PanelClicksAppendEditOrClear) {
  Tmain& m = windows();
  QPushButton* amp = tool2->MakeBtn("0000000000250075&&");
  QPushButton* del = tool2->MakeBtn("0000000000250075削除");
  QPushButton* clear = tool2->MakeBtn("0000000000250075clear");
  QPushButton* shift = tool2->MakeBtn("0000000000250075>Shift");
  QPushButton* spaces = tool2->MakeBtn("0000000000250075_a  ");
  QPushButton* upper = tool2->MakeBtn("0000000000250075Clear");
  const struct {
    QPushButton* button;
    QString before, after;
  } cases[] = {
      {amp, "abc", "abc&"},
      {del, "abc", "ab"},
      {clear, "abc", ""},
      {shift, "abc", "abc>Shift"},
      {spaces, "abc", "abc_a  "},
      {upper, "abc", "abcClear"},  // compared exactly, case included
      {del, "", ""},
      // The last character goes whole, never a part of it.
      {del, QStringLiteral("_a\"日本"), QStringLiteral("_a\"日")},
      {del, QStringLiteral("x😀"), QStringLiteral("x")},
  };
  for (const auto& c : cases) {
    m.Edit1->setText(c.before);
    c.button->click();
    EXPECT_EQ(m.Edit1->text(), c.after) << c.button->text().toStdString() << " on " << c.before.toStdString();
  }
  EXPECT_TRUE(errors.shown.empty());
}

TEST_F(Panels, KeyboardKeysAlwaysAppendTheirCaption) {
  Tmain& m = windows();
  for (const char* caption : {"clear", "&&", "削除", ">shift", "_enter"}) {
    QPushButton* key = vkeybord->MakeBtn(std::string("0000000000250075") + caption);
    m.Edit1->setText("abc");
    key->click();
    EXPECT_EQ(m.Edit1->text(), QStringLiteral("abc") + QString::fromUtf8(caption)) << caption;
  }
}

TEST_F(Panels, CaptionsFollowTheAccessKeyRule) {
  windows();
  QPushButton* amp = tool2->MakeBtn("0000000000250075&&");
  QPushButton* marked = tool2->MakeBtn("0000000000250075&Save");
  // The caption is kept as written; "&&" shows one "&" and marks no key, "&S"
  // marks S.
  EXPECT_EQ(amp->text(), "&&");
  EXPECT_TRUE(QKeySequence::mnemonic(amp->text()).isEmpty());
  EXPECT_EQ(QKeySequence::mnemonic(marked->text()), QKeySequence(Qt::ALT | Qt::Key_S));
}

TEST_F(Panels, FieldsTakeTheStandardConversionAndAFailingFieldLeavesAHalfMadeButton) {
  Tmain& m = windows();
  QPushButton* spaced = tool2->MakeBtn("  12000000250075A");
  EXPECT_EQ(spaced->geometry(), QRect(0, 12, 75, 25));
  QPushButton* hex = tool2->MakeBtn("$00A000000250075B");
  EXPECT_EQ(hex->y(), 10);

  // "12  " is not a number: the button stays with its caption, the default place
  // and size, and no click handler.
  m.guard().run([&] { tool2->MakeBtn("12  000000250075Bad"); });
  EXPECT_EQ(onlyError(), "'12  ' は整数ではありません.");
  QList<QPushButton*> made = tool2->madeButtons();
  ASSERT_EQ(made.size(), 3);
  QPushButton* bad = made.back();
  EXPECT_EQ(bad->text(), "Bad");
  EXPECT_EQ(bad->geometry(), QRect(0, 0, 75, 25));
  m.Edit1->setText("abc");
  bad->click();
  EXPECT_EQ(m.Edit1->text(), "abc");

  // A failure in the height: top and left applied, the size left at the default.
  errors.shown.clear();
  m.guard().run([&] { tool2->MakeBtn("00300040xx  0075C"); });
  EXPECT_EQ(onlyError(), "'xx  ' は整数ではありません.");
  made = tool2->madeButtons();
  ASSERT_EQ(made.size(), 4);
  EXPECT_EQ(made.back()->geometry(), QRect(40, 30, 75, 25));
  EXPECT_EQ(made.back()->text(), "C");
}

TEST_F(Panels, ClosingThePanelsOnlyHidesThem) {
  windows();
  for (TButtonPanel* panel :
       {static_cast<TButtonPanel*>(tool2.get()), static_cast<TButtonPanel*>(vkeybord.get())}) {
    QPointer<TButtonPanel> alive(panel);
    panel->MakeBtn("0010002000250075Enter");
    panel->show();
    ASSERT_TRUE(panel->isVisible());
    EXPECT_TRUE(panel->close());
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_FALSE(alive.isNull());
    EXPECT_FALSE(panel->isVisible());
    EXPECT_EQ(Captions(*panel), QStringList{"Enter"});
  }
  tool2->Memo1->setPlainText("0010002000250075Enter");
  tool2->show();
  tool2->close();
  EXPECT_EQ(tool2->Memo1->toPlainText(), "0010002000250075Enter");
  EXPECT_TRUE(tool2->Memo1->isVisibleTo(tool2.get()));
  EXPECT_FALSE(tool2->Memo1->isReadOnly());
}

// The button editor.

TEST_F(Panels, LookAndAddWithTheStartValues) {
  windows();
  toolAdd->Caption->setText("A");
  toolAdd->look->click();
  ASSERT_EQ(tool2->madeButtons().size(), 1);
  QPushButton* a = tool2->madeButtons().front();
  EXPECT_EQ(a->geometry(), QRect(0, 0, 20, 20));
  EXPECT_EQ(a->text(), "A");
  EXPECT_TRUE(tool2->Memo1->toPlainText().isEmpty());
  EXPECT_FALSE(tool2->isVisible());

  toolAdd->add->click();
  EXPECT_EQ(tool2->Memo1->toPlainText(), "0000000000200020A");
  EXPECT_EQ(tool2->madeButtons().size(), 1);
  toolAdd->Caption->setText("B ");
  toolAdd->Top->setText(" 30");
  toolAdd->add->click();
  EXPECT_EQ(tool2->Memo1->toPlainText(), "0000000000200020A\n0030000000200020B ");
  // An empty last line is taken by the next record.
  tool2->Memo1->setPlainText("x\n");
  toolAdd->add->click();
  EXPECT_EQ(tool2->Memo1->toPlainText(), "x\n0030000000200020B ");
  EXPECT_TRUE(errors.shown.empty());
}

TEST_F(Panels, EditorKeepsTheColumnsOrMakesNothing) {
  windows();
  toolAdd->Caption->setText("N");
  toolAdd->Top->setText("-5");
  toolAdd->look->click();
  toolAdd->add->click();
  ASSERT_EQ(tool2->madeButtons().size(), 1);
  EXPECT_EQ(tool2->madeButtons().front()->geometry(), QRect(0, -5, 20, 20));
  EXPECT_EQ(tool2->Memo1->toPlainText(), "-005000000200020N");
  EXPECT_TRUE(errors.shown.empty());

  // Numbers that do not fit four characters, and texts that are not numbers.
  const struct {
    QLineEdit* field;
    const char* text;
    const char* named;
  } bad[] = {{toolAdd->Top, "-1000", "上端"},
             {toolAdd->Left, "10000", "左端"},
             {toolAdd->Height, "", "''"},
             {toolAdd->Width, "2O", "'2O'"}};
  for (const auto& c : bad) {
    toolAdd->Top->setText("0");
    toolAdd->Left->setText("0");
    toolAdd->Height->setText("20");
    toolAdd->Width->setText("20");
    c.field->setText(c.text);
    errors.shown.clear();
    toolAdd->look->click();
    toolAdd->add->click();
    ASSERT_EQ(errors.shown.size(), 2u) << c.text;
    EXPECT_NE(errors.shown[0].second.find(c.named), std::string::npos) << errors.shown[0].second;
    EXPECT_EQ(tool2->madeButtons().size(), 1) << c.text;
    EXPECT_EQ(tool2->Memo1->toPlainText(), "-005000000200020N") << c.text;
  }
  // The first failing field in the order top, left, height, width is named.
  toolAdd->Top->setText("x");
  toolAdd->Width->setText("y");
  errors.shown.clear();
  toolAdd->add->click();
  EXPECT_EQ(onlyError(), "'x' は整数ではありません.");
}

// The main window's commands.

TEST_F(Panels, ToolSaveWritesTheListAndToolLoadMakesItAgain) {
  Tmain& m = windows();
  const fs::path key = root / "key.txt";
  m.ToolSave->click();
  EXPECT_EQ(Read(key), "\r\n");
  m.ToolLoad->click();
  EXPECT_TRUE(tool2->madeButtons().isEmpty());
  EXPECT_TRUE(tool2->Memo1->toPlainText().isEmpty());

  tool2->Memo1->setPlainText("0010002000250075Enter\n0040002000250075_a\n");
  m.ToolSave->click();
  EXPECT_EQ(Read(key), "0010002000250075Enter\r\n0040002000250075_a\r\n\r\n");
  tool2->Memo1->clear();
  m.ToolLoad->click();
  EXPECT_EQ(Captions(*tool2), (QStringList{"Enter", "_a"}));
  EXPECT_EQ(tool2->Memo1->toPlainText(), "0010002000250075Enter\n0040002000250075_a");
  EXPECT_FALSE(tool2->isVisible());
  EXPECT_TRUE(errors.shown.empty());
}

TEST_F(Panels, ToolLoadSkipsEmptyLinesAddsToWhatIsThereAndTwiceGivesEverythingTwice) {
  Tmain& m = windows();
  Write(root / "key.txt", "\r\n0010002000250075A\r\n\r\n\r\n0040002000250075B\r\n");
  tool2->Memo1->setPlainText("mine");
  m.ToolLoad->click();
  m.ToolLoad->click();
  EXPECT_EQ(Captions(*tool2), (QStringList{"A", "B", "A", "B"}));
  const QList<QPushButton*> made = tool2->madeButtons();
  EXPECT_EQ(made[0]->geometry(), made[2]->geometry());
  EXPECT_EQ(tool2->Memo1->toPlainText(),
            "mine\n0010002000250075A\n0040002000250075B\n0010002000250075A\n0040002000250075B");
  EXPECT_TRUE(errors.shown.empty());
}

TEST_F(Panels, LineFeedEndsARecordAndToolSaveWritesTheSameRecords) {
  Tmain& m = windows();
  Write(root / "key.txt", "0010002000250075A\n0040002000250075B\n");
  m.ToolLoad->click();
  ASSERT_EQ(tool2->madeButtons().size(), 2);
  EXPECT_EQ(tool2->madeButtons().front()->geometry(), QRect(20, 10, 75, 25));
  EXPECT_EQ(tool2->madeButtons().back()->text(), "B");
  m.ToolSave->click();
  EXPECT_EQ(Read(root / "key.txt"), "0010002000250075A\r\n0040002000250075B\r\n");
  EXPECT_TRUE(errors.shown.empty());
}

TEST_F(Panels, ToolLoadStopsAtAFailingRecord) {
  Tmain& m = windows();
  Write(root / "key.txt", "0010002000250075A\r\n00x0002000250075Bad\r\n0040002000250075C\r\n");
  m.ToolLoad->click();
  EXPECT_EQ(onlyError(), "'00x0' は整数ではありません.");
  EXPECT_EQ(Captions(*tool2), (QStringList{"A", "Bad"}));
  EXPECT_EQ(tool2->madeButtons().back()->geometry(), QRect(0, 0, 75, 25));
  EXPECT_EQ(tool2->Memo1->toPlainText(), "0010002000250075A");
}

TEST_F(Panels, LayoutFileErrorsAreReportedWithThePath) {
  Tmain& m = windows();
  m.ToolLoad->click();
  EXPECT_NE(onlyError().find((root / "key.txt").string()), std::string::npos) << onlyError();
  EXPECT_TRUE(tool2->madeButtons().isEmpty());

  // key.txt cannot be written: reported, and the record list is as it was.
  errors.shown.clear();
  fs::create_directories(root / "key.txt" / "inside");
  tool2->Memo1->setPlainText("0010002000250075A");
  m.ToolSave->click();
  EXPECT_NE(onlyError().find((root / "key.txt").string()), std::string::npos) << onlyError();
  EXPECT_EQ(tool2->Memo1->toPlainText(), "0010002000250075A");
  EXPECT_TRUE(fs::is_directory(root / "key.txt" / "inside"));
}

TEST_F(Panels, EditerShowsThePanelAndToolMakeTheEditorToo) {
  Tmain& m = windows();
  m.Editer->click();
  EXPECT_TRUE(tool2->isVisible());
  EXPECT_FALSE(toolAdd->isVisible());
  tool2->hide();
  m.ToolMake->click();
  EXPECT_TRUE(toolAdd->isVisible());
  EXPECT_TRUE(tool2->isVisible());
  EXPECT_FALSE(vkeybord->isVisible());
}

// The outer size of a window: its frame when one is known, else the standard
// sizeable frame around the inside.
QSize OuterSize(const QWidget& w) {
  if (w.frameGeometry() != w.geometry()) return w.frameGeometry().size();
  return w.size().grownBy(TForm::kStandardFrame);
}

TEST_F(Panels, KeyBordReadsTheNamedLayoutFromTheProgramFolderAndShowsTheKeyboard) {
  Tmain& m = windows();
  Write(root / "sample1", "0000000000250050_a\r\n0000005000250050_b\r\n");
  m.ComboBox2->setCurrentIndex(m.ComboBox2->findText("sample1"));
  ASSERT_EQ(m.ComboBox2->currentText(), "sample1");
  m.KeyBord->click();
  ASSERT_TRUE(errors.shown.empty()) << onlyError();
  EXPECT_TRUE(vkeybord->isVisible());
  EXPECT_EQ(OuterSize(*vkeybord), QSize(200, 300));
  EXPECT_EQ(Captions(*vkeybord), (QStringList{"_a", "_b"}));
  EXPECT_EQ(vkeybord->Memo1->toPlainText(), "0000000000250050_a\n0000005000250050_b");
  EXPECT_FALSE(vkeybord->Memo1->isVisible());

  vkeybord->resize(50, 50);
  m.KeyBord->click();
  EXPECT_EQ(Captions(*vkeybord), (QStringList{"_a", "_b", "_a", "_b"}));
  EXPECT_EQ(OuterSize(*vkeybord), QSize(200, 300));

  m.Edit1->setText("x");
  vkeybord->madeButtons()[1]->click();
  EXPECT_EQ(m.Edit1->text(), "x_b");
  // Tool2's list is not touched.
  EXPECT_TRUE(tool2->Memo1->toPlainText().isEmpty());
}

TEST_F(Panels, KeyBordFallsBackToTheShippedLayoutAndReadsKeyTxtByDefault) {
  shippedLayouts = std::string(TAPWELL_SOURCE_DIR) + "/packaging/layouts";
  Tmain& m = windows();
  EXPECT_EQ(m.ComboBox2->currentText(), "key.txt");
  m.ComboBox2->setEditText("sample1");
  m.KeyBord->click();
  ASSERT_TRUE(errors.shown.empty()) << onlyError();
  const QStringList captions = Captions(*vkeybord);
  EXPECT_GT(captions.size(), 40);
  EXPECT_TRUE(captions.contains("_a"));
  EXPECT_TRUE(captions.contains("_enter"));
  EXPECT_EQ(vkeybord->Memo1->toPlainText().split('\n').size(), captions.size());

  // key.txt is the program folder's own; with none there, nothing is shipped in its place.
  vkeybord->hide();
  errors.shown.clear();
  m.ComboBox2->setEditText("key.txt");
  m.KeyBord->click();
  EXPECT_NE(onlyError().find((root / "key.txt").string()), std::string::npos) << onlyError();
  EXPECT_FALSE(vkeybord->isVisible());
  Write(root / "key.txt", "0010002000250075Enter\r\n");
  m.KeyBord->click();
  EXPECT_TRUE(vkeybord->isVisible());
  EXPECT_EQ(Captions(*vkeybord).back(), "Enter");
}

TEST_F(Panels, ShippedLayoutsFitTheKeyboardWindowAndTheirCaptionsTheirKeys) {
  shippedLayouts = std::string(TAPWELL_SOURCE_DIR) + "/packaging/layouts";
  Tmain& m = windows();
  for (const QString& name : {QStringLiteral("sample1"), QStringLiteral("ThinkPad235")}) {
    SCOPED_TRACE(name.toStdString());
    const qsizetype before = vkeybord->madeButtons().size();
    m.ComboBox2->setEditText(name);
    m.KeyBord->click();
    ASSERT_TRUE(errors.shown.empty()) << onlyError();
    const QSize outer = OuterSize(*vkeybord);
    EXPECT_GE(outer.width(), 200);
    EXPECT_GE(outer.height(), 300);
    const QList<QPushButton*> keys = vkeybord->madeButtons().mid(before);
    ASSERT_GT(keys.size(), 40);
    for (QPushButton* key : keys) {
      EXPECT_TRUE(vkeybord->rect().contains(key->geometry())) << key->text().toStdString();
      const int text = key->fontMetrics().horizontalAdvance(key->text());
      EXPECT_LE(text + key->style()->pixelMetric(QStyle::PM_ButtonMargin), key->width())
          << key->text().toStdString() << " needs " << text;
    }
  }
}

TEST_F(Panels, KeyBordWithAFailingRecordNeitherShowsNorSizesTheKeyboard) {
  Tmain& m = windows();
  Write(root / "bad", "0000000000250050_a\r\n0000005000250050_b\r\nxxxx\r\n0000010000250050_c\r\n");
  m.ComboBox2->setEditText("bad");
  const QSize before = vkeybord->size();
  m.KeyBord->click();
  EXPECT_EQ(onlyError(), "'xxxx' は整数ではありません.");
  EXPECT_FALSE(vkeybord->isVisible());
  EXPECT_EQ(vkeybord->size(), before);
  EXPECT_EQ(Captions(*vkeybord), (QStringList{"_a", "_b", ""}));
  EXPECT_EQ(vkeybord->Memo1->toPlainText(), "0000000000250050_a\n0000005000250050_b");
}

TEST_F(Panels, ToolMenuReachesThePanelCommandsAndTheCheckAndTheMainWindowKeepsItsLayout) {
  Tmain& m = windows();
  ASSERT_EQ(m.MainMenu1->actions().size(), 3);
  EXPECT_EQ(m.MainMenu1->actions()[1], m.Tool1->menuAction());
  EXPECT_EQ(m.Tool1->title(), "Tool");
  QStringList items;
  for (QAction* a : m.Tool1->actions()) {
    items << a->text();
    EXPECT_TRUE(a->shortcut().isEmpty());
  }
  EXPECT_EQ(items, (QStringList{"Editer", "ToolSave", "ToolLoad", "ToolMake", "KeyBord", "Check script"}));
  // The window's client area and the controls below it are as they were.
  EXPECT_EQ(m.client->size(), QSize(kMainClientWidth, kMainClientHeight));
  EXPECT_EQ(m.KeyBord->geometry(), QRect(40, 160, 75, 25));
  EXPECT_EQ(m.Editer->geometry(), QRect(120, 128, 75, 25));

  m.EditerItem->trigger();
  EXPECT_TRUE(tool2->isVisible());
  tool2->hide();
  m.ToolMakeItem->trigger();
  EXPECT_TRUE(toolAdd->isVisible());
  EXPECT_TRUE(tool2->isVisible());

  tool2->Memo1->setPlainText("0010002000250075Enter");
  m.ToolSaveItem->trigger();
  EXPECT_EQ(Read(root / "key.txt"), "0010002000250075Enter\r\n");
  m.ToolLoadItem->trigger();
  EXPECT_EQ(Captions(*tool2), QStringList{"Enter"});
  m.KeyBordItem->trigger();
  EXPECT_TRUE(vkeybord->isVisible());
  EXPECT_EQ(Captions(*vkeybord), QStringList{"Enter"});
  EXPECT_TRUE(errors.shown.empty()) << onlyError();

  // Failures of a menu command go to the error report like the button's.
  fs::remove(root / "key.txt");
  m.ToolLoadItem->trigger();
  EXPECT_NE(onlyError().find("key.txt"), std::string::npos) << onlyError();
}

}  // namespace
}  // namespace tapwell::ui::testing
