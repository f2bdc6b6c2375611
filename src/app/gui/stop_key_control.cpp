#include "app/gui/stop_key_control.h"

#include "core/product.h"

namespace tapwell::app {

StopKeyControl::StopKeyControl(ui::Tmain& main, platform::StopKey& key,
                               std::function<void(const std::string&)> warn, QObject* parent)
    : QObject(parent), main_(main), key_(key), warn_(std::move(warn)) {
  key_.setHandler([this] { main_.abortScript(); });
  connect(&main_, &ui::Tmain::scriptRunningChanged, this, &StopKeyControl::runningChanged);
}

void StopKeyControl::setHint(const std::string& hint) {
  // Without a tray host the icon's update is refused. That has been reported
  // already, and a box now would take the keys the script types.
  try {
    main_.IconTray1->setHint(hint);
  } catch (const std::exception&) {
  }
}

void StopKeyControl::runningChanged(bool running) {
  if (!running) {
    if (!key_.armed()) {
      // A refusal is shown once the script can no longer type into the box.
      if (!unreported_.empty()) main_.guard().report(std::exchange(unreported_, {}));
      return;
    }
    key_.disarm();
    setHint(Product().title);
    return;
  }
  std::string why;
  if (key_.arm(why)) {
    setHint(Product().title + kStopKeyHint);
  } else if (!refused_) {
    refused_ = true;
    const std::string text = why + "; scripts run without a stop key";
    if (warn_) warn_(text);
    unreported_ = text;
  }
}

}  // namespace tapwell::app
