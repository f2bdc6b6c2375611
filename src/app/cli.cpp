#include "app/cli.h"

#include <ostream>
#include <string_view>

#include "app/check.h"
#include "app/runner.h"
#include "app/version.h"
#include "core/errors.h"
#include "engine/session.h"
#include "store/textfile.h"

namespace tapwell::app {

std::string UsageText() {
  return "Usage: tapwell [OPTION]\n"
         "Runs key scripts: keyboard input that is typed into the focused window at a\n"
         "time of day or at once.\n"
         "\n"
         "Without options the program starts its windows, once per user and display: a\n"
         "further start shows the main window of the one that runs and exits.\n"
         "While a script runs, the Pause key ends it at once (X11).\n"
         "\n"
         "  --dry-run SCRIPT        show what SCRIPT does on a simulated clock and a US\n"
         "                          layout, without sending keys or starting programs\n"
         "  --dry-run-file FILE     the same with the first line of FILE (- for stdin)\n"
         "  --check SCRIPT          check SCRIPT without running it: one line per problem,\n"
         "                          \"<position>: error|warning: <message>\"\n"
         "  --check-file FILE       the same with the first line of FILE (- for stdin)\n"
         "  --run SCRIPT            run SCRIPT now with real key events, without windows\n"
         "  --run-file FILE         the same with the first line of FILE (- for stdin)\n"
         "  --trace                 with --run: print what each step does to stderr\n"
         "  --tray                  start with the main window hidden in the tray (a\n"
         "                          further start with --tray leaves it as it is)\n"
         "  --new-instance          start further windows beside the ones that run, for\n"
         "                          example to keep two reservations\n"
         "\n"
         "Commands to the windows that run on this display (exit status 0 done, 1 no\n"
         "instance runs or it refused):\n"
         "  --abort                 end the running script at once, as '#' does\n"
         "  --show                  show the main window and bring it to the front\n"
         "  --hide                  hide the main window\n"
         "  --quit                  end the program, as Exit does\n"
         "\n"
         "  --help                  show this help and exit\n"
         "  --version               show the version and exit\n"
         "\n"
         "Exit status of --dry-run and --run: 0 the script ended at '#', 1 a command\n"
         "error or a wait value that is no number, 2 a usage error, 3 no display or no\n"
         "key injection, 130 ended by Ctrl+C or the Pause key.\n"
         "Exit status of --check: 0 no error (warnings allowed), 1 an error, 2 a usage\n"
         "error.\n";
}

std::optional<std::string> ScriptOfOperand(const std::string& option, const std::string& operand,
                                           std::ostream& err) {
  constexpr std::string_view kFile = "-file";
  if (option.size() < kFile.size() || option.compare(option.size() - kFile.size(), kFile.size(), kFile) != 0)
    return operand;
  try {
    return store::ReadFirstLine(operand);
  } catch (const Exception& e) {
    err << "tapwell: " << EscapeForTerminal(e.what()) << "\n";
    return std::nullopt;
  }
}

bool IsRemoteOption(const std::string& arg) {
  return arg == "--show" || arg == "--hide" || arg == "--quit" || arg == "--abort";
}

int UsageError(std::ostream& err, const std::string& problem) {
  err << "tapwell: " << EscapeForTerminal(problem) << "\n"
      << "Try 'tapwell --help' for more information.\n";
  return kExitUsage;
}

std::optional<int> RunHeadless(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty()) return std::nullopt;
  const std::string& mode = args[0];
  if (mode == "--help" || mode == "-h") {
    out << UsageText();
    return kExitOk;
  }
  if (mode == "--version") {
    out << "tapwell " << TAPWELL_VERSION_TEXT << "\n";
    return kExitOk;
  }
  if (mode == "--check" || mode == "--check-file" || mode == "--dry-run" || mode == "--dry-run-file") {
    if (args.size() != 2) return UsageError(err, mode + " needs exactly one argument");
    const std::optional<std::string> script = ScriptOfOperand(mode, args[1], err);
    if (!script) return kExitUsage;
    return mode.rfind("--check", 0) == 0 ? CheckScriptText(*script, out) : DryRun(*script, out);
  }
  if (mode == "--run" || mode == "--run-file" || mode == "--trace") return RunCommand(args, err);
  return std::nullopt;
}

}  // namespace tapwell::app
