#include "engine/stepper.h"

#include <algorithm>
#include <limits>

#include "engine/convert.h"
#include "engine/errors.h"
#include "engine/keynames.h"
#include "engine/product.h"

namespace tapwell {

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

std::string_view FirstCharacter(std::string_view text) {
  if (text.empty()) return text;
  const auto lead = static_cast<unsigned char>(text[0]);
  std::size_t length = 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
  }
  if (length > text.size()) return text.substr(0, 1);
  for (std::size_t i = 1; i < length; ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) return text.substr(0, 1);
  }
  return text.substr(0, length);
}

KeyEmulator::KeyEmulator(platform::Keyboard& keyboard, platform::Launcher& launcher, StepTimer& timer,
                         PauseCaption& caption, MessageBoxes& boxes)
    : keyboard_(keyboard), launcher_(launcher), timer_(timer), caption_(caption), boxes_(boxes) {}

void KeyEmulator::KeyEmu(std::string script) {
  ReleaseHeldKeys();
  // Sent at once: the next tick may be a long wait of the old script away.
  keyboard_.flush();
  KeyBuf.Buf.assign(std::move(script));
  KeyBuf.Running = true;
  timer_.setEnabled(true);
}

void KeyEmulator::KeyEmuTimerTimer() {
  timer_.setEnabled(false);
  if (KeyBuf.Running) {
    KeyBuf.BufLen = static_cast<std::int32_t>(std::min<std::size_t>(KeyBuf.Buf.size(), INT32_MAX));
    if (KeyBuf.WaitPending) {
      KeyBuf.WaitPending = false;
      timer_.setInterval(1);
    } else {
      try {
        executeCommand();
      } catch (const EConvertError&) {
        // Halted: nothing may stay pressed while the script stands still.
        ReleaseHeldKeys();
        keyboard_.flush();
        throw;
      }
    }
  }
  keyboard_.flush();
  // The timer runs only while a script runs, so an ended script costs nothing.
  if (caption_.caption() == kCaptionStop && KeyBuf.Running) timer_.setEnabled(true);
}

void KeyEmulator::executeCommand() {
  const std::string_view text = KeyBuf.Buf.view();
  if (text.empty()) {
    // Only a reader that ran to the end of the text leaves nothing behind: the
    // script has no more commands.
    ReleaseHeldKeys();
    KeyBuf.Running = false;
    if (observer_) observer_->onEnd();
    return;
  }
  switch (text[0]) {
    case '#':
      KeyBuf.Buf.clear();
      KeyBuf.Running = false;
      ReleaseHeldKeys();
      if (observer_) observer_->onEnd();
      return;
    case '>':
    case '<':
    case '_': {
      // A key command needs a key token.
      if (text.size() < 2 || IsCommandChar(text[1])) {
        commandError(text.substr(0, 1));
        return;
      }
      const char command = text[0];
      const std::uint8_t k = GetKeyByte(text);
      KeyBuf.LastKey = k;
      if (command == '>') {
        keyDown(k);
      } else if (command == '<') {
        keyUp(k);
      } else {
        keyDown(k);
        keyUp(KeyBuf.LastKey);
      }
      return;
    }
    case '!': {
      const std::int32_t ms = GetKeyWait(text);
      if (observer_) observer_->onWait(ms);
      // A zero wait waits the shortest interval: a timer of 0 would never tick.
      timer_.setInterval(std::max<std::int32_t>(ms, 1));
      KeyBuf.WaitPending = true;
      return;
    }
    case '*':
      Run(text);
      return;
    case '"':
      GetKey(text);
      return;
    case kTextQuote:
      GetText(text);
      return;
    default:
      commandError(FirstCharacter(text));
      return;
  }
}

void KeyEmulator::commandError(std::string_view character) {
  const std::string text = "コマンドエラー [" + std::string(character) + "]";
  if (observer_) observer_->onCommandError(text);
  // Nothing the script holds stays down while the box waits for the user.
  ReleaseHeldKeys();
  keyboard_.flush();
  boxes_.showMessage(AppTitle + ":エラー", text);
  // Whatever ran while the box was open, the rest of the script is abandoned.
  KeyBuf.Buf.assign("#");
}

std::size_t KeyEmulator::argumentEnd(std::string_view text) {
  std::size_t i = 1;
  while (i < text.size() && !IsCommandChar(text[i])) ++i;
  return i;
}

