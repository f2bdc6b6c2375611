#include "platform/x11/x11_keyboard.h"

// Qt before Xlib: Xlib's macros (Bool, Status, None) break Qt's headers.
#include <QCoreApplication>
#include <QTimer>
// clang-format off
#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/XKBlib.h>
#include <X11/extensions/XTest.h>
// clang-format on
#include <unistd.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace tapwell::platform::x11 {

namespace {

// The pool is large enough for a script that alternates between several keys
// the keymap lacks (the ten keypad digits) within the hold time.
constexpr std::size_t kMaxSpares = 16;

int IgnoreXError(Display*, XErrorEvent*) {
  return 0;
}

[[noreturn]] int ConnectionLost(Display*) {
  static const char kText[] = "tapwell: the connection to the X display was lost\n";
  [[maybe_unused]] const auto written = ::write(2, kText, sizeof kText - 1);
  std::_Exit(3);
}

std::string XkbLayouts(Display* display) {
  const Atom names = XInternAtom(display, "_XKB_RULES_NAMES", True);
  if (names == None) return {};
  Atom type = None;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(display, DefaultRootWindow(display), names, 0, 1024, False, XA_STRING, &type,
                         &format, &count, &after, &data) != Success ||
      data == nullptr) {
    return {};
  }
  // rules, model, layouts, variants, options, each ended by a NUL.
  std::string layouts;
  const char* p = reinterpret_cast<const char*>(data);
  const char* end = p + count;
  for (int field = 0; field < 2 && p < end; ++field) p += std::strlen(p) + 1;
  if (p < end) layouts = std::string(p, strnlen(p, static_cast<std::size_t>(end - p)));
  XFree(data);
  return layouts;
}

}  // namespace

namespace {

std::string ShownDisplayName() {
  const char* name = XDisplayName(nullptr);
  return (name && *name) ? name : "";
}

std::string NoDisplayText(const std::string& shown) {
  return shown.empty() ? "no X display: DISPLAY is not set. Key injection needs an X11 session "
                         "(or XWayland); run from a terminal of the desktop session."
                       : "cannot open the X display \"" + shown +
                             "\". Key injection needs an X11 session (or XWayland); check DISPLAY "
                             "and that the display accepts this user.";
}

}  // namespace

std::string X11Keyboard::DisplayProblem() {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return NoDisplayText(ShownDisplayName());
  XCloseDisplay(display);
  return {};
}

X11Keyboard::OpenResult X11Keyboard::Open() {
  OpenResult result;
  const std::string shown = ShownDisplayName();
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    result.error = NoDisplayText(shown);
    return result;
  }
  int eventBase = 0;
  int errorBase = 0;
  int major = 0;
  int minor = 0;
  if (!XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor)) {
    XCloseDisplay(display);
    result.error = "the X server of display \"" + shown +
                   "\" has no XTest extension, so keys cannot be sent. Use an X11 session or XWayland "
                   "with XTest enabled.";
    return result;
  }
  XSetErrorHandler(IgnoreXError);
  XSetIOErrorHandler(ConnectionLost);
  result.keyboard.reset(new X11Keyboard(display));
  return result;
}

X11Keyboard::X11Keyboard(Display* display) : display_(display) {
  // Our requests go on while another client grabs the server.
  XTestGrabControl(display_, True);
  // A new layout (setxkbmap) arrives as an XKB event, not as a core one.
  int opcode = 0;
  int xkbError = 0;
  int major = XkbMajorVersion;
  int minor = XkbMinorVersion;
  if (XkbQueryExtension(display_, &opcode, &xkbEventBase_, &xkbError, &major, &minor)) {
    const unsigned long mask = XkbNewKeyboardNotifyMask | XkbMapNotifyMask;
    XkbSelectEvents(display_, XkbUseCoreKbd, mask, mask);
  } else {
    xkbEventBase_ = -1;
  }
  XKeyboardState state{};
  XGetKeyboardControl(display_, &state);
  for (int kc = 0; kc < 256; ++kc) {
    userRepeat_[kc] = (state.auto_repeats[kc / 8] >> (kc % 8)) & 1;
  }
  reload();
  const std::vector<std::uint8_t> empty = model_.emptyKeycodes();
  for (std::size_t i = 0; i < empty.size() && i < kMaxSpares; ++i) {
    Spare s;
    s.keycode = empty[i];
    pool_.push_back(s);
  }
  reload();
}

X11Keyboard::~X11Keyboard() {
  shutdown();
}

