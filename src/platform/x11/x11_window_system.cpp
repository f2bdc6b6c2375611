#include "platform/x11/x11_window_system.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <vector>

namespace tapwell::platform::x11 {

namespace {

// The values of a 32-bit property of window, or nothing when it is missing or
// of another type.
std::vector<long> Property(Display* display, Window window, Atom name, Atom type) {
  std::vector<long> values;
  Atom actualType = 0;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(display, window, name, 0, 64, False, type, &actualType, &format, &count, &after,
                         &data) == Success &&
      data) {
    if (actualType == type && format == 32) {
      const auto* longs = reinterpret_cast<const long*>(data);
      values.assign(longs, longs + count);
    }
    XFree(data);
  }
  return values;
}

void SendToRoot(Display* display, Window window, Atom type, long l0, long l1, long l2, long l3) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = type;
  event.xclient.format = 32;
  event.xclient.data.l[0] = l0;
  event.xclient.data.l[1] = l1;
  event.xclient.data.l[2] = l2;
  event.xclient.data.l[3] = l3;
  XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask,
             &event);
}

}  // namespace

bool X11WindowSystem::windowManagerRuns() {
  // The manager's check window names itself in the same property.
  const Atom check = XInternAtom(display_, "_NET_SUPPORTING_WM_CHECK", False);
  const std::vector<long> root = Property(display_, DefaultRootWindow(display_), check, XA_WINDOW);
  if (root.empty() || root[0] == 0) return false;
  const auto child = static_cast<Window>(root[0]);
  const std::vector<long> self = Property(display_, child, check, XA_WINDOW);
  return !self.empty() && static_cast<Window>(self[0]) == child;
}

void X11WindowSystem::requestFrameExtents(unsigned long window) {
  if (!display_ || !windowManagerRuns()) return;
  SendToRoot(display_, window, XInternAtom(display_, "_NET_REQUEST_FRAME_EXTENTS", False), 0, 0, 0, 0);
  XFlush(display_);
}

std::optional<FrameExtents> X11WindowSystem::frameExtents(unsigned long window) {
  if (!display_) return std::nullopt;
  if (!windowManagerRuns()) return FrameExtents{};
  const std::vector<long> v =
      Property(display_, window, XInternAtom(display_, "_NET_FRAME_EXTENTS", False), XA_CARDINAL);
  if (v.size() < 4) return std::nullopt;
  // The property lists left, right, top, bottom.
  return FrameExtents{static_cast<int>(v[0]), static_cast<int>(v[2]), static_cast<int>(v[1]),
                      static_cast<int>(v[3])};
}

void X11WindowSystem::setSkipTaskbar(unsigned long window, bool mapped, bool skip) {
  if (!display_) return;
  const Atom state = XInternAtom(display_, "_NET_WM_STATE", False);
  const Atom atoms[2] = {XInternAtom(display_, "_NET_WM_STATE_SKIP_TASKBAR", False),
                         XInternAtom(display_, "_NET_WM_STATE_SKIP_PAGER", False)};
  // A mapped window asks the window manager (_NET_WM_STATE_ADD or _REMOVE, from
  // an application); the property is written as well, for a window that is not
  // mapped yet and for a manager that does not answer.
  if (mapped) {
    SendToRoot(display_, window, state, skip ? 1 : 0, static_cast<long>(atoms[0]),
               static_cast<long>(atoms[1]), 1);
  }
  std::vector<Atom> current;
  for (const long value : Property(display_, window, state, XA_ATOM))
    current.push_back(static_cast<Atom>(value));
  for (const Atom atom : atoms) {
    const auto it = std::find(current.begin(), current.end(), atom);
    if (skip && it == current.end()) current.push_back(atom);
    if (!skip && it != current.end()) current.erase(it);
  }
  XChangeProperty(display_, window, state, XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(current.data()), static_cast<int>(current.size()));
  XFlush(display_);
}

}  // namespace tapwell::platform::x11
