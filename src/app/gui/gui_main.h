// The start of the program with its windows.
#pragma once

#include <iosfwd>
#include <string>

namespace tapwell::app {

struct GuiOptions {
  // The main window starts hidden behind its tray icon.
  bool startHidden = false;
  // A further instance beside one that runs already, instead of handing over to it.
  bool newInstance = false;
};

// The remote commands: "show", "hide", "quit", "abort" sent to the instance that
// runs on this display; returns the exit code (0 done, 1 no instance or refused).
int RunRemote(const std::string& command, std::ostream& err);

// Runs the windows until the program ends; returns the exit code.
int RunGui(int argc, char** argv, const GuiOptions& options);

// Whether a display can be reached (an X or Wayland display, or a Qt platform
// chosen explicitly).
bool DisplayAvailable();

}  // namespace tapwell::app
