// The platform backends that the program uses, chosen in one place.
#pragma once

#include <memory>
#include <string>

#include "platform/keyboard.h"
#include "platform/launcher.h"

namespace tapwell::app {

// The keyboard that key events go to; nothing, with the reason in error, when
// key injection is not possible here.
std::unique_ptr<platform::Keyboard> MakeKeyboard(std::string& error);

// The launcher of programs and documents.
std::unique_ptr<platform::Launcher> MakeLauncher();

}  // namespace tapwell::app
