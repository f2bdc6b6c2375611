// Starting the program or document named by a program token.
#pragma once

#include <functional>
#include <string>

namespace tapwell::platform {

class Launcher {
 public:
  virtual ~Launcher() = default;

  // Starts the program or document without waiting and without a shell. A
  // failure is not reported to the caller.
  virtual void start(const std::string& token) = 0;

  // Opens a document with the desktop's opener without waiting. Returns why it
  // could not be handed over (no opener, the opener could not start), empty when
  // it was; an opener that gives up later (no program to open the document with)
  // calls failedLater with the reason, from a thread of its own.
  virtual std::string openDocument(const std::string& path,
                                   std::function<void(const std::string& reason)> failedLater) {
    static_cast<void>(failedLater);
    start(path);
    return {};
  }
};

}  // namespace tapwell::platform
