// A remote control portal for the tests, on a private session bus: it answers
// the calls the program makes as a desktop's portal does, with the user's
// consent given (refused with --refuse, never given nor refused with
// --never-answer, as a dialog the user leaves open), and prints each call as a
// line.
// With --forward-mutter it hands the key and button calls on to a headless
// compositor's own remote desktop session, so the keys truly arrive in a
// window; with --close-after N it ends the session after N key calls, as a
// desktop does when the user revokes the permission. With --keyboard-on-mutter
// it is no portal but a keyboard on the headless compositor's seat, which has
// none until a remote desktop session makes one (clients take a new keyboard
// up asynchronously and lose the first keys meanwhile); with
// --dismiss-on-mutter that keyboard also presses Tab and Space every 300 ms,
// which answers the desktop's own consent dialog with Cancel.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QObject>
#include <QTimer>
#include <QVariantMap>
#include <cstdio>

namespace {

const QString kMutter = QStringLiteral("org.gnome.Mutter.RemoteDesktop");

void Say(const QString& line) {
  std::printf("%s\n", line.toUtf8().constData());
  std::fflush(stdout);
}

QString Sender(const QDBusMessage& message) {
  QString sender = message.service().mid(1);
  sender.replace(QLatin1Char('.'), QLatin1Char('_'));
  return sender;
}

class Session : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Session")
 public Q_SLOTS:
  void Close() {
    Say(QStringLiteral("close"));
    QTimer::singleShot(0, this, [this] {
      QDBusConnection::sessionBus().unregisterObject(path);
      deleteLater();
    });
  }

 public:
  QString path;
};

class Portal : public QObject, protected QDBusContext {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.RemoteDesktop")
  Q_PROPERTY(uint AvailableDeviceTypes READ availableDeviceTypes)
  Q_PROPERTY(uint version READ version)

 public:
  bool refuse = false;
  bool forward = false;
  bool neverAnswer = false;
  int closeAfter = -1;

  uint availableDeviceTypes() const { return 3; }
  uint version() const { return 2; }

 public Q_SLOTS:
  QDBusObjectPath CreateSession(const QVariantMap& options) {
    Say(QStringLiteral("create-session"));
    const QString sender = Sender(message());
    session_ = QStringLiteral("/org/freedesktop/portal/desktop/session/%1/%2")
                   .arg(sender, options.value(QStringLiteral("session_handle_token")).toString());
    auto* session = new Session;
    session->path = session_;
    QDBusConnection::sessionBus().registerObject(session_, session, QDBusConnection::ExportAllSlots);
    return answer(options, 0, {{QStringLiteral("session_handle"), session_}});
  }

  QDBusObjectPath SelectDevices(const QDBusObjectPath&, const QVariantMap& options) {
    const QString token = options.value(QStringLiteral("restore_token")).toString();
    Say(QStringLiteral("select-devices types=%1 persist=%2 token=%3")
            .arg(options.value(QStringLiteral("types")).toUInt())
            .arg(options.value(QStringLiteral("persist_mode")).toUInt())
            .arg(token.isEmpty() ? QStringLiteral("-") : token));
    return answer(options, 0, {});
  }

  QDBusObjectPath Start(const QDBusObjectPath&, const QString&, const QVariantMap& options) {
    Say(refuse ? QStringLiteral("start refused") : QStringLiteral("start"));
    if (refuse) return answer(options, 1, {});
    if (neverAnswer) return QDBusObjectPath(requestPath(options));
    if (forward && !startMutter()) return answer(options, 2, {});
    return answer(options, 0,
                  {{QStringLiteral("devices"), 3u},
                   {QStringLiteral("restore_token"), QStringLiteral("token-from-the-desktop")}});
  }

  void NotifyKeyboardKeycode(const QDBusObjectPath& s, const QVariantMap&, int keycode, uint state) {
    key(s, QStringLiteral("keycode %1 %2").arg(keycode).arg(state), QStringLiteral("NotifyKeyboardKeycode"),
        QVariant::fromValue(uint(keycode)), state);
  }
  void NotifyKeyboardKeysym(const QDBusObjectPath& s, const QVariantMap&, int keysym, uint state) {
    key(s, QStringLiteral("keysym %1 %2").arg(keysym).arg(state), QStringLiteral("NotifyKeyboardKeysym"),
        QVariant::fromValue(uint(keysym)), state);
  }
  void NotifyPointerButton(const QDBusObjectPath& s, const QVariantMap&, int button, uint state) {
    key(s, QStringLiteral("button %1 %2").arg(button).arg(state), QStringLiteral("NotifyPointerButton"),
        QVariant::fromValue(button), state);
  }

