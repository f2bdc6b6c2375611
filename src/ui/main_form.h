// Tmain: the main window with the clock, the reservation, the script box, the
// Test, Stop and Hide controls, the menus and the tray icon.
#pragma once

#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "engine/stepper.h"
#include "platform/deadline_timer.h"
#include "platform/message_boxes.h"
#include "platform/autostart.h"
#include "platform/ini_store.h"
#include "platform/keyboard.h"
#include "platform/launcher.h"
#include "platform/tray_icon.h"
#include "ui/guard.h"
#include "ui/icon_tray.h"
#include "ui/panels.h"
#include "ui/popup_menu.h"
#include "ui/reservation.h"

class QCloseEvent;

namespace tapwell::ui {

// Runs a file dialog modally: the chosen full path, or nothing when the user
// cancels. Tests answer it in place of the user.
class FileDialogRunner {
 public:
  virtual ~FileDialogRunner() = default;
  virtual std::optional<std::string> run(QFileDialog& dialog) = 0;
};

// The real dialog, run with exec().
class QtFileDialogRunner : public FileDialogRunner {
 public:
  std::optional<std::string> run(QFileDialog& dialog) override;
};

// Makes the stepper's timer, whose handler runs on every tick.
using StepTimerFactory = std::function<std::unique_ptr<platform::DeadlineTimer>(std::function<void()> onTick)>;

// Everything the program's windows are given from outside: the backends, made
// once by the program's entry, and the settings of this run.
struct MainServices {
  platform::Keyboard& keyboard;
  platform::Launcher& launcher;
  platform::TrayIcon& tray;
  // The store of the shortcut.
  platform::IniStore& settings;
  // The entry that starts the program at login.
  platform::Autostart& autostart;
  // Runs SaveDialog1 and OpenDialog1.
  FileDialogRunner& fileDialogs;
  MessageBoxes& boxes;
  ErrorReport& errors;
  Clock& clock;
  StepTimerFactory makeStepTimer;
  // Ends the application; the event loop's quit by default.
  std::function<void()> quit;
  // The folder of data files, with its trailing "/"; the program's own folder by
  // default.
  std::string programFolder;
  // The layouts shipped with the program, read by KeyBord when the program folder
  // lacks the named file; none by default.
  std::string shippedLayouts{};
  // How long a missing tray host is waited for before the icon's refusal is
  // reported; at once by default. Started at login, the desktop's panel may come
  // up after the program.
  std::chrono::milliseconds trayWait{0};
  // The name of the keyboard layout ("us" when none is given) and whether a
  // program token names something that can be started, for the script check.
  std::function<std::string()> layoutName{};
  std::function<bool(const std::string&)> namesProgram{};
};

// The help document beside the program, or in the installed documentation folder
// (<prefix>/share/doc/tapwell/ for a program in <prefix>/bin/); empty when there
// is none.
std::string HelpDocumentPath(const std::string& programFolder);

inline constexpr int kMainClientWidth = 491;
inline constexpr int kMainClientHeight = 104;

class Tmain : public QMainWindow {
  Q_OBJECT
 public:
  explicit Tmain(MainServices services, QWidget* parent = nullptr);
  ~Tmain() override;

  // The stepper's entry: the script must end with "#".
  void KeyEmu(const std::string& script);

  // Handlers.
  void FormCreate();
  void FormClose();
  void Timer1Timer();
  void TestBtnClick();
  void TestBtn2Click();
  void StopBtnClick();
  void KeyEmuTimerTimer();
  void HideBtnClick();
  void Hide1Click();
  void show1Click();
  void Exit1Click();
  void exit2Click();
  void About1Click();
  void Help2Click();
  void AppEnd();
  // Ends the running script at once, as if it had reached "#": the keys it holds
  // go up, the stepper stops and the Stop button reads "Stop" again.
  void abortScript();
  // Whether a script runs: started and neither ended, halted nor aborted. A
  // paused script still runs.
  bool scriptRunning() const;
  // Writes or removes the entry that starts the program in the tray at login.
  void StartAtLogin1Click();
  void SaveBtnClick();
  void LoadBtnClick();
  void Button1Click();
  void Button2Click();
  void EditerClick();
  void ToolSaveClick();
  void ToolLoadClick();
  void ToolMakeClick();
  void KeyBordClick();
  // Shows what the script checker finds in the script box.
  void CheckScriptClick();

  // The windows that the button commands work on, created after this one.
  void setPanels(TTool2* tool2, TToolAdd* toolAdd, TVKeyBord* keyboard);

