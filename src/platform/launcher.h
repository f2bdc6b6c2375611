// Starting the program or document named by a program token.
#pragma once

#include <string>

namespace tapwell::platform {

class Launcher {
 public:
  virtual ~Launcher() = default;

  // Starts the program or document without waiting and without a shell. A
  // failure is not reported to the caller.
  virtual void start(const std::string& token) = 0;
};

}  // namespace tapwell::platform
