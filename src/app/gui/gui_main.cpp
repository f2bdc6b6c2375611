#include "app/gui/gui_main.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEvent>
#include <QMessageBox>
#include <QTimer>
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>

#include "app/backends.h"
#include "app/cli.h"
#include "app/gui/application.h"
#include "app/gui/instance_channel.h"
#include "app/gui/stop_key_control.h"
#include "app/run_session.h"
#include "core/product.h"
#include "platform/paths.h"
#include "platform/posix/launcher.h"
#include "platform/posix/xdg_autostart.h"
#include "platform/qt/qt_ini_store.h"
#include "platform/qt/qt_step_timer.h"
#include "platform/qt/qt_tray_icon.h"
#include "platform/x11/x11_keyboard.h"
#include "platform/x11/x11_window_system.h"
#if TAPWELL_HAVE_WAYLAND
#include "platform/wayland/wayland_display.h"
#endif
#include "ui/main_form.h"
#include "ui/message_boxes.h"
#include "ui/system_clock.h"

namespace tapwell::app {

namespace {

bool Set(const char* name) {
  const char* value = std::getenv(name);
  return value && *value;
}

// How long a start or a remote command waits for the running instance.
constexpr int kChannelTimeoutMs = 5000;

// Carries out a command of the channel on the windows, once they exist. A failure
// is the answer, and is reported in the windows once the answer has gone out.
std::string Carry(ApplicationWindows* windows, const std::string& command) {
  if (windows == nullptr) return "the program is still starting";
  ui::Tmain& main = *windows->main;
  try {
    if (command == "show") {
      if (!windows->startup->handedOver()) windows->startup->FormClick();
      main.show1Click();
    } else if (command == "tray") {
      // A start in the tray leaves the running instance as it is.
    } else if (command == "hide") {
      main.HideBtnClick();
    } else if (command == "abort") {
      main.abortScript();
    } else if (command == "quit") {
      main.AppEnd();
    } else {
      return "unknown command";
    }
  } catch (const std::exception& e) {
    const std::string message = e.what();
    QTimer::singleShot(0, &main, [&main, message] { main.guard().report(message); });
    return message;
  }
  return {};
}

// Makes this process the instance of its display, or hands the start over to the
// one that runs: the exit code when this process is to end, nothing when it is to
// start its windows.
std::optional<int> ClaimOrHandOver(const GuiOptions& options, InstanceServer::Handler handler,
                                   std::unique_ptr<InstanceServer>& channel) {
  std::string why;
  const std::optional<ChannelPlace> place = SessionChannelPlace(why);
  if (!place) {
    std::cerr << "tapwell: " << why << "; further starts will not find this instance\n";
    return std::nullopt;
  }
  auto server = std::make_unique<InstanceServer>(*place, std::move(handler));
  const QDeadlineTimer deadline(kChannelTimeoutMs);
  for (;;) {
    switch (server->claim(why)) {
      case InstanceServer::Claim::Claimed:
        channel = std::move(server);
        return std::nullopt;
      case InstanceServer::Claim::Failed:
        std::cerr << "tapwell: " << why << "; further starts will not find this instance\n";
        return std::nullopt;
      case InstanceServer::Claim::Taken:
        break;
    }
    if (options.newInstance) return std::nullopt;
    const Delivery delivery =
        SendCommand(*place, options.trayStart ? "tray" : "show", static_cast<int>(deadline.remainingTime()));
    switch (delivery.status) {
      case Delivery::Status::Done:
        return kExitOk;
      case Delivery::Status::Refused:
        std::cerr << "tapwell: the running instance answers: " << delivery.text << "\n";
        return kExitNotDelivered;
      case Delivery::Status::NoAnswer:
        std::cerr << "tapwell: an instance runs on this display but does not answer; "
                     "'tapwell --new-instance' starts another one\n";
        return kExitNotDelivered;
      case Delivery::Status::NoInstance:
        // The instance ended meanwhile: try to become it.
        if (deadline.hasExpired()) return std::nullopt;
        break;
    }
  }
}

// Chooses the toolkit's platform before the toolkit starts. In a Wayland session
// the windows are native Wayland windows, as the keys are, with X11 (XWayland)
// as the fallback; TAPWELL_BACKEND=x11 keeps them on X11 with the keys. A
// platform the user chose stays. Empty when the platform reaches a display,
// otherwise why none does: the toolkit would abort there.
std::string ChooseWindowPlatform() {
  const char* forced = std::getenv("TAPWELL_BACKEND");
  const bool x11Only = forced != nullptr && std::string_view(forced) == "x11";
  std::string waylandProblem = "WAYLAND_DISPLAY is not set.";
#if TAPWELL_HAVE_WAYLAND
  if (Set("WAYLAND_DISPLAY")) waylandProblem = platform::wayland::WaylandDisplayProblem();
#endif
  if (!Set("QT_QPA_PLATFORM"))
    ::setenv("QT_QPA_PLATFORM", !x11Only && waylandProblem.empty() ? "wayland;xcb" : "xcb", 1);
  const std::string platforms = std::getenv("QT_QPA_PLATFORM");
  std::string x11Problem;
  std::size_t from = 0;
  while (from <= platforms.size()) {
    const std::size_t end = std::min(platforms.find(';', from), platforms.size());
    const std::string entry = platforms.substr(from, end - from);
    const std::string name = entry.substr(0, entry.find(':'));
    from = end + 1;
    if (name.rfind("wayland", 0) == 0) {
      if (waylandProblem.empty()) return {};
    } else if (name == "xcb") {
      x11Problem = platform::x11::X11Keyboard::DisplayProblem();
      if (x11Problem.empty()) return {};
    } else if (!name.empty()) {
      return {};  // offscreen, vnc and the like need no display of the session
    }
  }
  if (x11Problem.empty()) return waylandProblem;
  return Set("WAYLAND_DISPLAY") ? x11Problem + " " + waylandProblem : x11Problem;
}

// A message of the command line ("the desktop ...") as a box says it.
std::string AsSentence(std::string message) {
  if (!message.empty()) message[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(message[0])));
  return message;
}

// Shows a notice once, without blocking anything, as soon as the main window
// first appears: after the splash, or when it is first opened from the tray.
class FirstShowNotice : public QObject {
 public:
  FirstShowNotice(QWidget* window, std::string text) : QObject(window), text_(std::move(text)) {
    window->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show) {
      watched->removeEventFilter(this);
      auto* owner = static_cast<QWidget*>(watched);
      QTimer::singleShot(0, owner, [owner, text = QString::fromStdString(text_)] {
        auto* box = new QMessageBox(QMessageBox::NoIcon, QString::fromStdString(Product().title), text,
                                    QMessageBox::Ok, owner);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setWindowModality(Qt::NonModal);
        ui::PrepareMessageBox(*box);
        box->show();
      });
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  std::string text_;
};

}  // namespace

int RunRemote(const std::string& command, std::ostream& err) {
  static int argc = 1;
  static char name[] = "tapwell";
  static char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);
  std::string why;
  const std::optional<ChannelPlace> place = SessionChannelPlace(why);
  if (!place) {
    err << "tapwell: " << why << "\n";
    return kExitNotDelivered;
  }
  const Delivery delivery = SendCommand(*place, command, kChannelTimeoutMs);
  switch (delivery.status) {
    case Delivery::Status::Done:
      return kExitOk;
    case Delivery::Status::Refused:
      err << "tapwell: the running instance answers: " << delivery.text << "\n";
      break;
    case Delivery::Status::NoInstance:
      err << "tapwell: no instance of the program runs on this display\n";
      break;
    case Delivery::Status::NoAnswer:
      err << "tapwell: the instance on this display does not answer\n";
      break;
  }
  return kExitNotDelivered;
}

