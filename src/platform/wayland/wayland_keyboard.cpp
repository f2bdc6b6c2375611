#include "platform/wayland/wayland_keyboard.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <set>
#include <thread>
#include <unordered_map>
#include <vector>

// The protocol code generated at build time.
#include <virtual-keyboard-unstable-v1-client.h>
#include <wlr-virtual-pointer-unstable-v1-client.h>

#include "platform/xkb/keymap_text.h"
#include "platform/xkb/text_keys.h"
#include "platform/xkb/text_rounds.h"

namespace tapwell::platform::wayland {

namespace {

// Requests between two drains of the output buffer: a key request is 20 bytes,
// a modifiers request 24, the client's buffer 4 KiB.
constexpr int kRequestsPerDrain = 128;
// The pace of a long burst: one chunk of requests per interval, some 20,000
// requests (10,000 characters) a second.
constexpr std::chrono::microseconds kChunkInterval{kRequestsPerDrain * 50};
// Roundtrips a new pointer waits at most for the seat to report it, and the
// time the other clients then have to ask for their pointer objects.
constexpr int kPointerRoundtrips = 50;
constexpr std::chrono::milliseconds kPointerSettle{100};
// How long a compositor may keep its socket full before it counts as gone.
constexpr int kDrainTimeoutMs = 10000;

std::uint32_t NowMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
                                    static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u);
}

std::string DisplayName() {
  const char* name = std::getenv("WAYLAND_DISPLAY");
  return (name && *name) ? name : "wayland-0";
}

// A key that changes the modifiers rather than typing: it types no character.
bool IsModifierKeysym(xkb_keysym_t sym) {
  return (sym >= XKB_KEY_Shift_L && sym <= XKB_KEY_Hyper_R) ||
         (sym >= XKB_KEY_ISO_Lock && sym <= XKB_KEY_ISO_Last_Group_Lock) || sym == XKB_KEY_Mode_switch ||
         sym == XKB_KEY_Num_Lock;
}

// A modifier key held while it is down (Shift, Ctrl, Alt, AltGr, ...), not a
// lock that a press toggles.
bool IsHeldModifierKeysym(xkb_keysym_t sym) {
  if (sym == XKB_KEY_ISO_Level3_Shift || sym == XKB_KEY_ISO_Level5_Shift || sym == XKB_KEY_ISO_Group_Shift ||
      sym == XKB_KEY_Mode_switch) {
    return true;
  }
  return sym >= XKB_KEY_Shift_L && sym <= XKB_KEY_Hyper_R && sym != XKB_KEY_Caps_Lock &&
         sym != XKB_KEY_Shift_Lock;
}

// The key and the depressed modifiers that type a character.
struct TextStroke {
  std::uint32_t keycode = 0;
  xkb_mod_mask_t mods = 0;
};

// The cheapest stroke of every character the keymap types with Shift and the
// level modifiers (AltGr) as the locks and the group stand: a key of the exact
// keysym before one whose symbol merely means the same character (keypad
// digits), fewer modifiers before more.
std::unordered_map<char32_t, TextStroke> StrokesOf(xkb_keymap* keymap, xkb_mod_mask_t locked,
                                                   xkb_layout_index_t group) {
  std::vector<xkb_mod_mask_t> masks = {0};
  for (const char* name : {XKB_MOD_NAME_SHIFT, "Mod5", "Mod3"}) {
    const xkb_mod_index_t index = xkb_keymap_mod_get_index(keymap, name);
    if (index == XKB_MOD_INVALID) continue;
    const std::size_t n = masks.size();
    for (std::size_t k = 0; k < n; ++k) masks.push_back(masks[k] | (1u << index));
  }
  std::stable_sort(masks.begin(), masks.end(),
                   [](xkb_mod_mask_t a, xkb_mod_mask_t b) { return std::popcount(a) < std::popcount(b); });
  std::unordered_map<char32_t, std::pair<int, TextStroke>> best;
  xkb_state* state = xkb_state_new(keymap);
  if (state == nullptr) return {};
  for (const xkb_mod_mask_t mask : masks) {
    xkb_state_update_mask(state, mask, 0, locked, 0, 0, group);
    for (xkb_keycode_t kc = xkb_keymap_min_keycode(keymap); kc <= xkb_keymap_max_keycode(keymap); ++kc) {
      const xkb_layout_index_t layouts = xkb_keymap_num_layouts_for_key(keymap, kc);
      if (layouts == 0) continue;
      const xkb_keysym_t* plain = nullptr;
      if (xkb_keymap_key_get_syms_by_level(keymap, kc, group % layouts, 0, &plain) > 0 &&
          IsModifierKeysym(plain[0])) {
        continue;
      }
      const xkb_keysym_t sym = xkb_state_key_get_one_sym(state, kc);
      const char32_t c = xkb::CharacterForKeysym(sym);
      if (c == 0) continue;
      const int cost = (sym == xkb::KeysymForCharacter(c) ? 0 : 100) + std::popcount(mask);
      auto [it, fresh] = best.try_emplace(c, cost, TextStroke{kc, mask});
      if (!fresh && cost < it->second.first) it->second = {cost, TextStroke{kc, mask}};
    }
  }
  xkb_state_unref(state);
  std::unordered_map<char32_t, TextStroke> out;
  for (const auto& [c, entry] : best) out.emplace(c, entry.second);
  return out;
}

}  // namespace

