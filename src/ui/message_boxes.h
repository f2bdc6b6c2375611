// Modal message boxes on Qt: the plain boxes (OK, no icon) and the error report.
#pragma once

#include <QMessageBox>
#include <QWidget>

#include "platform/message_boxes.h"
#include "ui/guard.h"

namespace tapwell::ui {

// Sets a message box up as every box of the program is: its text is plain text,
// and it is wide enough for its title in the title bar. Call after the title is
// set, before the box is shown.
void PrepareMessageBox(QMessageBox& box);

class QtMessageBoxes : public MessageBoxes {
 public:
  explicit QtMessageBoxes(QWidget* owner = nullptr) : owner_(owner) {}
  void showMessage(const std::string& caption, const std::string& text) override;

 private:
  QWidget* owner_;
};

class QtErrorReport : public ErrorReport {
 public:
  explicit QtErrorReport(QWidget* owner = nullptr) : owner_(owner) {}
  void showError(const std::string& caption, const std::string& text) override;

 private:
  QWidget* owner_;
};

}  // namespace tapwell::ui
