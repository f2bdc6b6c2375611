// The real program on a headless sway, typing into a native Wayland window.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>

#include "sway_session.h"

namespace {

using Strings = std::vector<std::string>;
using ::testing::HasSubstr;

xs::Result RunTapwell(const Strings& args, const Strings& env) {
  Strings argv = {xs::TapwellPath()};
  argv.insert(argv.end(), args.begin(), args.end());
  return xs::Run(argv, env);
}

Strings Stroke(const std::string& name) {
  return {"press " + name, "release " + name};
}

Strings Join(std::initializer_list<Strings> parts) {
  Strings out;
  for (const Strings& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

#define WL_START_RECEIVER(sway, layout, var)                      \
  std::string var##_why;                                          \
  ASSERT_TRUE(sway->addKeyboard(layout, var##_why)) << var##_why; \
  auto var = wl::Receiver::Start(*sway, var##_why);               \
  ASSERT_TRUE(var) << var##_why;

TEST(NativeWindow, KeyNamesChordsHeldShiftLiteralAndMouseButtonsWithAnXDisplayBeside) {
  WL_START_SWAY(sway);
  WL_START_RECEIVER(sway, "us", receiver);
  // An X display beside: the native window still gets the keys.
  XS_START_X(x);
  const xs::Result r =
      RunTapwell({"--run", R"("hello"_f13>shift!0.2_w_1<Shift>ctrl_a<ctrl_x_enter_ml_mr_mm)"},
                 sway->env({"DISPLAY=" + x->name()}));
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  ASSERT_TRUE(receiver->waitFor("button-press 2")) << r.err;
  EXPECT_EQ(receiver->events(), Join({Stroke("h"),
                                      Stroke("e"),
                                      Stroke("l"),
                                      Stroke("l"),
                                      Stroke("o"),
                                      Stroke("F13"),
                                      {"press Shift_L"},
                                      Stroke("W"),
                                      Stroke("exclam"),
                                      {"release Shift_L", "press Control_L"},
                                      Stroke("a"),
                                      {"release Control_L"},
                                      Stroke("x"),
                                      {"press Return", "text x", "release Return"},
                                      {"button-press 1", "button-press 4", "button-press 2"}}));
}

TEST(NativeWindow, ALongLiteralArrivesWhole) {
  WL_START_SWAY(sway);
  std::string why;
  ASSERT_TRUE(sway->addKeyboard("us", why)) << why;
  auto receiver = wl::Receiver::Start(*sway, why, true);
  ASSERT_TRUE(receiver) << why;
  // One step of 40,000 key requests: far more than the connection buffers.
  std::string text;
  for (int i = 0; i < 20000; ++i) text += static_cast<char>('a' + i % 26);
  const xs::Result r = RunTapwell({"--run", "\"" + text + "\"_enter"}, sway->env());
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_TRUE(receiver->waitFor("text " + text, 30000)) << receiver->errors();
}

TEST(NativeWindow, LiteralsFollowTheSeatsJapaneseLayout) {
  WL_START_SWAY(sway);
  WL_START_RECEIVER(sway, "jp", receiver);
  // '@' and '[' are unshifted keys of their own on the Japanese layout (Shift+2
  // and the bracket key on the US one).
  const xs::Result r = RunTapwell({"--run", R"("@["_enter)"}, sway->env());
  EXPECT_EQ(r.code, 0) << r.err;
  ASSERT_TRUE(receiver->waitFor("release Return")) << r.err;
  EXPECT_EQ(receiver->events(),
            Join({Stroke("at"), Stroke("bracketleft"), {"press Return", "text @[", "release Return"}}));
}

TEST(NativeWindow, SigtermDuringAHeldShiftLeavesNothingDown) {
  WL_START_SWAY(sway);
  WL_START_RECEIVER(sway, "us", receiver);
  auto run = xs::Child::Start({xs::TapwellPath(), "--run", ">shift_a!30_b"}, sway->env());
  ASSERT_TRUE(run);
  ASSERT_TRUE(receiver->waitFor("release A")) << run->errText();
  run->signal(SIGTERM);
  EXPECT_EQ(run->wait(10000), 128 + SIGTERM) << run->errText();
  ASSERT_TRUE(receiver->waitFor("release Shift_L")) << run->errText();
  EXPECT_EQ(receiver->events(), Join({{"press Shift_L"}, Stroke("A"), {"release Shift_L"}}));
}

TEST(Session, ALostCompositorEndsTheRunWithCodeThree) {
  WL_START_SWAY(sway);
  WL_START_RECEIVER(sway, "us", receiver);
  auto run = xs::Child::Start({xs::TapwellPath(), "--run", "_a!30_b"}, sway->env());
  ASSERT_TRUE(run);
  ASSERT_TRUE(receiver->waitFor("release a")) << run->errText();
  sway->kill();
  EXPECT_EQ(run->wait(10000), 3) << run->errText();
  EXPECT_THAT(run->errText(), HasSubstr("connection to the Wayland display was lost"));
}

TEST(Session, XTestInAWaylandSessionSaysOnceThatItReachesXWaylandOnly) {
  XS_START_X(x);
  // A Wayland session whose compositor cannot be reached, once chosen by the
  // program and once by the user.
  for (const std::string chosen : {"TAPWELL_BACKEND", "TAPWELL_BACKEND=x11"}) {
    const xs::Result r = RunTapwell(
        {"--run", "_a"}, x->env({"WAYLAND_DISPLAY=tapwell-no-such-socket", "XDG_RUNTIME_DIR=/tmp", chosen}));
    EXPECT_EQ(r.code, 0) << chosen << ": " << r.err;
    const std::string notice = "they reach XWayland windows only";
    EXPECT_THAT(r.err, HasSubstr(notice)) << chosen;
    EXPECT_EQ(r.err.find(notice), r.err.rfind(notice)) << r.err;
  }
}

TEST(Session, WithoutAnyRouteTheRunEndsWithCodeThreeAndNamesWhatIsMissing) {
  const xs::Result noCompositor =
      RunTapwell({"--run", "_a"}, xs::Environment({"WAYLAND_DISPLAY=tapwell-no-such-socket",
                                                    "XDG_RUNTIME_DIR=/tmp", "DISPLAY", "TAPWELL_BACKEND"}));
  EXPECT_EQ(noCompositor.code, 3);
  EXPECT_THAT(noCompositor.err,
              HasSubstr("cannot connect to the Wayland display \"tapwell-no-such-socket\""));
  EXPECT_THAT(noCompositor.err, HasSubstr("DISPLAY is not set"));

  const xs::Result forced = RunTapwell(
      {"--run", "_a"}, xs::Environment({"WAYLAND_DISPLAY", "DISPLAY", "TAPWELL_BACKEND=wayland"}));
  EXPECT_EQ(forced.code, 3);
  EXPECT_THAT(forced.err, HasSubstr("cannot connect to the Wayland display"));

  const xs::Result wrong = RunTapwell({"--run", "_a"}, xs::Environment({"TAPWELL_BACKEND=uinput"}));
  EXPECT_EQ(wrong.code, 2);
  EXPECT_THAT(wrong.err, HasSubstr("TAPWELL_BACKEND must be x11, wayland or portal"));
}

}  // namespace