KeyLayout LayoutFromGroupName(const std::string& name) {
  return name.rfind("Japanese", 0) == 0 ? KeyLayout::Jp : KeyLayout::Us;
}

// The C callbacks of the protocol objects.
struct Listeners {
  static void Global(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                     std::uint32_t version) {
    auto* self = static_cast<WaylandKeyboard*>(data);
    const std::string_view iface = interface;
    if (iface == wl_seat_interface.name && self->seat_ == nullptr) {
      self->seatVersion_ = std::min<std::uint32_t>(version, 5);
      self->seat_ =
          static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, self->seatVersion_));
      wl_seat_add_listener(self->seat_, &kSeat, self);
    } else if (iface == zwp_virtual_keyboard_manager_v1_interface.name) {
      self->keyboardManager_ = static_cast<zwp_virtual_keyboard_manager_v1*>(
          wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1));
    } else if (iface == zwlr_virtual_pointer_manager_v1_interface.name) {
      self->pointerManager_ = static_cast<zwlr_virtual_pointer_manager_v1*>(
          wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
    }
  }
  static void GlobalRemove(void*, wl_registry*, std::uint32_t) {}

  static void Capabilities(void* data, wl_seat*, std::uint32_t capabilities) {
    static_cast<WaylandKeyboard*>(data)->capabilities_ = capabilities;
  }
  static void SeatName(void*, wl_seat*, const char*) {}

  static void Keymap(void* data, wl_keyboard*, std::uint32_t format, int fd, std::uint32_t size) {
    auto* self = static_cast<WaylandKeyboard*>(data);
    if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 && size > 0) {
      void* map = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
      if (map != MAP_FAILED) {
        const char* text = static_cast<const char*>(map);
        self->seatKeymap_.assign(text, strnlen(text, size));
        munmap(map, size);
      }
    }
    close(fd);
  }
  static void Enter(void*, wl_keyboard*, std::uint32_t, wl_surface*, wl_array*) {}
  static void Leave(void*, wl_keyboard*, std::uint32_t, wl_surface*) {}
  static void Key(void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {}
  static void Modifiers(void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                        std::uint32_t) {}
  static void RepeatInfo(void*, wl_keyboard*, std::int32_t, std::int32_t) {}

  static constexpr wl_registry_listener kRegistry{Global, GlobalRemove};
  static constexpr wl_seat_listener kSeat{Capabilities, SeatName};
  static constexpr wl_keyboard_listener kKeyboard{Keymap, Enter, Leave, Key, Modifiers, RepeatInfo};
};

