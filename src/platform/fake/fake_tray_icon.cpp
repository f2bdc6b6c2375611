#include "platform/fake/fake_tray_icon.h"

namespace tapwell::fake {

bool FakeTrayIcon::show(const platform::TrayImage& image, const std::string& text) {
  calls.push_back({"show", image, text});
  if (refuseShow || !isAvailable || shown)
    return false;
  shown = true;
  tip = text;
  return true;
}

bool FakeTrayIcon::update(const platform::TrayImage& image, const std::string& text) {
  calls.push_back({"update", image, text});
  if (refuseUpdate || !shown)
    return false;
  tip = text;
  return true;
}

bool FakeTrayIcon::hide() {
  calls.push_back({"hide", {}, {}});
  if (refuseHide || !shown)
    return false;
  shown = false;
  tip.clear();
  return true;
}

void FakeTrayIcon::setAvailable(bool available) {
  if (available == isAvailable)
    return;
  isAvailable = available;
  if (onAvailability_)
    onAvailability_(available);
}

void FakeTrayIcon::activate(platform::TrayActivation activation) {
  if (shown && onActivated_)
    onActivated_(activation);
}

}  // namespace tapwell::fake
