// The start of the program with its windows.
#pragma once

#include <chrono>
#include <iosfwd>
#include <string>

namespace tapwell::app {

struct GuiOptions {
  // Started at login: the main window starts hidden behind its tray icon, the
  // stored shortcut is loaded, and a tray host is waited for.
  bool trayStart = false;
  // A further instance beside one that runs already, instead of handing over to it.
  bool newInstance = false;
};

// How long a start at login waits for the desktop's tray host before it reports
// that the icon cannot be registered.
inline constexpr std::chrono::milliseconds kLoginTrayWait{30000};

// The remote commands: "show", "hide", "quit", "abort" sent to the instance that
// runs on this display; returns the exit code (0 done, 1 no instance or refused).
int RunRemote(const std::string& command, std::ostream& err);

// Runs the windows until the program ends; returns the exit code.
int RunGui(int argc, char** argv, const GuiOptions& options);

// Whether a display can be reached (an X or Wayland display, or a Qt platform
// chosen explicitly).
bool DisplayAvailable();

}  // namespace tapwell::app
