// The log window of the development mode, and the two windows that nothing shows.
#pragma once

#include <QListWidget>
#include <QPlainTextEdit>
#include <QToolButton>
#include <array>

#include "ui/forms.h"

namespace tapwell::app {

// The change history that the log window shows.
const char* ChangeHistory();

class TLog : public ui::TForm {
  Q_OBJECT
 public:
  TLog();

  QListWidget* Log1 = nullptr;
  QPlainTextEdit* updataLog = nullptr;
  QPlainTextEdit* Memo2 = nullptr;

 protected:
  void resizeEvent(QResizeEvent* event) override;
};

class TTool : public ui::TForm {
  Q_OBJECT
 public:
  static constexpr int kButtons = 60;
  TTool();

  // Row by row, five to a row.
  static const std::array<const char*, kButtons>& Captions();

  std::array<QToolButton*, kButtons> SpeedButtons{};
};

class TEditer : public ui::TForm {
  Q_OBJECT
 public:
  TEditer();
};

}  // namespace tapwell::app
