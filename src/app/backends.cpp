#include "app/backends.h"

#include "platform/fake/fakes.h"

namespace tapwell::app {

std::unique_ptr<platform::Keyboard> MakeKeyboard(std::string& error) {
  error.clear();
  return std::make_unique<fake::RecordingKeyboard>();
}

std::unique_ptr<platform::Launcher> MakeLauncher() {
  return std::make_unique<fake::RecordingLauncher>();
}

}  // namespace tapwell::app
