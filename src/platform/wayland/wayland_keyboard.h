// Key injection into a Wayland session over the virtual keyboard protocol
// (keys) and the wlroots virtual pointer protocol (mouse buttons).
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/key_backend.h"
#include "platform/xkb/keymap_model.h"

struct wl_display;
struct wl_registry;
struct wl_seat;
struct zwp_virtual_keyboard_manager_v1;
struct zwp_virtual_keyboard_v1;
struct zwlr_virtual_pointer_manager_v1;
struct zwlr_virtual_pointer_v1;
struct xkb_context;
struct xkb_keymap;
struct xkb_state;

namespace tapwell::platform::wayland {

using xkb::KeyLayout;

// The layout that a keymap's first group name ("Japanese", "English (US)")
// stands for.
KeyLayout LayoutFromGroupName(const std::string& name);

class WaylandKeyboard final : public KeyBackend {
 public:
  struct OpenResult {
    std::unique_ptr<WaylandKeyboard> keyboard;
    std::string error;  // why there is none: no compositor, or no virtual keyboard
  };
  struct OpenOptions {
    // The virtual pointer is made at once (the script will send mouse buttons),
    // not at the first button.
    bool pointerAtOnce = false;
  };
  // Connects to the compositor named by WAYLAND_DISPLAY, reads the user's
  // keymap from the seat, and creates the virtual keyboard (with the keys the
  // layout lacks added to its keymap). The virtual pointer, where offered, is
  // made at the first mouse button or at once. Both live as long as this
  // object: clients pick a new device up asynchronously, and on some
  // compositors a pointer that comes and goes upsets XWayland.
  static OpenResult Open(const OpenOptions& options);
  static OpenResult Open() { return Open(OpenOptions{}); }

  ~WaylandKeyboard() override;
  WaylandKeyboard(const WaylandKeyboard&) = delete;
  WaylandKeyboard& operator=(const WaylandKeyboard&) = delete;

  void press(KeyCode key) override { sendCode(key, true); }
  void release(KeyCode key) override { sendCode(key, false); }
  std::optional<CharacterKey> keyForCharacter(char c) override;
  // Each character by the key and Shift/AltGr level that types it on the
  // uploaded keymap; characters no key types go on free keycodes of a keymap
  // uploaded for the text, in rounds when they outnumber the free keycodes. The
  // modifiers the script holds are lifted for the text and the keymap is the
  // layout's again when it returns.
  std::string typeText(std::string_view utf8) override;
  void flush() override;

  // A descriptor that becomes readable when typing should stop (a signal
  // arrived): a long text stops at once and leaves the rest untyped. The
  // descriptor is only polled, never read.
  void setInterruptFd(int fd) override { interruptFd_ = fd; }

  // Releases every key and mouse button still held, clears the modifiers, waits
  // until the compositor has them, and closes the connection. Called by the
  // destructor.
  void shutdown() override;

  // The socket of the connection: when it becomes readable, call readEvents().
  // A lost connection, or a compositor that stops taking events, is reported
  // to the failure handler; nothing is sent after it.
  int connectionFd() const override;
  void readEvents() override;
  void setFailureHandler(FailureHandler handler) override { onFailure_ = std::move(handler); }
  bool lost() const override { return lost_; }

  // The compositor keeps the time: no wake-ups are asked for.
  void setWakeupRequest(WakeupRequest) override {}
  void service() override {}

  // The layout the keys follow, named as the X11 backend names it: "jp" or "us".
  std::string layoutName() const override { return model_.layout() == KeyLayout::Jp ? "jp" : "us"; }

 private:
  WaylandKeyboard() = default;

  std::string setUp();
  void sendCode(KeyCode key, bool down);
  void sendKey(std::uint32_t keycode, bool down);
  void sendButton(unsigned button, bool down);
  // Creates the virtual pointer and waits until the seat has it.
  void makePointer();
  void sendModifiers();
  // Uploads keymap text to the virtual keyboard and waits until the compositor
  // has taken it; the compositor hands it to the focused client before any key
  // sent after it. False when no memory file can carry it.
  bool upload(const std::string& keymap);
  // Polls the interrupt descriptor; true once it is readable.
  bool stopRequested();
  // Counts one request; every hundred or so the buffer is sent and the
  // compositor caught up with, so that a long burst never overflows a buffer.
  void sent();
  void drain();
  // Waits until the compositor has handled every request sent so far. It hands
  // key events on to the focused client as it handles them and disconnects a
  // client that falls too far behind: a long burst goes no faster than that.
  void catchUp();
  // Marks the connection lost, ends the text being typed and reports why once.
  void fail(const char* what = nullptr);

  // Protocol objects.
  wl_display* display_ = nullptr;
  wl_registry* registry_ = nullptr;
  wl_seat* seat_ = nullptr;
  std::uint32_t seatVersion_ = 0;
  zwp_virtual_keyboard_manager_v1* keyboardManager_ = nullptr;
  zwlr_virtual_pointer_manager_v1* pointerManager_ = nullptr;
  zwp_virtual_keyboard_v1* keyboard_ = nullptr;
  zwlr_virtual_pointer_v1* pointer_ = nullptr;
  std::uint32_t capabilities_ = 0;
  std::string seatKeymap_;  // the keymap text the seat's keyboard sent

  // The keymap uploaded to the virtual keyboard, and its modifier state.
  xkb_context* context_ = nullptr;
  xkb_keymap* keymap_ = nullptr;
  xkb_state* state_ = nullptr;
  xkb::KeymapModel model_;

  // Keysyms the layout lacks, and the keycodes they have in the uploaded keymap.
  std::map<std::uint32_t, std::uint32_t> extraKeys_;
  // The uploaded keymap as text, and the keycodes it leaves empty, which exact
  // text fills with the characters no key types.
  std::string keymapText_;
  std::vector<std::uint32_t> textKeycodes_;
  int interruptFd_ = -1;
  bool typing_ = false;       // within typeText: a pending stop ends the pacing wait
  bool interrupted_ = false;  // the interrupt descriptor was readable while typing
  std::set<std::uint32_t> down_;
  std::array<bool, 4> buttons_{};
  int unsent_ = 0;
  std::chrono::steady_clock::time_point lastChunk_{};
  bool pointerWarned_ = false;
  bool lost_ = false;
  FailureHandler onFailure_;

  friend struct Listeners;
};

}  // namespace tapwell::platform::wayland
