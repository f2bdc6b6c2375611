// No display, a display that cannot be reached, and a display without XTest:
// the windowed program and the run end with exit code 3 and say why.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include "x_session.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using xs::Strings;

const Strings kWindowedAndRun[] = {{}, {"--tray"}, {"--run", "_a"}};

TEST(NoDisplay, EveryModeEndsWithCodeThreeAndSaysWhy) {
  const auto env = xs::Environment({"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_RUNTIME_DIR=/tmp"});
  for (const Strings& args : kWindowedAndRun) {
    Strings argv = {xs::TapwellPath()};
    argv.insert(argv.end(), args.begin(), args.end());
    const xs::Result r = xs::Run(argv, env);
    EXPECT_EQ(r.code, 3) << argv.size() << " " << r.err;
    EXPECT_THAT(r.err, HasSubstr("DISPLAY is not set")) << r.err;
  }
}

TEST(NoDisplay, ADisplayThatCannotBeReachedIsNoCrash) {
  // A display number that no server here has.
  int number = 250;
  while (::access(("/tmp/.X11-unix/X" + std::to_string(number)).c_str(), F_OK) == 0) ++number;
  const std::string name = ":" + std::to_string(number);
  const auto env =
      xs::Environment({"DISPLAY=" + name, "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_RUNTIME_DIR=/tmp"});
  for (const Strings& args : kWindowedAndRun) {
    Strings argv = {xs::TapwellPath()};
    argv.insert(argv.end(), args.begin(), args.end());
    const xs::Result r = xs::Run(argv, env);
    // Not an abort of the toolkit (134) but the program's own exit code.
    EXPECT_EQ(r.code, 3) << argv.size() << " " << r.err;
    EXPECT_THAT(r.err, HasSubstr("cannot open the X display \"" + name + "\"")) << r.err;
  }
}

TEST(NoXTest, TheWindowedProgramShowsWhyAndEnds) {
  for (const Strings& args : {Strings{}, Strings{"--tray"}}) {
    std::string why;
    auto server = xs::XServer::Start(why, {"-extension", "XTEST"});
    if (!server) {
      if (xs::InCi()) FAIL() << why;
      GTEST_SKIP() << why;
    }
    xs::Observer x(*server);
    ASSERT_TRUE(x.ok());
    auto gui = xs::Gui::Start(*server, args);
    ASSERT_TRUE(gui.child);
    // A message box with the reason, titled with the program's name.
    unsigned long box = 0;
    ASSERT_TRUE(xs::WaitUntil([&] {
      gui.drain();
      box = x.viewableWindowNamed(gui.child->pid(), "Tapwell");
      return box != 0;
    })) << gui.child->errText();
    EXPECT_THAT(gui.child->errText(), HasSubstr("has no XTest extension")) << gui.child->errText();
    // Nothing else comes up: no main window, no splash.
    EXPECT_FALSE(x.hasWindowNamed(gui.child->pid(), "startup"));
    x.requestClose(box);
    EXPECT_EQ(gui.child->wait(), 3) << gui.child->errText();
    EXPECT_THAT(gui.child->errText(), Not(HasSubstr("Aborted")));
  }
}

TEST(WithXTest, TheRunWorksWhereTheExtensionIsAskedForExplicitly) {
  // The counterpart of the server above: the same options with the extension on.
  std::string why;
  auto server = xs::XServer::Start(why, {"+extension", "XTEST"});
  if (!server) {
    if (xs::InCi()) FAIL() << why;
    GTEST_SKIP() << why;
  }
  const xs::Result r = xs::RunTapwell(*server, {"--run", "_a"});
  EXPECT_EQ(r.code, 0) << r.err;
}

}  // namespace
