#include "ui/main_form.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QKeySequence>
#include <QMenuBar>
#include <QPointer>
#include <QStandardItemModel>
#include <algorithm>
#include <filesystem>

#include "core/errors.h"
#include "core/product.h"
#include "engine/checker.h"
#include "store/layout_file.h"
#include "store/script_file.h"
#include "store/shortcut.h"
#include "ui/forms.h"
#include "ui/samples.h"

namespace tapwell::ui {

namespace {

constexpr int kItemHeight = 12;

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, int x, int y, int w, int h) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setGeometry(x, y, w, h);
  return label;
}

QComboBox* MakeList(QWidget* parent, const char* name, int x, int y, int w, bool editable) {
  auto* box = new QComboBox(parent);
  box->setObjectName(QString::fromLatin1(name));
  box->setGeometry(x, y, w, 20);
  box->setEditable(editable);
  box->setMaxVisibleItems(8);
  return box;
}

// Fills a list and gives every row the item height; no row is selected.
void FillList(QComboBox* box, const QStringList& rows) {
  box->addItems(rows);
  for (int i = 0; i < box->count(); ++i) box->setItemData(i, QSize(0, kItemHeight), Qt::SizeHintRole);
  box->setCurrentIndex(-1);
}

void InputMethodOff(QWidget* w) {
  w->setAttribute(Qt::WA_InputMethodEnabled, false);
}

std::optional<int> Selected(const QComboBox* box) {
  const int row = box->currentIndex();
  if (row < 0) return std::nullopt;
  bool ok = false;
  const int value = box->itemText(row).toInt(&ok);
  if (!ok) return std::nullopt;
  return value;
}

// One of the three time lists as the shortcut store sees it.
class ComboTimeList : public store::TimeList {
 public:
  explicit ComboTimeList(QComboBox* box) : box_(box) {}
  int selection() const override { return box_->currentIndex(); }
  std::string text() const override {
    return box_->currentIndex() < 0 ? std::string() : S(box_->currentText());
  }
  void setSelection(int index) override { box_->setCurrentIndex(index); }

 private:
  QComboBox* box_;
};

// Shows a window and brings it to the front, at its current place and size.
void ShowInFront(QWidget* w) {
  w->show();
  w->raise();
  w->activateWindow();
}

}  // namespace

std::optional<std::string> QtFileDialogRunner::run(QFileDialog& dialog) {
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return std::nullopt;
  return S(chosen.front());
}

// Command errors and halts of the stepper: the command-error box and the
// default error report.
class Tmain::StepperEvents : public StepperObserver {
 public:
  explicit StepperEvents(Tmain& main) : main_(main) {}
  void onCommandError(const std::string& text) override {
    main_.services_.boxes.showMessage(CommandErrorCaption(), text);
  }
  void onHalt(const std::string& message) override { main_.guard_.report(message); }

 private:
  Tmain& main_;
};

namespace {

std::string HelpOpenErrorText(const std::string& path, const std::string& reason) {
  return "ヘルプを開けません: " + path + " (" + reason + ")";
}

}  // namespace

std::string HelpDocumentPath(const std::string& programFolder) {
  namespace fs = std::filesystem;
  static const char* const kName = "tapwellhelp.html";
  const fs::path folder(programFolder.empty() ? "." : programFolder);
  const fs::path candidates[] = {folder / kName, folder / ".." / "share" / "doc" / "tapwell" / kName};
  for (const fs::path& candidate : candidates) {
    std::error_code error;
    if (fs::is_regular_file(candidate, error)) {
      const fs::path full = fs::weakly_canonical(fs::absolute(candidate, error), error);
      return (full.empty() ? candidate : full).string();
    }
  }
  return {};
}

Tmain::Tmain(MainServices services, QWidget* parent)
    : QMainWindow(parent), services_(std::move(services)), guard_(services_.errors) {
  if (!services_.quit) services_.quit = [] { QCoreApplication::quit(); };
  if (services_.programFolder.empty()) {
    services_.programFolder = S(QCoreApplication::applicationDirPath()) + "/";
  }
  setObjectName(QStringLiteral("main"));
  setWindowTitle(QStringLiteral("main"));
  setFont(FormFont(12));
  setWindowIcon(ProgramIcon());
  createControls();
  createMenus();
  createComponents();
  arrangeTabOrder();
  connectHandlers();
  setBorderSingle();
  move(191, 107);
  FormCreate();
}

