// Key injection over the XTest extension of an X server.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/key_backend.h"
#include "platform/xkb/keymap_model.h"
#include "platform/xkb/text_keys.h"

struct _XDisplay;

namespace tapwell::platform::x11 {

class X11Keyboard final : public KeyBackend {
 public:
  // How long a spare keycode keeps its symbol after its last event at least:
  // receiving clients look the key up after the event has arrived, and a client
  // on a busy machine may read its events a good while after they were sent.
  static constexpr std::chrono::milliseconds kSpareHold{1000};
  // Within one exact text the spare keycodes are mapped in rounds; a round waits
  // this long after the last use of the symbols it replaces. The receiver reads
  // a text's events in one go, so a shorter hold keeps long texts fast.
  static constexpr std::chrono::milliseconds kTextRoundHold{100};

  struct OpenResult {
    std::unique_ptr<X11Keyboard> keyboard;
    std::string error;  // why there is none: no display, or no XTest
  };
  // Connects to the display named by DISPLAY.
  static OpenResult Open();
  // Why the display named by DISPLAY cannot be reached; empty when it can. Sets
  // no handlers and keeps no connection, so it may come before the toolkit's own.
  static std::string DisplayProblem();

  ~X11Keyboard() override;
  X11Keyboard(const X11Keyboard&) = delete;
  X11Keyboard& operator=(const X11Keyboard&) = delete;

  void press(KeyCode key) override { sendKey(key, true); }
  void release(KeyCode key) override { sendKey(key, false); }
  std::optional<CharacterKey> keyForCharacter(char c) override;
  std::string typeText(std::string_view utf8) override;
  std::string charactersNotTyped(std::string_view utf8) override;
  void flush() override;
  void scriptEnded() override;

  // The keyboard keeps no timer of its own: it asks its owner, through this
  // callback, to call service() once the given time has passed (spare keycodes
  // are restored then). A later request replaces an earlier one.
  void setWakeupRequest(WakeupRequest request) override { wakeupRequest_ = std::move(request); }
  void service() override;

  // A descriptor that becomes readable when typing should stop (a signal
  // arrived): a long text waiting for its spare keycodes stops at once and
  // leaves the rest untyped. The descriptor is only polled, never read.
  void setInterruptFd(int fd) override { interruptFd_ = fd; }

  // Releases every key and mouse button still held, gives every key its own
  // auto-repeat setting back, and restores the spare keycodes once their
  // minimum time has passed. The connection is closed; nothing is sent after.
  // Called by the destructor.
  void shutdown() override;

  // Waits until the server has carried out everything sent so far.
  void sync();

  xkb::KeyLayout layout() const { return model_.layout(); }
  // The name of the first XKB layout of the server ("us", "de", ...).
  std::string layoutName() const override { return layoutName_; }
  // The spare keycodes in use by this keyboard.
  std::vector<std::uint8_t> spareKeycodes() const;

  // The socket of the display connection: when it becomes readable, call
  // readEvents(). A lost connection ends the program with exit code 3: Xlib's
  // handler of a lost connection cannot return, so no failure is reported.
  int connectionFd() const override;
  void readEvents() override;
  void setFailureHandler(FailureHandler) override {}
  bool lost() const override { return false; }

 private:
  using Clock = std::chrono::steady_clock;
  struct Spare {
    std::uint8_t keycode = 0;
    std::uint32_t keysym = 0;  // 0: unmapped
    // The symbols text put on the key, by level, with the modifiers of each
    // level; empty for a key put there by a key command.
    std::vector<std::uint32_t> levels;
    std::vector<unsigned> levelMods;
    bool held = false;
    Clock::time_point lastUse{};
  };

  explicit X11Keyboard(_XDisplay* display);

  void reload();
  void processEvents();
  void startOfStep();
  // One key event for the key code, to the window that has the focus.
  void sendKey(KeyCode key, bool down);
  Spare* spareFor(std::uint32_t keysym, bool acquire);
  void mapSpare(Spare& spare, std::uint32_t keysym);
  void dropIdleSpares();
  // Puts the symbols on the spare keycodes in one keymap change: one group of
  // the key type with a symbol per level, or no symbol when there are none.
  struct SpareSyms {
    std::uint8_t keycode = 0;
    int type = 0;
    std::vector<std::uint32_t> syms;
  };
  void setSpareSyms(const std::vector<SpareSyms>& changes);
  xkb::XkbLayoutSnapshot snapshot();
  // Waits until `until` or until the interrupt descriptor is readable; false
  // when interrupted.
  bool waitUntil(Clock::time_point until);
  void queueKey(std::uint8_t keycode, bool down);
  // Sends the events of the step. A key pressed and not released within the
  // step is held: its auto-repeat goes off before its press, since the server
  // decides at the press whether a key repeats.
  void sendQueued();

  struct Op {
    enum class Type { Key, Button, Map } type;
    std::uint8_t code;  // keycode, or button
    bool down;
    std::uint32_t keysym;  // Map: the new symbol (0 restores an empty key)
  };

  _XDisplay* display_ = nullptr;
  xkb::KeymapModel model_;
  int perKeycode_ = 1;
  int xkbEventBase_ = -1;
  // The root window's record of the layout names, which a layout change writes
  // after the new keymap: the layout is read again when it changes.
  unsigned long rulesNames_ = 0;  // an X atom
  std::vector<Spare> pool_;
  std::array<bool, 256> down_{};
  std::array<bool, 256> userRepeat_{};
  std::array<bool, 256> repeatOff_{};
  std::vector<Op> queue_;
  std::array<bool, 16> buttons_{};
  std::function<void(std::chrono::milliseconds)> wakeupRequest_;
  int interruptFd_ = -1;
  std::string layoutName_;
};

}  // namespace tapwell::platform::x11
