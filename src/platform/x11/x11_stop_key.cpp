#include "platform/x11/x11_stop_key.h"

// clang-format off
#include <X11/Xlib.h>
#include <X11/Xproto.h>
#include <X11/keysym.h>
// clang-format on

#include <vector>

namespace tapwell::platform::x11 {

namespace {

// Whether the server refused a grab during the current check. Xlib reports
// errors through one process-wide handler; ours stands in only for the moment
// of a grab, on the user-interface thread.
bool g_grabRefused = false;

int NoteGrabError(Display*, XErrorEvent* error) {
  if (error->request_code == X_GrabKey) g_grabRefused = true;
  return 0;
}

// The modifier bit that holds keysym, or 0.
unsigned ModifierOf(Display* display, KeySym keysym) {
  const KeyCode code = XKeysymToKeycode(display, keysym);
  if (code == 0) return 0;
  XModifierKeymap* map = XGetModifierMapping(display);
  if (map == nullptr) return 0;
  unsigned mask = 0;
  for (int mod = 0; mod < 8 && mask == 0; ++mod) {
    for (int i = 0; i < map->max_keypermod; ++i) {
      if (map->modifiermap[mod * map->max_keypermod + i] == code) {
        mask = 1u << mod;
        break;
      }
    }
  }
  XFreeModifiermap(map);
  return mask;
}

}  // namespace

std::unique_ptr<X11StopKey> X11StopKey::Open(std::string& why) {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    why = "cannot open the X display for the Pause key";
    return nullptr;
  }
  return std::unique_ptr<X11StopKey>(new X11StopKey(display));
}

X11StopKey::X11StopKey(Display* display) : display_(display), root_(DefaultRootWindow(display)) {}

X11StopKey::~X11StopKey() {
  disarm();
  XCloseDisplay(display_);
}

int X11StopKey::connectionFd() const {
  return ConnectionNumber(display_);
}

bool X11StopKey::grab(const unsigned* modifiers, int count) {
  g_grabRefused = false;
  XSync(display_, False);
  auto* previous = XSetErrorHandler(NoteGrabError);
  for (int i = 0; i < count; ++i) {
    XGrabKey(display_, keycode_, modifiers[i], root_, False, GrabModeAsync, GrabModeAsync);
  }
  XSync(display_, False);
  XSetErrorHandler(previous);
  if (!g_grabRefused) return true;
  for (int i = 0; i < count; ++i) XUngrabKey(display_, keycode_, modifiers[i], root_);
  XSync(display_, False);
  return false;
}

bool X11StopKey::arm(std::string& why) {
  if (armed_) return true;
  keycode_ = XKeysymToKeycode(display_, XK_Pause);
  if (keycode_ == 0) {
    why = "no key of the keyboard map is Pause";
    return false;
  }
  // With any modifiers, so that a script holding Shift or Ctrl does not hide the
  // key; when another program has taken one of those combinations, at least with
  // the lock keys in any state.
  const unsigned any[] = {AnyModifier};
  anyModifier_ = grab(any, 1);
  if (!anyModifier_) {
    const unsigned locks[] = {LockMask, ModifierOf(display_, XK_Num_Lock),
                              ModifierOf(display_, XK_Scroll_Lock)};
    std::vector<unsigned> sets = {0};
    for (const unsigned lock : locks) {
      if (lock == 0) continue;
      const std::size_t n = sets.size();
      for (std::size_t i = 0; i < n; ++i) sets.push_back(sets[i] | lock);
    }
    lockCount_ = static_cast<int>(sets.size());
    for (int i = 0; i < lockCount_; ++i) lockModifiers_[i] = sets[static_cast<std::size_t>(i)];
    if (!grab(lockModifiers_, lockCount_)) {
      lockCount_ = 0;
      why = "the Pause key is held by another program";
      return false;
    }
  }
  armed_ = true;
  return true;
}

void X11StopKey::ungrab() {
  if (anyModifier_) {
    XUngrabKey(display_, keycode_, AnyModifier, root_);
  } else {
    for (int i = 0; i < lockCount_; ++i) XUngrabKey(display_, keycode_, lockModifiers_[i], root_);
  }
  XSync(display_, False);
}

void X11StopKey::disarm() {
  if (!armed_) return;
  ungrab();
  armed_ = false;
  anyModifier_ = false;
  lockCount_ = 0;
}

void X11StopKey::readEvents() {
  bool pressed = false;
  while (XPending(display_) > 0) {
    XEvent event;
    XNextEvent(display_, &event);
    if (event.type == KeyPress && armed_ && static_cast<int>(event.xkey.keycode) == keycode_) {
      pressed = true;
    } else if (event.type == MappingNotify) {
      XRefreshKeyboardMapping(&event.xmapping);
    }
  }
  if (!pressed) return;
  // The press holds the keyboard for this connection until the key goes up. It
  // is let go first, so that the keys the ended script releases reach the
  // window that saw them go down.
  XUngrabKeyboard(display_, CurrentTime);
  XSync(display_, False);
  if (onPress_) onPress_();
}

}  // namespace tapwell::platform::x11
