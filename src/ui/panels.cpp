#include "ui/panels.h"

#include <QResizeEvent>

#include "store/button_record.h"
#include "store/layout_file.h"

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

// Marks the buttons made from records among a window's children.
constexpr const char* kMadeProperty = "tapwellMadeButton";

// Runs a click through the guard; without one a failure is dropped rather than
// let through the event loop.
template <class F>
void RunGuarded(Guard* guard, F&& handler) {
  if (guard) {
    guard->run(std::forward<F>(handler));
    return;
  }
  try {
    handler();
  } catch (...) {
  }
}

}  // namespace

TButtonPanel::TButtonPanel(QWidget* parent) : TForm(parent) {}

void TButtonPanel::setScriptBox(QLineEdit* scriptBox, Guard* guard) {
  scriptBox_ = scriptBox;
  guard_ = guard;
}

QPushButton* TButtonPanel::MakeBtn(const std::string& record) {
  // 1. A new push button, owned by the window, at the toolkit's default place and
  //    size until the record says otherwise.
  auto* button = new QPushButton(this);
  button->setProperty(kMadeProperty, true);
  button->setAutoDefault(false);
  button->setGeometry(0, 0, 75, 25);
  // 2. The caption: "&" marks the next character as the access key, "&&" shows one "&".
  button->setText(Q(store::RecordCaption(record)));
  // 3. It stands in the window's client area.
  button->show();
  // 4. The four fields, each converted just before it is applied.
  store::ApplyRecordFields(record, [button](store::RecordField field, std::int32_t value) {
    switch (field) {
      case store::RecordField::Top:
        button->move(button->x(), value);
        break;
      case store::RecordField::Left:
        button->move(value, button->y());
        break;
      case store::RecordField::Height:
        button->resize(button->width(), value);
        break;
      case store::RecordField::Width:
        button->resize(value, button->height());
        break;
    }
  });
  // 5. The click handler.
  connect(button, &QPushButton::clicked, this,
          [this, button] { RunGuarded(guard_, [&] { BtnClick(button); }); });
  return button;
}

QList<QPushButton*> TButtonPanel::madeButtons() const {
  QList<QPushButton*> made;
  for (QPushButton* b : findChildren<QPushButton*>(QString(), Qt::FindDirectChildrenOnly)) {
    if (b->property(kMadeProperty).toBool())
      made.push_back(b);
  }
  return made;
}

void TButtonPanel::AppendLine(QPlainTextEdit* memo, const std::string& record) {
  memo->setPlainText(Q(store::AppendRecordLine(S(memo->toPlainText()), record)));
  memo->moveCursor(QTextCursor::End);
}

QString WithoutLastCharacter(const QString& text) {
  if (text.isEmpty())
    return text;
  qsizetype cut = 1;
  if (text.size() >= 2 && text.back().isLowSurrogate() && text.at(text.size() - 2).isHighSurrogate())
    cut = 2;
  return text.left(text.size() - cut);
}

TTool2::TTool2(QWidget* parent) : TButtonPanel(parent) {
  setObjectName(QStringLiteral("Tool2"));
  setWindowTitle(QStringLiteral("Tool2"));
  setOuterGeometry(543, -1, 258, 358);
  Memo1 = new QPlainTextEdit(this);
  Memo1->setObjectName(QStringLiteral("Memo1"));
  Memo1->setGeometry(152, 0, 97, 329);
}

void TTool2::BtnClick(QPushButton* sender) {
  QLineEdit* box = scriptBox();
  if (!box)
    return;
  const QString caption = sender->text();
  const QString text = box->text();
  if (caption == QStringLiteral("&&")) {
    box->setText(text + QStringLiteral("&"));
  } else if (caption == QStringLiteral("削除")) {
    box->setText(WithoutLastCharacter(text));
  } else if (caption == QStringLiteral("clear")) {
    box->setText(QString());
  } else {
    box->setText(text + caption);
  }
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

void TToolAdd::setPanel(TTool2* panel, Guard* guard) {
  panel_ = panel;
  disconnect(look, nullptr, this, nullptr);
  disconnect(add, nullptr, this, nullptr);
  connect(look, &QPushButton::clicked, this, [this, guard] { RunGuarded(guard, [this] { lookClick(); }); });
  connect(add, &QPushButton::clicked, this, [this, guard] { RunGuarded(guard, [this] { addClick(); }); });
}

std::string TToolAdd::record() const {
  return store::RecordFromEditor(S(Top->text()), S(Left->text()), S(Height->text()), S(Width->text()),
                                 S(Caption->text()));
}

void TToolAdd::lookClick() {
  const std::string made = record();
  if (panel_)
    panel_->MakeBtn(made);
}

void TToolAdd::addClick() {
  const std::string made = record();
  if (panel_)
    TButtonPanel::AppendLine(panel_->Memo1, made);
}

TVKeyBord::TVKeyBord(QWidget* parent) : TButtonPanel(parent) {
  setObjectName(QStringLiteral("VKeyBord"));
  setWindowTitle(QStringLiteral("VKeyBord"));
  setOuterGeometry(200, 107, 112, 27);
  Memo1 = new QPlainTextEdit(this);
  Memo1->setObjectName(QStringLiteral("Memo1"));
  Memo1->setGeometry(0, 0, 104, 1);
  Memo1->setVisible(false);
}

void TVKeyBord::BtnClick(QPushButton* sender) {
  if (QLineEdit* box = scriptBox())
    box->setText(box->text() + sender->text());
}

void TVKeyBord::resizeEvent(QResizeEvent* event) {
  TButtonPanel::resizeEvent(event);
  // The memo fills the client area.
  Memo1->setGeometry(rect());
}

}  // namespace tapwell::ui
