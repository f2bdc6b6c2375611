#include "ui/message_boxes.h"

#include <QMessageBox>

namespace tapwell::ui {

namespace {

void Show(QWidget* owner, QMessageBox::Icon icon, const std::string& caption, const std::string& text) {
  QMessageBox box(icon, QString::fromStdString(caption), QString::fromStdString(text), QMessageBox::Ok,
                  owner);
  box.exec();
}

}  // namespace

void QtMessageBoxes::showMessage(const std::string& caption, const std::string& text) {
  Show(owner_, QMessageBox::NoIcon, caption, text);
}

void QtErrorReport::showError(const std::string& caption, const std::string& text) {
  Show(owner_, QMessageBox::Critical, caption, text);
}

}  // namespace tapwell::ui