void KeyEmulator::cutTo(std::size_t from) {
  KeyBuf.Buf.keep(from, static_cast<std::size_t>(std::max<std::int32_t>(KeyBuf.BufLen, 0)));
}

std::uint8_t KeyEmulator::GetKeyByte(std::string_view text) {
  const std::size_t end = argumentEnd(text);
  std::string token(text.substr(1, end - 1));
  for (char& c : token) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  std::uint8_t code = 255;
  if (auto named = FindKeyName(token)) {
    code = *named;
  } else if (!token.empty()) {
    code = static_cast<std::uint8_t>(keyboard_.VkKeyScanA(token[0]) & 0xFF);
  }
  cutTo(end);
  return code;
}

std::int32_t KeyEmulator::GetKeyWait(std::string_view text) {
  constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
  const std::size_t end = argumentEnd(text);
  std::int64_t weight = 1000;
  std::int64_t total = 0;
  bool point = false;
  for (std::size_t i = 1; i < end; ++i) {
    const char c = text[i];
    if (c == '.') {
      point = true;
      continue;
    }
    if (point) {
      weight /= 10;
      if (weight <= 0) continue;
    }
    if (c < '0' || c > '9') throw EConvertError(ConvertErrorMessage(FirstCharacter(text.substr(i))));
    const std::int64_t digit = c - '0';
    // Values beyond the 32-bit range saturate.
    total = point ? total + digit * weight : total * 10 + digit * 1000;
    total = std::min(total, kMax);
  }
  cutTo(end);
  return static_cast<std::int32_t>(total);
}

void KeyEmulator::Run(std::string_view text) {
  const std::size_t end = argumentEnd(text);
  const std::string token(text.substr(1, end - 1));
  cutTo(end);
  launcher_.start(token);
}

void KeyEmulator::GetKey(std::string_view text) {
  const std::size_t close = text.find('"', 1);
  if (close == std::string_view::npos) {
    // Reading never runs past the script: an unclosed literal types nothing.
    commandError(text.substr(0, 1));
    return;
  }
  const std::string literal(text.substr(1, close - 1));
  cutTo(close + 1);
  for (const char c : literal) {
    const auto k = static_cast<std::uint8_t>(keyboard_.VkKeyScanA(c) & 0xFF);
    keyDown(k);
    keyUp(k);
  }
}

std::optional<QuotedText> ReadQuotedText(std::string_view script) {
  QuotedText out;
  std::size_t i = 1;
  for (;;) {
    const std::size_t quote = script.find(kTextQuote, i);
    if (quote == std::string_view::npos) return std::nullopt;
    out.text.append(script.substr(i, quote - i));
    if (quote + 1 < script.size() && script[quote + 1] == kTextQuote) {
      out.text += kTextQuote;
      i = quote + 2;
      continue;
    }
    out.length = quote + 1;
    return out;
  }
}

void KeyEmulator::GetText(std::string_view text) {
  const std::optional<QuotedText> quoted = ReadQuotedText(text);
  if (!quoted) {
    // Like an unclosed literal: nothing of it is typed.
    commandError(text.substr(0, 1));
    return;
  }
  cutTo(quoted->length);
  keyboard_.typeText(quoted->text);
}

void KeyEmulator::keyDown(std::uint8_t vk) {
  keyboard_.keybd_event(vk, platform::KeyDirection::Down);
  if (std::find(held_.begin(), held_.end(), vk) == held_.end()) held_.push_back(vk);
}

void KeyEmulator::keyUp(std::uint8_t vk) {
  keyboard_.keybd_event(vk, platform::KeyDirection::Up);
  held_.erase(std::remove(held_.begin(), held_.end(), vk), held_.end());
}

void KeyEmulator::ReleaseHeldKeys() {
  while (!held_.empty()) {
    const std::uint8_t vk = held_.back();
    held_.pop_back();
    keyboard_.keybd_event(vk, platform::KeyDirection::Up);
  }
  keyboard_.scriptEnded();
}

void KeyEmulator::StopBtnClick() {
  const std::string caption = caption_.caption();
  if (caption == kCaptionStop && !KeyBuf.Buf.empty()) {
    timer_.setEnabled(false);
    caption_.setCaption(std::string(kCaptionPlay));
  } else if (caption == kCaptionPlay) {
    caption_.setCaption(std::string(kCaptionStop));
    KeyBuf.Buf.prepend(kResumePrefix);
    timer_.setEnabled(true);
  }
}

}  // namespace tapwell
