#include "platform/portal/portal_keyboard.h"

#include <linux/input-event-codes.h>
#include <sys/stat.h>
#include <unistd.h>
#include <xkbcommon/xkbcommon-keysyms.h>
#include <xkbcommon/xkbcommon.h>

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingReply>
#include <QDBusReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QEventLoop>
#include <QString>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <sstream>

#include "core/atomic_file.h"
#include "platform/xkb/text_keys.h"
#include "platform/xkb/text_rounds.h"

namespace tapwell::platform::portal {

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.RemoteDesktop");
const QString kRequest = QStringLiteral("org.freedesktop.portal.Request");
const QString kSession = QStringLiteral("org.freedesktop.portal.Session");

constexpr unsigned kKeyboardDevice = 1;
constexpr unsigned kPointerDevice = 2;
// The desktop keeps the permission until the user takes it back.
constexpr unsigned kPersistUntilRevoked = 2;
// How long a plain method call may take before the portal counts as gone.
constexpr int kCallTimeoutMs = 25000;
// Notify calls sent ahead of their answers: enough to keep the bus busy, below
// the bus's limit of pending replies per connection (128 unless configured).
constexpr std::size_t kMaxUnanswered = 64;
// How long the desktop may take to answer Start before the user is told that it
// waits for them: a stored permission answers well within it.
constexpr std::chrono::milliseconds kWaitingNoticeAfter{500};
// The pause after the warm-up key of a new session.
constexpr std::chrono::milliseconds kWarmUpTime{250};

std::string Text(const QString& s) {
  return s.toStdString();
}

// Evdev codes of the modifier keys, which exact text lifts while it types.
bool IsModifier(std::uint32_t xKeycode) {
  switch (xKeycode - 8) {
    case KEY_LEFTSHIFT:
    case KEY_RIGHTSHIFT:
    case KEY_LEFTCTRL:
    case KEY_RIGHTCTRL:
    case KEY_LEFTALT:
    case KEY_RIGHTALT:
    case KEY_LEFTMETA:
    case KEY_RIGHTMETA:
      return true;
    default:
      return false;
  }
}

std::string ReadToken() {
  std::ifstream in(RestoreTokenFile());
  std::string token;
  std::getline(in, token);
  return token;
}

void SaveToken(const std::string& token) {
  const std::string file = RestoreTokenFile();
  const std::string folder = file.substr(0, file.rfind('/'));
  const std::string parent = folder.substr(0, folder.rfind('/'));
  ::mkdir(parent.c_str(), 0700);
  ::mkdir(folder.c_str(), 0700);
  try {
    WriteFileAtomic(file, token + "\n", 0600);
  } catch (const std::exception& e) {
    // Only the next run's question depends on it.
    std::fprintf(stderr, "tapwell: the desktop's permission is not kept for later runs: %s\n", e.what());
  }
}

}  // namespace

std::string RestoreTokenFile() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::string folder;
  if (config != nullptr && config[0] == '/') {
    folder = config;
  } else {
    const char* home = std::getenv("HOME");
    folder = std::string(home ? home : "") + "/.config";
  }
  return folder + "/tapwell/portal-token";
}

PortalKeyboard::PortalKeyboard() : bus_(QDBusConnection::sessionBus()) {}

