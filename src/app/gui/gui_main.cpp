#include "app/gui/gui_main.h"

#include <QApplication>
#include <cstdlib>
#include <iostream>
#include <string>

#include "app/backends.h"
#include "app/cli.h"
#include "app/gui/application.h"
#include "platform/qt/qt_notification_area.h"
#include "ui/message_boxes.h"
#include "ui/system_clock.h"

namespace tapwell::app {

namespace {

bool Set(const char* name) {
  const char* value = std::getenv(name);
  return value && *value;
}

}  // namespace

bool DisplayAvailable() {
  return Set("DISPLAY") || Set("WAYLAND_DISPLAY") || Set("QT_QPA_PLATFORM");
}

int RunGui(int argc, char** argv, const GuiOptions& options) {
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);

  std::string error;
  std::unique_ptr<platform::Keyboard> keyboard = MakeKeyboard(error);
  if (!keyboard) {
    std::cerr << "tapwell: " << error << "\n";
    return kExitNoDisplay;
  }
  std::unique_ptr<platform::Launcher> launcher = MakeLauncher();
  platform::QtNotificationArea tray;
  ui::QtMessageBoxes boxes;
  ui::QtErrorReport errors;
  ui::SystemClock clock;

  WindowServices services{*keyboard, *launcher, tray, boxes, errors, clock, {}, {}, {}, options.startHidden};
  ApplicationWindows windows(std::move(services));
  TaskbarExclusion exclusion([&windows] { return windows.main->IconTray1->Registered(); });
  windows.start();
  return app.exec();
}

}  // namespace tapwell::app