void X11Keyboard::reload() {
  int minKeycode = 8;
  int maxKeycode = 255;
  XDisplayKeycodes(display_, &minKeycode, &maxKeycode);
  int per = 0;
  KeySym* syms =
      XGetKeyboardMapping(display_, static_cast<KeyCode>(minKeycode), maxKeycode - minKeycode + 1, &per);
  CoreKeymap keymap;
  keymap.minKeycode = minKeycode;
  keymap.maxKeycode = maxKeycode;
  keymap.perKeycode = per;
  if (syms != nullptr) {
    const std::size_t n =
        static_cast<std::size_t>(maxKeycode - minKeycode + 1) * static_cast<std::size_t>(per);
    keymap.keysyms.reserve(n);
    for (std::size_t i = 0; i < n; ++i) keymap.keysyms.push_back(static_cast<std::uint32_t>(syms[i]));
    XFree(syms);
  }
  perKeycode_ = std::max(per, 1);
  // A new keymap (another layout) may have dropped or taken our spare keycodes.
  std::vector<std::uint8_t> reserved;
  std::vector<Spare> kept;
  for (Spare& s : pool_) {
    if (s.keysym != 0 && keymap.at(s.keycode, 0) != s.keysym) s.keysym = 0;
    if (s.keysym == 0 && !keymap.empty(s.keycode)) continue;
    kept.push_back(s);
    reserved.push_back(s.keycode);
  }
  pool_ = std::move(kept);
  model_.load(keymap, LayoutFromXkbLayouts(XkbLayouts(display_)), reserved);
}

void X11Keyboard::processEvents() {
  bool changed = false;
  while (XPending(display_) > 0) {
    XEvent event;
    XNextEvent(display_, &event);
    if (event.type == MappingNotify && event.xmapping.request != MappingPointer) {
      XRefreshKeyboardMapping(&event.xmapping);
      changed = true;
    } else if (xkbEventBase_ >= 0 && event.type == xkbEventBase_) {
      changed = true;
    }
  }
  if (changed) reload();
}

int X11Keyboard::connectionFd() const {
  return display_ != nullptr ? ConnectionNumber(display_) : -1;
}

void X11Keyboard::readEvents() {
  if (display_ == nullptr) return;
  // Reading finds a closed connection, which the connection-lost handler reports.
  XEventsQueued(display_, QueuedAfterReading);
  processEvents();
}

std::vector<std::uint8_t> X11Keyboard::spareKeycodes() const {
  std::vector<std::uint8_t> out;
  for (const Spare& s : pool_) out.push_back(s.keycode);
  return out;
}

X11Keyboard::Spare* X11Keyboard::spareFor(std::uint32_t keysym, bool acquire) {
  for (Spare& s : pool_) {
    if (s.keysym == keysym) return &s;
  }
  if (!acquire) return nullptr;
  Spare* best = nullptr;
  for (Spare& s : pool_) {
    if (s.keysym == 0) return &s;
    // A full pool gives up the slot used least recently; a held key keeps its own.
    if (!s.held && (best == nullptr || s.lastUse < best->lastUse)) best = &s;
  }
  return best;
}

void X11Keyboard::mapSpare(Spare& spare, std::uint32_t keysym) {
  queue_.push_back({Op::Type::Map, spare.keycode, false, keysym});
  spare.keysym = keysym;
}

void X11Keyboard::queueKey(std::uint8_t keycode, bool down) {
  queue_.push_back({Op::Type::Key, keycode, down, 0});
  down_[keycode] = down;
}

void X11Keyboard::sendQueued() {
  for (std::size_t i = 0; i < queue_.size(); ++i) {
    const Op& op = queue_[i];
    switch (op.type) {
      case Op::Type::Map: {
        std::vector<KeySym> syms(static_cast<std::size_t>(perKeycode_), NoSymbol);
        syms[0] = op.keysym;
        XChangeKeyboardMapping(display_, op.code, perKeycode_, syms.data(), 1);
        break;
      }
      case Op::Type::Button:
        XTestFakeButtonEvent(display_, op.code, op.down ? True : False, CurrentTime);
        break;
      case Op::Type::Key: {
        const std::uint8_t kc = op.code;
        if (op.down && userRepeat_[kc] && !repeatOff_[kc]) {
          const bool releasedInStep = std::any_of(
              queue_.begin() + static_cast<std::ptrdiff_t>(i) + 1, queue_.end(), [kc](const Op& later) {
                return later.type == Op::Type::Key && later.code == kc && !later.down;
              });
          if (!releasedInStep) {
            XKeyboardControl control{};
            control.key = kc;
            control.auto_repeat_mode = AutoRepeatModeOff;
            XChangeKeyboardControl(display_, KBKey | KBAutoRepeatMode, &control);
            repeatOff_[kc] = true;
          }
        }
        XTestFakeKeyEvent(display_, kc, op.down ? True : False, CurrentTime);
        if (!op.down && repeatOff_[kc]) {
          // Released: the key repeats again as the user set it.
          XKeyboardControl control{};
          control.key = kc;
          control.auto_repeat_mode = AutoRepeatModeOn;
          XChangeKeyboardControl(display_, KBKey | KBAutoRepeatMode, &control);
          repeatOff_[kc] = false;
        }
        break;
      }
    }
  }
  queue_.clear();
}

