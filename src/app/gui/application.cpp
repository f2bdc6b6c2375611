#include "app/gui/application.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QTimer>

#include "app/snapshot.h"
#include "engine/product.h"
#include "platform/qt/window_state.h"
#include "store/layout_file.h"

namespace tapwell::app {

template <class T, class... Args>
std::unique_ptr<T> ApplicationWindows::create(Args&&... args) {
  auto window = std::make_unique<T>(std::forward<Args>(args)...);
  creationOrder_.push_back(window->objectName().toStdString());
  return window;
}

ApplicationWindows::ApplicationWindows(WindowServices services) : services_(std::move(services)) {
  if (services_.programFolder.empty()) {
    services_.programFolder = QCoreApplication::applicationDirPath().toStdString() + "/";
  }
  if (services_.shippedLayouts.empty()) {
    services_.shippedLayouts =
        store::ShippedLayoutFolder(QCoreApplication::applicationFilePath().toStdString(), TAPWELL_SOURCE_DIR);
  }
  // The splash first: it fills the product strings that the main window reads.
  startup = create<Tstartup>(services_.screen);
  main = create<ui::Tmain>(ui::MainServices{services_.keyboard, services_.launcher, services_.tray,
                                            services_.boxes, services_.errors, services_.clock,
                                            services_.quit, services_.programFolder, services_.settings,
                                            services_.fileDialogs, services_.shippedLayouts});
  Log = create<TLog>();
  Tool = create<TTool>();
  Editer = create<TEditer>();
  Tool2 = create<ui::TTool2>();
  ToolAdd = create<ui::TToolAdd>();
  VKeyBord = create<ui::TVKeyBord>();
  main->setPanels(Tool2.get(), ToolAdd.get(), VKeyBord.get());

  Handover handover;
  handover.versionSnapshot = [this] {
    main->guard().run([this] { VersionSnapshot(services_.programFolder, AppVersion, services_.boxes); });
  };
  handover.showLog = [this] { Log->show(); };
  handover.setMainBorderSingle = [this] { main->setBorderSingle(); };
  handover.showMain = [this] { showMain(); };
  startup->setHandover(std::move(handover));
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
  if (services_.startHidden && main->IconTray1->Registered()) return;
  main->show();
  main->raise();
  main->activateWindow();
}

TaskbarExclusion::TaskbarExclusion(std::function<bool()> trayRegistered, QObject* parent)
    : QObject(parent), trayRegistered_(std::move(trayRegistered)) {
  if (qApp)
    qApp->installEventFilter(this);
  auto* timer = new QTimer(this);
  timer->setInterval(1000);
  connect(timer, &QTimer::timeout, this, [this] {
    if (trayRegistered_() != last_)
      refresh();
  });
  timer->start();
}

void TaskbarExclusion::apply(QWidget* window, bool skip) {
  if (!window->isWindow() || window->windowType() == Qt::Popup || window->windowType() == Qt::ToolTip)
    return;
  platform::SetSkipTaskbar(window, skip);
}

void TaskbarExclusion::refresh() {
  last_ = trayRegistered_();
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->isVisible())
      apply(w, last_);
  }
}

bool TaskbarExclusion::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Show && watched->isWidgetType()) {
    auto* w = static_cast<QWidget*>(watched);
    if (w->isWindow())
      apply(w, trayRegistered_());
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace tapwell::app
