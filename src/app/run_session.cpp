#include "app/run_session.h"

#include <QCoreApplication>
#include <ostream>

#include "app/signal_watcher.h"
#include "platform/x11/x11_stop_key.h"

namespace tapwell::app {

RunSession::RunSession(std::ostream& notices, const KeyBackendOptions& options)
    : opened_(OpenKeyBackend(notices, options)) {}

RunSession::~RunSession() {
  shutdown();
}

void RunSession::serve(Hooks hooks) {
  if (!opened()) return;
  hooks_ = std::move(hooks);
  platform::KeyBackend& keys = backend();

  // A signal ends the loop as the end of the script does: held keys go up first.
  signals_ = std::make_unique<SignalWatcher>([this, &keys](int signo) {
    if (hooks_.releaseHeldKeys) hooks_.releaseHeldKeys();
    keys.flush();
    QCoreApplication::exit(128 + signo);
  });
  keys.setInterruptFd(signals_->pendingFd());
  keys.setFailureHandler([this](const std::string& reason) {
    // A connection gone for good is watched no more: its socket stays readable.
    if (socket_ && backend().lost()) socket_->setEnabled(false);
    if (hooks_.failed) hooks_.failed(reason);
  });

  // The backend's wake-ups, and its connection's socket, so that a display that
  // goes away is noticed at once, even while nothing is typed (a backend without
  // a socket, such as the portal, hears of it over the bus instead).
  wakeup_.setSingleShot(true);
  QObject::connect(&wakeup_, &QTimer::timeout, [&keys] { keys.service(); });
  keys.setWakeupRequest([this](std::chrono::milliseconds delay) { wakeup_.start(delay); });
  if (keys.connectionFd() >= 0) {
    socket_ = std::make_unique<QSocketNotifier>(keys.connectionFd(), QSocketNotifier::Read);
    QObject::connect(socket_.get(), &QSocketNotifier::activated, [&keys] { keys.readEvents(); });
  }
}

platform::StopKey* RunSession::openStopKey(std::string& why) {
  if (stopKey_) return stopKey_.get();
  if (!opened() || kind() != BackendKind::X11) return nullptr;
  stopKey_ = platform::x11::X11StopKey::Open(why);
  if (!stopKey_) return nullptr;
  stopKeySocket_ = std::make_unique<QSocketNotifier>(stopKey_->connectionFd(), QSocketNotifier::Read);
  QObject::connect(stopKeySocket_.get(), &QSocketNotifier::activated, [this] { stopKey_->readEvents(); });
  return stopKey_.get();
}

void RunSession::shutdown() {
  if (shutDown_ || !opened()) return;
  shutDown_ = true;
  // Nothing is reported any more: a failure handler would also make the portal
  // let its failed session go and ask again when the script's end is told.
  backend().setFailureHandler({});
  if (stopKey_) stopKey_->disarm();
  stopKeySocket_.reset();
  // Whatever is still down goes up, and the keymap and auto-repeat are restored.
  if (hooks_.releaseHeldKeys) hooks_.releaseHeldKeys();
  wakeup_.stop();
  socket_.reset();
  backend().setWakeupRequest({});
  backend().shutdown();
  signals_.reset();
}

}  // namespace tapwell::app
