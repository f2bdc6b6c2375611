#include "app/gui/application.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QTimer>

#include "app/snapshot.h"
#include "core/product.h"
#include "store/layout_file.h"

namespace tapwell::app {

template <class T, class... Args>
std::unique_ptr<T> ApplicationWindows::create(Args&&... args) {
  auto window = std::make_unique<T>(std::forward<Args>(args)...);
  creationOrder_.push_back(window->objectName().toStdString());
  return window;
}

ApplicationWindows::ApplicationWindows(WindowServices services) : services_(std::move(services)) {
  ui::MainServices& shared = services_.main;
  if (shared.programFolder.empty()) {
    shared.programFolder = QCoreApplication::applicationDirPath().toStdString() + "/";
  }
  if (shared.shippedLayouts.empty()) {
    shared.shippedLayouts = store::ShippedLayoutFolder(QCoreApplication::applicationFilePath().toStdString());
  }
  // The splash first: it fills the product strings that the main window reads.
  startup = create<Tstartup>(services_.screen, services_.splashTimer);
  main = create<ui::Tmain>(shared);
  Log = create<TLog>();
  Tool = create<TTool>();
  Editer = create<TEditer>();
  Tool2 = create<ui::TTool2>();
  ToolAdd = create<ui::TToolAdd>();
  VKeyBord = create<ui::TVKeyBord>();
  main->setPanels(Tool2.get(), ToolAdd.get(), VKeyBord.get());

  Handover handover;
  handover.versionSnapshot = [this] {
    main->guard().run(
        [this] { VersionSnapshot(services_.main.programFolder, Product().version, services_.main.boxes); });
  };
  handover.showLog = [this] { Log->show(); };
  handover.setMainBorderSingle = [this] { main->setBorderSingle(); };
  handover.showMain = [this] { showMain(); };
  startup->setHandover(std::move(handover));

  if (services_.trayStart) {
    // The reservation that was stored is armed as 短縮Load arms it, once the
    // event loop runs; a failure is reported as that button reports it.
    QTimer::singleShot(0, main.get(), [this] { main->guard().run([this] { main->Button2Click(); }); });
    // A tray host that comes too late leaves the main window as the way in.
    QObject::connect(main.get(), &ui::Tmain::trayWaitOver, main.get(), [this] {
      if (startup->handedOver())
        showMain();
    });
  }
}

ApplicationWindows::~ApplicationWindows() {
  // The windows go in the reverse order of their creation.
  VKeyBord.reset();
  ToolAdd.reset();
  Tool2.reset();
  Editer.reset();
  Tool.reset();
  Log.reset();
  main.reset();
  startup.reset();
}

void ApplicationWindows::start() {
  startup->show();
}

void ApplicationWindows::showMain() {
  // Started at login, the window stays behind its tray icon; without an icon it
  // is shown as usual, so that the user can reach it.
  if (services_.trayStart && (main->IconTray1->Registered() || main->waitingForTray()))
    return;
  main->show();
  main->raise();
  main->activateWindow();
}

TaskbarExclusion::TaskbarExclusion(std::function<bool()> trayRegistered, platform::WindowSystem* windows,
                                   QObject* parent)
    : QObject(parent), trayRegistered_(std::move(trayRegistered)), windows_(windows) {
  if (qApp)
    qApp->installEventFilter(this);
}

void TaskbarExclusion::apply(QWidget* window, bool skip) {
  if (!window->isWindow() || window->windowType() == Qt::Popup || window->windowType() == Qt::ToolTip) return;
  if (windows_) windows_->setSkipTaskbar(window->winId(), window->isVisible(), skip);
}

void TaskbarExclusion::refresh() {
  const bool skip = trayRegistered_();
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->isVisible())
      apply(w, skip);
  }
}

bool TaskbarExclusion::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Show && watched->isWidgetType()) {
    auto* w = static_cast<QWidget*>(watched);
    if (w->isWindow()) apply(w, trayRegistered_());
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace tapwell::app
