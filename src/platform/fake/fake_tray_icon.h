// A tray icon for tests: it records every call, can refuse any of them, and
// lets the test bring a tray host, take it away and activate the icon.
#pragma once

#include <string>
#include <vector>

#include "platform/tray_icon.h"

namespace tapwell::fake {

class FakeTrayIcon : public platform::TrayIcon {
 public:
  struct Call {
    std::string op;  // "show", "update" or "hide"
    platform::TrayImage image;
    std::string tip;
  };

  bool available() const override { return isAvailable; }
  bool show(const platform::TrayImage& image, const std::string& tip) override;
  bool update(const platform::TrayImage& image, const std::string& tip) override;
  bool hide() override;
  void setActivationHandler(ActivationHandler handler) override { onActivated_ = std::move(handler); }
  void setAvailabilityHandler(AvailabilityHandler handler) override { onAvailability_ = std::move(handler); }

  // A tray host appears (true) or goes away (false), and the handler hears of it.
  void setAvailable(bool available);
  // The user activates the shown icon; nothing happens when it is not shown.
  void activate(platform::TrayActivation activation);

  std::vector<Call> calls;
  bool isAvailable = true;
  bool refuseShow = false;
  bool refuseUpdate = false;
  bool refuseHide = false;
  // What the tray holds.
  bool shown = false;
  std::string tip;

 private:
  ActivationHandler onActivated_;
  AvailabilityHandler onAvailability_;
};

}  // namespace tapwell::fake
