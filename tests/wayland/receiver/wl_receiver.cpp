// A Qt line edit as the receiving window of the Wayland tests. Prints "ready"
// once it has the focus, then one line per event: "press <keysym name>",
// "release <keysym name>" (auto-repeats left out), "button-press <Qt button>",
// and "text <its text>" when Enter is pressed. With --bulk it prints nothing per
// event and keeps the typed text itself (a line edit slows down as its text
// grows): "span-us <microseconds from the first key press to Enter>" and
// "text <the characters typed>" when Enter is pressed.
#include <xkbcommon/xkbcommon.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <chrono>
#include <cstdio>
#include <string>

namespace {

class Edit : public QLineEdit {
 public:
  explicit Edit(bool bulk) : bulk_(bulk) {}

 protected:
  void focusInEvent(QFocusEvent* event) override {
    if (!ready_) {
      ready_ = true;
      Print("ready");
    }
    QLineEdit::focusInEvent(event);
  }
  void keyPressEvent(QKeyEvent* event) override {
    if (bulk_) {
      const auto now = std::chrono::steady_clock::now();
      if (!started_) {
        started_ = true;
        first_ = now;
      }
      if (event->key() == Qt::Key_Return) {
        const auto us = std::chrono::duration_cast<std::chrono::microseconds>(now - first_).count();
        Print(("span-us " + std::to_string(us)).c_str());
        Print(("text " + typed_).toUtf8().constData());
      } else {
        typed_ += event->text();
      }
      return;
    }
    if (!event->isAutoRepeat()) Key("press", event);
    if (event->key() == Qt::Key_Return) Print(("text " + text()).toUtf8().constData());
    QLineEdit::keyPressEvent(event);
  }
  void keyReleaseEvent(QKeyEvent* event) override {
    if (bulk_) return;
    if (!event->isAutoRepeat()) Key("release", event);
    QLineEdit::keyReleaseEvent(event);
  }
  void mousePressEvent(QMouseEvent* event) override {
    Print(("button-press " + std::to_string(static_cast<int>(event->button()))).c_str());
    QLineEdit::mousePressEvent(event);
  }

 private:
  static void Print(const char* line) {
    std::printf("%s\n", line);
    std::fflush(stdout);
  }
  static void Key(const char* kind, const QKeyEvent* event) {
    char name[64] = "unknown";
    xkb_keysym_get_name(event->nativeVirtualKey(), name, sizeof name);
    std::printf("%s %s\n", kind, name);
    std::fflush(stdout);
  }
  bool bulk_;
  bool ready_ = false;
  QString typed_;
  bool started_ = false;
  std::chrono::steady_clock::time_point first_;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  Edit edit(argc > 1 && QString(argv[1]) == "--bulk");
  edit.setMaxLength(1 << 20);
  edit.resize(400, 40);
  edit.show();
  edit.activateWindow();
  edit.setFocus();
  return app.exec();
}
