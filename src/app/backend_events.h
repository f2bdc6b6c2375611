// Serves a key backend on the event loop: its wake-up requests, and its
// connection's socket, so that a display that goes away is noticed at once,
// even while nothing is typed (a backend without a socket, such as the portal,
// hears of it over the bus instead).
#pragma once

#include <QSocketNotifier>
#include <QTimer>
#include <memory>

#include "app/backends.h"

namespace tapwell::app {

class BackendEvents {
 public:
  explicit BackendEvents(KeyBackend& backend) {
    wakeup_.setSingleShot(true);
    QObject::connect(&wakeup_, &QTimer::timeout, [&backend] { backend.service(); });
    backend.setWakeupRequest([this](std::chrono::milliseconds delay) { wakeup_.start(delay); });
    if (backend.connectionFd() >= 0) {
      socket_ = std::make_unique<QSocketNotifier>(backend.connectionFd(), QSocketNotifier::Read);
      QObject::connect(socket_.get(), &QSocketNotifier::activated, [&backend] { backend.readEvents(); });
    }
  }
  BackendEvents(const BackendEvents&) = delete;
  BackendEvents& operator=(const BackendEvents&) = delete;

 private:
  QTimer wakeup_;
  std::unique_ptr<QSocketNotifier> socket_;
};

}  // namespace tapwell::app