Tmain::~Tmain() {
  // The tray icon goes before the window it belongs to.
  delete IconTray1;
  IconTray1 = nullptr;
}

void Tmain::createControls() {
  client = new QWidget(this);
  client->setObjectName(QStringLiteral("client"));
  client->setFixedSize(kMainClientWidth, kMainClientHeight);
  setCentralWidget(client);

  Label1 = MakeLabel(client, "Label1", QStringLiteral("現在時刻"), 8, 8, 48, 12);
  Label2 = MakeLabel(client, "Label2", QStringLiteral("00:00:00"), 64, 8, 40, 12);
  Label3 = MakeLabel(client, "Label3", QStringLiteral("予約１"), 8, 24, 32, 12);
  Hour = MakeList(client, "Hour", 40, 24, 41, false);
  Label4 = MakeLabel(client, "Label4", QStringLiteral("時"), 88, 32, 12, 12);
  Minute = MakeList(client, "Minute", 104, 24, 41, false);
  Label5 = MakeLabel(client, "Label5", QStringLiteral("分"), 152, 32, 12, 12);
  Second = MakeList(client, "Second", 168, 24, 41, false);
  Label6 = MakeLabel(client, "Label6", QStringLiteral("秒"), 216, 32, 12, 12);
  Edit1 = new QLineEdit(client);
  Edit1->setObjectName(QStringLiteral("Edit1"));
  Edit1->setGeometry(8, 48, 473, 20);
  Edit1->setMaxLength(32767 * 1024);
  HideBtn = MakeButton(client, "HideBtn", QStringLiteral("Hide"), 376, 8);
  Button2 = MakeButton(client, "Button2", QStringLiteral("短縮Load"), 8, 72);
  TestBtn = MakeButton(client, "TestBtn", QStringLiteral("Test"), 88, 72);
  StopBtn = MakeButton(client, "StopBtn", QStringLiteral("Stop"), 168, 72);
  SaveBtn = MakeButton(client, "SaveBtn", QStringLiteral("Save"), 248, 72);
  LoadBtn = MakeButton(client, "LoadBtn", QStringLiteral("Load"), 328, 72);
  Button1 = MakeButton(client, "Button1", QStringLiteral("短縮Save"), 408, 72);

  // Below the client area: they exist and take the focus, but stay out of sight.
  ComboBox1 = MakeList(client, "ComboBox1", 40, 104, 393, true);
  TestBtn2 = MakeButton(client, "TestBtn2", QStringLiteral("Test"), 40, 128);
  Editer = MakeButton(client, "Editer", QStringLiteral("Editer"), 120, 128);
  ToolSave = MakeButton(client, "ToolSave", QStringLiteral("ToolSave"), 200, 128);
  ToolLoad = MakeButton(client, "ToolLoad", QStringLiteral("ToolLoad"), 280, 128);
  ToolMake = MakeButton(client, "ToolMake", QStringLiteral("ToolMake"), 360, 128);
  KeyBord = MakeButton(client, "KeyBord", QStringLiteral("KeyBord"), 40, 160);
  ComboBox2 = MakeList(client, "ComboBox2", 120, 160, 145, true);

  QStringList hours;
  for (int h = 0; h < 24; ++h) hours << QString::number(h);
  QStringList sixty;
  for (int m = 0; m < 60; ++m) sixty << QStringLiteral("%1").arg(m, 2, 10, QLatin1Char('0'));
  FillList(Hour, hours);
  FillList(Minute, sixty);
  FillList(Second, sixty);
  QStringList samples;
  for (const std::string& row : SampleRows()) samples << Q(row);
  FillList(ComboBox1, samples);
  ComboBox1->setEditText(QString());
  FillList(ComboBox2, {QStringLiteral("sample1"), QStringLiteral("ThinkPad235")});
  ComboBox2->setEditText(QStringLiteral("key.txt"));

  for (QWidget* w : std::initializer_list<QWidget*>{Hour, Minute, Second, Edit1}) InputMethodOff(w);
}

