#include "platform/qt/window_state.h"

#include <QGuiApplication>
#include <QWidget>
#include <algorithm>
#include <vector>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace tapwell::platform {

namespace {

Display* X11Display() {
  if (QGuiApplication::platformName() != QLatin1String("xcb"))
    return nullptr;
  auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  return x11 ? x11->display() : nullptr;
}

// The window's _NET_WM_STATE property, for a window that is not mapped yet (the
// window manager owns it once the window is mapped).
void ChangeStateProperty(Display* display, Window window, Atom state, const Atom atoms[2], bool skip) {
  std::vector<Atom> current;
  Atom type = 0;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(display, window, state, 0, 64, False, XA_ATOM, &type, &format, &count, &after,
                         &data) == Success &&
      data) {
    if (type == XA_ATOM && format == 32) {
      const auto* values = reinterpret_cast<const Atom*>(data);
      current.assign(values, values + count);
    }
    XFree(data);
  }
  for (int i = 0; i < 2; ++i) {
    auto it = std::find(current.begin(), current.end(), atoms[i]);
    if (skip && it == current.end())
      current.push_back(atoms[i]);
    if (!skip && it != current.end())
      current.erase(it);
  }
  XChangeProperty(display, window, state, XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(current.data()), static_cast<int>(current.size()));
}

}  // namespace

void SetSkipTaskbar(QWidget* window, bool skip) {
  Display* display = X11Display();
  if (!display || !window)
    return;
  const Window id = static_cast<Window>(window->winId());
  const Atom state = XInternAtom(display, "_NET_WM_STATE", False);
  const Atom atoms[2] = {XInternAtom(display, "_NET_WM_STATE_SKIP_TASKBAR", False),
                         XInternAtom(display, "_NET_WM_STATE_SKIP_PAGER", False)};
  if (!window->isVisible()) {
    ChangeStateProperty(display, id, state, atoms, skip);
  } else {
    // A mapped window asks the window manager.
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = id;
    event.xclient.message_type = state;
    event.xclient.format = 32;
    event.xclient.data.l[0] = skip ? 1 : 0;  // _NET_WM_STATE_ADD or _REMOVE
    event.xclient.data.l[1] = static_cast<long>(atoms[0]);
    event.xclient.data.l[2] = static_cast<long>(atoms[1]);
    event.xclient.data.l[3] = 1;  // from an application
    XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask,
               &event);
    ChangeStateProperty(display, id, state, atoms, skip);
  }
  XFlush(display);
}

}  // namespace tapwell::platform
