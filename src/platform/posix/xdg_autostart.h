// Starting the program at login through the XDG autostart folder.
#pragma once

#include <string>

#include "platform/autostart.h"

namespace tapwell::platform {

class XdgAutostart : public Autostart {
 public:
  // The entry is autostartFolder + "/org.qorvex.Tapwell.desktop"; it starts
  // program with "--tray".
  XdgAutostart(std::string autostartFolder, std::string program);

  // The user's autostart folder: $XDG_CONFIG_HOME/autostart, or
  // ~/.config/autostart.
  static std::string UserFolder();

  std::string entryPath() const;
  // Whether the entry exists, is not hidden, and its Exec line starts this
  // program file (the same file, by its path, a link or a name found in PATH).
  bool enabled() const override;
  // Writes or removes the entry; raises EInOutError naming the file on failure.
  void setEnabled(bool on) override;
  // The text of the entry.
  std::string entryText() const;

 private:
  std::string folder_;
  std::string program_;
};

}  // namespace tapwell::platform
