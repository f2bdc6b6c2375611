// Starting the program at login through the XDG autostart folder.
#pragma once

#include <string>

namespace tapwell::platform {

class Autostart {
 public:
  // The entry is autostartFolder + "/org.qorvex.Tapwell.desktop"; it starts
  // program with "--tray".
  Autostart(std::string autostartFolder, std::string program);

  // The user's autostart folder: $XDG_CONFIG_HOME/autostart, or
  // ~/.config/autostart.
  static std::string UserFolder();

  std::string entryPath() const;
  // Whether an entry of this program exists and is not hidden.
  bool enabled() const;
  // Writes or removes the entry; raises EInOutError naming the file on failure.
  void setEnabled(bool on);
  // The text of the entry.
  std::string entryText() const;

 private:
  std::string folder_;
  std::string program_;
};

}  // namespace tapwell::platform