void Tmain::createMenus() {
  MainMenu1 = menuBar();
  MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
  File1 = MainMenu1->addMenu(QStringLiteral("File"));
  File1->setObjectName(QStringLiteral("File1"));
  Hide1 = File1->addAction(QStringLiteral("Hide"));
  Hide1->setObjectName(QStringLiteral("Hide1"));
  // Pause ends a running script from anywhere on the desktop while it runs; here
  // it also works in this window.
  Abort1 = File1->addAction(QStringLiteral("Abort script"));
  Abort1->setObjectName(QStringLiteral("Abort1"));
  Abort1->setShortcut(QKeySequence(Qt::Key_Pause));
  // Starting at login is what makes a daily reservation fire every day.
  StartAtLogin1 = File1->addAction(QStringLiteral("Start at login"));
  StartAtLogin1->setObjectName(QStringLiteral("StartAtLogin1"));
  StartAtLogin1->setCheckable(true);
  StartAtLogin1->setChecked(services_.autostart.enabled());
  Exit1 = File1->addAction(QStringLiteral("Exit"));
  Exit1->setObjectName(QStringLiteral("Exit1"));
  Help1 = MainMenu1->addMenu(QStringLiteral("Help"));
  Help1->setObjectName(QStringLiteral("Help1"));
  Help2 = Help1->addAction(QStringLiteral("Help"));
  Help2->setObjectName(QStringLiteral("Help2"));
  About1 = Help1->addAction(QStringLiteral("About"));
  About1->setObjectName(QStringLiteral("About1"));
  Tool1 = new QMenu(QStringLiteral("Tool"), MainMenu1);
  MainMenu1->insertMenu(Help1->menuAction(), Tool1);
  Tool1->setObjectName(QStringLiteral("Tool1"));
  EditerItem = Tool1->addAction(QStringLiteral("Editer"));
  EditerItem->setObjectName(QStringLiteral("EditerItem"));
  ToolSaveItem = Tool1->addAction(QStringLiteral("ToolSave"));
  ToolSaveItem->setObjectName(QStringLiteral("ToolSaveItem"));
  ToolLoadItem = Tool1->addAction(QStringLiteral("ToolLoad"));
  ToolLoadItem->setObjectName(QStringLiteral("ToolLoadItem"));
  ToolMakeItem = Tool1->addAction(QStringLiteral("ToolMake"));
  ToolMakeItem->setObjectName(QStringLiteral("ToolMakeItem"));
  KeyBordItem = Tool1->addAction(QStringLiteral("KeyBord"));
  KeyBordItem->setObjectName(QStringLiteral("KeyBordItem"));
  CheckScriptItem = Tool1->addAction(QStringLiteral("Check script"));
  CheckScriptItem->setObjectName(QStringLiteral("CheckScriptItem"));

  PopupMenu1 = new TPopupMenu(this);
  PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
  show1 = PopupMenu1->addAction(QStringLiteral("show"));
  show1->setObjectName(QStringLiteral("show1"));
  abort2 = PopupMenu1->addAction(QStringLiteral("abort (Pause)"));
  abort2->setObjectName(QStringLiteral("abort2"));
  exit2 = PopupMenu1->addAction(QStringLiteral("exit"));
  exit2->setObjectName(QStringLiteral("exit2"));
}

