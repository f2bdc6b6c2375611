// The start of the program with its windows.
#pragma once

namespace tapwell::app {

struct GuiOptions {
  // The main window starts hidden behind its tray icon.
  bool startHidden = false;
};

// Runs the windows until the program ends; returns the exit code.
int RunGui(int argc, char** argv, const GuiOptions& options);

// Whether a display can be reached (an X or Wayland display, or a Qt platform
// chosen explicitly).
bool DisplayAvailable();

}  // namespace tapwell::app
