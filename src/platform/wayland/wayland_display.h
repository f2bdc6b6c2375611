// Whether the Wayland compositor of the session can be reached, before anything
// else connects to it.
#pragma once

#include <string>

namespace tapwell::platform::wayland {

// Empty when a client can connect to the compositor that WAYLAND_DISPLAY names;
// otherwise why not, in words for the user.
std::string WaylandDisplayProblem();

}  // namespace tapwell::platform::wayland