void Tmain::createComponents() {
  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setTimerType(Qt::PreciseTimer);
  Timer1->setSingleShot(true);

  keyEmuTimer_ = services_.makeStepTimer([this] { guard_.run([this] { KeyEmuTimerTimer(); }); });
  KeyEmuTimer = keyEmuTimer_.get();
  stepper_ = std::make_unique<Stepper>(services_.keyboard, services_.launcher);
  stepperEvents_ = std::make_unique<StepperEvents>(*this);
  stepper_->setObserver(stepperEvents_.get());

  SaveDialog1 = new QFileDialog(this);
  SaveDialog1->setObjectName(QStringLiteral("SaveDialog1"));
  SaveDialog1->setAcceptMode(QFileDialog::AcceptSave);
  OpenDialog1 = new QFileDialog(this);
  OpenDialog1->setObjectName(QStringLiteral("OpenDialog1"));
  OpenDialog1->setAcceptMode(QFileDialog::AcceptOpen);
  for (QFileDialog* dialog : {SaveDialog1, OpenDialog1}) {
    // Every file is listed, any name may be typed (a missing file is reported
    // when it is opened) and no extension is added. The save dialog asks before
    // replacing a file, as the platform's dialog does by default.
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setNameFilter(QString());
    dialog->setDefaultSuffix(QString());
    dialog->setOption(QFileDialog::DontConfirmOverwrite, false);
  }

  IconTray1 = new TIconTray(this, services_.tray);
  IconTray1->setObjectName(QStringLiteral("IconTray1"));
  IconTray1->setGuard(&guard_);
  trayWait_ = new QTimer(this);
  trayWait_->setSingleShot(true);
  connect(trayWait_, &QTimer::timeout, this, [this] { trayWaitTimeout(); });
  try {
    IconTray1->ReadState([this](TIconTray& tray) {
      tray.setIcon(ProgramIcon());
      tray.setLBtnPopupMenu(PopupMenu1);
    });
  } catch (const std::exception& e) {
    // No tray: reported with FormCreate's own failure, and the program runs on.
    loadFailure_ = e.what();
  }
}

void Tmain::arrangeTabOrder() {
  const QWidget* order[] = {Hour,      Minute,    Second,  Edit1,    HideBtn,  TestBtn,  StopBtn,
                            TestBtn2,  ComboBox1, Editer,  ToolSave, ToolLoad, ToolMake, KeyBord,
                            ComboBox2, SaveBtn,   LoadBtn, Button1,  Button2};
  for (std::size_t i = 0; i + 1 < std::size(order); ++i) {
    QWidget::setTabOrder(const_cast<QWidget*>(order[i]), const_cast<QWidget*>(order[i + 1]));
  }
}

void Tmain::connectHandlers() {
  connect(TestBtn, &QPushButton::clicked, this, guard_.wrap([this] { TestBtnClick(); }));
  connect(TestBtn2, &QPushButton::clicked, this, guard_.wrap([this] { TestBtn2Click(); }));
  connect(StopBtn, &QPushButton::clicked, this, guard_.wrap([this] { StopBtnClick(); }));
  connect(HideBtn, &QPushButton::clicked, this, guard_.wrap([this] { HideBtnClick(); }));
  connect(Hide1, &QAction::triggered, this, guard_.wrap([this] { Hide1Click(); }));
  connect(Exit1, &QAction::triggered, this, guard_.wrap([this] { Exit1Click(); }));
  connect(Abort1, &QAction::triggered, this, guard_.wrap([this] { abortScript(); }));
  connect(abort2, &QAction::triggered, this, guard_.wrap([this] { abortScript(); }));
  connect(StartAtLogin1, &QAction::triggered, this, guard_.wrap([this] { StartAtLogin1Click(); }));
  connect(Help2, &QAction::triggered, this, guard_.wrap([this] { Help2Click(); }));
  connect(About1, &QAction::triggered, this, guard_.wrap([this] { About1Click(); }));
  connect(show1, &QAction::triggered, this, guard_.wrap([this] { show1Click(); }));
  connect(exit2, &QAction::triggered, this, guard_.wrap([this] { exit2Click(); }));
  connect(Timer1, &QTimer::timeout, this, guard_.wrap([this] { Timer1Timer(); }));
  connect(SaveBtn, &QPushButton::clicked, this, guard_.wrap([this] { SaveBtnClick(); }));
  connect(LoadBtn, &QPushButton::clicked, this, guard_.wrap([this] { LoadBtnClick(); }));
  connect(Button1, &QPushButton::clicked, this, guard_.wrap([this] { Button1Click(); }));
  connect(Button2, &QPushButton::clicked, this, guard_.wrap([this] { Button2Click(); }));
  connect(Editer, &QPushButton::clicked, this, guard_.wrap([this] { EditerClick(); }));
  connect(ToolSave, &QPushButton::clicked, this, guard_.wrap([this] { ToolSaveClick(); }));
  connect(ToolLoad, &QPushButton::clicked, this, guard_.wrap([this] { ToolLoadClick(); }));
  connect(ToolMake, &QPushButton::clicked, this, guard_.wrap([this] { ToolMakeClick(); }));
  connect(KeyBord, &QPushButton::clicked, this, guard_.wrap([this] { KeyBordClick(); }));
  connect(EditerItem, &QAction::triggered, this, guard_.wrap([this] { EditerClick(); }));
  connect(ToolSaveItem, &QAction::triggered, this, guard_.wrap([this] { ToolSaveClick(); }));
  connect(ToolLoadItem, &QAction::triggered, this, guard_.wrap([this] { ToolLoadClick(); }));
  connect(ToolMakeItem, &QAction::triggered, this, guard_.wrap([this] { ToolMakeClick(); }));
  connect(KeyBordItem, &QAction::triggered, this, guard_.wrap([this] { KeyBordClick(); }));
  connect(CheckScriptItem, &QAction::triggered, this, guard_.wrap([this] { CheckScriptClick(); }));
  connect(IconTray1, &TIconTray::availabilityChanged, this,
          [this](bool available) { guard_.run([this, available] { trayAvailabilityChanged(available); }); });
}

