#include "app/gui/gui_main.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <memory>
#include <string>

#include "app/cli.h"
#include "app/gui/application.h"
#include "app/signal_watcher.h"
#include "core/product.h"
#include "platform/paths.h"
#include "platform/posix/launcher.h"
#include "platform/posix/xdg_autostart.h"
#include "platform/qt/qt_ini_store.h"
#include "platform/qt/qt_step_timer.h"
#include "platform/qt/qt_tray_icon.h"
#include "platform/x11/x11_keyboard.h"
#include "platform/x11/x11_window_system.h"
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

bool DisplayAvailable() {
  return Set("DISPLAY") || Set("WAYLAND_DISPLAY") || Set("QT_QPA_PLATFORM");
}

int RunGui(int argc, char** argv, const GuiOptions& options) {
  // The toolkit aborts when it cannot reach its display; keys could not be sent
  // there either, so say why and end instead.
  if (const std::string problem = platform::x11::X11Keyboard::DisplayProblem(); !problem.empty()) {
    std::cerr << "tapwell: " << problem << "\n";
    return kExitNoDisplay;
  }
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);

  auto opened = platform::x11::X11Keyboard::Open();
  if (!opened.keyboard) {
    // Without key injection the program cannot do its work: say why and end.
    std::cerr << "tapwell: " << opened.error << "\n";
    ui::QtErrorReport().showError("Tapwell", opened.error);
    return kExitNoDisplay;
  }
  platform::x11::X11Keyboard& keyboard = *opened.keyboard;
  platform::PosixLauncher launcher(std::cerr);
  platform::QtTrayIcon tray;
  platform::QtIniStore settings;
  platform::XdgAutostart autostart(platform::XdgAutostart::UserFolder(), platform::ProgramFile());
  ui::QtFileDialogRunner fileDialogs;
  ui::QtMessageBoxes boxes;
  ui::QtErrorReport errors;
  ui::SystemClock clock;
  // The window manager's frames and states, on the toolkit's own connection.
  std::unique_ptr<platform::x11::X11WindowSystem> windowSystem;
  if (auto* x11 = app.nativeInterface<QNativeInterface::QX11Application>())
    windowSystem = std::make_unique<platform::x11::X11WindowSystem>(x11->display());
  ui::TForm::setWindowSystem(windowSystem.get());
  auto makeStepTimer = [](std::function<void()> onTick) -> std::unique_ptr<platform::DeadlineTimer> {
    auto timer = std::make_unique<platform::QtStepTimer>();
    timer->setHandler(std::move(onTick));
    return timer;
  };

  WindowServices services{
      ui::MainServices{
          .keyboard = keyboard,
          .launcher = launcher,
          .tray = tray,
          .settings = settings,
          .autostart = autostart,
          .fileDialogs = fileDialogs,
          .boxes = boxes,
          .errors = errors,
          .clock = clock,
          .makeStepTimer = makeStepTimer,
          .quit = {},
          .programFolder = platform::DataFolder(),
          .shippedLayouts = {},
          .trayWait = options.trayStart ? kLoginTrayWait : std::chrono::milliseconds(0),
          .layoutName = [&keyboard] { return keyboard.layoutName(); },
          .namesProgram = [](const std::string& token) { return platform::NamesProgram(token); }},
      {},
      options.trayStart};
  ApplicationWindows windows(std::move(services));
  // An icon counts while a tray host shows it: a host that goes away takes the
  // icon with it (the toolkit docks it again when a host comes back).
  ui::TIconTray& icon = *windows.main->IconTray1;
  TaskbarExclusion exclusion([&icon] { return icon.Shown(); }, windowSystem.get());
  // Whenever a tray host comes or goes: the taskbar follows, and a main window
  // hidden behind an icon that has gone with its host comes back minimised, so
  // that it can still be reached.
  QObject::connect(&icon, &ui::TIconTray::availabilityChanged, &exclusion, [&windows, &exclusion, &icon] {
    exclusion.refresh();
    ui::Tmain& main = *windows.main;
    if (windows.startup->handedOver() && !icon.Shown() && !main.isVisible() && !main.waitingForTray())
      main.showMinimized();
  });

  // A signal ends the program as Exit does: held keys go up first.
  SignalWatcher signalWatcher([&](int signo) {
    windows.main->releaseHeldKeys();
    keyboard.flush();
    QApplication::exit(128 + signo);
  });
  keyboard.setInterruptFd(signalWatcher.pendingFd());
  QTimer spareWakeup;
  spareWakeup.setSingleShot(true);
  QObject::connect(&spareWakeup, &QTimer::timeout, [&] { keyboard.service(); });
  keyboard.setWakeupRequest([&](std::chrono::milliseconds delay) { spareWakeup.start(delay); });
  // A display connection that goes away is noticed even while nothing is typed.
  QSocketNotifier displayNotifier(keyboard.connectionFd(), QSocketNotifier::Read);
  QObject::connect(&displayNotifier, &QSocketNotifier::activated, [&] { keyboard.readEvents(); });

  windows.start();
  const int code = app.exec();
  // Whatever is still down goes up; the keymap and auto-repeat are restored while
  // the application object still exists.
  windows.main->releaseHeldKeys();
  keyboard.shutdown();
  ui::TForm::setWindowSystem(nullptr);
  return code;
}

}  // namespace tapwell::app
