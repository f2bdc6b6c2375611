#include "app/backends.h"

#include <cstdlib>
#include <ostream>
#include <string_view>

#include "app/cli.h"
#include "platform/x11/x11_keyboard.h"
#if TAPWELL_HAVE_WAYLAND
#include "platform/wayland/wayland_keyboard.h"
#endif
#if TAPWELL_HAVE_PORTAL
#include "platform/portal/portal_keyboard.h"
#endif

namespace tapwell::app {

namespace {

bool Set(const char* value) {
  return value != nullptr && *value != '\0';
}

template <class K, class... Options>
std::unique_ptr<platform::KeyBackend> Open(std::string& error, const Options&... options) {
  auto opened = K::Open(options...);
  if (!opened.keyboard) error = opened.error;
  return std::move(opened.keyboard);
}

}  // namespace

BackendPlan PlanBackends(const char* override, const char* waylandDisplay) {
  BackendPlan plan;
  if (Set(override)) {
    const std::string_view name = override;
    if (name == "x11") {
      plan.order = {BackendKind::X11};
    } else if (name == "wayland") {
      plan.order = {BackendKind::Wayland};
    } else if (name == "portal") {
      plan.order = {BackendKind::Portal};
    } else {
      plan.error = "TAPWELL_BACKEND must be x11, wayland or portal, not '" + std::string(name) + "'";
    }
    return plan;
  }
  if (Set(waylandDisplay)) {
    plan.order = {BackendKind::Wayland, BackendKind::Portal, BackendKind::X11};
  } else {
    plan.order = {BackendKind::X11};
  }
  return plan;
}

OpenedBackend OpenKeyBackend(std::ostream& err, const KeyBackendOptions& options) {
  OpenedBackend result;
  const char* override = std::getenv("TAPWELL_BACKEND");
  const char* waylandDisplay = std::getenv("WAYLAND_DISPLAY");
  const BackendPlan plan = PlanBackends(override, waylandDisplay);
  if (!plan.error.empty()) {
    result.error = plan.error;
    result.exitCode = kExitUsage;
    return result;
  }
  std::string reasons;
  for (const BackendKind kind : plan.order) {
    std::string why;
    if (kind == BackendKind::Wayland) {
#if TAPWELL_HAVE_WAYLAND
      result.backend = Open<platform::wayland::WaylandKeyboard>(
          why, platform::wayland::WaylandKeyboard::OpenOptions{.pointerAtOnce = options.usesMouseButtons});
#else
      (void)options;
      why = "this program was built without the Wayland backend.";
#endif
    } else if (kind == BackendKind::Portal) {
#if TAPWELL_HAVE_PORTAL
      result.backend = Open<platform::portal::PortalKeyboard>(why);
#else
      why = "this program was built without the remote control portal.";
#endif
    } else {
      result.backend = Open<platform::x11::X11Keyboard>(why);
      if (result.backend && Set(waylandDisplay)) {
        err << "tapwell: sending keys over XTest in a Wayland session: they reach XWayland windows only"
            << (reasons.empty() ? std::string(".") : " (" + reasons + ")") << '\n';
      }
    }
    if (result.backend) {
      result.kind = kind;
      return result;
    }
    if (!reasons.empty()) reasons += " ";
    reasons += why;
  }
  if (!Set(override) && !Set(waylandDisplay)) {
    reasons += " WAYLAND_DISPLAY is not set either: there is no Wayland session to send keys to.";
  }
  result.error = reasons;
  result.exitCode = kExitNoDisplay;
  return result;
}

}  // namespace tapwell::app
