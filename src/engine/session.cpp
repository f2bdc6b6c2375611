#include "engine/session.h"

#include <ostream>

#include "core/errors.h"
#include "core/product.h"
#include "engine/command.h"
#include "engine/keynames.h"

namespace tapwell {

void StreamTrace::trace(StepTime at, std::string_view line) {
  out_ << std::chrono::duration_cast<std::chrono::milliseconds>(at - origin_).count() << ' ' << line << '\n';
}

ScriptSession::ScriptSession(platform::Keyboard& keyboard, platform::Launcher& launcher, TraceSink* trace,
                             std::ostream* messages)
    : stepper_(keyboard, launcher), messages_(messages) {
  stepper_.setTrace(trace);
  stepper_.setObserver(this);
}

std::optional<StepTime> ScriptSession::start(std::string_view script, StepTime now) {
  std::string text(script);
  text += '#';
  stepper_.start(std::move(text), now);
  return stepper_.nextStep();
}

void ScriptSession::onCommandError(const std::string& text) {
  failed_ = true;
  if (messages_) *messages_ << CommandErrorCaption() << ": " << EscapeForTerminal(text) << std::endl;
}

void ScriptSession::onHalt(const std::string& message) {
  failed_ = true;
  if (messages_)
    *messages_ << Product().title << ": " << EscapeForTerminal(DefaultReportText(message)) << std::endl;
}

void ScriptSession::onTextNotTyped(const std::string& characters) {
  failed_ = true;
  if (messages_) *messages_ << "tapwell: " << EscapeForTerminal(TextNotTypedMessage(characters)) << std::endl;
}

namespace {

// The keys of a US keyboard, with nothing sent.
class UsLayoutKeyboard : public platform::Keyboard {
 public:
  void press(platform::KeyCode) override {}
  void release(platform::KeyCode) override {}
  std::optional<platform::CharacterKey> keyForCharacter(char c) override { return UsKeyForCharacter(c); }
  // The real keyboards type any character: the dry run shows the text only.
  std::string typeText(std::string_view) override { return {}; }
};

// Starts nothing: the trace shows what would start.
class NoLauncher : public platform::Launcher {
 public:
  void start(const std::string&) override {}
};

}  // namespace

bool ScriptUsesMouseButtons(std::string_view script) {
  UsLayoutKeyboard keyboard;
  while (!script.empty()) {
    const Command command = ReadCommand(script);
    // A command error ends the script there, as a halt does.
    if (command.kind == CommandKind::End || command.kind == CommandKind::Error || command.length == 0) break;
    if (command.kind == CommandKind::Press || command.kind == CommandKind::Release ||
        command.kind == CommandKind::Stroke) {
      const platform::KeyCode key = KeyForToken(command.text, keyboard);
      if (key == 1 || key == 2 || key == 4) return true;
    }
    script.remove_prefix(command.length);
  }
  return false;
}

int DryRun(std::string_view script, std::ostream& out) {
  UsLayoutKeyboard keyboard;
  NoLauncher launcher;
  const StepTime origin{};
  StreamTrace trace(out, origin);
  ScriptSession session(keyboard, launcher, &trace, nullptr);
  // The simulated clock is at each step's deadline when the step runs.
  for (auto due = session.start(script, origin); due; due = session.step(*due)) {
  }
  out.flush();
  return session.failed() ? 1 : 0;
}

}  // namespace tapwell
