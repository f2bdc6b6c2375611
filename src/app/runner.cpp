#include "app/runner.h"

#include <ostream>

#include "app/cli.h"
#include "engine/errors.h"
#include "store/textfile.h"

#if TAPWELL_HAVE_X11
#include <QCoreApplication>
#include <QSocketNotifier>
#include <chrono>

#include "app/backends.h"
#include "app/signal_watcher.h"

#include "engine/product.h"
#include "engine/simulation.h"
#include "engine/stepper.h"
#include "platform/posix/launcher.h"
#include "platform/qt/qt_step_timer.h"
#endif

namespace tapwell::app {

namespace {

int Usage(std::ostream& err, const std::string& problem) {
  err << "tapwell: " << problem << "\n"
      << "Try 'tapwell --help' for more information.\n";
  return kExitUsage;
}

#if TAPWELL_HAVE_X11

using Clock = std::chrono::steady_clock;

// What the run does, for the exit code and for --trace: the same lines as the
// dry run, with the milliseconds since the start.
class RunSession : public platform::Keyboard,
                   public platform::Launcher,
                   public PauseCaption,
                   public MessageBoxes,
                   public StepObserver {
 public:
  RunSession(platform::Keyboard& keyboard, platform::Launcher& launcher, bool trace, std::ostream& err)
      : keyboard_(keyboard), launcher_(launcher), trace_(trace), err_(err) {}

  bool failed = false;

  void keybd_event(std::uint8_t vk, platform::KeyDirection direction) override {
    if (trace_) {
      line() << (direction == platform::KeyDirection::Down ? "down " : "up ") << static_cast<int>(vk) << '\n';
    }
    keyboard_.keybd_event(vk, direction);
  }
  std::int16_t VkKeyScanA(char c) override { return keyboard_.VkKeyScanA(c); }
  void flush() override { keyboard_.flush(); }
  void scriptEnded() override { keyboard_.scriptEnded(); }
  void start(const std::string& token) override {
    if (trace_) line() << "start " << EscapeForTerminal(token) << '\n';
    launcher_.start(token);
  }
  std::string caption() const override { return std::string(kCaptionStop); }
  void setCaption(const std::string&) override {}
  void showMessage(const std::string& caption, const std::string& text) override {
    err_ << caption << ": " << text << '\n';
    err_.flush();
  }
  void onWait(std::int32_t ms) override {
    if (trace_) line() << "wait " << ms << '\n';
  }
  void onEnd() override {
    if (trace_) line() << "end\n";
  }
  void onCommandError(const std::string& text) override {
    failed = true;
    if (trace_) line() << "error " << EscapeForTerminal(text) << '\n';
  }
  void onHalt(const std::string& message) {
    failed = true;
    if (trace_) line() << "halt " << EscapeForTerminal(message) << '\n';
    err_ << AppTitle << ": " << DefaultReportText(message) << '\n';
    err_.flush();
  }

 private:
  std::ostream& line() {
    return err_ << std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start_).count()
                << ' ';
  }

  platform::Keyboard& keyboard_;
  platform::Launcher& launcher_;
  bool trace_;
  std::ostream& err_;
  Clock::time_point start_ = Clock::now();
};

#endif

}  // namespace

int RunCommand(const std::vector<std::string>& args, std::ostream& err) {
  std::string mode;
  std::string operand;
  bool trace = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--trace") {
      if (trace) return Usage(err, "--trace given twice");
      trace = true;
    } else if (a == "--run" || a == "--run-file") {
      if (!mode.empty()) return Usage(err, "only one of --run and --run-file may be given");
      if (i + 1 >= args.size()) return Usage(err, a + " needs exactly one argument");
      mode = a;
      operand = args[++i];
    } else {
      return Usage(err, "unexpected argument '" + a + "'");
    }
  }
  if (mode.empty()) return Usage(err, "--trace needs --run or --run-file");
  std::string script = operand;
  if (mode == "--run-file") {
    try {
      script = store::ReadFirstLine(operand);
    } catch (const Exception& e) {
      err << "tapwell: " << e.what() << "\n";
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
  if (AppTitle.empty()) AppTitle = "Tapwell";

  OpenedBackend opened = OpenKeyBackend(err);
  if (!opened.backend) {
    err << "tapwell: " << opened.error << "\n";
    return opened.exitCode;
  }
  KeyBackend& backend = *opened.backend;
  platform::Keyboard& keyboard = backend.keyboard();

  int argc = 1;
  char name[] = "tapwell";
  char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);

  platform::PosixLauncher launcher(err);
  RunSession session(keyboard, launcher, trace, err);
  platform::QtStepTimer timer;
  KeyEmulator emulator(session, session, timer, session, session);
  emulator.setObserver(&session);

  timer.setHandler([&] {
    try {
      emulator.KeyEmuTimerTimer();
    } catch (const EConvertError& e) {
      // Halted: the engine has released the keys the script held.
      session.onHalt(e.what());
      timer.setEnabled(false);
      app.exit(kExitScriptFailed);
      return;
    } catch (const std::exception& e) {
      // Nothing crosses the event loop: any other failure ends the run.
      err << "tapwell: " << e.what() << '\n';
      timer.setEnabled(false);
      emulator.ReleaseHeldKeys();
      app.exit(kExitScriptFailed);
      return;
    }
    if (!emulator.keyBuf().Running) {
      timer.setEnabled(false);
      app.exit(session.failed ? kExitScriptFailed : kExitOk);
    }
  });

  // Signals stop the script at once; nothing stays pressed.
  SignalWatcher signalWatcher([&](int signo) {
    timer.setEnabled(false);
    emulator.ReleaseHeldKeys();
    keyboard.flush();
    app.exit(128 + signo);
  });

  // A display that goes away ends the run at once, even during a wait.
  QSocketNotifier displayNotifier(backend.connectionFd(), QSocketNotifier::Read);
  QObject::connect(&displayNotifier, &QSocketNotifier::activated, [&] { backend.readEvents(); });

  std::string text = script;
  text += '#';
  emulator.KeyEmu(std::move(text));
  const int code = app.exec();
  // Whatever is still down goes up, and the keymap and auto-repeat are restored.
  emulator.ReleaseHeldKeys();
  backend.shutdown();
  err.flush();
  return code;
}

#endif

}  // namespace tapwell::app