WaylandKeyboard::OpenResult WaylandKeyboard::Open(const OpenOptions& options) {
  OpenResult result;
  const std::string shown = DisplayName();
  wl_display* display = wl_display_connect(nullptr);
  if (display == nullptr) {
    result.error = "cannot connect to the Wayland display \"" + shown + "\" (" + std::strerror(errno) +
                   "); check WAYLAND_DISPLAY and XDG_RUNTIME_DIR.";
    return result;
  }
  std::unique_ptr<WaylandKeyboard> keyboard(new WaylandKeyboard);
  keyboard->display_ = display;
  result.error = keyboard->setUp();
  if (result.error.empty() && options.pointerAtOnce) keyboard->makePointer();
  if (result.error.empty()) result.keyboard = std::move(keyboard);
  return result;
}

std::string WaylandKeyboard::setUp() {
  const std::string shown = DisplayName();
  registry_ = wl_display_get_registry(display_);
  wl_registry_add_listener(registry_, &Listeners::kRegistry, this);
  // The globals, then the seat's capabilities.
  if (wl_display_roundtrip(display_) < 0 || wl_display_roundtrip(display_) < 0) {
    return "the Wayland display \"" + shown + "\" closed the connection at once.";
  }
  if (keyboardManager_ == nullptr) {
    return "the Wayland compositor of \"" + shown +
           "\" offers no virtual keyboard (zwp_virtual_keyboard_manager_v1), so keys cannot be sent to its "
           "windows.";
  }
  if (seat_ == nullptr) return "the Wayland compositor of \"" + shown + "\" has no seat.";

  // The user's layout: the keymap of the seat's keyboard, when it has one.
  if ((capabilities_ & WL_SEAT_CAPABILITY_KEYBOARD) != 0) {
    wl_keyboard* seatKeyboard = wl_seat_get_keyboard(seat_);
    wl_keyboard_add_listener(seatKeyboard, &Listeners::kKeyboard, this);
    wl_display_roundtrip(display_);
    if (seatVersion_ >= WL_KEYBOARD_RELEASE_SINCE_VERSION) {
      wl_keyboard_release(seatKeyboard);
    } else {
      wl_keyboard_destroy(seatKeyboard);
    }
  }
  context_ = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
  if (context_ == nullptr) return "cannot create a keymap context (libxkbcommon).";
  xkb_keymap* user = nullptr;
  if (!seatKeymap_.empty()) {
    user = xkb_keymap_new_from_string(context_, seatKeymap_.c_str(), XKB_KEYMAP_FORMAT_TEXT_V1,
                                      XKB_KEYMAP_COMPILE_NO_FLAGS);
  }
  if (user == nullptr) {
    // No keyboard on the seat yet: the default keymap (XKB_DEFAULT_LAYOUT and
    // its siblings choose it, as they do for the compositor).
    user = xkb_keymap_new_from_names(context_, nullptr, XKB_KEYMAP_COMPILE_NO_FLAGS);
  }
  if (user == nullptr) return "cannot compile a keymap for the virtual keyboard (libxkbcommon).";
  const char* group = xkb_keymap_layout_get_name(user, 0);
  const KeyLayout layout = LayoutFromGroupName(group ? group : "");
  model_.load(xkb::CoreViewOf(user), layout);

  // Keys the layout lacks (F13 to F24, Kanji, Help, ...) go on free keycodes of
  // the uploaded keymap: those below 256 first, which X clients can read too.
  std::vector<xkb::ExtraKey> extras;
  {
    std::vector<std::uint32_t> free;
    for (const std::uint8_t kc : model_.emptyKeycodes()) {
      if (kc >= xkb_keymap_min_keycode(user)) free.push_back(kc);
    }
    for (xkb_keycode_t kc = 256; kc <= xkb_keymap_max_keycode(user); ++kc) {
      if (xkb_keymap_num_layouts_for_key(user, kc) == 0) free.push_back(kc);
    }
    std::set<std::uint32_t> wanted;
    for (int vk = 0; vk < 256; ++vk) {
      const xkb::KeyTarget t = model_.resolve(static_cast<std::uint8_t>(vk));
      if (t.kind == xkb::KeyTarget::Kind::Spare) wanted.insert(t.keysym);
    }
    std::size_t next = 0;
    for (const std::uint32_t sym : wanted) {
      if (next == free.size()) break;
      char symName[64];
      if (xkb_keysym_get_name(sym, symName, sizeof symName) <= 0) continue;
      xkb::ExtraKey key;
      key.keycode = free[next++];
      key.keysym = symName;
      const char* existing = xkb_keymap_key_get_name(user, key.keycode);
      if (existing != nullptr) {
        key.name = existing;
      } else {
        key.name = "TW" + std::to_string(key.keycode);
        key.newName = true;
      }
      extras.push_back(key);
    }
  }
  char* userText = xkb_keymap_get_as_string(user, XKB_KEYMAP_FORMAT_TEXT_V1);
  keymap_ = user;
  if (userText != nullptr && !extras.empty()) {
    if (const auto extended = xkb::AddKeys(userText, extras)) {
      if (xkb_keymap* more = xkb_keymap_new_from_string(
              context_, extended->c_str(), XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS)) {
        xkb_keymap_unref(user);
        keymap_ = more;
        for (const xkb::ExtraKey& key : extras) {
          extraKeys_[xkb_keysym_from_name(key.keysym.c_str(), XKB_KEYSYM_NO_FLAGS)] = key.keycode;
        }
      }
    }
  }
  std::free(userText);
  // Held keys do not repeat: the receiving client repeats a key as long as it is
  // down, unless its keymap says the key does not repeat.
  if (char* text = xkb_keymap_get_as_string(keymap_, XKB_KEYMAP_FORMAT_TEXT_V1)) {
    if (const auto still = xkb::WithoutRepeat(text)) {
      if (xkb_keymap* quiet = xkb_keymap_new_from_string(context_, still->c_str(), XKB_KEYMAP_FORMAT_TEXT_V1,
                                                         XKB_KEYMAP_COMPILE_NO_FLAGS)) {
        xkb_keymap_unref(keymap_);
        keymap_ = quiet;
      }
    }
    std::free(text);
  }
  state_ = xkb_state_new(keymap_);
  if (state_ == nullptr) return "cannot create a keyboard state (libxkbcommon).";

  // The virtual keyboard with the keymap.
  char* text = xkb_keymap_get_as_string(keymap_, XKB_KEYMAP_FORMAT_TEXT_V1);
  if (text == nullptr) return "cannot write the keymap of the virtual keyboard (libxkbcommon).";
  keymapText_ = text;
  std::free(text);
  // The keycodes the keymap leaves empty take the characters of exact text that
  // no key types: those below 256 first, which X clients can read too.
  for (xkb_keycode_t kc = xkb_keymap_min_keycode(keymap_); kc <= xkb_keymap_max_keycode(keymap_); ++kc) {
    if (kc >= 8 && xkb_keymap_num_layouts_for_key(keymap_, kc) == 0) textKeycodes_.push_back(kc);
  }
  keyboard_ = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(keyboardManager_, seat_);
  if (!upload(keymapText_)) {
    const std::string why = std::string("cannot pass the keymap to the compositor: ") + std::strerror(errno);
    zwp_virtual_keyboard_v1_destroy(keyboard_);
    keyboard_ = nullptr;
    return why;
  }
  if (wl_display_roundtrip(display_) < 0) {
    return "the Wayland compositor of \"" + shown + "\" refused the virtual keyboard.";
  }
  return {};
}