void Tmain::StartAtLogin1Click() {
  const bool wanted = StartAtLogin1->isChecked();
  // The check mark shows what the autostart folder holds, also after a failure.
  StartAtLogin1->setChecked(services_.autostart.enabled());
  services_.autostart.setEnabled(wanted);
  StartAtLogin1->setChecked(services_.autostart.enabled());
}

void Tmain::setBorderSingle() {
  const bool visible = isVisible();
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  const int menuHeight = MainMenu1->heightForWidth(kMainClientWidth) > 0
                             ? MainMenu1->heightForWidth(kMainClientWidth)
                             : MainMenu1->sizeHint().height();
  setFixedSize(kMainClientWidth, kMainClientHeight + menuHeight);
  // Changing the flags hides a shown window.
  if (visible) show();
}

void Tmain::FormCreate() {
  std::string failure = loadFailure_;
  loadFailure_.clear();
  try {
    IconTray1->setHint(Product().title);
  } catch (const std::exception& e) {
    if (failure != e.what()) failure += (failure.empty() ? "" : "\n") + std::string(e.what());
  }
  setWindowTitle(Q(Product().title));
  armTimer1();
  if (failure.empty()) return;
  if (services_.trayWait.count() > 0 && !IconTray1->Registered()) {
    // The tray host may still be on its way: the icon registers when it comes,
    // and the refusal is reported only if it does not come in time.
    trayFailure_ = failure;
    trayWait_->start(services_.trayWait);
    return;
  }
  // Reported once the event loop runs, when every window of the program exists.
  QTimer::singleShot(0, this, [this, failure] { guard_.report(failure); });
}

void Tmain::armTimer1() {
  Timer1->start(MsToNextTick(services_.clock.now()));
}

ReservedTime Tmain::reservedTime() const {
  return {Selected(Hour), Selected(Minute), Selected(Second)};
}

void Tmain::Timer1Timer() {
  armTimer1();
  const LocalDateTime now = services_.clock.now();
  Label2->setText(Q(ClockText(now)));
  // The label sizes itself to its text, as labels do, but never below its place.
  Label2->resize(std::max(40, Label2->sizeHint().width()), Label2->height());
  const ReservedTime reserved = reservedTime();
  for (const std::int64_t second : reservation_.secondsToCheck(now)) {
    if (reserved.matches(second)) {
      KeyEmu(S(Edit1->text()) + "#");
      break;
    }
  }
}

void Tmain::trayAvailabilityChanged(bool available) {
  // A tray host has come: the icon that it lacked registers now.
  if (!available || IconTray1->Registered()) return;
  try {
    IconTray1->UpdateIcon(true);
  } catch (const std::exception& e) {
    // While the wait runs, its end reports the refusal.
    if (!waitingForTray() && !trayRetryReported_) {
      trayRetryReported_ = true;
      guard_.report(e.what());
    }
    return;
  }
  trayWait_->stop();
  trayFailure_.clear();
}

void Tmain::trayWaitTimeout() {
  if (IconTray1->Registered()) return;
  const std::string failure = trayFailure_;
  trayFailure_.clear();
  emit trayWaitOver();
  guard_.report(failure);
}

