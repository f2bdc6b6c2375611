#include "platform/x11/x11_keyboard.h"

#include "platform/xkb/text_rounds.h"

// clang-format off
#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/XKBlib.h>
#include <X11/keysym.h>
#include <X11/extensions/XTest.h>
// clang-format on
#include <poll.h>
#include <unistd.h>
#include <algorithm>
#include <bit>
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
  rulesNames_ = XInternAtom(display_, "_XKB_RULES_NAMES", False);
  XSelectInput(display_, DefaultRootWindow(display_), PropertyChangeMask);
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
  xkb::CoreKeymap keymap;
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
    if (s.keysym != 0 && keymap.at(s.keycode, 0) != s.keysym) {
      s.keysym = 0;
      s.levels.clear();
    }
    if (s.keysym == 0 && !keymap.empty(s.keycode)) continue;
    kept.push_back(s);
    reserved.push_back(s.keycode);
  }
  pool_ = std::move(kept);
  const std::string layouts = XkbLayouts(display_);
  layoutName_ = layouts.substr(0, layouts.find(','));
  if (layoutName_.empty()) layoutName_ = "us";
  model_.load(keymap, xkb::LayoutFromXkbLayouts(layouts), reserved);
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
    } else if (event.type == PropertyNotify && event.xproperty.atom == rulesNames_) {
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
  spare.levels.clear();
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
  const xkb::KeyTarget target = model_.resolve(vk);
  switch (target.kind) {
    case xkb::KeyTarget::Kind::Nothing:
      return;
    case xkb::KeyTarget::Kind::Button:
      queue_.push_back({Op::Type::Button, static_cast<std::uint8_t>(target.button), down, 0});
      buttons_[target.button] = down;
      return;
    case xkb::KeyTarget::Kind::Keycode:
      queueKey(target.keycode, down);
      return;
    case xkb::KeyTarget::Kind::Spare: {
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
  return CharacterKeyFromScan(model_.vkKeyScan(c));
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
  std::vector<SpareSyms> drops;
  for (Spare& s : pool_) {
    if (s.keysym == 0 || s.held) continue;
    const auto age = now - s.lastUse;
    if (age >= kSpareHold) {
      drops.push_back({s.keycode, 0, {}});
      s.keysym = 0;
      s.levels.clear();
    } else {
      next = std::min<Clock::duration>(next, kSpareHold - age);
    }
  }
  if (!drops.empty()) {
    sendQueued();
    setSpareSyms(drops);
    XFlush(display_);
  }
  if (next == Clock::duration::max() || !wakeupRequest_) return;
  wakeupRequest_(std::chrono::ceil<std::chrono::milliseconds>(next) + std::chrono::milliseconds(1));
}

void X11Keyboard::service() {
  if (display_ != nullptr) dropIdleSpares();
}

void X11Keyboard::setSpareSyms(const std::vector<SpareSyms>& changes) {
  if (changes.empty()) return;
  XkbDescPtr xkb = XkbGetMap(display_, XkbKeyTypesMask | XkbKeySymsMask, XkbUseCoreKbd);
  if (xkb == nullptr || xkb->map == nullptr) return;
  // All keys change in one request, so receivers fetch the keymap once.
  int first = 255;
  int last = 0;
  for (const SpareSyms& c : changes) {
    XkbSymMapPtr map = &xkb->map->key_sym_map[c.keycode];
    if (c.syms.empty()) {
      XkbResizeKeySyms(xkb, c.keycode, 0);
      map->group_info = XkbSetNumGroups(map->group_info, 0);
      map->width = 0;
    } else {
      const auto width = static_cast<int>(c.syms.size());
      KeySym* syms = XkbResizeKeySyms(xkb, c.keycode, width);
      if (syms == nullptr) continue;
      map->kt_index[0] = static_cast<unsigned char>(c.type);
      map->group_info = XkbSetGroupInfo(1, XkbWrapIntoRange, 0);
      map->width = static_cast<unsigned char>(width);
      for (int l = 0; l < width; ++l) syms[l] = c.syms[static_cast<std::size_t>(l)];
    }
    first = std::min<int>(first, c.keycode);
    last = std::max<int>(last, c.keycode);
  }
  if (first <= last) {
    XkbMapChangesRec changed{};
    changed.changed = XkbKeySymsMask;
    changed.first_key_sym = static_cast<KeyCode>(first);
    changed.num_key_syms = static_cast<unsigned char>(last - first + 1);
    XkbChangeMap(display_, xkb, &changed);
  }
  XkbFreeKeyboard(xkb, 0, True);
}

xkb::XkbLayoutSnapshot X11Keyboard::snapshot() {
  xkb::XkbLayoutSnapshot snap;
  XkbDescPtr xkb = XkbGetMap(display_, XkbKeyTypesMask | XkbKeySymsMask | XkbModifierMapMask, XkbUseCoreKbd);
  if (xkb == nullptr || xkb->map == nullptr) return snap;
  for (int t = 0; t < xkb->map->num_types; ++t) {
    const XkbKeyTypeRec& kt = xkb->map->types[t];
    xkb::XkbKeyType type;
    type.mask = kt.mods.mask;
    type.levels = kt.num_levels;
    for (int e = 0; e < kt.map_count; ++e) {
      if (kt.map[e].active) type.entries.push_back({kt.map[e].mods.mask, kt.map[e].level});
    }
    snap.types.push_back(std::move(type));
  }
  for (int kc = xkb->min_key_code; kc <= xkb->max_key_code && kc < 256; ++kc) {
    const int groups = XkbKeyNumGroups(xkb, kc);
    auto& key = snap.keys[static_cast<std::size_t>(kc)];
    for (int g = 0; g < groups; ++g) {
      xkb::XkbKeyGroup group;
      group.type = XkbKeyKeyTypeIndex(xkb, kc, g);
      const int width = XkbKeyGroupWidth(xkb, kc, g);
      for (int l = 0; l < width; ++l)
        group.syms.push_back(static_cast<std::uint32_t>(XkbKeySymEntry(xkb, kc, l, g)));
      key.push_back(std::move(group));
    }
    const unsigned mods = xkb->map->modmap != nullptr ? xkb->map->modmap[kc] : 0;
    snap.modifierMap[static_cast<std::size_t>(kc)] = static_cast<std::uint8_t>(mods);
    if (mods == 0 || std::popcount(mods) != 1 || groups == 0) continue;
    // Typing presses Shift and the level keys (AltGr), never Control or Alt.
    const KeySym sym = XkbKeySymEntry(xkb, kc, 0, 0);
    const bool shift = mods == ShiftMask && (sym == XK_Shift_L || sym == XK_Shift_R);
    const bool level = sym == XK_ISO_Level3_Shift || sym == XK_ISO_Level5_Shift;
    const auto bit = static_cast<std::size_t>(std::countr_zero(mods));
    if ((shift || level) && snap.modifierKeys[bit] == 0)
      snap.modifierKeys[bit] = static_cast<std::uint8_t>(kc);
  }
  XkbFreeKeyboard(xkb, 0, True);
  XkbStateRec state{};
  if (XkbGetState(display_, XkbUseCoreKbd, &state) == Success) {
    snap.lockedMods = state.locked_mods;
    snap.group = state.group;
  }
  return snap;
}

bool X11Keyboard::waitUntil(Clock::time_point until) {
  for (;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now()).count();
    if (left <= 0) return true;
    pollfd fd{interruptFd_, POLLIN, 0};
    const int ready = ::poll(&fd, interruptFd_ >= 0 ? 1 : 0, static_cast<int>(left));
    if (ready > 0) return false;
  }
}

std::string X11Keyboard::charactersNotTyped(std::string_view utf8) {
  if (display_ == nullptr) return {};
  startOfStep();
  const xkb::XkbLayoutSnapshot layout = snapshot();
  std::array<bool, 256> skip{};
  for (const Spare& s : pool_) skip[s.keycode] = true;
  const xkb::TextKeys keys(layout, skip);
  const xkb::TextPlan plan = xkb::PlanText(
      xkb::DecodeUtf8(utf8), [&keys](char32_t c) { return keys.find(c).has_value(); },
      xkb::KeysymForCharacter, std::vector<xkb::TextSlot>(pool_.size()),
      xkb::ChooseSpareType(layout).levelMods.size());
  return xkb::EncodeUtf8(plan.untyped);
}

std::string X11Keyboard::typeText(std::string_view utf8) {
  if (display_ == nullptr) return {};
  startOfStep();
  sendQueued();
  const std::vector<char32_t> chars = xkb::DecodeUtf8(utf8);
  if (chars.empty()) return {};
  const xkb::XkbLayoutSnapshot layout = snapshot();
  std::array<bool, 256> skip{};
  for (const Spare& s : pool_) skip[s.keycode] = true;
  const xkb::TextKeys keys(layout, skip);
  const xkb::SpareType spareType = xkb::ChooseSpareType(layout);
  const std::size_t width = spareType.levelMods.size();
  XkbStateRec state{};
  XkbGetState(display_, XkbUseCoreKbd, &state);
  const int lockedGroup = state.locked_group;

  // The spare keys a text may use (a held one keeps its symbol), empty ones
  // first, then the least recently used.
  std::vector<Spare*> free;
  for (Spare& s : pool_) {
    if (!s.held) free.push_back(&s);
  }
  std::stable_sort(free.begin(), free.end(), [](const Spare* a, const Spare* b) {
    if ((a->keysym == 0) != (b->keysym == 0)) return a->keysym == 0;
    return a->lastUse < b->lastUse;
  });
  std::vector<xkb::TextSlot> slots;
  for (const Spare* s : free) {
    // A symbol a key command put there occupies the key but is no text's level.
    slots.push_back({s->levels, s->keysym != 0});
  }
  const xkb::TextPlan plan = xkb::PlanText(
      chars, [&keys](char32_t c) { return keys.find(c).has_value(); }, xkb::KeysymForCharacter,
      std::move(slots), width);

  // Modifiers the script holds are lifted for the text and pressed again after.
  std::vector<std::uint8_t> lifted;
  for (std::size_t kc = 0; kc < 256; ++kc) {
    if (down_[kc] && layout.modifierMap[kc] != 0) {
      XTestFakeKeyEvent(display_, static_cast<unsigned>(kc), False, CurrentTime);
      lifted.push_back(static_cast<std::uint8_t>(kc));
    }
  }

  int group = layout.group;
  bool groupChanged = false;
  unsigned held = 0;
  auto holdMods = [&](unsigned want) {
    for (unsigned bit = 0; bit < 8; ++bit) {
      const unsigned m = 1u << bit;
      if (((held ^ want) & m) == 0) continue;
      XTestFakeKeyEvent(display_, layout.modifierKeys[bit], (want & m) != 0 ? True : False, CurrentTime);
    }
    held = want;
  };
  auto strike = [&](const xkb::Keystroke& k) {
    if (k.group >= 0 && k.group != group) {
      XkbLockGroup(display_, XkbUseCoreKbd, static_cast<unsigned>(k.group));
      group = k.group;
      groupChanged = true;
    }
    holdMods(k.mods);
    XTestFakeKeyEvent(display_, k.keycode, True, CurrentTime);
    XTestFakeKeyEvent(display_, k.keycode, False, CurrentTime);
  };

  std::size_t typed = 0;
  for (const xkb::TextRound& round : plan.rounds) {
    if (!round.changes.empty()) {
      // Receivers look keys up after the events arrive: the old symbols stay
      // for the hold time after their last use.
      Clock::time_point readyAt{};
      std::vector<SpareSyms> changes;
      for (const xkb::SlotChange& c : round.changes) {
        Spare& s = *free[c.slot];
        if (c.replaces) readyAt = std::max(readyAt, s.lastUse + kTextRoundHold);
        changes.push_back({s.keycode, spareType.type, c.syms});
      }
      XFlush(display_);
      if (!waitUntil(readyAt)) break;
      for (const xkb::SlotChange& c : round.changes) {
        Spare& s = *free[c.slot];
        s.keysym = c.syms.front();
        s.levels = c.syms;
        s.levelMods = spareType.levelMods;
      }
      setSpareSyms(changes);
    }
    for (std::size_t i = round.begin; i < round.end; ++i) {
      const xkb::TextStroke& stroke = plan.strokes[i];
      if (stroke.kind == xkb::TextStroke::Kind::Layout) {
        strike(*keys.find(chars[i]));
      } else if (stroke.kind == xkb::TextStroke::Kind::Slot) {
        Spare& s = *free[stroke.slot];
        strike({s.keycode, -1, s.levelMods[stroke.level]});
        s.lastUse = Clock::now();
      }
    }
    typed = round.end;
    XFlush(display_);
  }

  holdMods(0);
  if (groupChanged) XkbLockGroup(display_, XkbUseCoreKbd, static_cast<unsigned>(lockedGroup));
  for (const std::uint8_t kc : lifted) XTestFakeKeyEvent(display_, kc, True, CurrentTime);
  XFlush(display_);
  dropIdleSpares();
  // A text stopped by a signal is not a text that could not be typed.
  return typed == chars.size() ? xkb::EncodeUtf8(plan.untyped) : std::string();
}

void X11Keyboard::shutdown() {
  if (display_ == nullptr) return;
  wakeupRequest_ = nullptr;
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
  std::vector<SpareSyms> drops;
  for (Spare& s : pool_) {
    if (s.keysym != 0) drops.push_back({s.keycode, 0, {}});
    s.keysym = 0;
    s.levels.clear();
  }
  setSpareSyms(drops);
  XSync(display_, False);
  XCloseDisplay(display_);
  display_ = nullptr;
}

}  // namespace tapwell::platform::x11