WaylandKeyboard::~WaylandKeyboard() {
  shutdown();
  if (state_ != nullptr) xkb_state_unref(state_);
  if (keymap_ != nullptr) xkb_keymap_unref(keymap_);
  if (context_ != nullptr) xkb_context_unref(context_);
}

void WaylandKeyboard::fail(const char* what) {
  if (lost_) return;
  lost_ = true;
  interrupted_ = true;
  std::string text;
  if (what != nullptr) {
    text += what;
  } else if (display_ != nullptr && wl_display_get_error(display_) == EPROTO) {
    const wl_interface* iface = nullptr;
    std::uint32_t id = 0;
    const std::uint32_t code = wl_display_get_protocol_error(display_, &iface, &id);
    text += "the Wayland compositor ended the connection: protocol error " + std::to_string(code) + " on " +
            (iface ? iface->name : "an object");
  } else {
    text += "the connection to the Wayland display was lost";
  }
  if (onFailure_) {
    onFailure_(text);
  } else {
    std::fprintf(stderr, "tapwell: %s\n", text.c_str());
  }
}

void WaylandKeyboard::sent() {
  if (lost_ || ++unsent_ < kRequestsPerDrain) return;
  catchUp();
  // The receiving client reads its events at its own pace, and the compositor
  // disconnects a client whose buffer overflows: a long burst is paced.
  const auto now = std::chrono::steady_clock::now();
  const auto next = lastChunk_ + kChunkInterval;
  lastChunk_ = std::max(now, next);
  if (next <= now) return;
  if (!typing_ || interruptFd_ < 0) {
    std::this_thread::sleep_until(next);
    return;
  }
  // A text stops at once when a signal arrives during the wait.
  const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(next - now);
  const timespec timeout{static_cast<time_t>(left.count() / 1000000000),
                         static_cast<long>(left.count() % 1000000000)};
  pollfd p{interruptFd_, POLLIN, 0};
  if (::ppoll(&p, 1, &timeout, nullptr) > 0) interrupted_ = true;
}

