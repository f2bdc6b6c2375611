#include "app/check.h"

#include <cstdlib>
#include <ostream>

#include "app/cli.h"
#include "engine/checker.h"
#include "engine/keynames.h"
#include "platform/posix/launcher.h"

#if TAPWELL_HAVE_KEY_BACKENDS
#include "platform/x11/x11_keyboard.h"
#endif

namespace tapwell::app {

namespace {

// The built-in US layout, for a check without a display.
class UsLayout : public platform::Keyboard {
 public:
  void press(platform::KeyCode) override {}
  void release(platform::KeyCode) override {}
  std::optional<platform::CharacterKey> keyForCharacter(char c) override { return UsKeyForCharacter(c); }
};

int Report(const std::string& script, platform::Keyboard& keyboard, const std::string& layout,
           std::ostream& out) {
  const CheckContext context{keyboard, layout,
                             [](const std::string& token) { return platform::NamesProgram(token); }};
  bool error = false;
  for (const Finding& f : CheckScript(script, context)) {
    out << FormatFinding(f) << '\n';
    error = error || f.error;
  }
  out.flush();
  return error ? kExitScriptFailed : kExitOk;
}

}  // namespace

int CheckScriptText(const std::string& script, std::ostream& out) {
#if TAPWELL_HAVE_KEY_BACKENDS
  const char* display = std::getenv("DISPLAY");
  if (display != nullptr && *display != '\0') {
    auto opened = platform::x11::X11Keyboard::Open();
    if (opened.keyboard) {
      const int code = Report(script, *opened.keyboard, opened.keyboard->layoutName(), out);
      opened.keyboard->shutdown();
      return code;
    }
  }
#endif
  UsLayout us;
  return Report(script, us, "us", out);
}

}  // namespace tapwell::app
