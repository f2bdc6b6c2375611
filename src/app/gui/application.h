// The program's eight windows, created in their order, and the handover from the
// splash to the main window.
#pragma once

#include <QObject>
#include <QSize>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/gui/other_forms.h"
#include "app/gui/startup_form.h"
#include "platform/window_system.h"
#include "ui/main_form.h"
#include "ui/panels.h"

namespace tapwell::app {

struct WindowServices {
  // The backends and settings of the main window, which the other windows share.
  ui::MainServices main;
  // The screen the splash is centred on; the primary screen by default.
  QSize screen;
  // Started at login: the main window stays behind its tray icon, and the stored
  // shortcut is loaded at start.
  bool trayStart = false;
  // The splash's handover timer; a QtSplashTimer by default.
  SplashTimer* splashTimer = nullptr;
};

class ApplicationWindows {
 public:
  explicit ApplicationWindows(WindowServices services);
  ~ApplicationWindows();

  // The object names of the windows in the order they were created.
  const std::vector<std::string>& creationOrder() const { return creationOrder_; }

  // Shows the splash, as entering the event loop does for the main form.
  void start();

  std::unique_ptr<Tstartup> startup;
  std::unique_ptr<ui::Tmain> main;
  std::unique_ptr<TLog> Log;
  std::unique_ptr<TTool> Tool;
  std::unique_ptr<TEditer> Editer;
  std::unique_ptr<ui::TTool2> Tool2;
  std::unique_ptr<ui::TToolAdd> ToolAdd;
  std::unique_ptr<ui::TVKeyBord> VKeyBord;

 private:
  template <class T, class... Args>
  std::unique_ptr<T> create(Args&&... args);
  void showMain();

  WindowServices services_;
  std::vector<std::string> creationOrder_;
};

// Keeps the program's windows out of the taskbar and the task switcher while its
// tray icon is shown, and lets them back in when it is not: applied to every
// window as it is shown, and to all of them on refresh().
class TaskbarExclusion : public QObject {
  Q_OBJECT
 public:
  // States go through windows; nothing is changed without it.
  TaskbarExclusion(std::function<bool()> trayRegistered, platform::WindowSystem* windows,
                   QObject* parent = nullptr);
  // Applies the current state to every top-level window.
  void refresh();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void apply(QWidget* window, bool skip);
  std::function<bool()> trayRegistered_;
  platform::WindowSystem* windows_;
};

}  // namespace tapwell::app
