// The windowed program in a Wayland session: native windows on a headless sway
// with no X display, its tray icon at the bar's StatusNotifierItem host, a script
// tested into a native window; and what it says when the session offers less.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <functional>
#include <sstream>

#include "sway_session.h"

namespace {

using Strings = std::vector<std::string>;
using ::testing::HasSubstr;
using ::testing::Not;

const std::string kPauseNotice =
    "tapwell: the Pause key stops scripts only in an X11 session; use the tray menu's abort item or 'tapwell "
    "--abort'; scripts run without a stop key\n";

// A private session bus that the compositor (as nobody) and the tests (as
// whoever runs them) share.
class SessionBus {
 public:
  static std::unique_ptr<SessionBus> Start(std::string& why) {
    auto bus = std::unique_ptr<SessionBus>(new SessionBus);
    const std::string config = bus->folder_.file("bus.conf");
    xs::WriteFile(config,
                  "<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen><auth>EXTERNAL</auth>"
                  "<policy context=\"default\"><allow user=\"*\"/><allow send_destination=\"*\"/>"
                  "<allow receive_sender=\"*\"/><allow own=\"*\"/></policy></busconfig>\n");
    bus->daemon_ =
        xs::Child::Start({"/usr/bin/dbus-daemon", "--config-file=" + config, "--nofork", "--print-address=1"},
                         xs::Environment({}));
    if (!bus->daemon_ ||
        !bus->daemon_->waitForLine([](const std::string& l) { return l.rfind("unix:", 0) == 0; })) {
      why = "dbus-daemon did not start: " + (bus->daemon_ ? bus->daemon_->errText() : std::string());
      return nullptr;
    }
    bus->address_ = bus->daemon_->lines().back();
    return bus;
  }
  const std::string& address() const { return address_; }

  // The processes whose icons the StatusNotifierItem watcher has registered.
  std::vector<pid_t> registeredItemOwners() const {
    std::vector<pid_t> owners;
    std::istringstream items(
        send({"--dest=org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher",
              "org.freedesktop.DBus.Properties.Get", "string:org.kde.StatusNotifierWatcher",
              "string:RegisteredStatusNotifierItems"}));
    for (std::string word; items >> word;) {
      if (word.size() < 3 || word.front() != '"') continue;
      const std::string service = word.substr(1, word.find_first_of("/\"", 1) - 1);
      std::istringstream reply(
          send({"--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
                "org.freedesktop.DBus.GetConnectionUnixProcessID", "string:" + service}));
      for (std::string w; reply >> w;) {
        if (w == "uint32" && reply >> w) owners.push_back(static_cast<pid_t>(std::stol(w)));
      }
    }
    return owners;
  }

