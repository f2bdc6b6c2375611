// Key injection over the XTest extension of an X server.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/keyboard.h"
#include "platform/x11/keymap_model.h"

class QTimer;
struct _XDisplay;

namespace tapwell::platform::x11 {

class X11Keyboard final : public Keyboard {
 public:
  // How long a spare keycode keeps its symbol after its last event at least:
  // receiving clients look the key up after the event has arrived, and a client
  // on a busy machine may read its events a good while after they were sent.
  static constexpr std::chrono::milliseconds kSpareHold{1000};

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
  void flush() override;
  void scriptEnded() override;

  // Releases every key and mouse button still held, gives every key its own
  // auto-repeat setting back, and restores the spare keycodes once their
  // minimum time has passed. The connection is closed; nothing is sent after.
  // Called by the destructor; call it before the Qt application object goes,
  // since a timer drops spare keycodes after a script has ended.
  void shutdown();

  // Waits until the server has carried out everything sent so far.
  void sync();

  KeyLayout layout() const { return model_.layout(); }
  // The spare keycodes in use by this keyboard.
  std::vector<std::uint8_t> spareKeycodes() const;

  // The socket of the display connection: when it becomes readable, call
  // readEvents(). A lost connection ends the program with exit code 3.
  int connectionFd() const;
  void readEvents();

 private:
  using Clock = std::chrono::steady_clock;
  struct Spare {
    std::uint8_t keycode = 0;
    std::uint32_t keysym = 0;  // 0: unmapped
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
  KeymapModel model_;
  int perKeycode_ = 1;
  int xkbEventBase_ = -1;
  std::vector<Spare> pool_;
  std::array<bool, 256> down_{};
  std::array<bool, 256> userRepeat_{};
  std::array<bool, 256> repeatOff_{};
  std::vector<Op> queue_;
  std::array<bool, 16> buttons_{};
  std::unique_ptr<QTimer> spareTimer_;
};

}  // namespace tapwell::platform::x11