 private:
  QString requestPath(const QVariantMap& options) {
    return QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2")
        .arg(Sender(message()), options.value(QStringLiteral("handle_token")).toString());
  }

  // The request object's answer, sent after the call's reply as a portal does.
  QDBusObjectPath answer(const QVariantMap& options, uint response, const QVariantMap& results) {
    const QString path = requestPath(options);
    QTimer::singleShot(0, this, [path, response, results] {
      QDBusMessage signal = QDBusMessage::createSignal(path, QStringLiteral("org.freedesktop.portal.Request"),
                                                       QStringLiteral("Response"));
      signal << response << results;
      QDBusConnection::sessionBus().send(signal);
    });
    return QDBusObjectPath(path);
  }

  void key(const QDBusObjectPath& s, const QString& line, const QString& method, const QVariant& value,
           uint state) {
    if (s.path() != session_ || closed_) {
      sendErrorReply(QDBusError::AccessDenied, QStringLiteral("no such session"));
      return;
    }
    Say(line);
    if (forward) {
      QDBusMessage call = QDBusMessage::createMethodCall(kMutter, mutterSession_,
                                                         kMutter + QStringLiteral(".Session"), method);
      call << value << bool(state != 0);
      QDBusConnection::sessionBus().call(call);
    }
    if (closeAfter > 0 && --closeAfter == 0) {
      closed_ = true;
      QDBusMessage signal = QDBusMessage::createSignal(
          session_, QStringLiteral("org.freedesktop.portal.Session"), QStringLiteral("Closed"));
      signal << QVariantMap();
      QDBusConnection::sessionBus().send(signal);
    }
  }

  bool startMutter() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QDBusReply<QDBusObjectPath> made =
        bus.call(QDBusMessage::createMethodCall(kMutter, QStringLiteral("/org/gnome/Mutter/RemoteDesktop"),
                                                kMutter, QStringLiteral("CreateSession")));
    if (!made.isValid()) {
      Say(QStringLiteral("mutter refused a session: ") + made.error().message());
      return false;
    }
    mutterSession_ = made.value().path();
    const QDBusReply<void> started = bus.call(QDBusMessage::createMethodCall(
        kMutter, mutterSession_, kMutter + QStringLiteral(".Session"), QStringLiteral("Start")));
    if (!started.isValid()) {
      Say(QStringLiteral("mutter refused to start: ") + started.error().message());
      return false;
    }
    return true;
  }

  QString session_;
  QString mutterSession_;
  bool closed_ = false;
};

}  // namespace

// A remote desktop session of the compositor's own, until it is ended; with
// dismiss, it presses Tab and Space.
int KeyboardOnMutter(QCoreApplication& app, bool dismiss) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  const QDBusReply<QDBusObjectPath> made = bus.call(QDBusMessage::createMethodCall(
      kMutter, QStringLiteral("/org/gnome/Mutter/RemoteDesktop"), kMutter, QStringLiteral("CreateSession")));
  if (!made.isValid()) return 1;
  const QString session = made.value().path();
  const QString iface = kMutter + QStringLiteral(".Session");
  if (!QDBusReply<void>(
           bus.call(QDBusMessage::createMethodCall(kMutter, session, iface, QStringLiteral("Start"))))
           .isValid()) {
    return 1;
  }
  Say(QStringLiteral("ready"));
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    for (const uint key : {15u, 57u}) {  // evdev Tab, Space
      for (const bool down : {true, false}) {
        QDBusMessage call =
            QDBusMessage::createMethodCall(kMutter, session, iface, QStringLiteral("NotifyKeyboardKeycode"));
        call << key << down;
        bus.call(call);
      }
    }
  });
  if (dismiss) timer.start(300);
  return app.exec();
}

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QStringList args = app.arguments();
  if (args.contains(QStringLiteral("--keyboard-on-mutter"))) return KeyboardOnMutter(app, false);
  if (args.contains(QStringLiteral("--dismiss-on-mutter"))) return KeyboardOnMutter(app, true);
  Portal portal;
  portal.refuse = args.contains(QStringLiteral("--refuse"));
  portal.forward = args.contains(QStringLiteral("--forward-mutter"));
  portal.neverAnswer = args.contains(QStringLiteral("--never-answer"));
  if (const qsizetype i = args.indexOf(QStringLiteral("--close-after")); i >= 0 && i + 1 < args.size()) {
    portal.closeAfter = args[i + 1].toInt();
  }
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), &portal,
                          QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties) ||
      !bus.registerService(QStringLiteral("org.freedesktop.portal.Desktop"))) {
    std::fprintf(stderr, "test portal: cannot register on the session bus\n");
    return 1;
  }
  Say(QStringLiteral("ready"));
  return app.exec();
}

#include "test_portal.moc"
