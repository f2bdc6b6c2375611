// Turns SIGINT, SIGTERM and SIGHUP into a call on the event loop, so that the
// program releases every key it holds before it ends, whatever ends it.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <functional>
#include <memory>

namespace tapwell::app {

class SignalWatcher : public QObject {
  Q_OBJECT
 public:
  // Installs the handlers; onSignal runs on the event loop with the signal number.
  explicit SignalWatcher(std::function<void(int signo)> onSignal, QObject* parent = nullptr);
  // Restores the handlers that were installed before.
  ~SignalWatcher() override;

  bool ok() const { return notifier_ != nullptr; }
  // Readable once a signal has arrived and until it has been handled; -1
  // without handlers.
  int pendingFd() const;

 private:
  std::function<void(int)> onSignal_;
  std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace tapwell::app
