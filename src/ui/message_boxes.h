// Modal message boxes on Qt: the plain boxes (OK, no icon) and the error report.
#pragma once

#include <QWidget>

#include "platform/message_boxes.h"
#include "ui/guard.h"

namespace tapwell::ui {

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
