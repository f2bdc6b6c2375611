// The program's message boxes as they are shown: text as plain text, wide enough
// for their title.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QMessageBox>
#include <QTimer>

#include "ui/message_boxes.h"

namespace tapwell::ui {
namespace {

struct Seen {
  Qt::TextFormat format = Qt::AutoText;
  QString text;
  int width = 0;
  int titleWidth = 0;
};

// Runs show, records the modal box from inside its event loop and closes it.
template <class F>
Seen WhileShown(F show) {
  Seen seen;
  QTimer timer;
  timer.setInterval(0);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible()) return;
    seen = {box->textFormat(), box->text(), box->width(),
            QFontMetrics(box->font()).horizontalAdvance(box->windowTitle())};
    box->done(0);
  });
  timer.start();
  show();
  return seen;
}

TEST(MessageBoxes, ShowTextAsPlainTextAndTheirTitleInFull) {
  QtMessageBoxes boxes;
  QtErrorReport errors;
  const Seen about = WhileShown([&] { boxes.showMessage("バージョン情報", "Tapwell\n1.0"); });
  EXPECT_EQ(about.format, Qt::PlainText);
  EXPECT_GE(about.width, about.titleWidth + 100);
  const Seen error =
      WhileShown([&] { errors.showError("Tapwell", "'<b>12</b>' is not a valid integer value."); });
  EXPECT_EQ(error.format, Qt::PlainText);
  EXPECT_EQ(error.text, QStringLiteral("'<b>12</b>' is not a valid integer value."));
}

}  // namespace
}  // namespace tapwell::ui