bool WaylandKeyboard::stopRequested() {
  if (interruptFd_ < 0) return false;
  pollfd p{interruptFd_, POLLIN, 0};
  if (::poll(&p, 1, 0) > 0) interrupted_ = true;
  return interrupted_;
}

bool WaylandKeyboard::upload(const std::string& keymap) {
  // A memory file carries the text and its ending NUL.
  const std::size_t size = keymap.size() + 1;
  const int fd = memfd_create("tapwell-keymap", MFD_CLOEXEC);
  bool written = fd >= 0;
  for (std::size_t done = 0; written && done < size;) {
    const ssize_t n = ::write(fd, keymap.c_str() + done, size - done);
    if (n <= 0) written = false;
    done += n > 0 ? static_cast<std::size_t>(n) : 0;
  }
  if (!written) {
    if (fd >= 0) close(fd);
    return false;
  }
  zwp_virtual_keyboard_v1_keymap(keyboard_, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd,
                                 static_cast<std::uint32_t>(size));
  close(fd);
  sent();
  return true;
}

void WaylandKeyboard::catchUp() {
  if (lost_) return;
  // After a failure nothing dispatches events again, so the callback never
  // writes to `done` once this has returned.
  bool done = false;
  static constexpr wl_callback_listener kDone{[](void* data, wl_callback* callback, std::uint32_t) {
    *static_cast<bool*>(data) = true;
    wl_callback_destroy(callback);
  }};
  wl_callback_add_listener(wl_display_sync(display_), &kDone, &done);
  drain();
  const int fd = wl_display_get_fd(display_);
  while (!done && !lost_) {
    if (wl_display_prepare_read(display_) != 0) {
      if (wl_display_dispatch_pending(display_) < 0) fail();
      continue;
    }
    pollfd p{fd, POLLIN, 0};
    const int ready = ::poll(&p, 1, kDrainTimeoutMs);
    if (ready <= 0) {
      wl_display_cancel_read(display_);
      if (ready < 0 && errno == EINTR) continue;
      fail(ready == 0 ? "the Wayland compositor stopped taking key events" : nullptr);
      return;
    }
    if (wl_display_read_events(display_) < 0 || wl_display_dispatch_pending(display_) < 0) fail();
  }
}

void WaylandKeyboard::drain() {
  unsent_ = 0;
  while (!lost_ && wl_display_flush(display_) < 0) {
    // A failed connection keeps its error, which may be EAGAIN too.
    if (errno != EAGAIN || wl_display_get_error(display_) != 0) {
      fail();
      return;
    }
    pollfd p{wl_display_get_fd(display_), POLLOUT, 0};
    const int ready = ::poll(&p, 1, kDrainTimeoutMs);
    if (ready == 0) {
      fail("the Wayland compositor stopped taking key events");
    } else if ((ready < 0 && errno != EINTR) || (p.revents & (POLLERR | POLLHUP)) != 0) {
      fail();
    }
  }
}

void WaylandKeyboard::sendModifiers() {
  zwp_virtual_keyboard_v1_modifiers(keyboard_, xkb_state_serialize_mods(state_, XKB_STATE_MODS_DEPRESSED),
                                    xkb_state_serialize_mods(state_, XKB_STATE_MODS_LATCHED),
                                    xkb_state_serialize_mods(state_, XKB_STATE_MODS_LOCKED),
                                    xkb_state_serialize_layout(state_, XKB_STATE_LAYOUT_EFFECTIVE));
  sent();
}

