// Recording fakes behind the platform interfaces and the stepper's seams.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "engine/stepper.h"
#include "platform/keyboard.h"
#include "platform/launcher.h"

namespace tapwell::fake {

struct KeyEvent {
  std::uint8_t vk;
  bool down;
  bool operator==(const KeyEvent&) const = default;
};

inline KeyEvent Down(std::uint8_t vk) {
  return {vk, true};
}
inline KeyEvent Up(std::uint8_t vk) {
  return {vk, false};
}

// Records key events; the layout is the built-in US one unless replaced.
class RecordingKeyboard : public platform::Keyboard {
 public:
  void keybd_event(std::uint8_t vk, platform::KeyDirection direction) override;
  std::int16_t VkKeyScanA(char c) override;
  void flush() override { ++flushes; }
  void scriptEnded() override { ++scriptEnds; }

  std::vector<KeyEvent> events;
  std::function<std::int16_t(char)> layout;
  int flushes = 0;
  int scriptEnds = 0;
};

class RecordingLauncher : public platform::Launcher {
 public:
  void start(const std::string& token) override { tokens.push_back(token); }
  // Records the document like a token; returns openError, and keeps failedLater
  // for the test to call.
  std::string openDocument(const std::string& path,
                           std::function<void(const std::string& reason)> failedLater) override {
    tokens.push_back(path);
    laterFailure = std::move(failedLater);
    return openError;
  }
  std::vector<std::string> tokens;
  std::string openError;
  std::function<void(const std::string& reason)> laterFailure;
};

class FakeCaption : public PauseCaption {
 public:
  std::string caption() const override { return text; }
  void setCaption(const std::string& caption) override { text = caption; }
  std::string text = "Stop";
};

// Records the boxes shown; onShow runs while the box is "open".
class RecordingMessageBoxes : public MessageBoxes {
 public:
  void showMessage(const std::string& caption, const std::string& text) override {
    shown.emplace_back(caption, text);
    if (onShow) onShow();
  }
  std::vector<std::pair<std::string, std::string>> shown;
  std::function<void()> onShow;
};

}  // namespace tapwell::fake
