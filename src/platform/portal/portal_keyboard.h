// Key injection through the desktop's remote control portal
// (org.freedesktop.portal.RemoteDesktop on the session bus), the route on
// desktops whose compositor lends no virtual keyboard to clients (GNOME, KDE).
// The desktop asks the user once per run before it takes any key; a token that
// it hands back lets later runs skip the question where the desktop allows it.
#pragma once

#include <QDBusConnection>
#include <QDBusPendingCall>
#include <QObject>
#include <QVariantMap>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_set>

#include "platform/key_backend.h"
#include "platform/xkb/keymap_model.h"

class QDBusServiceWatcher;
class QEventLoop;

namespace tapwell::platform::portal {

// The file that keeps the desktop's restore token between runs:
// $XDG_CONFIG_HOME/tapwell/portal-token, else ~/.config/tapwell/portal-token.
std::string RestoreTokenFile();

class PortalKeyboard final : public QObject, public KeyBackend {
  Q_OBJECT
 public:
  struct OpenResult {
    std::unique_ptr<PortalKeyboard> keyboard;
    std::string error;  // why there is none: no session bus, no portal, no keyboard device
  };
  // Asks the session bus for the portal and the devices it offers; no session is
  // made yet. Needs a QCoreApplication: the replies arrive on its event loop.
  static OpenResult Open();

  ~PortalKeyboard() override;

  void press(KeyCode key) override { sendCode(key, true); }
  void release(KeyCode key) override { sendCode(key, false); }
  std::optional<CharacterKey> keyForCharacter(char c) override;
  // Sends each character as its symbol; the desktop finds the key. Characters
  // whose symbol no key of the layout carries are not sent (the desktop would
  // drop them) and are returned.
  std::string typeText(std::string_view utf8) override;
  void flush() override;
  // With a failure handler (a program that outlives its scripts), the script
  // after a failure asks the desktop again.
  void scriptEnded() override;
  // The layout the key names follow: "jp" or "us".
  std::string layoutName() const override { return model_.layout() == xkb::KeyLayout::Jp ? "jp" : "us"; }

  // What happens when the desktop refuses the keys, closes the session or leaves
  // the bus: the handler hears why (without one the reason goes to standard
  // error). The rest of that script sends nothing either way. The route is
  // never lost for good: a later script asks the desktop again.
  void setFailureHandler(FailureHandler handler) override { onFailure_ = std::move(handler); }
  bool lost() const override { return false; }

  // Releases every key and button still held, waits until the portal has taken
  // them, and closes the session. Called by the destructor.
  void shutdown() override;

  // The portal is reached over the session bus: there is no socket to watch, and
  // failures arrive as bus signals on the event loop.
  int connectionFd() const override { return -1; }
  void readEvents() override {}
  // The desktop keeps the time and takes each call as a whole: no wake-ups, and
  // nothing for an interrupt to cut short.
  void setWakeupRequest(WakeupRequest) override {}
  void service() override {}
  void setInterruptFd(int) override {}

 private Q_SLOTS:
  void onResponse(uint response, const QVariantMap& results);
  void onClosed(const QVariantMap& details);
  void onPortalGone();

 private:
  PortalKeyboard();

  // Idle until the first key; Starting while the desktop is asked (a key sent
  // meanwhile, from a signal's handler, is dropped); Closed after shutdown;
  // Failed when the desktop said no or went away: no second question in the
  // same run.
  enum class State { Idle, Starting, Started, Closed, Failed };
  // Starts the session on the first key: the desktop's question, then the
  // devices. False when there is none and will be none this run.
  bool ensureSession();
  // Calls a portal method that answers through a request object and waits for
  // its Response; nothing when the call failed (the reason in why). When the
  // answer takes a moment, waitingNotice (if any) goes to standard error.
  std::optional<QVariantMap> request(const QString& method, const QList<QVariant>& args, QVariantMap options,
                                     std::string& why, const char* waitingNotice = nullptr);
  // The first key of a new session, which the desktop may drop.
  void warmUp();
  void notify(const char* method, std::int32_t value, bool down);
  void sendCode(KeyCode key, bool down);
  void sendKeycode(std::uint32_t xKeycode, bool down);
  // Waits until at most `keep` calls are still unanswered; reports the first
  // that failed.
  void settle(std::size_t keep);
  void fail(const std::string& reason);

  QDBusConnection bus_;
  std::unique_ptr<QDBusServiceWatcher> watcher_;
  State state_ = State::Idle;
  QString session_;
  unsigned devices_ = 0;  // 1 keyboard, 2 pointer
  unsigned available_ = 0;
  xkb::KeymapModel model_;
  std::unordered_set<std::uint32_t> keysyms_;  // the symbols of the layout's keys
  std::set<std::uint32_t> down_;               // X keycodes held
  std::set<std::uint32_t> downSyms_;           // keysyms held
  std::set<int> buttons_;                      // evdev button codes held
  std::deque<QDBusPendingCall> pending_;
  bool pointerWarned_ = false;
  FailureHandler onFailure_;
  // The request being waited for.
  QEventLoop* loop_ = nullptr;
  std::optional<std::pair<uint, QVariantMap>> answer_;
};

}  // namespace tapwell::platform::portal
