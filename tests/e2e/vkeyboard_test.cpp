// The virtual keyboard in the real program: opened from the layout "sample1" with
// the keyboard alone, its keys clicked with the mouse, the script box saved as the
// shortcut (which shows what the box holds), and the script then run by the
// reservation into a receiving window.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "x_session.h"

namespace {

namespace fs = std::filesystem;

// The program's windows, driven through xdotool as a user would.
class Desktop {
 public:
  Desktop(const xs::XServer& server, xs::Observer& x, pid_t pid) : server_(server), x_(x), pid_(pid) {}

  // Waits for a viewable window of the program named name that pred accepts; its
  // id, or 0.
  unsigned long waitForWindow(const std::string& name,
                              const std::function<bool(const xs::Observer::Geometry&)>& pred) {
    unsigned long found = 0;
    xs::WaitUntil([&] {
      for (unsigned long w : x_.viewableWindowsNamed(pid_, name)) {
        if (pred(x_.geometry(w))) found = w;
      }
      return found != 0;
    });
    return found;
  }

  // Keys separated by blanks, one after the other.
  bool key(const std::string& keys) {
    xs::Strings args{"key", "--delay", "40"};
    std::istringstream names(keys);
    for (std::string name; names >> name;) args.push_back(name);
    return xs::Xdotool(server_, args);
  }
  bool type(const std::string& text) { return xs::Xdotool(server_, {"type", "--delay", "40", text}); }
  bool click(unsigned long window, int x, int y) {
    return xs::Xdotool(server_, {"mousemove", "--sync", "--window", std::to_string(window), std::to_string(x),
                                 std::to_string(y), "click", "1"});
  }

 private:
  const xs::XServer& server_;
  xs::Observer& x_;
  pid_t pid_;
};

// The centre of the key captioned caption in a layout file, in the keyboard's
// client coordinates.
bool KeyCentre(const fs::path& layout, const std::string& caption, int& x, int& y) {
  std::ifstream in(layout, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line, '\r');) {
    if (!line.empty() && line.front() == '\n') line.erase(0, 1);
    if (line.size() < 16 || line.substr(16) != caption) continue;
    const int top = std::stoi(line.substr(0, 4)), left = std::stoi(line.substr(4, 4));
    const int height = std::stoi(line.substr(8, 4)), width = std::stoi(line.substr(12, 4));
    x = left + width / 2;
    y = top + height / 2;
    return true;
  }
  return false;
}

