// A keyboard backend with the lifecycle that the program's entry serves: the
// connection it reads, the wake-ups it asks for, the descriptor that interrupts
// a long text, the handler it reports a failure to, and its shutdown. Every
// keyboard backend implements all of it, even where a part does nothing there,
// so that a misspelled method fails to compile.
#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "platform/keyboard.h"

namespace tapwell::platform {

class KeyBackend : public Keyboard {
 public:
  using WakeupRequest = std::function<void(std::chrono::milliseconds delay)>;
  using FailureHandler = std::function<void(const std::string& reason)>;

  // The connection's socket: when it becomes readable, call readEvents(); -1
  // when there is none to watch (failures then arrive on the event loop).
  virtual int connectionFd() const = 0;
  virtual void readEvents() = 0;

  // A backend that keeps no timer of its own asks, through the request, to have
  // service() called once the delay has passed; a later request replaces an
  // earlier one. One that needs no wake-up never asks.
  virtual void setWakeupRequest(WakeupRequest request) = 0;
  virtual void service() = 0;

  // A descriptor that becomes readable when typing should stop (a signal
  // arrived): a long text stops at once and leaves the rest untyped. Only
  // polled, never read; -1 for none.
  virtual void setInterruptFd(int fd) = 0;

  // The route failed while the program runs: the desktop refused the keys or
  // ended its session, or the connection was lost. The backend never ends the
  // program itself: it sends nothing more for the rest of the script and calls
  // the handler, on the event loop, possibly inside a key call. Without a
  // handler the reason goes to standard error.
  virtual void setFailureHandler(FailureHandler handler) = 0;
  // True once the route is gone for good: no later script can send either, so
  // the program has nothing left to do.
  virtual bool lost() const = 0;

  // The name of the layout the keys follow ("us", "jp"), as the script checker
  // shows it.
  virtual std::string layoutName() const = 0;

  // Releases whatever is still held and closes the connection; nothing is sent
  // after it. Safe to call twice.
  virtual void shutdown() = 0;
};

}  // namespace tapwell::platform
