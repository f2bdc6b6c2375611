// The key script stepper: executes a key script one command per step, each step
// on an absolute deadline.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/keyboard.h"
#include "platform/launcher.h"

namespace tapwell {

using StepClock = std::chrono::steady_clock;
using StepTime = StepClock::time_point;

// A step later than this after its deadline (the program stalled) starts a new
// schedule from the time it ran, instead of running the missed steps in a burst.
inline constexpr std::chrono::milliseconds kRebaseAfter{50};

// What the steps do, one line each: "down 65", "up 65", "start x", "wait 500",
// "text <text>", "untyped <characters>", "end", "error <text>", "halt <message>".
class TraceSink {
 public:
  virtual ~TraceSink() = default;
  virtual void trace(StepTime at, std::string_view line) = 0;
};

// Bytes as UTF-8 for a terminal, with invalid bytes and control characters as \xHH.
std::string EscapeForTerminal(std::string_view bytes);

// What the user is told when characters of an exact text could not be typed.
std::string TextNotTypedMessage(const std::string& characters);

// Where command errors and halts leave the stepper. Both come after the keys the
// script held have been released.
class StepperObserver {
 public:
  virtual ~StepperObserver() = default;
  // A command error: the command-error box, captioned CommandErrorCaption(). The
  // rest of the script is abandoned once this returns.
  virtual void onCommandError(const std::string& text) = 0;
  // A wait value that does not convert halted the stepper: the default error report.
  virtual void onHalt(const std::string& message) = 0;
  // The keyboard could not type these characters of an exact text (UTF-8);
  // the script goes on. By default the default error report says which.
  virtual void onTextNotTyped(const std::string& characters) { onHalt(TextNotTypedMessage(characters)); }
};

// The caption of the command-error box.
std::string CommandErrorCaption();

// The not yet executed rest of the script. Executed commands are dropped from the
// front by moving a start offset, so a step costs the same whatever the length of
// the rest.
class ScriptBuffer {
 public:
  ScriptBuffer() = default;
  explicit ScriptBuffer(std::string text) : text_(std::move(text)) {}

  std::string_view view() const { return std::string_view(text_).substr(head_); }
  std::size_t size() const { return text_.size() - head_; }
  bool empty() const { return size() == 0; }
  std::string str() const { return std::string(view()); }
  // Where the storage of the rest starts (to check that steps do not copy it).
  const char* data() const { return view().data(); }

  void assign(std::string text) {
    text_ = std::move(text);
    head_ = 0;
  }
  void clear() { assign({}); }
  // Drops the first n bytes.
  void dropFront(std::size_t n);
  // Puts text in front of the rest.
  void prepend(std::string_view text);
  // Keeps the bytes [from, to) of the current rest.
  void keep(std::size_t from, std::size_t to);

 private:
  std::string text_;
  std::size_t head_ = 0;
};

// The stepper's record.
struct KeyBufRecord {
  bool Running = false;
  bool WaitPending = false;
  std::uint8_t LastKey = 0;
  ScriptBuffer Buf;
  std::int32_t BufLen = 0;
};

// The resume prefix: press Alt, strike Tab, release Alt.
inline constexpr std::string_view kResumePrefix = ">Alt_Tab<Alt";

// The key code of a key token: a key name (any case), otherwise the key of its
// first character; 255 when no key produces that character.
platform::KeyCode KeyForToken(std::string_view token, platform::Keyboard& keyboard);

class Stepper {
 public:
  enum class State { Playing, Stopped };

  Stepper(platform::Keyboard& keyboard, platform::Launcher& launcher);

  void setTrace(TraceSink* trace) { trace_ = trace; }
  void setObserver(StepperObserver* observer) { observer_ = observer; }

  // Starts a script, which must end with "#"; whatever was left of an earlier
  // script is replaced and the keys it held down are released at once. A step
  // already due (a wait of the old script) keeps its deadline.
  void start(std::string script, StepTime now);

  // One step, due at nextStep(). Returns when the next one is due; nothing when
  // the script ended or halted, or the stepper is stopped.
  std::optional<StepTime> step(StepTime now);

  // Stop (pause) a script that has something left, or Play (resume) with the
  // resume prefix in front of the rest.
  void stopOrPlay(StepTime now);

  // Key-up for every key the script pressed and has not released, newest first.
  void releaseHeldKeys(StepTime now);

  // Ends the script at once, as its end command would: the keys it holds go up,
  // a pending wait is dropped, and a stopped stepper plays again.
  void end(StepTime now);

  std::optional<StepTime> nextStep() const;
  State state() const { return state_; }
  const KeyBufRecord& record() const { return record_; }
  const std::vector<platform::KeyCode>& heldKeys() const { return held_; }
  // The interval of the next step after the current one: 1 ms, or a wait.
  std::int32_t interval() const { return interval_; }

 private:
  // Executes the command at the front; false when it halted the stepper.
  bool execute(StepTime now);
  void commandError(const std::string& character, StepTime now);
  void keyDown(platform::KeyCode key, StepTime now);
  void keyUp(platform::KeyCode key, StepTime now);
  void arm(StepTime from);
  // Keeps the rest from position `from` up to BufLen.
  void cutTo(std::size_t from);
  void trace(StepTime at, std::string_view line) {
    if (trace_) trace_->trace(at, line);
  }

  platform::Keyboard& keyboard_;
  platform::Launcher& launcher_;
  TraceSink* trace_ = nullptr;
  StepperObserver* observer_ = nullptr;
  KeyBufRecord record_;
  std::vector<platform::KeyCode> held_;
  State state_ = State::Playing;
  bool armed_ = false;
  StepTime due_{};
  std::int32_t interval_ = 1;
};

}  // namespace tapwell