PortalKeyboard::OpenResult PortalKeyboard::Open() {
  OpenResult result;
  if (QCoreApplication::instance() == nullptr) {
    result.error = "the remote control portal needs the program's event loop.";
    return result;
  }
  std::unique_ptr<PortalKeyboard> keyboard(new PortalKeyboard);
  if (!keyboard->bus_.isConnected()) {
    result.error =
        "there is no session bus to reach the desktop's remote control portal (DBUS_SESSION_BUS_ADDRESS).";
    return result;
  }
  QDBusMessage get = QDBusMessage::createMethodCall(
      kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
  get << kInterface << QStringLiteral("AvailableDeviceTypes");
  const QDBusReply<QDBusVariant> types = keyboard->bus_.call(get, QDBus::Block, kCallTimeoutMs);
  if (!types.isValid()) {
    result.error = "the session bus has no remote control portal (org.freedesktop.portal.RemoteDesktop): " +
                   Text(types.error().message());
    return result;
  }
  keyboard->available_ = types.value().variant().toUInt();
  if ((keyboard->available_ & kKeyboardDevice) == 0) {
    result.error = "the desktop's remote control portal offers no keyboard.";
    return result;
  }

  // Key names go as keycodes of the keyboard the desktop is told to use
  // (XKB_DEFAULT_LAYOUT, else US); exact text goes as symbols, which the
  // desktop finds on its own layout.
  xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
  xkb_keymap* keymap =
      context ? xkb_keymap_new_from_names(context, nullptr, XKB_KEYMAP_COMPILE_NO_FLAGS) : nullptr;
  if (keymap == nullptr) {
    if (context) xkb_context_unref(context);
    result.error = "cannot compile a keymap for the key names (libxkbcommon).";
    return result;
  }
  const char* layouts = std::getenv("XKB_DEFAULT_LAYOUT");
  keyboard->model_.load(xkb::CoreViewOf(keymap), xkb::LayoutFromXkbLayouts(layouts ? layouts : "us"));
  // The symbols the desktop finds a key for, as far as that keyboard tells.
  for (xkb_keycode_t kc = xkb_keymap_min_keycode(keymap); kc <= xkb_keymap_max_keycode(keymap); ++kc) {
    for (xkb_level_index_t level = 0; level < xkb_keymap_num_levels_for_key(keymap, kc, 0); ++level) {
      const xkb_keysym_t* syms = nullptr;
      const int n = xkb_keymap_key_get_syms_by_level(keymap, kc, 0, level, &syms);
      for (int k = 0; k < n; ++k) keyboard->keysyms_.insert(syms[k]);
    }
  }
  xkb_keymap_unref(keymap);
  xkb_context_unref(context);

  keyboard->watcher_ = std::make_unique<QDBusServiceWatcher>(kService, keyboard->bus_,
                                                             QDBusServiceWatcher::WatchForUnregistration);
  QObject::connect(keyboard->watcher_.get(), &QDBusServiceWatcher::serviceUnregistered, keyboard.get(),
                   &PortalKeyboard::onPortalGone);
  result.keyboard = std::move(keyboard);
  return result;
}

PortalKeyboard::~PortalKeyboard() {
  shutdown();
}

std::optional<QVariantMap> PortalKeyboard::request(const QString& method, const QList<QVariant>& args,
                                                   QVariantMap options, std::string& why,
                                                   const char* waitingNotice) {
  static unsigned counter = 0;
  const QString token = QStringLiteral("tapwell%1_%2").arg(::getpid()).arg(++counter);
  QString sender = bus_.baseService().mid(1);
  sender.replace(QLatin1Char('.'), QLatin1Char('_'));
  // Listening before the call: the answer may come before the call returns.
  QString path = kPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token;
  const char* slot = SLOT(onResponse(uint, QVariantMap));
  bus_.connect(kService, path, kRequest, QStringLiteral("Response"), this, slot);
  options.insert(QStringLiteral("handle_token"), token);
  QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
  QList<QVariant> all = args;
  all << options;
  call.setArguments(all);
  answer_.reset();
  const QDBusReply<QDBusObjectPath> handle = bus_.call(call, QDBus::Block, kCallTimeoutMs);
  if (!handle.isValid()) {
    bus_.disconnect(kService, path, kRequest, QStringLiteral("Response"), this, slot);
    why = "the remote control portal refused " + Text(method) + ": " + Text(handle.error().message());
    return std::nullopt;
  }
  if (handle.value().path() != path && !answer_) {
    // A portal older than the handle token names its own request object.
    bus_.disconnect(kService, path, kRequest, QStringLiteral("Response"), this, slot);
    path = handle.value().path();
    bus_.connect(kService, path, kRequest, QStringLiteral("Response"), this, slot);
  }
  if (!answer_ && state_ != State::Failed) {
    // The wait runs inside a step of the script: clicks and keys meant for the
    // program's own windows wait too, so that no second script (or Test) starts
    // in the middle of this one while the desktop asks.
    QEventLoop loop;
    loop_ = &loop;
    // An answer that does not come at once waits for the user: say what for.
    QTimer notice;
    notice.setSingleShot(true);
    if (waitingNotice != nullptr) {
      QObject::connect(&notice, &QTimer::timeout, [waitingNotice] {
        const std::string text = std::string("tapwell: ") + waitingNotice + "\n";
        [[maybe_unused]] const auto written = ::write(2, text.data(), text.size());
      });
      notice.start(kWaitingNoticeAfter);
    }
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    loop_ = nullptr;
  }
  bus_.disconnect(kService, path, kRequest, QStringLiteral("Response"), this, slot);
  if (state_ == State::Failed) return std::nullopt;
  if (!answer_) {
    // The program is ending (a signal arrived while the desktop asked).
    state_ = State::Failed;
    why.clear();
    return std::nullopt;
  }
  const auto [response, results] = *answer_;
  answer_.reset();
  if (response == 1) {
    why = "the desktop did not allow this program to send keys (the question was answered no or closed).";
    return std::nullopt;
  }
  if (response != 0) {
    why = "the desktop ended the request for remote control (" + Text(method) + ").";
    return std::nullopt;
  }
  return results;
}

void PortalKeyboard::onResponse(uint response, const QVariantMap& results) {
  answer_ = std::make_pair(response, results);
  if (loop_ != nullptr) loop_->quit();
}

void PortalKeyboard::onClosed(const QVariantMap&) {
  // A refusal closes the session right after its answer: the answer says why.
  if (answer_) return;
  fail("the desktop ended the remote control session.");
}

void PortalKeyboard::onPortalGone() {
  if (state_ == State::Failed) return;
  fail("the desktop's remote control portal left the session bus.");
}

bool PortalKeyboard::ensureSession() {
  if (state_ == State::Started) return true;
  if (state_ != State::Idle) return false;
  state_ = State::Starting;
  std::string why;
  static unsigned sessions = 0;
  QVariantMap options{{QStringLiteral("session_handle_token"),
                       QStringLiteral("tapwell%1_%2").arg(::getpid()).arg(++sessions)}};
  const auto created = request(QStringLiteral("CreateSession"), {}, options, why);
  if (!created) {
    if (!why.empty()) fail(why);
    return false;
  }
  session_ = created->value(QStringLiteral("session_handle")).toString();
  if (session_.isEmpty()) {
    fail("the remote control portal made no session.");
    return false;
  }
  bus_.connect(kService, session_, kSession, QStringLiteral("Closed"), this, SLOT(onClosed(QVariantMap)));
  const QDBusObjectPath session(session_);

  QVariantMap select{{QStringLiteral("types"), available_ & (kKeyboardDevice | kPointerDevice)},
                     {QStringLiteral("persist_mode"), kPersistUntilRevoked}};
  const std::string stored = ReadToken();
  if (!stored.empty()) select.insert(QStringLiteral("restore_token"), QString::fromStdString(stored));
  if (!request(QStringLiteral("SelectDevices"), {QVariant::fromValue(session)}, select, why)) {
    if (!why.empty()) fail(why);
    return false;
  }
  // The desktop asks the user here, unless the stored token stands for a yes.
  const auto started =
      request(QStringLiteral("Start"), {QVariant::fromValue(session), QString()}, {}, why,
              "waiting for the desktop's permission: switch on remote interaction, then Share");
  if (!started) {
    if (!why.empty()) fail(why);
    return false;
  }
  devices_ = started->value(QStringLiteral("devices")).toUInt();
  if ((devices_ & kKeyboardDevice) == 0) {
    fail("the desktop allowed no keyboard to this program.");
    return false;
  }
  const QString token = started->value(QStringLiteral("restore_token")).toString();
  if (!token.isEmpty() && token.toStdString() != stored) SaveToken(token.toStdString());
  state_ = State::Started;
  warmUp();
  return state_ == State::Started;
}

void PortalKeyboard::warmUp() {
  // Mutter drops the first events of a new session's keyboard, and for a moment
  // after them more may go (measured on a headless mutter: from none to the
  // first six; a lone Shift and a quarter second after it, none in a row of
  // runs). A lone Shift does nothing in the focused window; at most its release
  // arrives without its press.
  notify("NotifyKeyboardKeycode", KEY_LEFTSHIFT, true);
  notify("NotifyKeyboardKeycode", KEY_LEFTSHIFT, false);
  settle(0);
  if (state_ != State::Started) return;
  QEventLoop loop;
  loop_ = &loop;
  QTimer::singleShot(kWarmUpTime, &loop, &QEventLoop::quit);
  loop.exec(QEventLoop::ExcludeUserInputEvents);
  loop_ = nullptr;
}

void PortalKeyboard::notify(const char* method, std::int32_t value, bool down) {
  QDBusMessage call =
      QDBusMessage::createMethodCall(kService, kPath, kInterface, QString::fromLatin1(method));
  call << QVariant::fromValue(QDBusObjectPath(session_)) << QVariantMap() << value << uint(down ? 1 : 0);
  pending_.push_back(bus_.asyncCall(call, kCallTimeoutMs));
  if (pending_.size() > kMaxUnanswered) settle(kMaxUnanswered / 2);
}

void PortalKeyboard::settle(std::size_t keep) {
  while (pending_.size() > keep && state_ == State::Started) {
    QDBusPendingCall call = pending_.front();
    pending_.pop_front();
    call.waitForFinished();
    if (call.isError()) {
      // The answer may come before the signal that tells why: the portal left,
      // or the session it ended no longer takes keys.
      const QDBusReply<bool> there = bus_.interface()->call(QStringLiteral("NameHasOwner"), kService);
      if (there.isValid() && !there.value()) {
        fail("the desktop's remote control portal left the session bus.");
      } else {
        fail("the desktop ended the remote control session (" + Text(call.error().message()) + ").");
      }
    }
  }
}

void PortalKeyboard::sendKeycode(std::uint32_t xKeycode, bool down) {
  if (down) {
    down_.insert(xKeycode);
  } else {
    down_.erase(xKeycode);
  }
  // Evdev codes: X keycodes less 8.
  notify("NotifyKeyboardKeycode", static_cast<std::int32_t>(xKeycode) - 8, down);
}

void PortalKeyboard::sendCode(KeyCode vk, bool down) {
  const xkb::KeyTarget target = model_.resolve(vk);
  if (target.kind == xkb::KeyTarget::Kind::Nothing) return;
  // A key never pressed is not released: it would ask the desktop for nothing.
  // Before the session nothing is held: a release would ask the desktop for
  // nothing (and one sent while the dialog is open must not ask again).
  if (!down && state_ != State::Started) return;
  if (!ensureSession()) return;
  switch (target.kind) {
    case xkb::KeyTarget::Kind::Nothing:
      return;
    case xkb::KeyTarget::Kind::Button: {
      if ((devices_ & kPointerDevice) == 0) {
        if (!pointerWarned_) {
          std::fprintf(stderr, "tapwell: the desktop allowed no pointer: mouse buttons are not sent\n");
          pointerWarned_ = true;
        }
        return;
      }
      const int code = xkb::EvdevButton(target.button);
      if (code == 0) return;
      if (!down && buttons_.count(code) == 0) return;
      if (down) {
        buttons_.insert(code);
      } else {
        buttons_.erase(code);
      }
      notify("NotifyPointerButton", code, down);
      return;
    }
    case xkb::KeyTarget::Kind::Keycode:
      if (!down && down_.count(target.keycode) == 0) return;
      sendKeycode(target.keycode, down);
      return;
    case xkb::KeyTarget::Kind::Spare:
      // A key the keyboard lacks (F13, Kanji, ...): the desktop finds it by symbol.
      if (!down && downSyms_.count(target.keysym) == 0) return;
      if (down) {
        downSyms_.insert(target.keysym);
      } else {
        downSyms_.erase(target.keysym);
      }
      notify("NotifyKeyboardKeysym", static_cast<std::int32_t>(target.keysym), down);
      return;
  }
}

std::optional<CharacterKey> PortalKeyboard::keyForCharacter(char c) {
  return CharacterKeyFromScan(model_.vkKeyScan(c));
}

std::string PortalKeyboard::typeText(std::string_view utf8) {
  const std::vector<char32_t> characters = xkb::DecodeUtf8(utf8);
  // The desktop types a symbol only when a key of its keymap carries it and
  // drops any other without a word: those are not sent, and are reported.
  const xkb::TextPlan plan = xkb::PlanText(
      characters, [this](char32_t c) { return keysyms_.count(xkb::KeysymForCharacter(c)) != 0; },
      xkb::KeysymForCharacter, {}, 1);
  const std::string untyped = xkb::EncodeUtf8(plan.untyped);
  if (plan.untyped.size() == characters.size() || !ensureSession()) return untyped;
  // The modifiers the script holds would change the characters: they are up
  // while the text is typed.
  std::vector<std::uint32_t> lifted;
  for (const std::uint32_t kc : down_) {
    if (IsModifier(kc)) lifted.push_back(kc);
  }
  for (const std::uint32_t kc : lifted) sendKeycode(kc, false);
  for (std::size_t i = 0; i < characters.size() && state_ == State::Started; ++i) {
    if (plan.strokes[i].kind != xkb::TextStroke::Kind::Layout) continue;
    const auto sym = static_cast<std::int32_t>(xkb::KeysymForCharacter(characters[i]));
    notify("NotifyKeyboardKeysym", sym, true);
    notify("NotifyKeyboardKeysym", sym, false);
  }
  for (const std::uint32_t kc : lifted) sendKeycode(kc, true);
  return untyped;
}

void PortalKeyboard::flush() {
  settle(0);
}

void PortalKeyboard::scriptEnded() {
  if (state_ != State::Failed || !onFailure_) return;
  // The failed session is let go: its late Closed signal must not fail the
  // next one, and a session the desktop still holds is closed.
  if (!session_.isEmpty()) {
    bus_.disconnect(kService, session_, kSession, QStringLiteral("Closed"), this,
                    SLOT(onClosed(QVariantMap)));
    bus_.asyncCall(QDBusMessage::createMethodCall(kService, session_, kSession, QStringLiteral("Close")));
  }
  state_ = State::Idle;
  session_.clear();
  devices_ = 0;
}

void PortalKeyboard::fail(const std::string& reason) {
  if (state_ == State::Failed) return;
  state_ = State::Failed;
  pending_.clear();
  down_.clear();
  downSyms_.clear();
  buttons_.clear();
  if (loop_ != nullptr) loop_->quit();
  if (onFailure_) {
    onFailure_(reason);
  } else {
    std::fprintf(stderr, "tapwell: %s\n", reason.c_str());
  }
}

void PortalKeyboard::shutdown() {
  if (state_ != State::Started) return;
  while (!down_.empty()) sendKeycode(*down_.begin(), false);
  while (!downSyms_.empty()) {
    const std::uint32_t sym = *downSyms_.begin();
    downSyms_.erase(downSyms_.begin());
    notify("NotifyKeyboardKeysym", static_cast<std::int32_t>(sym), false);
  }
  while (!buttons_.empty()) {
    const int code = *buttons_.begin();
    buttons_.erase(buttons_.begin());
    notify("NotifyPointerButton", code, false);
  }
  settle(0);
  if (state_ != State::Started) return;
  bus_.disconnect(kService, session_, kSession, QStringLiteral("Closed"), this, SLOT(onClosed(QVariantMap)));
  watcher_.reset();
  QDBusMessage close = QDBusMessage::createMethodCall(kService, session_, kSession, QStringLiteral("Close"));
  bus_.call(close, QDBus::Block, kCallTimeoutMs);
  state_ = State::Closed;
  session_.clear();
}

}  // namespace tapwell::platform::portal