bool DisplayAvailable() {
  return Set("DISPLAY") || Set("WAYLAND_DISPLAY") || Set("QT_QPA_PLATFORM");
}

int RunGui(int argc, char** argv, const GuiOptions& options) {
  if (const std::string problem = ChooseWindowPlatform(); !problem.empty()) {
    std::cerr << "tapwell: " << problem << "\n";
    return kExitNoDisplay;
  }
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);

  // One instance per user and display: a further start hands over to it.
  ApplicationWindows* live = nullptr;
  std::unique_ptr<InstanceServer> channel;
  if (const std::optional<int> code = ClaimOrHandOver(
          options, [&live](const std::string& command) { return Carry(live, command); }, channel))
    return *code;

  // The same keys as a run: the Wayland virtual keyboard, or XTest.
  std::ostringstream openingNotice;
  RunSession run(openingNotice);
  std::cerr << openingNotice.str();
  if (!run.opened()) {
    // Without key injection the program cannot do its work: say why and end.
    std::cerr << "tapwell: " << run.error() << "\n";
    // The box only where someone can see and close it.
    const QString platform = QGuiApplication::platformName();
    const bool onScreen = platform == QStringLiteral("xcb") || platform.startsWith(QStringLiteral("wayland"));
    if (run.exitCode() != kExitUsage && onScreen) ui::QtErrorReport().showError("Tapwell", run.error());
    return run.exitCode();
  }
  platform::KeyBackend& backend = run.backend();
  platform::Keyboard& keyboard = backend;
  platform::PosixLauncher launcher(std::cerr);
  platform::QtTrayIcon tray;
  platform::QtIniStore settings;
  platform::XdgAutostart autostart(platform::XdgAutostart::UserFolder(), platform::ProgramFile());
  ui::QtFileDialogRunner fileDialogs;
  ui::QtMessageBoxes boxes;
  ui::QtErrorReport errors;
  ui::SystemClock clock;
  // The window manager's frames and states, on the toolkit's own connection. A
  // Wayland compositor places and decorates windows itself and keeps no taskbar
  // states for clients: there the windows go without.
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
          .layoutName = [&backend] { return backend.layoutName(); },
          .namesProgram = [](const std::string& token) { return platform::NamesProgram(token); }},
      {},
      options.trayStart};
  ApplicationWindows windows(std::move(services));
  // Keys that reach XWayland windows only are told in the windows as well, once
  // the main window is there to be looked at.
  if (run.kind() == BackendKind::X11 && Set("WAYLAND_DISPLAY")) {
    std::string notice = openingNotice.str();
    if (notice.rfind("tapwell: ", 0) == 0) notice.erase(0, 9);
    while (!notice.empty() && notice.back() == '\n') notice.pop_back();
    if (!notice.empty()) {
      new FirstShowNotice(windows.main.get(), AsSentence(notice));
    }
  }
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

  // A signal ends the program as Exit does: held keys go up first. The desktop
  // refused the keys or ended its session: the script stops and the user is
  // told; the next script asks the desktop again. The stop waits for the event
  // loop, as the failure is noticed inside one of the script's key calls. A
  // route gone for good leaves nothing to do: the program ends with code 3.
  run.serve({.releaseHeldKeys = [&windows] { windows.main->releaseHeldKeys(); },
             .failed =
                 [&windows, &backend](const std::string& reason) {
                   std::cerr << "tapwell: " << reason << "\n";
                   if (backend.lost()) {
                     QApplication::exit(kExitNoDisplay);
                     return;
                   }
                   ui::Tmain* main = windows.main.get();
                   QTimer::singleShot(0, main, [main, reason] {
                     main->abortScript();
                     main->guard().report(AsSentence(reason));
                   });
                 }});

  // The Pause key ends a running script. Only an X server lends a key to grab;
  // elsewhere the tray menu's abort item and 'tapwell --abort' end a script.
  std::unique_ptr<StopKeyControl> stopKeyControl;
  std::string stopKeyWhy;
  if (platform::StopKey* stopKey = run.openStopKey(stopKeyWhy)) {
    stopKeyControl = std::make_unique<StopKeyControl>(
        *windows.main, *stopKey, [](const std::string& why) { std::cerr << "tapwell: " << why << "\n"; });
  } else {
    if (stopKeyWhy.empty())
      stopKeyWhy =
          "the Pause key stops scripts only in an X11 session; use the tray menu's abort item or 'tapwell "
          "--abort'";
    std::cerr << "tapwell: " << stopKeyWhy << "; scripts run without a stop key\n";
  }

  live = &windows;
  windows.start();
  const int code = app.exec();
  live = nullptr;
  // Whatever is still down goes up; the keymap and auto-repeat are restored while
  // the application object still exists.
  run.shutdown();
  ui::TForm::setWindowSystem(nullptr);
  return code;
}

}  // namespace tapwell::app
