#include "engine/stepper.h"

#include <algorithm>

#include "core/product.h"
#include "engine/command.h"
#include "engine/keynames.h"

namespace tapwell {

std::string CommandErrorCaption() {
  return Product().title + ":エラー";
}

std::string TextNotTypedMessage(const std::string& characters) {
  return "these characters of the text could not be typed on this keyboard: " + characters;
}

std::string EscapeForTerminal(std::string_view bytes) {
  static const char* const kHex = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size());
  auto escape = [&](unsigned char b) {
    out += "\\x";
    out += kHex[b >> 4];
    out += kHex[b & 15];
  };
  std::size_t i = 0;
  while (i < bytes.size()) {
    const std::string_view ch = FirstCharacter(bytes.substr(i));
    const auto lead = static_cast<unsigned char>(ch[0]);
    if (ch.size() == 1) {
      if (lead < 0x20 || lead >= 0x7F) {
        escape(lead);
      } else {
        out += ch[0];
      }
    } else if (lead == 0xC2 && static_cast<unsigned char>(ch[1]) < 0xA0) {
      // C1 control characters.
      escape(lead);
      escape(static_cast<unsigned char>(ch[1]));
    } else {
      out += ch;
    }
    i += ch.size();
  }
  return out;
}

void ScriptBuffer::dropFront(std::size_t n) {
  head_ += std::min(n, size());
  // Give the memory of a long executed front back once it dominates.
  if (head_ > 4096 && head_ > text_.size() / 2) {
    text_.erase(0, head_);
    head_ = 0;
  }
}

void ScriptBuffer::prepend(std::string_view text) {
  std::string joined;
  joined.reserve(text.size() + size());
  joined.append(text);
  joined.append(view());
  assign(std::move(joined));
}

void ScriptBuffer::keep(std::size_t from, std::size_t to) {
  to = std::min(to, size());
  from = std::min(from, to);
  text_.resize(head_ + to);
  dropFront(from);
}

platform::KeyCode KeyForToken(std::string_view token, platform::Keyboard& keyboard) {
  std::string upper(token);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  if (auto named = FindKeyName(upper)) return *named;
  if (token.empty()) return 255;
  const auto key = keyboard.keyForCharacter(token[0]);
  return key ? key->key : platform::KeyCode{255};
}

Stepper::Stepper(platform::Keyboard& keyboard, platform::Launcher& launcher)
    : keyboard_(keyboard), launcher_(launcher) {}

void Stepper::arm(StepTime from) {
  if (armed_) return;
  armed_ = true;
  due_ = from + std::chrono::milliseconds(interval_);
}

std::optional<StepTime> Stepper::nextStep() const {
  if (!armed_) return std::nullopt;
  return due_;
}

void Stepper::start(std::string script, StepTime now) {
  releaseHeldKeys(now);
  // Sent at once: the next step may be a long wait of the old script away.
  keyboard_.flush();
  record_.Buf.assign(std::move(script));
  record_.Running = true;
  arm(now);
}

std::optional<StepTime> Stepper::step(StepTime now) {
  // The schedule goes on from this step's deadline, so that steps do not drift
  // by the time each takes; a step run early by hand, or late after a stall,
  // counts from the time it ran.
  const bool onSchedule = armed_ && now >= due_ && now - due_ <= kRebaseAfter;
  const StepTime base = onSchedule ? due_ : now;
  armed_ = false;
  if (record_.Running) {
    record_.BufLen = static_cast<std::int32_t>(std::min<std::size_t>(record_.Buf.size(), INT32_MAX));
    if (record_.WaitPending) {
      record_.WaitPending = false;
      interval_ = 1;
    } else if (!execute(now)) {
      return std::nullopt;
    }
  }
  keyboard_.flush();
  // Steps are due only while a script runs, so an ended script costs nothing.
  if (state_ == State::Playing && record_.Running) arm(base);
  return nextStep();
}

