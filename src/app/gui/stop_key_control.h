// The stop key in the windows: taken while a script of the main window runs,
// ending that script when it is pressed, and named in the tray hint meanwhile.
#pragma once

#include <QObject>
#include <functional>
#include <string>

#include "platform/stop_key.h"
#include "ui/main_form.h"

namespace tapwell::app {

// What the tray hint adds while the key is taken.
inline constexpr const char* kStopKeyHint = " (Pause: stop)";

class StopKeyControl : public QObject {
  Q_OBJECT
 public:
  // warn tells at once, on the terminal, that the key cannot be taken; the
  // windows report it too, once, after the script has ended.
  StopKeyControl(ui::Tmain& main, platform::StopKey& key, std::function<void(const std::string&)> warn,
                 QObject* parent = nullptr);

 private:
  void runningChanged(bool running);
  void setHint(const std::string& hint);

  ui::Tmain& main_;
  platform::StopKey& key_;
  std::function<void(const std::string&)> warn_;
  bool refused_ = false;
  std::string unreported_;
};

}  // namespace tapwell::app
