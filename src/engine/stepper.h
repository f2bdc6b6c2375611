// The key script stepper: executes a key script one command per timer tick.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/keyboard.h"
#include "platform/launcher.h"

namespace tapwell {

// The stepper's timer. Switching it on starts a full interval; switching on a
// timer that is already on changes nothing; switching it off stops the ticks at
// once; an interval set while it is off applies when it is switched on.
class StepTimer {
 public:
  virtual ~StepTimer() = default;
  virtual void setEnabled(bool on) = 0;
  virtual bool enabled() const = 0;
  virtual void setInterval(int ms) = 0;
  virtual int interval() const = 0;
};

// The caption of the Stop button, which holds the pause state.
class PauseCaption {
 public:
  virtual ~PauseCaption() = default;
  virtual std::string caption() const = 0;
  virtual void setCaption(const std::string& caption) = 0;
};

// A modal message box with a caption, a text, an OK button and no icon. Returns
// when the user has closed it.
class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  virtual void showMessage(const std::string& caption, const std::string& text) = 0;
};

// What a step did, for traces. Key events and launches are seen through the
// keyboard and the launcher.
class StepObserver {
 public:
  virtual ~StepObserver() = default;
  virtual void onWait(std::int32_t ms) = 0;
  virtual void onEnd() = 0;
  virtual void onCommandError(const std::string& text) = 0;
};

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

// The stepper's state: one record per stepper.
struct KeyBufRecord {
  bool Running = false;
  bool WaitPending = false;
  std::uint8_t LastKey = 0;
  ScriptBuffer Buf;
  std::int32_t BufLen = 0;
};

inline constexpr std::string_view kCommandChars = "><_!#*\"";
inline bool IsCommandChar(char c) {
  return kCommandChars.find(c) != std::string_view::npos;
}

// The exact text command. It opens a command only: it ends no argument, so
// scripts written before it keep their meaning.
inline constexpr char kTextQuote = '\'';

// The text of an exact text command that starts at position 0 of script: the
// characters up to the closing quote with every doubled quote made one, and the
// length of the command with both quotes. Nothing when the quote is not closed.
struct QuotedText {
  std::string text;
  std::size_t length = 0;
};
std::optional<QuotedText> ReadQuotedText(std::string_view script);

// The resume prefix: press Alt, strike Tab, release Alt.
inline constexpr std::string_view kResumePrefix = ">Alt_Tab<Alt";
inline constexpr std::string_view kCaptionStop = "Stop";
inline constexpr std::string_view kCaptionPlay = "Play";

// The whole UTF-8 character that starts text (one byte when it is not valid UTF-8).
std::string_view FirstCharacter(std::string_view text);

class KeyEmulator {
 public:
  KeyEmulator(platform::Keyboard& keyboard, platform::Launcher& launcher, StepTimer& timer,
              PauseCaption& caption, MessageBoxes& boxes);

  void setObserver(StepObserver* observer) { observer_ = observer; }

  // Starts a script, which must end with "#"; whatever was left of an earlier
  // script is replaced and the keys it held down are released at once.
  void KeyEmu(std::string script);

  // One step. A wait value that does not convert raises EConvertError after the
  // keys the script holds have been released; the stepper is then halted.
  void KeyEmuTimerTimer();

  // Pause or resume.
  void StopBtnClick();

  // The readers. Each takes the current rest of the script, whose first character
  // is the command character, and removes the command from KeyBuf.
  std::uint8_t GetKeyByte(std::string_view text);
  std::int32_t GetKeyWait(std::string_view text);
  void Run(std::string_view text);
  void GetKey(std::string_view text);
  // The exact text command: everything up to the next "'" is typed as written;
  // "''" inside it stands for one "'".
  void GetText(std::string_view text);

  // Key-up for every key the script pressed and has not released, newest first.
  void ReleaseHeldKeys();

  const KeyBufRecord& keyBuf() const { return KeyBuf; }
  KeyBufRecord& keyBuf() { return KeyBuf; }
  const std::vector<std::uint8_t>& heldKeys() const { return held_; }

 private:
  void executeCommand();
  void commandError(std::string_view character);
  void keyDown(std::uint8_t vk);
  void keyUp(std::uint8_t vk);
  // The end of the argument that starts at position 1 of text.
  static std::size_t argumentEnd(std::string_view text);
  // Keeps text from position `from` up to BufLen as the new rest.
  void cutTo(std::size_t from);

  platform::Keyboard& keyboard_;
  platform::Launcher& launcher_;
  StepTimer& timer_;
  PauseCaption& caption_;
  MessageBoxes& boxes_;
  StepObserver* observer_ = nullptr;
  KeyBufRecord KeyBuf;
  std::vector<std::uint8_t> held_;
};

}  // namespace tapwell