void WaylandKeyboard::sendKey(std::uint32_t keycode, bool down) {
  zwp_virtual_keyboard_v1_key(keyboard_, NowMs(), keycode - 8u,
                              down ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
  if (down) {
    down_.insert(keycode);
  } else {
    down_.erase(keycode);
  }
  sent();
  // The compositor takes the modifier state from the modifiers request only,
  // not from the keys: it follows every change.
  if (xkb_state_update_key(state_, keycode, down ? XKB_KEY_DOWN : XKB_KEY_UP) != 0) sendModifiers();
}

void WaylandKeyboard::makePointer() {
  if (pointer_ != nullptr || pointerManager_ == nullptr) return;
  const bool hadPointer = (capabilities_ & WL_SEAT_CAPABILITY_POINTER) != 0;
  pointer_ = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(pointerManager_, seat_);
  // A seat that had no pointer tells its clients that it has one now; each
  // client then asks for its own pointer object, and a button sent before the
  // focused client has one is lost (sway 1.7: every first click of a run). The
  // seat's capabilities come back to this client too; what the others do with
  // them no client can see, so they are given a moment after that.
  if (!hadPointer) {
    for (int i = 0; i < kPointerRoundtrips && (capabilities_ & WL_SEAT_CAPABILITY_POINTER) == 0; ++i)
      catchUp();
    std::this_thread::sleep_for(kPointerSettle);
    catchUp();
  }
  // Where the pointer is decides which window gets the button: a motion that
  // moves nothing has the compositor find the window under it, now that its
  // client has a pointer object to be told of it.
  zwlr_virtual_pointer_v1_motion(pointer_, NowMs(), 0, 0);
  zwlr_virtual_pointer_v1_frame(pointer_);
  sent();
  sent();
  catchUp();
}

void WaylandKeyboard::sendButton(unsigned button, bool down) {
  // The pointer is made at the first button, and kept: each device that comes
  // and goes changes the seat's capabilities for every client.
  if (pointer_ == nullptr && down) makePointer();
  if (pointer_ == nullptr) {
    if (!pointerWarned_) {
      std::fprintf(stderr,
                   "tapwell: the Wayland compositor offers no virtual pointer: mouse buttons are not sent\n");
      pointerWarned_ = true;
    }
    return;
  }
  const std::uint32_t code = xkb::EvdevButton(button);
  if (code == 0) return;
  zwlr_virtual_pointer_v1_button(pointer_, NowMs(), code,
                                 down ? WL_POINTER_BUTTON_STATE_PRESSED : WL_POINTER_BUTTON_STATE_RELEASED);
  zwlr_virtual_pointer_v1_frame(pointer_);
  buttons_[button] = down;
  sent();
  sent();
}

void WaylandKeyboard::sendCode(KeyCode vk, bool down) {
  if (keyboard_ == nullptr || lost_) return;
  const xkb::KeyTarget target = model_.resolve(vk);
  switch (target.kind) {
    case xkb::KeyTarget::Kind::Nothing:
      return;
    case xkb::KeyTarget::Kind::Button:
      sendButton(target.button, down);
      return;
    case xkb::KeyTarget::Kind::Keycode:
      sendKey(target.keycode, down);
      return;
    case xkb::KeyTarget::Kind::Spare: {
      const auto extra = extraKeys_.find(target.keysym);
      if (extra != extraKeys_.end()) {
        sendKey(extra->second, down);
      } else if (down) {
        // The keymap had no free keycode left for it.
        std::fprintf(stderr, "tapwell: no key for key code %d in the keymap\n", vk);
      }
      return;
    }
  }
}

std::optional<CharacterKey> WaylandKeyboard::keyForCharacter(char c) {
  return CharacterKeyFromScan(model_.vkKeyScan(c));
}

std::string WaylandKeyboard::typeText(std::string_view utf8) {
  if (keyboard_ == nullptr || lost_) return {};
  const std::vector<char32_t> chars = xkb::DecodeUtf8(utf8);
  if (chars.empty()) return {};
  typing_ = true;
  interrupted_ = false;
  const xkb_layout_index_t group = xkb_state_serialize_layout(state_, XKB_STATE_LAYOUT_EFFECTIVE);

  // Modifiers the script holds are lifted for the text and pressed again after.
  std::vector<std::uint32_t> lifted;
  for (const std::uint32_t kc : std::set<std::uint32_t>(down_)) {
    const xkb_layout_index_t layouts = xkb_keymap_num_layouts_for_key(keymap_, kc);
    const xkb_keysym_t* syms = nullptr;
    if (layouts > 0 && xkb_keymap_key_get_syms_by_level(keymap_, kc, group % layouts, 0, &syms) > 0 &&
        IsHeldModifierKeysym(syms[0])) {
      sendKey(kc, false);
      lifted.push_back(kc);
    }
  }
  const xkb_mod_mask_t locked = xkb_state_serialize_mods(state_, XKB_STATE_MODS_LOCKED);
  const std::unordered_map<char32_t, TextStroke> strokes = StrokesOf(keymap_, locked, group);
  auto strokeFor = [&strokes](char32_t c) -> const TextStroke* {
    const auto it = strokes.find(c == U'\n' ? U'\r' : c);
    return it != strokes.end() ? &it->second : nullptr;
  };

  // The compositor takes the modifiers from the modifiers request only: each
  // stroke sends the ones it needs, and a new keymap starts with none.
  bool modsSent = false;
  xkb_mod_mask_t mods = 0;
  auto strike = [&](const TextStroke& stroke) {
    if (!modsSent || mods != stroke.mods) {
      zwp_virtual_keyboard_v1_modifiers(keyboard_, stroke.mods, 0, locked, group);
      sent();
      mods = stroke.mods;
      modsSent = true;
    }
    zwp_virtual_keyboard_v1_key(keyboard_, NowMs(), stroke.keycode - 8u, WL_KEYBOARD_KEY_STATE_PRESSED);
    sent();
    zwp_virtual_keyboard_v1_key(keyboard_, NowMs(), stroke.keycode - 8u, WL_KEYBOARD_KEY_STATE_RELEASED);
    sent();
  };

  // Characters no key types go on the free keycodes, one symbol each, in a
  // keymap uploaded for them: the layout's with those keys added.
  auto keysymFor = [](char32_t c) -> std::uint32_t {
    const std::uint32_t sym = xkb::KeysymForCharacter(c);
    char name[64];
    return sym != 0 && xkb_keysym_get_name(sym, name, sizeof name) > 0 ? sym : 0;
  };
  const xkb::TextPlan plan = xkb::PlanText(
      chars, [&strokeFor](char32_t c) { return strokeFor(c) != nullptr; }, keysymFor,
      std::vector<xkb::TextSlot>(textKeycodes_.size()), 1);
  // A new keymap starts with no modifiers in the compositor, which then sees no
  // change in a modifiers request of none and passes none on: a client would
  // keep the Shift of the last stroke. The modifiers go up before each keymap.
  auto clearMods = [&] {
    if (!modsSent || mods == 0) return;
    zwp_virtual_keyboard_v1_modifiers(keyboard_, 0, 0, locked, group);
    sent();
    mods = 0;
  };

  bool textKeymap = false;
  std::vector<xkb::ExtraKey> keys(textKeycodes_.size());
  std::size_t typed = 0;
  for (const xkb::TextRound& round : plan.rounds) {
    if (interrupted_) break;
    if (!round.changes.empty()) {
      if (stopRequested()) break;
      for (const xkb::SlotChange& change : round.changes) {
        xkb::ExtraKey& key = keys[change.slot];
        key.keycode = textKeycodes_[change.slot];
        char name[64];
        xkb_keysym_get_name(change.syms.front(), name, sizeof name);
        key.keysym = name;
        const char* existing = xkb_keymap_key_get_name(keymap_, key.keycode);
        key.name = existing != nullptr ? existing : "TW" + std::to_string(key.keycode);
        key.newName = existing == nullptr;
      }
      std::vector<xkb::ExtraKey> used;
      for (const xkb::ExtraKey& key : keys) {
        if (key.keycode != 0) used.push_back(key);
      }
      clearMods();
      const std::optional<std::string> keymap = xkb::AddKeys(keymapText_, used);
      if (!keymap || !upload(*keymap)) {
        std::fprintf(stderr, "tapwell: cannot pass the keymap of a text to the compositor\n");
        break;
      }
      // The compositor has the keymap, and has sent it to the focused client,
      // before the first key that needs it.
      catchUp();
      textKeymap = true;
      modsSent = false;
    }
    for (std::size_t i = round.begin; i < round.end && !interrupted_; ++i) {
      const xkb::TextStroke& planned = plan.strokes[i];
      if (planned.kind == xkb::TextStroke::Kind::Layout) {
        strike(*strokeFor(chars[i]));
      } else if (planned.kind == xkb::TextStroke::Kind::Slot) {
        strike(TextStroke{textKeycodes_[planned.slot], 0});
      }
    }
    if (!interrupted_) typed = round.end;
  }

  clearMods();
  if (textKeymap) {
    upload(keymapText_);
    catchUp();
  }
  // The modifiers as the script left them, then its own modifier keys again.
  sendModifiers();
  for (const std::uint32_t kc : lifted) sendKey(kc, true);
  typing_ = false;
  // A text stopped by a signal is not a text that could not be typed.
  return typed == chars.size() ? xkb::EncodeUtf8(plan.untyped) : std::string();
}

void WaylandKeyboard::flush() {
  if (display_ != nullptr) drain();
}

int WaylandKeyboard::connectionFd() const {
  return display_ != nullptr ? wl_display_get_fd(display_) : -1;
}

void WaylandKeyboard::readEvents() {
  if (display_ == nullptr || lost_) return;
  while (wl_display_prepare_read(display_) != 0) {
    if (wl_display_dispatch_pending(display_) < 0) return fail();
  }
  if (wl_display_read_events(display_) < 0 || wl_display_dispatch_pending(display_) < 0) fail();
}

void WaylandKeyboard::shutdown() {
  if (display_ == nullptr) return;
  // A connection that failed while being set up is only closed.
  const bool live = keyboard_ != nullptr && !lost_ && wl_display_get_error(display_) == 0;
  if (live) {
    while (!down_.empty()) sendKey(*down_.begin(), false);
    // Nothing stays pressed or latched; a lock the script toggled stays, as a
    // toggle of the real key would.
    zwp_virtual_keyboard_v1_modifiers(keyboard_, 0, 0,
                                      xkb_state_serialize_mods(state_, XKB_STATE_MODS_LOCKED),
                                      xkb_state_serialize_layout(state_, XKB_STATE_LAYOUT_EFFECTIVE));
    sent();
    for (unsigned b = 1; b < buttons_.size(); ++b) {
      if (buttons_[b]) sendButton(b, false);
    }
    drain();
    // The compositor has carried out everything before the devices go.
    wl_display_roundtrip(display_);
  }
  if (pointer_ != nullptr) zwlr_virtual_pointer_v1_destroy(pointer_);
  if (keyboard_ != nullptr) zwp_virtual_keyboard_v1_destroy(keyboard_);
  if (pointerManager_ != nullptr) zwlr_virtual_pointer_manager_v1_destroy(pointerManager_);
  if (keyboardManager_ != nullptr) zwp_virtual_keyboard_manager_v1_destroy(keyboardManager_);
  if (seat_ != nullptr) {
    if (seatVersion_ >= WL_SEAT_RELEASE_SINCE_VERSION) {
      wl_seat_release(seat_);
    } else {
      wl_seat_destroy(seat_);
    }
  }
  if (registry_ != nullptr) wl_registry_destroy(registry_);
  wl_display_flush(display_);
  wl_display_disconnect(display_);
  pointer_ = nullptr;
  keyboard_ = nullptr;
  pointerManager_ = nullptr;
  keyboardManager_ = nullptr;
  seat_ = nullptr;
  registry_ = nullptr;
  display_ = nullptr;
}

}  // namespace tapwell::platform::wayland
