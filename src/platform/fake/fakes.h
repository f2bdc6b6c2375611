// Recording fakes behind the platform interfaces.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/stepper.h"
#include "platform/key_backend.h"
#include "platform/launcher.h"
#include "platform/message_boxes.h"

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

// Records key events; the layout is the built-in US one. Its lifecycle does
// nothing but count shutdowns and keep the failure handler, which a test calls
// as the backend would.
class RecordingKeyboard : public platform::KeyBackend {
 public:
  void press(platform::KeyCode key) override { events.push_back({key, true}); }
  void release(platform::KeyCode key) override { events.push_back({key, false}); }
  std::optional<platform::CharacterKey> keyForCharacter(char c) override;
  std::string typeText(std::string_view utf8) override {
    texts.emplace_back(utf8);
    return untyped;
  }
  void flush() override { ++flushes; }
  void scriptEnded() override { ++scriptEnds; }
  int connectionFd() const override { return -1; }
  void readEvents() override {}
  void setWakeupRequest(WakeupRequest) override {}
  void service() override {}
  void setInterruptFd(int) override {}
  void setFailureHandler(FailureHandler handler) override { onFailure = std::move(handler); }
  bool lost() const override { return lostForGood; }
  std::string layoutName() const override { return "us"; }
  void shutdown() override { ++shutdowns; }

  std::vector<KeyEvent> events;
  std::vector<std::string> texts;  // the exact texts typed
  std::string untyped;             // what typeText says it could not type
  int flushes = 0;
  int scriptEnds = 0;
  int shutdowns = 0;
  FailureHandler onFailure;
  bool lostForGood = false;
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

// Keeps the trace lines of a stepper, each after its milliseconds since 0.
class RecordingTrace : public TraceSink {
 public:
  void trace(StepTime at, std::string_view line) override;
  std::vector<std::string> lines;
};

}  // namespace tapwell::fake