void X11Keyboard::startOfStep() {
  // A step starts with nothing queued: a keymap or layout changed since the last
  // step is read before its first key.
  if (queue_.empty() && XEventsQueued(display_, QueuedAfterReading) > 0) processEvents();
}

void X11Keyboard::sendKey(KeyCode vk, bool down) {
  if (display_ == nullptr) return;
  startOfStep();
  const KeyTarget target = model_.resolve(vk);
  switch (target.kind) {
    case KeyTarget::Kind::Nothing:
      return;
    case KeyTarget::Kind::Button:
      queue_.push_back({Op::Type::Button, static_cast<std::uint8_t>(target.button), down, 0});
      buttons_[target.button] = down;
      return;
    case KeyTarget::Kind::Keycode:
      queueKey(target.keycode, down);
      return;
    case KeyTarget::Kind::Spare: {
      Spare* spare = spareFor(target.keysym, down);
      if (spare == nullptr) {
        if (down) std::fprintf(stderr, "tapwell: no spare keycode left for key code %d\n", vk);
        return;
      }
      if (spare->keysym != target.keysym) mapSpare(*spare, target.keysym);
      queueKey(spare->keycode, down);
      spare->held = down;
      spare->lastUse = Clock::now();
      return;
    }
  }
}

std::optional<CharacterKey> X11Keyboard::keyForCharacter(char c) {
  if (display_ != nullptr) startOfStep();
  const std::int16_t scan = model_.vkKeyScan(c);
  if (scan == -1) return std::nullopt;
  return CharacterKey{static_cast<KeyCode>(scan & 0xFF), (scan & 0x100) != 0, (scan & 0x200) != 0,
                      (scan & 0x400) != 0};
}

void X11Keyboard::flush() {
  if (display_ == nullptr) return;
  sendQueued();
  XFlush(display_);
  processEvents();
}

void X11Keyboard::sync() {
  if (display_ == nullptr) return;
  sendQueued();
  XSync(display_, False);
}

void X11Keyboard::scriptEnded() {
  if (display_ == nullptr) return;
  dropIdleSpares();
  XFlush(display_);
}

void X11Keyboard::dropIdleSpares() {
  const auto now = Clock::now();
  auto next = Clock::duration::max();
  bool dropped = false;
  for (Spare& s : pool_) {
    if (s.keysym == 0 || s.held) continue;
    const auto age = now - s.lastUse;
    if (age >= kSpareHold) {
      mapSpare(s, NoSymbol);
      s.keysym = 0;
      dropped = true;
    } else {
      next = std::min<Clock::duration>(next, kSpareHold - age);
    }
  }
  if (dropped) {
    sendQueued();
    XFlush(display_);
  }
  if (next == Clock::duration::max() || QCoreApplication::instance() == nullptr) return;
  if (!spareTimer_) {
    spareTimer_ = std::make_unique<QTimer>();
    spareTimer_->setSingleShot(true);
    QObject::connect(spareTimer_.get(), &QTimer::timeout, [this] {
      if (display_ != nullptr) dropIdleSpares();
    });
  }
  const auto ms = std::chrono::ceil<std::chrono::milliseconds>(next).count();
  spareTimer_->start(static_cast<int>(ms) + 1);
}

void X11Keyboard::shutdown() {
  if (display_ == nullptr) return;
  spareTimer_.reset();
  for (int kc = 0; kc < 256; ++kc) {
    if (down_[kc]) queueKey(static_cast<std::uint8_t>(kc), false);
  }
  for (unsigned b = 0; b < buttons_.size(); ++b) {
    if (buttons_[b]) queue_.push_back({Op::Type::Button, static_cast<std::uint8_t>(b), false, 0});
    buttons_[b] = false;
  }
  for (Spare& s : pool_) s.held = false;
  sendQueued();
  XSync(display_, False);
  // The last events on spare keycodes are looked up by their receivers after
  // they arrive: the symbols stay until then.
  Clock::time_point last{};
  for (const Spare& s : pool_) {
    if (s.keysym != 0) last = std::max(last, s.lastUse);
  }
  const auto wait = last + kSpareHold - Clock::now();
  if (last != Clock::time_point{} && wait > Clock::duration::zero()) std::this_thread::sleep_for(wait);
  for (Spare& s : pool_) {
    if (s.keysym != 0) mapSpare(s, NoSymbol);
    s.keysym = 0;
  }
  sendQueued();
  XSync(display_, False);
  XCloseDisplay(display_);
  display_ = nullptr;
}

}  // namespace tapwell::platform::x11
