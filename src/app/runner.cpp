#include "app/runner.h"

#include <ostream>

#include "app/cli.h"
#include "core/errors.h"
#include "engine/stepper.h"
#include "store/textfile.h"

#if TAPWELL_HAVE_X11
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <chrono>
#include <csignal>
#include <memory>

#include "app/backend_events.h"
#include "app/backends.h"
#include "app/signal_watcher.h"

#include "engine/session.h"
#include "platform/posix/launcher.h"
#include "platform/qt/qt_step_timer.h"
#include "platform/x11/x11_stop_key.h"
#endif

namespace tapwell::app {

int RunCommand(const std::vector<std::string>& args, std::ostream& err) {
  std::string mode;
  std::string operand;
  bool trace = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--trace") {
      if (trace) return UsageError(err, "--trace given twice");
      trace = true;
    } else if (a == "--run" || a == "--run-file") {
      if (!mode.empty()) return UsageError(err, "only one of --run and --run-file may be given");
      if (i + 1 >= args.size()) return UsageError(err, a + " needs exactly one argument");
      mode = a;
      operand = args[++i];
    } else {
      return UsageError(err, "unexpected argument '" + a + "'");
    }
  }
  if (mode.empty()) return UsageError(err, "--trace needs --run or --run-file");
  std::string script = operand;
  if (mode == "--run-file") {
    try {
      script = store::ReadFirstLine(operand);
    } catch (const Exception& e) {
      err << "tapwell: " << EscapeForTerminal(e.what()) << "\n";
      return kExitUsage;
    }
  }
  return RunScript(script, trace, err);
}

#if !TAPWELL_HAVE_X11

int RunScript(const std::string&, bool, std::ostream& err) {
  err << "tapwell: --run is not built into this program: it was built without the X11 backend\n";
  return kExitNoDisplay;
}

#else

int RunScript(const std::string& script, bool trace, std::ostream& err) {
  // Before the backend: the portal's replies arrive on the event loop.
  int argc = 1;
  char name[] = "tapwell";
  char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);

  // A pointer device only for a script that clicks: on some compositors one that
  // comes and goes with each run upsets XWayland.
  OpenedBackend opened = OpenKeyBackend(err, {.usesMouseButtons = ScriptUsesMouseButtons(script)});
  if (!opened.backend) {
    err << "tapwell: " << opened.error << "\n";
    return opened.exitCode;
  }
  KeyBackend& backend = *opened.backend;
  platform::Keyboard& keyboard = backend.keyboard();

  platform::PosixLauncher launcher(err);
  const StepTime origin = StepClock::now();
  StreamTrace traceLines(err, origin);
  ScriptSession session(keyboard, launcher, trace ? &traceLines : nullptr, &err);
  platform::QtStepTimer timer;

  timer.setHandler([&] {
    std::optional<StepTime> next;
    try {
      next = session.step(StepClock::now());
    } catch (const std::exception& e) {
      // Nothing crosses the event loop: any failure ends the run.
      err << "tapwell: " << EscapeForTerminal(e.what()) << '\n';
      session.stepper().releaseHeldKeys(StepClock::now());
      app.exit(kExitScriptFailed);
      return;
    }
    if (next) {
      timer.callAt(next);
    } else {
      // Ended or halted; a halt has released the keys the script held.
      app.exit(session.failed() ? kExitScriptFailed : kExitOk);
    }
  });

  // Signals stop the script at once; nothing stays pressed.
  SignalWatcher signalWatcher([&](int signo) {
    timer.cancel();
    session.stepper().releaseHeldKeys(StepClock::now());
    keyboard.flush();
    app.exit(128 + signo);
  });

  backend.setInterruptFd(signalWatcher.pendingFd());
  // A display that goes away ends the run at once, even during a wait.
  BackendEvents backendEvents(backend);

  // On X11 the Pause key ends the run as Ctrl+C does; it is taken from the other
  // programs only for the time of the run. A Wayland compositor lends no key to
  // grab: there SIGINT alone ends the run.
  std::unique_ptr<platform::x11::X11StopKey> stopKey;
  std::unique_ptr<QSocketNotifier> stopKeyNotifier;
  if (opened.kind == BackendKind::X11) {
    std::string why;
    stopKey = platform::x11::X11StopKey::Open(why);
    if (stopKey && stopKey->arm(why)) {
      stopKey->setHandler([&] {
        timer.cancel();
        session.stepper().end(StepClock::now());
        app.exit(128 + SIGINT);
      });
      stopKeyNotifier = std::make_unique<QSocketNotifier>(stopKey->connectionFd(), QSocketNotifier::Read);
      QObject::connect(stopKeyNotifier.get(), &QSocketNotifier::activated, [&] { stopKey->readEvents(); });
    } else {
      err << "tapwell: " << why << "; the script runs without a stop key\n";
    }
  }

  // Step n is due at the start plus the time the dry run shows for it.
  timer.callAt(session.start(script, origin));
  const int code = app.exec();
  if (stopKey) stopKey->disarm();
  // Whatever is still down goes up, and the keymap and auto-repeat are restored.
  session.stepper().releaseHeldKeys(StepClock::now());
  backend.shutdown();
  err.flush();
  return code;
}

#endif

}  // namespace tapwell::app
