#include "app/gui/instance_channel.h"

#include <QDeadlineTimer>
#include <QLocalSocket>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include "platform/paths.h"

namespace tapwell::app {

namespace {

// A command line longer than this is no command.
constexpr qsizetype kMaxLine = 64;
// A client that sends no whole line in this time is dropped.
constexpr int kClientTimeoutMs = 5000;

// Keeps the characters that are safe in a file name.
QString FileNamePart(const QString& text) {
  QString out;
  for (const QChar c : text) {
    const bool safe = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
                      c == u'-' || c == u'.' || c == u'_';
    out += safe ? c : QChar(u'_');
  }
  return out;
}

bool LockHeld(const ChannelPlace& place) {
  QLockFile probe(place.lock);
  probe.setStaleLockTime(0);
  if (probe.tryLock(0)) {
    probe.unlock();
    return false;
  }
  return probe.error() == QLockFile::LockFailedError;
}

}  // namespace

ChannelPlace ChannelPlaceFor(const QString& folder, const QString& waylandDisplay, const QString& display) {
  QString session;
  if (!waylandDisplay.isEmpty()) {
    session = QStringLiteral("wayland-") + FileNamePart(waylandDisplay);
  } else if (!display.isEmpty()) {
    // ":0" and ":0.0" name the same server.
    QString server = display;
    const qsizetype colon = server.lastIndexOf(u':');
    const qsizetype dot = server.indexOf(u'.', colon < 0 ? 0 : colon);
    if (colon >= 0 && dot > colon) server.truncate(dot);
    session = QStringLiteral("x11-") + FileNamePart(server);
  } else {
    session = QStringLiteral("nodisplay");
  }
  const QString base = folder + QStringLiteral("/tapwell-") + session;
  return {base + QStringLiteral(".socket"), base + QStringLiteral(".lock")};
}

std::optional<ChannelPlace> SessionChannelPlace(std::string& why) {
  const std::string folder = platform::RuntimeFolder(why);
  if (folder.empty()) return std::nullopt;
  return ChannelPlaceFor(QString::fromStdString(folder), qEnvironmentVariable("WAYLAND_DISPLAY"),
                         qEnvironmentVariable("DISPLAY"));
}

InstanceServer::InstanceServer(ChannelPlace place, Handler handler, QObject* parent)
    : QObject(parent), place_(std::move(place)), handler_(std::move(handler)) {
  connect(&server_, &QLocalServer::newConnection, this, &InstanceServer::accept);
}

InstanceServer::~InstanceServer() {
  if (server_.isListening()) server_.close();
  if (lock_) lock_->unlock();
}

InstanceServer::Claim InstanceServer::claim(std::string& why) {
  lock_ = std::make_unique<QLockFile>(place_.lock);
  // The lock counts as held for as long as its process lives, however long.
  lock_->setStaleLockTime(0);
  if (!lock_->tryLock(0)) {
    const bool taken = lock_->error() == QLockFile::LockFailedError;
    lock_.reset();
    if (taken) return Claim::Taken;
    why = "cannot make the lock file " + place_.lock.toStdString();
    return Claim::Failed;
  }
  // Whoever listened here before has ended: its socket file is stale.
  QLocalServer::removeServer(place_.socket);
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_.listen(place_.socket)) {
    why = "cannot listen on " + place_.socket.toStdString() + ": " + server_.errorString().toStdString();
    lock_->unlock();
    lock_.reset();
    return Claim::Failed;
  }
  return Claim::Claimed;
}

void InstanceServer::accept() {
  while (QLocalSocket* socket = server_.nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    QTimer::singleShot(kClientTimeoutMs, socket, [socket] { socket->abort(); });
    auto line = std::make_shared<QByteArray>();
    connect(socket, &QLocalSocket::readyRead, this, [this, guarded = QPointer<QLocalSocket>(socket), line] {
      *line += guarded->readAll();
      const qsizetype end = line->indexOf('\n');
      if (end < 0 && line->size() <= kMaxLine) return;
      // One command per connection: whatever follows is not read.
      disconnect(guarded, &QLocalSocket::readyRead, this, nullptr);
      QByteArray answer;
      if (end < 0 || end > kMaxLine) {
        answer = "error the command is too long\n";
      } else {
        const std::string why = handler_ ? handler_(line->left(end).toStdString()) : "not ready";
        answer = why.empty() ? QByteArray("ok\n") : "error " + QByteArray::fromStdString(why) + "\n";
      }
      // The command may have run an event loop in which the client went away.
      if (!guarded) return;
      guarded->write(answer);
      guarded->flush();
      guarded->disconnectFromServer();
    });
  }
}

Delivery SendCommand(const ChannelPlace& place, const std::string& command, int timeoutMs) {
  const QDeadlineTimer deadline(timeoutMs);
  QLocalSocket socket;
  for (;;) {
    socket.connectToServer(place.socket);
    if (socket.waitForConnected(static_cast<int>(deadline.remainingTime()))) break;
    // Nobody listens: either no instance runs, or one holds the lock and is
    // about to listen.
    if (!LockHeld(place)) return {Delivery::Status::NoInstance, {}};
    if (deadline.hasExpired()) return {Delivery::Status::NoAnswer, {}};
    QThread::msleep(20);
  }
  socket.write(QByteArray::fromStdString(command) + '\n');
  socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime()));
  QByteArray answer;
  while (!answer.contains('\n')) {
    if (socket.bytesAvailable() == 0 &&
        !socket.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
      break;
    }
    answer += socket.readAll();
  }
  const qsizetype end = answer.indexOf('\n');
  if (end < 0) return {Delivery::Status::NoAnswer, {}};
  const QByteArray text = answer.left(end);
  if (text == "ok") return {Delivery::Status::Done, {}};
  if (text.startsWith("error ")) return {Delivery::Status::Refused, text.mid(6).toStdString()};
  return {Delivery::Status::Refused, text.toStdString()};
}

}  // namespace tapwell::app
