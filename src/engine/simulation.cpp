#include "engine/simulation.h"

#include <ostream>

#include "engine/errors.h"
#include "engine/keynames.h"

namespace tapwell {

void SimulatedTimer::setEnabled(bool on) {
  if (on && !enabled_) due_ = now_ + interval_;
  enabled_ = on;
}

void SimulatedTimer::setInterval(int ms) {
  interval_ = ms;
  if (enabled_) due_ = now_ + interval_;
}

bool SimulatedTimer::advanceToTick() {
  if (!enabled_) return false;
  now_ = due_;
  return true;
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

namespace {

class DryRunSession : public platform::Keyboard,
                      public platform::Launcher,
                      public PauseCaption,
                      public MessageBoxes,
                      public StepObserver {
 public:
  explicit DryRunSession(std::ostream& out) : out_(out) {}

  SimulatedTimer timer;
  bool failed = false;

  void keybd_event(std::uint8_t vk, platform::KeyDirection direction) override {
    line() << (direction == platform::KeyDirection::Down ? "down " : "up ") << static_cast<int>(vk) << '\n';
  }
  std::int16_t VkKeyScanA(char c) override { return UsVkKeyScan(c); }
  void typeText(std::string_view utf8) override { line() << "text " << EscapeForTerminal(utf8) << '\n'; }
  void start(const std::string& token) override { line() << "start " << EscapeForTerminal(token) << '\n'; }
  std::string caption() const override { return std::string(kCaptionStop); }
  void setCaption(const std::string&) override {}
  void showMessage(const std::string&, const std::string&) override {}
  void onWait(std::int32_t ms) override { line() << "wait " << ms << '\n'; }
  void onEnd() override { line() << "end\n"; }
  void onCommandError(const std::string& text) override {
    failed = true;
    line() << "error " << EscapeForTerminal(text) << '\n';
  }
  void onHalt(const std::string& message) {
    failed = true;
    line() << "halt " << EscapeForTerminal(message) << '\n';
  }

 private:
  std::ostream& line() { return out_ << timer.now() << ' '; }
  std::ostream& out_;
};

}  // namespace

int DryRun(std::string_view script, std::ostream& out) {
  DryRunSession session(out);
  KeyEmulator emulator(session, session, session.timer, session, session);
  emulator.setObserver(&session);
  std::string text(script);
  text += '#';
  emulator.KeyEmu(std::move(text));
  while (session.timer.advanceToTick()) {
    try {
      emulator.KeyEmuTimerTimer();
    } catch (const EConvertError& e) {
      session.onHalt(e.what());
      break;
    }
  }
  out.flush();
  return session.failed ? 1 : 0;
}

}  // namespace tapwell
