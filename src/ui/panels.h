// The user button panel, the button editor and the virtual keyboard, with their
// stored layouts.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "ui/forms.h"

namespace tapwell::ui {

class TTool2 : public TForm {
  Q_OBJECT
 public:
  explicit TTool2(QWidget* parent = nullptr);

  // The panel's record list: one button record per line.
  QPlainTextEdit* Memo1 = nullptr;
};

class TToolAdd : public TForm {
  Q_OBJECT
 public:
  explicit TToolAdd(QWidget* parent = nullptr);

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
};

class TVKeyBord : public TForm {
  Q_OBJECT
 public:
  explicit TVKeyBord(QWidget* parent = nullptr);

  // A copy of every record the keyboard was built from; never shown.
  QPlainTextEdit* Memo1 = nullptr;

 protected:
  void resizeEvent(QResizeEvent* event) override;
};

}  // namespace tapwell::ui
