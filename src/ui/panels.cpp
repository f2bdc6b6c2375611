#include "ui/panels.h"

#include <QResizeEvent>

namespace tapwell::ui {

namespace {

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, int x, int y, int w) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setGeometry(x, y, w, 12);
  return label;
}

QLineEdit* MakeEdit(QWidget* parent, const char* name, const QString& text, int y, bool inputMethod) {
  auto* edit = new QLineEdit(text, parent);
  edit->setObjectName(QString::fromLatin1(name));
  edit->setGeometry(40, y, 121, 20);
  if (!inputMethod)
    edit->setAttribute(Qt::WA_InputMethodEnabled, false);
  return edit;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& text, int x, int y) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setGeometry(x, y, 75, 25);
  button->setAutoDefault(false);
  return button;
}

}  // namespace

TTool2::TTool2(QWidget* parent) : TForm(parent) {
  setObjectName(QStringLiteral("Tool2"));
  setWindowTitle(QStringLiteral("Tool2"));
  setOuterGeometry(543, -1, 258, 358);
  Memo1 = new QPlainTextEdit(this);
  Memo1->setObjectName(QStringLiteral("Memo1"));
  Memo1->setGeometry(152, 0, 97, 329);
}

TToolAdd::TToolAdd(QWidget* parent) : TForm(parent) {
  setObjectName(QStringLiteral("ToolAdd"));
  setWindowTitle(QStringLiteral("ToolAdd"));
  setOuterGeometry(269, 147, 178, 198);
  Label1 = MakeLabel(this, "Label1", QStringLiteral("名前"), 8, 8, 24);
  Label2 = MakeLabel(this, "Label2", QStringLiteral("上端"), 8, 32, 24);
  Label3 = MakeLabel(this, "Label3", QStringLiteral("左端"), 8, 56, 24);
  Label4 = MakeLabel(this, "Label4", QStringLiteral("高さ"), 8, 80, 21);
  Label5 = MakeLabel(this, "Label5", QStringLiteral("幅"), 8, 104, 12);
  Caption = MakeEdit(this, "Caption", QString(), 8, true);
  Top = MakeEdit(this, "Top", QStringLiteral("0"), 32, false);
  Left = MakeEdit(this, "Left", QStringLiteral("0"), 56, false);
  Height = MakeEdit(this, "Height", QStringLiteral("20"), 80, false);
  Width = MakeEdit(this, "Width", QStringLiteral("20"), 104, false);
  look = MakeButton(this, "look", QStringLiteral("look"), 8, 136);
  add = MakeButton(this, "add", QStringLiteral("add"), 88, 136);
  QWidget* order[] = {Caption, Top, Left, Height, Width, look, add};
  for (std::size_t i = 0; i + 1 < std::size(order); ++i) QWidget::setTabOrder(order[i], order[i + 1]);
}

TVKeyBord::TVKeyBord(QWidget* parent) : TForm(parent) {
  setObjectName(QStringLiteral("VKeyBord"));
  setWindowTitle(QStringLiteral("VKeyBord"));
  setOuterGeometry(200, 107, 112, 27);
  Memo1 = new QPlainTextEdit(this);
  Memo1->setObjectName(QStringLiteral("Memo1"));
  Memo1->setGeometry(0, 0, 104, 1);
  Memo1->setVisible(false);
}

void TVKeyBord::resizeEvent(QResizeEvent* event) {
  TForm::resizeEvent(event);
  // The memo fills the client area.
  Memo1->setGeometry(rect());
}

}  // namespace tapwell::ui
