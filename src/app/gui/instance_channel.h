// The channel through which a further start of the program, or a remote command
// on the command line, reaches the instance that already runs for this user on
// this display.
//
// The running instance holds a lock file for its whole life and listens on a
// local socket beside it. The lock is the truth: a process that died (even by
// SIGKILL) leaves a lock whose process is gone, which counts as free, and a socket
// file that the next instance removes before it listens.
//
// The protocol is one line per connection: the client sends a command ("show",
// "tray", "abort", "hide", "quit") and the instance answers "ok", or "error "
// followed by the reason, and closes the connection.
#pragma once

#include <QByteArray>
#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace tapwell::app {

// The files of the channel: the socket and the lock, in one folder.
struct ChannelPlace {
  QString socket;
  QString lock;
};

// The channel of the session in folder: named after the Wayland display when there
// is one, otherwise after the X display (without its screen number).
ChannelPlace ChannelPlaceFor(const QString& folder, const QString& waylandDisplay, const QString& display);

// The channel of this process's session, in the user's runtime folder; nothing,
// with the reason in why, when that folder cannot be used.
std::optional<ChannelPlace> SessionChannelPlace(std::string& why);

class InstanceServer : public QObject {
  Q_OBJECT
 public:
  // Carries out a command; returns the empty text when it is done, otherwise why
  // not. It runs on the event loop.
  using Handler = std::function<std::string(const std::string& command)>;

  InstanceServer(ChannelPlace place, Handler handler, QObject* parent = nullptr);
  ~InstanceServer() override;

  enum class Claim {
    // This process is the running instance now and listens.
    Claimed,
    // Another process holds the channel.
    Taken,
    // The channel cannot be used (the reason in why).
    Failed,
  };
  Claim claim(std::string& why);

 private:
  void accept();

  ChannelPlace place_;
  Handler handler_;
  std::unique_ptr<QLockFile> lock_;
  QLocalServer server_;
};

struct Delivery {
  enum class Status {
    // The instance carried the command out.
    Done,
    // The instance answered with an error (the reason in text).
    Refused,
    // No instance runs.
    NoInstance,
    // An instance holds the channel but gave no answer in time.
    NoAnswer,
  };
  Status status = Status::NoInstance;
  std::string text;
};

// Sends a command to the running instance and waits for its answer, at most
// timeoutMs. An instance that is still starting is waited for.
Delivery SendCommand(const ChannelPlace& place, const std::string& command, int timeoutMs);

}  // namespace tapwell::app