 private:
  SessionBus() = default;
  std::string send(const Strings& args) const {
    Strings argv = {"/usr/bin/dbus-send", "--bus=" + address_, "--print-reply"};
    argv.insert(argv.end(), args.begin(), args.end());
    return xs::Run(argv, xs::Environment({})).out;
  }
  xs::TempFolder folder_;
  std::unique_ptr<xs::Child> daemon_;
  std::string address_;
};

// A window as the compositor shows it.
struct View {
  std::string title;
  std::string appId;
  pid_t pid = 0;
  int width = 0;
};

std::vector<View> Views(const wl::Sway& sway) {
  const xs::Result tree =
      xs::Run({"/usr/bin/swaymsg", "-s", sway.ipcSocket(), "-r", "-t", "get_tree"}, xs::Environment({}));
  std::vector<View> views;
  std::function<void(const QJsonObject&)> walk = [&](const QJsonObject& node) {
    if (node["pid"].toInt() > 0) {
      views.push_back({node["name"].toString().toStdString(), node["app_id"].toString().toStdString(),
                       node["pid"].toInt(), node["rect"].toObject()["width"].toInt()});
    }
    for (const char* list : {"nodes", "floating_nodes"})
      for (const QJsonValue& child : node[list].toArray()) walk(child.toObject());
  };
  walk(QJsonDocument::fromJson(QByteArray::fromStdString(tree.out)).object());
  return views;
}

bool Sway(const wl::Sway& sway, const std::string& command) {
  return xs::Run({"/usr/bin/swaymsg", "-s", sway.ipcSocket(), command}, xs::Environment({})).code == 0;
}

// The windowed program as a native client of sway: a home and runtime folder of
// its own, no X display, the toolkit's platform left to the program.
std::unique_ptr<xs::Child> StartGui(const wl::Sway& sway, const xs::TempFolder& home, Strings args,
                                    Strings env = {}) {
  Strings argv = {xs::TapwellPath()};
  argv.insert(argv.end(), args.begin(), args.end());
  ::mkdir(home.file("run").c_str(), 0700);
  Strings all = {"WAYLAND_DISPLAY=" + sway.socketPath(),
                 "XDG_RUNTIME_DIR=" + home.file("run"),
                 "HOME=" + home.path(),
                 "XDG_CONFIG_HOME=" + home.file("config"),
                 "XDG_DATA_HOME=" + home.file("data"),
                 "QT_QPA_PLATFORM",
                 "DBUS_SESSION_BUS_ADDRESS"};
  all.insert(all.end(), env.begin(), env.end());
  return xs::Child::Start(argv, sway.env(all));
}

// A session bus, and sway with a bar whose tray hosts StatusNotifierItems.
#define WL_START_DESKTOP(bus, sway)                                                      \
  XS_NEED_TOOL(dbus_, "dbus-daemon");                                                    \
  std::string bus##_why;                                                                 \
  auto bus = SessionBus::Start(bus##_why);                                               \
  ASSERT_TRUE(bus) << bus##_why;                                                         \
  if (!wl::SwayInstalled()) {                                                            \
    if (xs::InCi()) FAIL() << "sway is not installed under CI";                          \
    GTEST_SKIP() << "sway is not installed (Debian: sway)";                              \
  }                                                                                      \
  std::string sway##_why;                                                                \
  auto sway = wl::Sway::Start(sway##_why, "bar {\n  position top\n  tray_output *\n}\n", \
                              {"DBUS_SESSION_BUS_ADDRESS=" + bus->address()});           \
  ASSERT_TRUE(sway) << sway##_why;

TEST(WindowsOnSway, MainWindowTrayIconAndATestedScriptInANativeWindow) {
  WL_START_DESKTOP(bus, sway);
  std::string why;
  ASSERT_TRUE(sway->addKeyboard("us", why)) << why;
  auto receiver = wl::Receiver::Start(*sway, why);
  ASSERT_TRUE(receiver) << why;
  // The test's own keyboard types the script into the script box. It exists
  // well before its first key: a keyboard that types at once loses its first keys.
  auto typist = tapwell::platform::wayland::WaylandKeyboard::Open();
  ASSERT_TRUE(typist.keyboard) << typist.error;
  xs::TempFolder home;
  auto gui = StartGui(*sway, home, {}, {"DBUS_SESSION_BUS_ADDRESS=" + bus->address()});
  ASSERT_TRUE(gui);

  // After the splash, the main window: a native client (no X display is set).
  // Keys go to the splash until it has gone.
  View main;
  ASSERT_TRUE(xs::WaitUntil([&] {
    gui->drain();
    main = {};
    bool splash = false;
    for (const View& v : Views(*sway)) {
      if (v.pid != gui->pid()) continue;
      if (v.title == "Tapwell" && v.width == 491) main = v;
      splash = splash || v.title == "startup";
    }
    return main.pid != 0 && !splash;
  })) << gui->errText();
  EXPECT_EQ(main.appId, "tapwell");
  ASSERT_TRUE(xs::WaitUntil([&] {
    const std::vector<pid_t> owners = bus->registeredItemOwners();
    return std::find(owners.begin(), owners.end(), gui->pid()) != owners.end();
  })) << "the tray icon did not register with the bar's watcher";

  // Keys only: a window that has just appeared takes keys at once, clicks only
  // once the compositor has placed it. The focus starts on the first reservation
  // list; three tabs on is the script box, two more the Test button. The script
  // waits two seconds, time enough to hand the focus to the receiver.
  const auto stroke = [&](tapwell::platform::KeyCode key, int times) {
    for (int i = 0; i < times; ++i) {
      typist.keyboard->press(key);
      typist.keyboard->release(key);
    }
  };
  constexpr tapwell::platform::KeyCode kTab = 0x09, kSpace = 0x20;
  stroke(kTab, 3);
  typist.keyboard->typeText(R"(!2"abc"_enter)");
  stroke(kTab, 2);
  stroke(kSpace, 1);
  // Gone only once the compositor has handled its keys: they come before the
  // focus moves.
  typist.keyboard.reset();
  ASSERT_TRUE(Sway(*sway, "[app_id=wl_receiver] focus"));

  const bool arrived = receiver->waitFor("release Return");
  gui->drain();
  ASSERT_TRUE(arrived) << gui->errText();
  EXPECT_EQ(receiver->events(), (Strings{"press a", "release a", "press b", "release b", "press c",
                                         "release c", "press Return", "text abc", "release Return"}));
  // No toolkit warnings: the one line is the stop key's.
  EXPECT_EQ(gui->errText(), kPauseNotice);
}

TEST(WindowsOnSway, WithoutAnyDisplayTheWindowsEndWithCodeThreeAndSayWhy) {
  const xs::Result r =
      xs::Run({xs::TapwellPath()}, xs::Environment({"WAYLAND_DISPLAY=tapwell-no-such-socket",
                                                    "XDG_RUNTIME_DIR=/tmp", "DISPLAY", "QT_QPA_PLATFORM"}));
  EXPECT_EQ(r.code, 3) << r.err;
  EXPECT_THAT(r.err, HasSubstr("DISPLAY is not set"));
  EXPECT_THAT(r.err, HasSubstr("cannot connect to the Wayland display \"tapwell-no-such-socket\""));
  EXPECT_THAT(r.err, Not(HasSubstr("Aborted")));
}

TEST(XWaylandOnly, TheWindowsSayItOnceBesideTheMainWindow) {
  XS_NEED_TOOL(trayer, "trayer");
  XS_START_X(x);
  xs::Observer observer(*x);
  ASSERT_TRUE(observer.ok());
  auto tray = xs::StartTrayer(*x);
  ASSERT_TRUE(tray);
  ASSERT_TRUE(xs::WaitUntil([&] { return observer.trayHostPresent(); }));
  // A Wayland session whose compositor cannot be reached: keys go over XTest.
  xs::Gui gui = xs::Gui::Start(*x, {}, {"WAYLAND_DISPLAY=tapwell-no-such-socket"});
  ASSERT_TRUE(gui.child);
  // The main window and, beside it, the notice: both titled with the program's name.
  ASSERT_TRUE(xs::WaitUntil([&] {
    gui.drain();
    return observer.viewableWindowsNamed(gui.child->pid(), "Tapwell").size() == 2;
  })) << gui.child->errText();
  const std::string notice = "they reach XWayland windows only";
  EXPECT_THAT(gui.child->errText(), HasSubstr(notice));
  EXPECT_EQ(gui.child->errText().find(notice), gui.child->errText().rfind(notice));
}

}  // namespace
