// The receiving side of the timing harness. Every line it prints carries the
// CLOCK_MONOTONIC time (nanoseconds) at which the event was read from the X
// server, so the harness can compare it with its own monotonic clock.
//
//   bench_receiver keys   a full-screen window that takes the keyboard focus:
//                         "ready <window>", then "press|release <keysym> <ns>"
//   bench_receiver maps   watches the top-level windows:
//                         "ready", then "map|unmap <window> <x> <y> <w> <h> <ns> <name>"
//
// Both end when a line arrives on standard input or standard input closes.
// Output is flushed whenever no more X events are pending, so that printing keeps
// up with tens of thousands of events per second.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

long long NowNs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

std::string Name(Display* display, Window window) {
  char* name = nullptr;
  std::string out;
  if (XFetchName(display, window, &name) != 0 && name != nullptr) {
    out = name;
    XFree(name);
  }
  return out.empty() ? "-" : out;
}

// A window can go away between its event and the questions about it.
int IgnoreErrors(Display*, XErrorEvent*) {
  return 0;
}

bool Handle(Display* display, const XEvent& event, long long ns, bool keys, bool& ready, Window window) {
  if (keys) {
    switch (event.type) {
      case MapNotify:
        XSetInputFocus(display, window, RevertToParent, CurrentTime);
        XWarpPointer(display, None, window, 0, 0, 0, 0, 10, 10);
        break;
      case FocusIn:
        if (!ready) {
          ready = true;
          std::printf("ready %lu\n", window);
        }
        break;
      case MappingNotify: {
        XEvent copy = event;
        XRefreshKeyboardMapping(&copy.xmapping);
        break;
      }
      case KeyPress:
      case KeyRelease: {
        XKeyEvent key = event.xkey;
        char text[32];
        KeySym keysym = NoSymbol;
        XLookupString(&key, text, sizeof text, &keysym, nullptr);
        const char* name = keysym == NoSymbol ? nullptr : XKeysymToString(keysym);
        std::printf("%s %s %lld\n", event.type == KeyPress ? "press" : "release", name ? name : "NoSymbol",
                    ns);
        break;
      }
      default:
        break;
    }
    return true;
  }
  if (event.type == MapNotify || event.type == UnmapNotify) {
    const Window w = event.type == MapNotify ? event.xmap.window : event.xunmap.window;
    XWindowAttributes a{};
    int x = 0;
    int y = 0;
    if (XGetWindowAttributes(display, w, &a) != 0) {
      Window child = 0;
      XTranslateCoordinates(display, w, DefaultRootWindow(display), 0, 0, &x, &y, &child);
    }
    std::printf("%s %lu %d %d %d %d %lld %s\n", event.type == MapNotify ? "map" : "unmap", w, x, y, a.width,
                a.height, ns, Name(display, w).c_str());
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const bool keys = argc > 1 && std::strcmp(argv[1], "keys") == 0;
  const bool maps = argc > 1 && std::strcmp(argv[1], "maps") == 0;
  if (!keys && !maps) {
    std::fprintf(stderr, "usage: bench_receiver keys|maps\n");
    return 2;
  }
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "bench_receiver: cannot open the display\n");
    return 2;
  }
  XSetErrorHandler(IgnoreErrors);
  const int screen = DefaultScreen(display);
  const Window root = RootWindow(display, screen);
  Window window = 0;
  bool ready = false;
  if (keys) {
    window = XCreateSimpleWindow(display, root, 0, 0, static_cast<unsigned>(DisplayWidth(display, screen)),
                                 static_cast<unsigned>(DisplayHeight(display, screen)), 0,
                                 BlackPixel(display, screen), WhitePixel(display, screen));
    XSelectInput(display, window, KeyPressMask | KeyReleaseMask | StructureNotifyMask | FocusChangeMask);
    XStoreName(display, window, "tapwell-bench-receiver");
    XMapRaised(display, window);
  } else {
    XSelectInput(display, root, SubstructureNotifyMask);
    XSync(display, False);
    std::printf("ready\n");
  }
  std::fflush(stdout);
  const int xfd = ConnectionNumber(display);
  for (;;) {
    while (XPending(display) > 0) {
      XEvent event;
      XNextEvent(display, &event);
      Handle(display, event, NowNs(), keys, ready, window);
    }
    std::fflush(stdout);
    pollfd fds[2] = {{xfd, POLLIN, 0}, {0, POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) continue;
    if ((fds[1].revents & (POLLIN | POLLHUP)) != 0) break;
  }
  std::printf("done\n");
  std::fflush(stdout);
  XCloseDisplay(display);
  return 0;
}