void Tmain::KeyEmu(const std::string& script) {
  stepper_->start(script, StepClock::now());
  KeyEmuTimer->callAt(stepper_->nextStep());
  noteScriptState();
}

bool Tmain::scriptRunning() const {
  // A paused script still runs; a halted one waits for nothing.
  return stepper_->nextStep().has_value() ||
         (stepper_->state() == Stepper::State::Stopped && stepper_->record().Running);
}

void Tmain::noteScriptState() {
  const bool running = scriptRunning();
  if (running == toldRunning_) return;
  toldRunning_ = running;
  emit scriptRunningChanged(running);
}

void Tmain::TestBtnClick() {
  KeyEmu(S(Edit1->text()) + "#");
}

void Tmain::TestBtn2Click() {
  KeyEmu(S(ComboBox1->currentText()) + "#");
}

void Tmain::StopBtnClick() {
  stepper_->stopOrPlay(StepClock::now());
  // The caption shows the stepper's state.
  StopBtn->setText(stepper_->state() == Stepper::State::Playing ? QStringLiteral("Stop")
                                                                : QStringLiteral("Play"));
  KeyEmuTimer->callAt(stepper_->nextStep());
  noteScriptState();
}

void Tmain::KeyEmuTimerTimer() {
  stepper_->step(StepClock::now());
  // A script started while a command-error box was open may have scheduled its
  // first step already; the stepper's next step covers both.
  KeyEmuTimer->callAt(stepper_->nextStep());
  noteScriptState();
}

void Tmain::abortScript() {
  stepper_->end(StepClock::now());
  KeyEmuTimer->cancel();
  StopBtn->setText(QStringLiteral("Stop"));
  noteScriptState();
}

void Tmain::HideBtnClick() {
  // Without a tray icon a hidden window could not be brought back: it is only
  // minimised and keeps its taskbar entry.
  if (IconTray1->Registered()) {
    hide();
  } else {
    showMinimized();
  }
}

void Tmain::Hide1Click() {
  HideBtnClick();
}

void Tmain::show1Click() {
  if (isMinimized()) {
    showNormal();
  } else {
    show();
  }
  QWidget* front = QApplication::activeModalWidget();
  if (!front) front = this;
  if (front->isVisible() && front->isEnabled()) {
    front->raise();
    front->activateWindow();
  }
}

void Tmain::Exit1Click() {
  AppEnd();
}

void Tmain::exit2Click() {
  AppEnd();
}

void Tmain::About1Click() {
  services_.boxes.showMessage("バージョン情報", Product().title + "\n" + Product().version);
}

void Tmain::Help2Click() {
  // The data folder of an installed program is the user's; the document is
  // installed beside the program, so its own folder is tried as well.
  std::string path = HelpDocumentPath(services_.programFolder);
  if (path.empty()) path = HelpDocumentPath(S(QCoreApplication::applicationDirPath()) + "/");
  // A document that cannot be found is not reported; one that cannot be opened
  // is, with its path and the reason, now or when the opener gives up.
  if (path.empty()) return;
  const QPointer<Tmain> self(this);
  const std::string error = services_.launcher.openDocument(path, [self, path](const std::string& reason) {
    QMetaObject::invokeMethod(
        qApp,
        [self, path, reason] {
          if (self) self->guard_.report(HelpOpenErrorText(path, reason));
        },
        Qt::QueuedConnection);
  });
  if (!error.empty()) guard_.report(HelpOpenErrorText(path, error));
}

void Tmain::releaseHeldKeys() {
  stepper_->releaseHeldKeys(StepClock::now());
}

void Tmain::AppEnd() {
  // Nothing stays pressed because of a script when the program ends.
  KeyEmuTimer->cancel();
  stepper_->releaseHeldKeys(StepClock::now());
  services_.keyboard.flush();
  services_.quit();
}

std::string Tmain::scriptFolder() const {
  // Created on first use, so that the dialogs never fall back to the working
  // folder; when it cannot be made they open in the data folder itself.
  const std::string folder = services_.programFolder + "command";
  if (QDir().mkpath(Q(folder))) return folder;
  return services_.programFolder;
}

