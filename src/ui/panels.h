// The user button panel, the button editor and the virtual keyboard: their stored
// layouts, the buttons made from button records and what a click on one does.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <string>

#include "ui/forms.h"
#include "ui/guard.h"

namespace tapwell::ui {

// A window whose buttons are made from button records. Each click edits the
// script box it is given.
class TButtonPanel : public TForm {
  Q_OBJECT
 public:
  explicit TButtonPanel(QWidget* parent = nullptr);

  // The main window's script box and the guard that the buttons' clicks run through.
  void setScriptBox(QLineEdit* scriptBox, Guard* guard);

  // Makes one button from a record: created on the window with the default 75 x 25
  // at 0, 0, captioned from byte 17, then top, left, height and width applied in
  // this order, each converted just before; last the click handler. A field that
  // does not convert raises EConvertError: the button stays as it is so far, with
  // no click handler.
  QPushButton* MakeBtn(const std::string& record);

  // The click handler of a made button.
  virtual void BtnClick(QPushButton* sender) = 0;

  // The buttons made so far, oldest first.
  QList<QPushButton*> madeButtons() const;

  // The record list as its lines with record appended as the new last line (in
  // place of an empty last line).
  static void AppendLine(QPlainTextEdit* memo, const std::string& record);

 protected:
  QLineEdit* scriptBox() const { return scriptBox_; }

 private:
  QLineEdit* scriptBox_ = nullptr;
  Guard* guard_ = nullptr;
};

// The script box's text without its last character (a whole character, never
// part of one).
QString WithoutLastCharacter(const QString& text);

class TTool2 : public TButtonPanel {
  Q_OBJECT
 public:
  explicit TTool2(QWidget* parent = nullptr);

  // "&&" appends "&", "削除" removes the last character, "clear" empties the
  // script box, any other caption is appended.
  void BtnClick(QPushButton* sender) override;

  // The panel's record list: one button record per line.
  QPlainTextEdit* Memo1 = nullptr;
};

class TToolAdd : public TForm {
  Q_OBJECT
 public:
  explicit TToolAdd(QWidget* parent = nullptr);

  // The panel that look and add work on, and the guard their clicks run through.
  void setPanel(TTool2* panel, Guard* guard);

  // The record made from the five fields.
  std::string record() const;
  // Makes the button on the panel at once.
  void lookClick();
  // Appends the record to the panel's record list.
  void addClick();

  QLabel* Label1 = nullptr;
  QLabel* Label2 = nullptr;
  QLabel* Label3 = nullptr;
  QLabel* Label4 = nullptr;
  QLabel* Label5 = nullptr;
  QLineEdit* Caption = nullptr;
  QLineEdit* Top = nullptr;
  QLineEdit* Left = nullptr;
  QLineEdit* Height = nullptr;
  QLineEdit* Width = nullptr;
  QPushButton* look = nullptr;
  QPushButton* add = nullptr;

 private:
  TTool2* panel_ = nullptr;
};

class TVKeyBord : public TButtonPanel {
  Q_OBJECT
 public:
  explicit TVKeyBord(QWidget* parent = nullptr);

  // Every caption is appended, whatever it is.
  void BtnClick(QPushButton* sender) override;

  // A copy of every record the keyboard was built from; never shown.
  QPlainTextEdit* Memo1 = nullptr;

 protected:
  void resizeEvent(QResizeEvent* event) override;
};

}  // namespace tapwell::ui
