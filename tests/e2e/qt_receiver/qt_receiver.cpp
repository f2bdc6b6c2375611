// A Qt line edit as a receiver for the end-to-end tests: prints "ready" once it
// has the keyboard focus and, when Enter is pressed, "text <its text>" and ends.
#include <QApplication>
#include <QEvent>
#include <QLineEdit>
#include <cstdio>

namespace {

class FocusWatch : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::FocusIn && !ready_) {
      ready_ = true;
      std::printf("ready\n");
      std::fflush(stdout);
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  bool ready_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QLineEdit edit;
  edit.setMaxLength(1 << 20);
  FocusWatch watch;
  edit.installEventFilter(&watch);
  QObject::connect(&edit, &QLineEdit::returnPressed, [&] {
    std::printf("text %s\n", edit.text().toUtf8().constData());
    std::fflush(stdout);
    app.quit();
  });
  edit.setGeometry(0, 0, 400, 40);
  edit.show();
  edit.activateWindow();
  edit.raise();
  edit.setFocus();
  return app.exec();
}
