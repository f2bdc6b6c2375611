#include "app/runner.h"

#include <ostream>

#include "app/cli.h"
#include "core/errors.h"
#include "engine/stepper.h"

#if TAPWELL_HAVE_KEY_BACKENDS
#include <QCoreApplication>
#include <csignal>

#include "app/run_session.h"
#include "engine/session.h"
#include "platform/posix/launcher.h"
#include "platform/qt/qt_step_timer.h"
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
  const std::optional<std::string> script = ScriptOfOperand(mode, operand, err);
  if (!script) return kExitUsage;
  return RunScript(*script, trace, err);
}

#if !TAPWELL_HAVE_KEY_BACKENDS

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
  RunSession run(err, {.usesMouseButtons = ScriptUsesMouseButtons(script)});
  if (!run.opened()) {
    err << "tapwell: " << run.error() << "\n";
    return run.exitCode();
  }
  platform::PosixLauncher launcher(err);
  const StepTime origin = StepClock::now();
  StreamTrace traceLines(err, origin);
  ScriptSession session(run.backend(), launcher, trace ? &traceLines : nullptr, &err);
  platform::QtStepTimer timer;
  // Set once the route has failed: the run ends with code 3 whatever the
  // script's step that noticed it returns.
  bool routeFailed = false;

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
    if (routeFailed) return;
    if (next) {
      timer.callAt(next);
    } else {
      // Ended or halted; a halt has released the keys the script held.
      app.exit(session.failed() ? kExitScriptFailed : kExitOk);
    }
  });

  // Signals stop the script at once; nothing stays pressed. A route that fails
  // (a display that goes away, even during a wait; a desktop that refuses the
  // keys) ends the run.
  run.serve({.releaseHeldKeys =
                 [&] {
                   timer.cancel();
                   session.stepper().releaseHeldKeys(StepClock::now());
                 },
             .failed =
                 [&](const std::string& reason) {
                   err << "tapwell: " << reason << '\n';
                   routeFailed = true;
                   timer.cancel();
                   app.exit(kExitNoDisplay);
                 }});

  // On X11 the Pause key ends the run as Ctrl+C does; it is taken from the other
  // programs only for the time of the run. A Wayland compositor lends no key to
  // grab: there SIGINT alone ends the run.
  std::string why;
  if (platform::StopKey* stopKey = run.openStopKey(why); stopKey && stopKey->arm(why)) {
    stopKey->setHandler([&] {
      timer.cancel();
      session.stepper().end(StepClock::now());
      app.exit(128 + SIGINT);
    });
  } else if (!why.empty()) {
    err << "tapwell: " << why << "; the script runs without a stop key\n";
  }

  // Step n is due at the start plus the time the dry run shows for it.
  timer.callAt(session.start(script, origin));
  const int code = app.exec();
  run.shutdown();
  err.flush();
  return routeFailed ? kExitNoDisplay : code;
}

#endif

}  // namespace tapwell::app
