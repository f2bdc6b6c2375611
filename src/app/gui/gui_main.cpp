#include "app/gui/gui_main.h"

#include <QApplication>
#include <cstdlib>
#include <iostream>
#include <string>

#include "app/backends.h"
#include "app/cli.h"
#include "app/version.h"
#include "engine/product.h"
#include "platform/qt/qt_notification_area.h"
#include "ui/main_form.h"
#include "ui/message_boxes.h"
#include "ui/system_clock.h"

namespace tapwell::app {

namespace {

bool Set(const char* name) {
  const char* value = std::getenv(name);
  return value && *value;
}

}  // namespace

bool DisplayAvailable() { return Set("DISPLAY") || Set("WAYLAND_DISPLAY") || Set("QT_QPA_PLATFORM"); }

int RunGui(int argc, char** argv, const GuiOptions& options) {
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);

  AppTitle = "Tapwell";
  AppVersion = VersionString(TAPWELL_VERSION_MAJOR, TAPWELL_VERSION_MINOR, TAPWELL_VERSION_PATCH,
                             TAPWELL_VERSION_TWEAK);

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

  ui::Tmain main({*keyboard, *launcher, tray, boxes, errors, clock, {}, {}});
  if (!options.startHidden) {
    main.show();
  } else if (!main.IconTray1->Registered()) {
    main.showMinimized();
  }
  return app.exec();
}

}  // namespace tapwell::app
