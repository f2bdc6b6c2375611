// A receiving window for the end-to-end tests: takes the keyboard focus when it
// is mapped, puts the pointer over itself, and prints one line per key or button
// event on standard output:
//   ready <window id>
//   press|release <keysym name> <keycode> <server time>
//   button-press|button-release <button> <server time>
//   done
// It ends with "done" when it receives the client message TAPWELL_TEST_DONE.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>

int main() {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "receiver: cannot open the display\n");
    return 2;
  }
  const int screen = DefaultScreen(display);
  const Window root = RootWindow(display, screen);
  const Window window =
      XCreateSimpleWindow(display, root, 0, 0, static_cast<unsigned>(DisplayWidth(display, screen)),
                          static_cast<unsigned>(DisplayHeight(display, screen)), 0,
                          BlackPixel(display, screen), WhitePixel(display, screen));
  XSelectInput(display, window,
               KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask | StructureNotifyMask |
                   FocusChangeMask);
  XStoreName(display, window, "tapwell-test-receiver");
  const Atom done = XInternAtom(display, "TAPWELL_TEST_DONE", False);
  // Xlib fetches its keyboard map at the first key lookup and only then asks for
  // notice of keymap changes; that request goes out with the next flush. Changes
  // made in between (keys put on spare keycodes while the first events are still
  // queued) would never be announced, and their keys would look up as NoSymbol.
  // Fetching the map now, before the window is ready, closes that window.
  int minKeycode = 0;
  int maxKeycode = 0;
  XDisplayKeycodes(display, &minKeycode, &maxKeycode);
  XkbKeycodeToKeysym(display, static_cast<KeyCode>(minKeycode), 0, 0);
  XMapRaised(display, window);
  bool ready = false;
  for (;;) {
    XEvent event;
    XNextEvent(display, &event);
    switch (event.type) {
      case MapNotify:
        XSetInputFocus(display, window, RevertToParent, CurrentTime);
        XWarpPointer(display, None, window, 0, 0, 0, 0, 10, 10);
        XSync(display, False);
        break;
      case FocusIn:
        if (!ready) {
          ready = true;
          std::printf("ready %lu\n", window);
        }
        break;
      case MappingNotify:
        XRefreshKeyboardMapping(&event.xmapping);
        break;
      case KeyPress:
      case KeyRelease: {
        char text[32];
        KeySym keysym = NoSymbol;
        XLookupString(&event.xkey, text, sizeof text, &keysym, nullptr);
        const char* name = keysym == NoSymbol ? nullptr : XKeysymToString(keysym);
        std::printf("%s %s %u %lu\n", event.type == KeyPress ? "press" : "release", name ? name : "NoSymbol",
                    event.xkey.keycode, event.xkey.time);
        break;
      }
      case ButtonPress:
      case ButtonRelease:
        std::printf("%s %u %lu\n", event.type == ButtonPress ? "button-press" : "button-release",
                    event.xbutton.button, event.xbutton.time);
        break;
      case ClientMessage:
        if (event.xclient.message_type == done) {
          std::printf("done\n");
          XCloseDisplay(display);
          return 0;
        }
        break;
      default:
        break;
    }
  }
}