void Tmain::SaveBtnClick() {
  SaveDialog1->setDirectory(Q(scriptFolder()));
  SaveDialog1->selectFile(lastSaveName_);
  const std::optional<std::string> chosen = services_.fileDialogs.run(*SaveDialog1);
  if (!chosen) return;
  lastSaveName_ = Q(*chosen);
  store::SaveScriptFile(*chosen, S(Edit1->text()));
}

void Tmain::LoadBtnClick() {
  OpenDialog1->setDirectory(Q(scriptFolder()));
  OpenDialog1->selectFile(lastOpenName_);
  const std::optional<std::string> chosen = services_.fileDialogs.run(*OpenDialog1);
  if (!chosen) return;
  lastOpenName_ = Q(*chosen);
  Edit1->setText(Q(store::LoadScriptFile(*chosen)));
}

void Tmain::Button1Click() {
  const ComboTimeList hour(Hour), minute(Minute), second(Second);
  if (store::SaveShortcut(services_.settings, Product().title, hour, minute, second, S(Edit1->text())) ==
      store::ShortcutSave::NoTime)
    services_.boxes.showMessage("情報", "時刻を入力してください");
}

void Tmain::Button2Click() {
  ComboTimeList hour(Hour), minute(Minute), second(Second);
  const std::optional<std::string> script =
      store::LoadShortcut(services_.settings, Product().title, hour, minute, second);
  if (script) Edit1->setText(Q(*script));
}

void Tmain::setPanels(TTool2* tool2, TToolAdd* toolAdd, TVKeyBord* keyboard) {
  tool2_ = tool2;
  toolAdd_ = toolAdd;
  vKeyBord_ = keyboard;
  if (tool2_) tool2_->setScriptBox(Edit1, &guard_);
  if (vKeyBord_) vKeyBord_->setScriptBox(Edit1, &guard_);
  if (toolAdd_) toolAdd_->setPanel(tool2_, &guard_);
}

void Tmain::EditerClick() {
  if (tool2_) ShowInFront(tool2_);
}

void Tmain::ToolSaveClick() {
  if (!tool2_) return;
  store::SaveRecordList(services_.programFolder + store::kPanelLayoutName, S(tool2_->Memo1->toPlainText()));
}

void Tmain::ToolLoadClick() {
  if (!tool2_) return;
  store::LoadLayout(
      services_.programFolder + store::kPanelLayoutName, [this](const std::string& r) { tool2_->MakeBtn(r); },
      [this](const std::string& r) { TButtonPanel::AppendLine(tool2_->Memo1, r); });
}

void Tmain::ToolMakeClick() {
  if (toolAdd_) ShowInFront(toolAdd_);
  if (tool2_) ShowInFront(tool2_);
}

void Tmain::CheckScriptClick() {
  const std::string layout = services_.layoutName ? services_.layoutName() : std::string("us");
  const CheckContext context{services_.keyboard, layout, services_.namesProgram};
  std::string text;
  for (const Finding& f : CheckScript(Edit1->text().toStdString(), context)) text += FormatFinding(f) + "\n";
  if (text.empty()) text = "No problems found.";
  if (text.back() == '\n') text.pop_back();
  services_.boxes.showMessage(Product().title, text);
}

void Tmain::KeyBordClick() {
  if (!vKeyBord_) return;
  const std::string path =
      store::LayoutFilePath(services_.programFolder, S(ComboBox2->currentText()), services_.shippedLayouts);
  store::LoadLayout(
      path, [this](const std::string& r) { vKeyBord_->MakeBtn(r); },
      [this](const std::string& r) { TButtonPanel::AppendLine(vKeyBord_->Memo1, r); });
  // The keyboard opens at its usual size, or larger when its layout needs more
  // room, so that every key can be reached.
  QRect keys;
  for (const QPushButton* key : vKeyBord_->madeButtons()) keys |= key->geometry();
  vKeyBord_->setMinimumInside(QSize(keys.right() + 1, keys.bottom() + 1));
  ShowInFront(vKeyBord_);
  vKeyBord_->setOuterSize(200, 300);
}

void Tmain::FormClose() {
  AppEnd();
}

void Tmain::closeEvent(QCloseEvent* event) {
  event->accept();
  guard_.run([this] { FormClose(); });
}

}  // namespace tapwell::ui
