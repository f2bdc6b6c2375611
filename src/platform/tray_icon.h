// One icon in the desktop's tray: shown with an image and a tip, changed in
// place, taken out again; a tray host may be missing, come and go.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tapwell::platform {

// An image as 32-bit ARGB pixels, row by row; no pixels is the empty image.
struct TrayImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> argb;

  bool empty() const { return argb.empty(); }
  bool operator==(const TrayImage&) const = default;
};

// How the user activated the icon.
enum class TrayActivation { Click, DoubleClick, Context, Middle };

class TrayIcon {
 public:
  using ActivationHandler = std::function<void(TrayActivation)>;
  using AvailabilityHandler = std::function<void(bool available)>;

  virtual ~TrayIcon() = default;

  // Whether a tray host is there at the moment.
  virtual bool available() const = 0;

  // Puts the icon into the tray; false (nothing shown) when it is already shown
  // or no tray host takes it.
  virtual bool show(const TrayImage& image, const std::string& tip) = 0;
  // Changes the image and tip of the shown icon; false when it is not shown.
  virtual bool update(const TrayImage& image, const std::string& tip) = 0;
  // Takes the icon out of the tray; false when it is not shown.
  virtual bool hide() = 0;

  // Called on every activation of the shown icon.
  virtual void setActivationHandler(ActivationHandler handler) = 0;
  // Called when a tray host appears or goes away. A shown icon stays shown while
  // its host is away and returns with the next one.
  virtual void setAvailabilityHandler(AvailabilityHandler handler) = 0;
};

}  // namespace tapwell::platform
