#include "app/signal_watcher.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace tapwell::app {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
int g_pipe[2] = {-1, -1};
struct sigaction g_previous[3];

extern "C" void PostSignal(int signo) {
  const int saved = errno;
  const auto byte = static_cast<unsigned char>(signo);
  [[maybe_unused]] const auto written = ::write(g_pipe[1], &byte, 1);
  errno = saved;
}

}  // namespace

SignalWatcher::SignalWatcher(std::function<void(int)> onSignal, QObject* parent)
    : QObject(parent), onSignal_(std::move(onSignal)) {
  if (g_pipe[0] >= 0 || ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  struct sigaction action {};
  action.sa_handler = PostSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (std::size_t i = 0; i < std::size(kSignals); ++i) ::sigaction(kSignals[i], &action, &g_previous[i]);
  notifier_ = std::make_unique<QSocketNotifier>(g_pipe[0], QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, [this] {
    unsigned char signo = 0;
    while (::read(g_pipe[0], &signo, 1) == 1) {
      if (onSignal_) onSignal_(signo);
    }
  });
}

int SignalWatcher::pendingFd() const {
  return notifier_ ? g_pipe[0] : -1;
}

SignalWatcher::~SignalWatcher() {
  if (!notifier_) return;
  notifier_.reset();
  for (std::size_t i = 0; i < std::size(kSignals); ++i) ::sigaction(kSignals[i], &g_previous[i], nullptr);
  ::close(g_pipe[0]);
  ::close(g_pipe[1]);
  g_pipe[0] = g_pipe[1] = -1;
}

}  // namespace tapwell::app
