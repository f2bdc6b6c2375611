// The program's fixed-size windows under a real window manager that frames them:
// each comes out with its own outer size, its frame at its own place.
#include <gtest/gtest.h>

#include <string>

#include "x_session.h"

namespace {

using xs::Observer;
using xs::WaitUntil;

// "left,top widthxheight" of the frame around a client window, from the client's
// place and size and the extents the manager set on it; empty without extents.
std::string Outer(Observer& x, unsigned long window) {
  const std::vector<long> e = x.frameExtents(window);  // left, right, top, bottom
  if (e.size() != 4) return {};
  const Observer::Geometry g = x.geometry(window);
  return std::to_string(g.x - e[0]) + "," + std::to_string(g.y - e[2]) + " " +
         std::to_string(g.width + e[0] + e[1]) + "x" + std::to_string(g.height + e[2] + e[3]);
}

TEST(WindowFrames, ToolWindowsAndKeyboardKeepTheirOuterSizeAndPlaceInsideAManagersFrame) {
  XS_NEED_TOOL(openbox, "openbox");
  XS_NEED_TOOL(trayer, "trayer");
  XS_NEED_TOOL(xdotool, "xdotool");
  // Room for Tool2, whose right edge is at 801.
  std::string why;
  auto server = xs::XServer::Start(why, {"-screen", "0", "1024x768x24"});
  if (!server) {
    if (xs::InCi()) FAIL() << why;
    GTEST_SKIP() << why;
  }
  Observer x(*server);
  ASSERT_TRUE(x.ok());

  // The manager with the system's default settings, none of the user's.
  xs::TempFolder managerHome;
  auto manager =
      xs::Child::Start({openbox, "--sm-disable"},
                       server->env({"HOME=" + managerHome.path(), "XDG_CONFIG_HOME=" + managerHome.path(),
                                    "DBUS_SESSION_BUS_ADDRESS"}));
  ASSERT_TRUE(manager);
  ASSERT_TRUE(WaitUntil([&] { return x.windowManagerPresent(); })) << manager->errText();
  // A tray host, so that no box about a missing notification area comes up.
  auto tray = xs::StartTrayer(*server, {"--widthtype", "request"});
  ASSERT_TRUE(tray);
  ASSERT_TRUE(WaitUntil([&] { return x.trayHostPresent(); })) << "the tray host is absent";

  xs::Gui gui = xs::Gui::Start(*server);
  ASSERT_TRUE(gui.child);
  const pid_t pid = gui.child->pid();
  unsigned long main = 0;
  ASSERT_TRUE(WaitUntil([&] {
    gui.drain();
    for (unsigned long w : x.viewableWindowsNamed(pid, "Tapwell"))
      if (x.geometry(w).width == 491) main = w;
    return main != 0;
  })) << gui.child->errText();
  const int menuHeight = x.geometry(main).height - 104;
  ASSERT_GT(menuHeight, 0);
  // The commands lie below the visible area: Tab from the script box Edit1, in the
  // main window raised above the others first. The pointer may already be where
  // it goes, so the move is not waited for (the click follows it in order).
  const auto fromScriptBox = [&](const xs::Strings& keys) {
    ASSERT_TRUE(xs::Xdotool(*server, {"windowactivate", "--sync", std::to_string(main)}));
    ASSERT_TRUE(xs::Xdotool(*server, {"mousemove", "--window", std::to_string(main), "100",
                                      std::to_string(menuHeight + 58), "click", "1"}));
    xs::Strings args{"key", "--delay", "40"};
    args.insert(args.end(), keys.begin(), keys.end());
    ASSERT_TRUE(xs::Xdotool(*server, args));
  };
  // The window of pid titled title once its frame is as expected; what was last
  // seen otherwise.
  const auto frameOnceFitted = [&](const std::string& title, const std::string& expected) {
    std::string seen;
    WaitUntil([&] {
      gui.drain();
      const unsigned long w = x.viewableWindowNamed(pid, title);
      seen = w == 0 ? "not shown" : Outer(x, w);
      return seen == expected;
    });
    return seen;
  };

  // ToolMake, nine Tabs on: ToolAdd, then Tool2.
  fromScriptBox({"Tab", "Tab", "Tab", "Tab", "Tab", "Tab", "Tab", "Tab", "Tab", "space"});
  EXPECT_EQ(frameOnceFitted("ToolAdd", "269,147 178x198"), "269,147 178x198");
  EXPECT_EQ(frameOnceFitted("Tool2", "543,-1 258x358"), "543,-1 258x358");

  // KeyBord with the shipped layout sample1, whose keys fit the usual size:
  // eleven Tabs to the layout list, then back to the button.
  fromScriptBox({"Tab", "Tab", "Tab", "Tab", "Tab", "Tab", "Tab", "Tab", "Tab", "Tab", "Tab", "ctrl+a"});
  ASSERT_TRUE(xs::Xdotool(*server, {"type", "--delay", "40", "sample1"}));
  ASSERT_TRUE(xs::Xdotool(*server, {"key", "--delay", "40", "shift+Tab", "space"}));
  EXPECT_EQ(frameOnceFitted("VKeyBord", "200,107 200x300"), "200,107 200x300");
}

}  // namespace