  // The default folder of script files: the program folder + "command".
  std::string scriptFolder() const;
  const std::string& programFolder() const { return services_.programFolder; }

  // The single fixed-size border with only the system menu and the close box.
  void setBorderSingle();

  // Waiting for a tray host before the icon's refusal is reported.
  bool waitingForTray() const { return trayWait_ && trayWait_->isActive(); }

  // The reserved time as the three lists hold it.
  ReservedTime reservedTime() const;

  const Stepper& stepper() const { return *stepper_; }
  // Key-up for every key the running script holds down.
  void releaseHeldKeys();
  Guard& guard() { return guard_; }

  // The client area, below the menu bar.
  QWidget* client = nullptr;

  QLabel* Label1 = nullptr;
  QLabel* Label2 = nullptr;
  QLabel* Label3 = nullptr;
  QComboBox* Hour = nullptr;
  QLabel* Label4 = nullptr;
  QComboBox* Minute = nullptr;
  QLabel* Label5 = nullptr;
  QComboBox* Second = nullptr;
  QLabel* Label6 = nullptr;
  QLineEdit* Edit1 = nullptr;
  QPushButton* HideBtn = nullptr;
  QPushButton* Button2 = nullptr;
  QPushButton* TestBtn = nullptr;
  QPushButton* StopBtn = nullptr;
  QPushButton* SaveBtn = nullptr;
  QPushButton* LoadBtn = nullptr;
  QPushButton* Button1 = nullptr;
  QComboBox* ComboBox1 = nullptr;
  QPushButton* TestBtn2 = nullptr;
  QPushButton* Editer = nullptr;
  QPushButton* ToolSave = nullptr;
  QPushButton* ToolLoad = nullptr;
  QPushButton* ToolMake = nullptr;
  QPushButton* KeyBord = nullptr;
  QComboBox* ComboBox2 = nullptr;

  QMenuBar* MainMenu1 = nullptr;
  QMenu* File1 = nullptr;
  QAction* Hide1 = nullptr;
  QAction* Abort1 = nullptr;
  QAction* StartAtLogin1 = nullptr;
  QAction* Exit1 = nullptr;
  QMenu* Help1 = nullptr;
  QAction* Help2 = nullptr;
  QAction* About1 = nullptr;
  // The button commands below the visible area, reachable with the mouse.
  QMenu* Tool1 = nullptr;
  QAction* EditerItem = nullptr;
  QAction* ToolSaveItem = nullptr;
  QAction* ToolLoadItem = nullptr;
  QAction* ToolMakeItem = nullptr;
  QAction* KeyBordItem = nullptr;
  QAction* CheckScriptItem = nullptr;
  TPopupMenu* PopupMenu1 = nullptr;
  QAction* show1 = nullptr;
  QAction* abort2 = nullptr;
  QAction* exit2 = nullptr;

  QTimer* Timer1 = nullptr;
  platform::DeadlineTimer* KeyEmuTimer = nullptr;
  TIconTray* IconTray1 = nullptr;
  QFileDialog* SaveDialog1 = nullptr;
  QFileDialog* OpenDialog1 = nullptr;

 signals:
  // A script started to run, or stopped running.
  void scriptRunningChanged(bool running);
  // The wait for a tray host ended without one; the refusal has been reported.
  void trayWaitOver();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  class StepperEvents;

  void createControls();
  void createMenus();
  void createComponents();
  void arrangeTabOrder();
  void connectHandlers();
  void armTimer1();
  void trayAvailabilityChanged(bool available);
  void trayWaitTimeout();
  // Emits scriptRunningChanged when the state differs from the last one told.
  void noteScriptState();

  MainServices services_;
  Guard guard_;
  std::unique_ptr<platform::DeadlineTimer> keyEmuTimer_;
  std::unique_ptr<Stepper> stepper_;
  std::unique_ptr<StepperEvents> stepperEvents_;
  bool toldRunning_ = false;
  ReservationWindow reservation_;
  // A refusal of the tray icon while the layout was loaded, reported by FormCreate.
  std::string loadFailure_;
  bool trayRetryReported_ = false;
  // The wait for a tray host, and the refusal it holds back.
  QTimer* trayWait_ = nullptr;
  std::string trayFailure_;
  TTool2* tool2_ = nullptr;
  TToolAdd* toolAdd_ = nullptr;
  TVKeyBord* vKeyBord_ = nullptr;
  // The full names chosen last in SaveDialog1 and OpenDialog1.
  QString lastSaveName_;
  QString lastOpenName_;
};

}  // namespace tapwell::ui
