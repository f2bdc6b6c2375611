// Program entry: the command-line modes, otherwise the user interface.
#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "app/cli.h"
#if TAPWELL_WITH_GUI
#include "app/gui/gui_main.h"
#endif

int main(int argc, char** argv) {
  // A write past a file-size limit, or into a closed pipe, fails with an error
  // that is reported, instead of killing the program.
  std::signal(SIGXFSZ, SIG_IGN);
  std::signal(SIGPIPE, SIG_IGN);
  std::vector<std::string> args(argv + 1, argv + argc);
  if (auto code = tapwell::app::RunHeadless(args, std::cout, std::cerr))
    return *code;
  // The remote commands to the instance that runs on this display.
  if (args.size() == 1 && tapwell::app::IsRemoteOption(args[0])) {
#if TAPWELL_WITH_GUI
    return tapwell::app::RunRemote(args[0].substr(2), std::cerr);
#else
    std::cerr << "tapwell: " << args[0] << " is not built into this program: it was built without windows\n";
    return tapwell::app::kExitUsage;
#endif
  }
  bool tray = false;
  bool newInstance = false;
  for (const std::string& a : args) {
    bool* flag = a == "--tray" ? &tray : a == "--new-instance" ? &newInstance : nullptr;
    if (flag == nullptr || *flag) {
      return tapwell::app::UsageError(
          std::cerr, std::string(flag ? "option given twice" : "unknown option") + " '" + a + "'");
    }
    *flag = true;
  }
#if TAPWELL_WITH_GUI
  if (!tapwell::app::DisplayAvailable()) {
    std::cerr
        << "tapwell: no display (DISPLAY is not set); try 'tapwell --help' for the command-line modes\n";
    return tapwell::app::kExitNoDisplay;
  }
  tapwell::app::GuiOptions options;
  options.trayStart = tray;
  options.newInstance = newInstance;
  return tapwell::app::RunGui(argc, argv, options);
#else
  std::cout << tapwell::app::UsageText();
  return 0;
#endif
}