bool Stepper::execute(StepTime now) {
  const Command command = ReadCommand(record_.Buf.view());
  switch (command.kind) {
    case CommandKind::End:
      record_.Buf.clear();
      record_.Running = false;
      releaseHeldKeys(now);
      trace(now, "end");
      return true;
    case CommandKind::Press:
    case CommandKind::Release:
    case CommandKind::Stroke: {
      const platform::KeyCode key = KeyForToken(command.text, keyboard_);
      cutTo(command.length);
      record_.LastKey = key;
      if (command.kind != CommandKind::Release) keyDown(key, now);
      if (command.kind != CommandKind::Press) keyUp(record_.LastKey, now);
      return true;
    }
    case CommandKind::Wait:
      if (!command.convertError.empty()) {
        // Halted: nothing may stay pressed while the script stands still.
        releaseHeldKeys(now);
        keyboard_.flush();
        trace(now, "halt " + EscapeForTerminal(command.convertError));
        if (observer_) observer_->onHalt(command.convertError);
        return false;
      }
      cutTo(command.length);
      trace(now, "wait " + std::to_string(command.waitMs));
      // A zero wait waits the shortest interval.
      interval_ = std::max<std::int32_t>(command.waitMs, 1);
      record_.WaitPending = true;
      return true;
    case CommandKind::Run:
      cutTo(command.length);
      trace(now, "start " + EscapeForTerminal(command.text));
      launcher_.start(command.text);
      return true;
    case CommandKind::Type:
      cutTo(command.length);
      for (const char c : command.text) {
        const auto key = keyboard_.keyForCharacter(c);
        const platform::KeyCode k = key ? key->key : platform::KeyCode{255};
        keyDown(k, now);
        keyUp(k, now);
      }
      return true;
    case CommandKind::Text:
      cutTo(command.length);
      trace(now, "text " + EscapeForTerminal(command.text));
      // The backend lifts the keys the script holds for the text itself.
      if (const std::string untyped = keyboard_.typeText(command.text); !untyped.empty()) {
        trace(now, "untyped " + EscapeForTerminal(untyped));
        if (observer_) observer_->onTextNotTyped(untyped);
      }
      return true;
    case CommandKind::Error:
      commandError(command.text, now);
      return true;
  }
  return true;
}

void Stepper::commandError(const std::string& character, StepTime now) {
  const std::string text = "コマンドエラー [" + character + "]";
  trace(now, "error " + EscapeForTerminal(text));
  // Nothing the script holds stays down while the box waits for the user.
  releaseHeldKeys(now);
  keyboard_.flush();
  if (observer_) observer_->onCommandError(text);
  // Whatever ran while the box was open, the rest of the script is abandoned.
  record_.Buf.assign("#");
}

void Stepper::cutTo(std::size_t from) {
  record_.Buf.keep(from, static_cast<std::size_t>(std::max<std::int32_t>(record_.BufLen, 0)));
}

void Stepper::keyDown(platform::KeyCode key, StepTime now) {
  trace(now, "down " + std::to_string(key));
  keyboard_.press(key);
  if (std::find(held_.begin(), held_.end(), key) == held_.end()) held_.push_back(key);
}

void Stepper::keyUp(platform::KeyCode key, StepTime now) {
  trace(now, "up " + std::to_string(key));
  keyboard_.release(key);
  held_.erase(std::remove(held_.begin(), held_.end(), key), held_.end());
}

void Stepper::releaseHeldKeys(StepTime now) {
  while (!held_.empty()) {
    const platform::KeyCode key = held_.back();
    held_.pop_back();
    trace(now, "up " + std::to_string(key));
    keyboard_.release(key);
  }
  keyboard_.scriptEnded();
}

void Stepper::end(StepTime now) {
  record_.Buf.clear();
  record_.Running = false;
  record_.WaitPending = false;
  interval_ = 1;
  armed_ = false;
  state_ = State::Playing;
  releaseHeldKeys(now);
  keyboard_.flush();
  trace(now, "end");
}

void Stepper::stopOrPlay(StepTime now) {
  if (state_ == State::Playing && !record_.Buf.empty()) {
    armed_ = false;
    state_ = State::Stopped;
  } else if (state_ == State::Stopped) {
    state_ = State::Playing;
    record_.Buf.prepend(kResumePrefix);
    arm(now);
  }
}

}  // namespace tapwell
