#include "ui/message_boxes.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>

namespace tapwell::ui {

namespace {

// Room that a window manager's title bar takes besides the title: the icon, the
// buttons and the margins.
constexpr int kTitleBarAllowance = 120;

void Show(QWidget* owner, QMessageBox::Icon icon, const std::string& caption, const std::string& text) {
  QMessageBox box(icon, QString::fromStdString(caption), QString::fromStdString(text), QMessageBox::Ok,
                  owner);
  PrepareMessageBox(box);
  box.exec();
}

}  // namespace

void PrepareMessageBox(QMessageBox& box) {
  // Texts carry file names and scripts: "<b>" is shown as it is, never as markup.
  box.setTextFormat(Qt::PlainText);
  // A box as narrow as a short text would have its title cut off in the title bar.
  const int titleWidth = QFontMetrics(box.font()).horizontalAdvance(box.windowTitle()) + kTitleBarAllowance;
  if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
    grid->addItem(new QSpacerItem(titleWidth, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(),
                  0, 1, grid->columnCount());
  }
}

void QtMessageBoxes::showMessage(const std::string& caption, const std::string& text) {
  Show(owner_, QMessageBox::NoIcon, caption, text);
}

void QtErrorReport::showError(const std::string& caption, const std::string& text) {
  Show(owner_, QMessageBox::Critical, caption, text);
}

}  // namespace tapwell::ui