TEST(VirtualKeyboard, KeysClickedWithTheMouseFillTheScriptBoxThatThenRunsIntoAWindow) {
  XS_NEED_TOOL(xdotool, "xdotool");
  XS_START_X(server);
  const fs::path layout = fs::path(TAPWELL_SOURCE_DIR) / "packaging" / "layouts" / "sample1";
  // The program folder of a build-tree run has no "sample1": the shipped one is read.
  ASSERT_FALSE(fs::exists(fs::path(xs::TapwellPath()).parent_path() / "sample1"));

  // Under AddressSanitizer: the keymap library of Qt's X11 plugin copies names
  // with strndup from buffers that are not NUL-terminated, which strict string
  // checks take for an overflow.
  const char* asan = std::getenv("ASAN_OPTIONS");
  const std::string asanOptions =
      "ASAN_OPTIONS=" + std::string(asan ? asan : "") + (asan && *asan ? ":" : "") + "strict_string_checks=0";
  xs::Gui gui = xs::Gui::Start(*server, {}, {asanOptions});
  ASSERT_TRUE(gui.child);
  xs::Observer x(*server);
  ASSERT_TRUE(x.ok());
  const pid_t pid = gui.child->pid();
  Desktop desktop(*server, x, pid);

  // After the splash: the main window (491 wide) and, without a notification
  // area, the box that says so; the box is closed first, as a user would.
  unsigned long main = 0;
  unsigned long box = 0;
  ASSERT_TRUE(xs::WaitUntil([&] {
    gui.drain();
    main = box = 0;
    for (unsigned long w : x.viewableWindowsNamed(pid, "Tapwell"))
      (x.geometry(w).width == 491 ? main : box) = w;
    return main != 0 && box != 0;
  })) << gui.child->errText();
  x.requestClose(box);
  ASSERT_TRUE(xs::WaitUntil([&] { return x.viewableWindowsNamed(pid, "Tapwell").size() == 1; }));
  const int menuHeight = x.geometry(main).height - 104;
  ASSERT_GT(menuHeight, 0);

  // The keyboard way to the commands below the visible area: focus Edit1, Tab to
  // ComboBox2, name the layout, Shift+Tab back to KeyBord and press it.
  ASSERT_TRUE(x.focus(main));
  ASSERT_TRUE(desktop.click(main, 100, menuHeight + 58));
  ASSERT_TRUE(desktop.key("Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab"));
  ASSERT_TRUE(desktop.key("ctrl+a"));
  ASSERT_TRUE(desktop.type("sample1"));
  ASSERT_TRUE(desktop.key("shift+Tab space"));
  const unsigned long keyboard =
      desktop.waitForWindow("VKeyBord", [](const xs::Observer::Geometry&) { return true; });
  ASSERT_NE(keyboard, 0u) << "the virtual keyboard did not open";
  const xs::Observer::Geometry kb = x.geometry(keyboard);
  EXPECT_EQ(kb.x, 200);
  EXPECT_EQ(kb.y, 107);

  for (const std::string caption : {"_h", "_i", ">shift", "_1", "<shift", "_enter"}) {
    int cx = 0, cy = 0;
    ASSERT_TRUE(KeyCentre(layout, caption, cx, cy)) << caption;
    ASSERT_LT(cx, kb.width) << caption;
    ASSERT_LT(cy, kb.height) << caption;
    ASSERT_TRUE(desktop.click(keyboard, cx, cy)) << caption;
  }

  // A reservation some seconds ahead, chosen in the three lists by typing, then
  // 短縮Save: the shortcut shows what the script box holds.
  ASSERT_TRUE(x.focus(main));
  ASSERT_TRUE(
      desktop.key("shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab "
                  "shift+Tab shift+Tab shift+Tab shift+Tab"));
  const std::time_t at = std::time(nullptr) + 15;
  std::tm local{};
  ::localtime_r(&at, &local);
  char hour[4], minute[4], second[4];
  std::snprintf(hour, sizeof hour, "%d", local.tm_hour);
  std::snprintf(minute, sizeof minute, "%02d", local.tm_min);
  std::snprintf(second, sizeof second, "%02d", local.tm_sec);
  ASSERT_TRUE(desktop.type(hour));
  ASSERT_TRUE(desktop.key("Tab"));
  ASSERT_TRUE(desktop.type(minute));
  ASSERT_TRUE(desktop.key("Tab"));
  ASSERT_TRUE(desktop.type(second));
  ASSERT_TRUE(desktop.key("shift+Tab shift+Tab shift+Tab shift+Tab space"));
  const std::string ini = gui.home->file("config/qorvex/Tapwell.ini");
  EXPECT_TRUE(xs::WaitUntil([&] { return xs::ReadFile(ini).find("data1") != std::string::npos; }));
  const std::string stored = xs::ReadFile(ini);
  EXPECT_NE(stored.find("data1=_h_i>shift_1<shift_enter"), std::string::npos) << stored;
  EXPECT_NE(stored.find("time1=" + std::string(hour) + ":" + minute + ":" + second), std::string::npos)
      << stored;

  // The receiving window takes the focus; the reservation runs the script into it.
  std::string why;
  auto receiver = xs::Receiver::Start(*server, why);
  ASSERT_TRUE(receiver) << why;
  const bool ready = std::time(nullptr) < at;
  EXPECT_TRUE(receiver->waitFor("release Return", 30000))
      << (ready ? "" : "the reservation time passed before the receiver was ready");
  const xs::Strings names = xs::Names(receiver->finish());
  const xs::Strings expected = {"press h",       "release h",     "press i",        "release i",
                                "press Shift_L", "press exclam",  "release exclam", "release Shift_L",
                                "press Return",  "release Return"};
  EXPECT_EQ(names, expected);

  gui.child->signal(SIGTERM);
  gui.child->wait();
}

}  // namespace
