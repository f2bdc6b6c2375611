// The real program on a headless sway, typing into a native Wayland window.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <sstream>

#include "sway_session.h"

namespace {

using xs::Join;
using xs::Stroke;
using xs::Utf8;

using Strings = std::vector<std::string>;
using ::testing::HasSubstr;

xs::Result RunTapwell(const Strings& args, const Strings& env) {
  Strings argv = {xs::TapwellPath()};
  argv.insert(argv.end(), args.begin(), args.end());
  return xs::Run(argv, env);
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

// XWayland asks the seat for a pointer after one has come and gone, which
// crashed sway 1.7 within a run or two of a pointer made for every run.
TEST(Pointer, KeysOnlyScriptsMakeNoPointerAndLeaveACompositorWithXWaylandRunning) {
  const bool xwayland = ::access("/usr/bin/Xwayland", X_OK) == 0;
  if (!xwayland && xs::InCi()) FAIL() << "Xwayland is not installed under CI";
  std::string why;
  auto sway = wl::SwayInstalled() ? wl::Sway::Start(why, xwayland ? "xwayland force\n" : "") : nullptr;
  if (!wl::SwayInstalled()) GTEST_SKIP() << "sway is not installed (Debian: sway)";
  ASSERT_TRUE(sway) << why;
  ASSERT_TRUE(sway->addKeyboard("us", why)) << why;
  auto watcher = wl::KeymapWatcher::Start(*sway, why);
  ASSERT_TRUE(watcher) << why;
  for (int run = 0; run < 10; ++run) {
    const xs::Result r = RunTapwell({"--run", "_t"}, sway->env());
    ASSERT_EQ(r.code, 0) << "run " << run << ": " << r.err;
  }
  for (const std::uint32_t caps : watcher->capabilities()) EXPECT_EQ(caps & 1u, 0u) << "a pointer came";
  EXPECT_TRUE(sway->alive()) << sway->log();
  if (!xwayland) GTEST_SKIP() << "the seat had no pointer; Xwayland is not installed to watch it";
}

TEST(Pointer, TheFirstClickOnASeatWithoutAPointerArrives) {
  WL_START_SWAY(sway);
  WL_START_RECEIVER(sway, "us", receiver);
  // Each run makes the pointer, and takes it away again at its end.
  for (int run = 1; run <= 5; ++run) {
    const xs::Result r = RunTapwell({"--run", "_ml"}, sway->env());
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(receiver->waitForEvents([run](const std::vector<std::string>& events) {
      return std::count(events.begin(), events.end(), "button-press 1") == run;
    })) << "run "
        << run << ": " << testing::PrintToString(receiver->events());
  }
  // The windows' keyboard makes it at the first button, and keeps it.
  std::string why;
  auto watcher = wl::KeymapWatcher::Start(*sway, why);
  ASSERT_TRUE(watcher) << why;
  auto opened = tapwell::platform::wayland::WaylandKeyboard::Open();
  ASSERT_TRUE(opened.keyboard) << opened.error;
  for (const tapwell::platform::KeyCode button : {1, 2}) {
    opened.keyboard->press(button);
    opened.keyboard->release(button);
    opened.keyboard->flush();
  }
  EXPECT_TRUE(receiver->waitFor("button-press 2")) << testing::PrintToString(receiver->events());
  const std::vector<std::string> events = receiver->events();
  EXPECT_EQ(std::count(events.begin(), events.end(), "button-press 1"), 6);
  opened.keyboard->shutdown();
  // The seat without the pointer again: its last change arrives after the shutdown.
  EXPECT_TRUE(xs::WaitUntil([&] { return watcher->capabilities().size() >= 3; }));
  EXPECT_EQ(watcher->capabilities().size(), 3u) << "the pointer came and went more than once";
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

TEST(ExactText, EveryCharacterArrivesAsWrittenOnUsAndGermanLayoutsWithAHeldShiftAndCapsLock) {
  // On de: y and z swapped, @ [ and the euro sign on AltGr levels, ß a key of its
  // own, é only through a dead key; on us: ß, é and the euro sign on no key. The
  // held Shift comes back after the text; Caps Lock changes no character.
  for (const std::string layout : {"us", "de"}) {
    WL_START_SWAY(sway);
    WL_START_RECEIVER(sway, layout, receiver);
    const xs::Result r = RunTapwell(
        {"--run", ">shift\"\"'aZy\u00e9\u20ac\u00df\u6f22\u5b57 @['_b<shift_caps\"\"'aB'_caps\"\"''_enter"},
        sway->env());
    EXPECT_EQ(r.code, 0) << layout << ": " << r.err;
    EXPECT_EQ(r.err, "") << layout;
    EXPECT_TRUE(receiver->waitFor("text aZy\u00e9\u20ac\u00df\u6f22\u5b57 @[BaB"))
        << layout << ": " << testing::PrintToString(receiver->events());
  }
}

TEST(ExactText, KeysAfterATextEndingInAShiftedCharacterCarryOnlyTheScriptsModifiers) {
  // A character outside the layout brings a keymap of its own; the layout's
  // comes back after the text. A new keymap starts with no modifiers in the
  // compositor, which passes a later "none" on to no client: the modifiers go up
  // before each keymap, or a client that keeps its state (foot) types the next
  // keys with the Shift of the text's last character. The requests are read
  // from the protocol log, as the receiving toolkit forgets its state itself.
  WL_START_SWAY(sway);
  WL_START_RECEIVER(sway, "us", receiver);
  const xs::Result r = RunTapwell({"--run", "'\u00e9!'_a\"\"'Caf\u00e9?'_b>shift\"\"'\u00e9!'_c<shift_enter"},
                                  sway->env({"WAYLAND_DEBUG=1"}));
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(receiver->waitFor("text \u00e9!aCaf\u00e9?b\u00e9!C"))
      << testing::PrintToString(receiver->events());
  std::istringstream log(r.err);
  std::string depressed = "0";
  int keymaps = 0;
  for (std::string line; std::getline(log, line);) {
    if (line.find("-> zwp_virtual_keyboard_v1@") == std::string::npos) continue;
    if (const auto at = line.find(".modifiers("); at != std::string::npos) {
      depressed = line.substr(at + 11, line.find(',', at) - at - 11);
    } else if (line.find(".keymap(") != std::string::npos) {
      ++keymaps;
      EXPECT_EQ(depressed, "0") << "keymap " << keymaps << " uploaded with modifiers down";
    }
  }
  // The layout's, then two for each text: its own and the layout's again.
  EXPECT_EQ(keymaps, 7);
}

TEST(ExactText, MoreDistinctCharactersThanFreeKeycodesArriveWholeAndInOrder) {
  WL_START_SWAY(sway);
  std::string why;
  ASSERT_TRUE(sway->addKeyboard("us", why)) << why;
  auto receiver = wl::Receiver::Start(*sway, why, true);
  ASSERT_TRUE(receiver) << why;
  // Some 300 keycodes are free: these 2,000 kanji take several keymaps, each
  // read by the window before the first key that needs it.
  std::u32string text;
  for (char32_t c = 0x4E00; c < 0x4E00 + 2000; ++c) {
    text += c;
    if (c % 7 == 0) text += U'A' + c % 26;
  }
  const xs::Result r = RunTapwell({"--run", "'" + Utf8(text) + "'_enter"}, sway->env());
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_TRUE(receiver->waitFor("text " + Utf8(text), 30000));
}

TEST(ExactText, SigtermDuringALongTextStopsItLeavingNothingDownAndTheLayoutsKeymapBack) {
  WL_START_SWAY(sway);
  WL_START_RECEIVER(sway, "us", receiver);
  auto watcher = wl::KeymapWatcher::Start(*sway, receiver_why);
  ASSERT_TRUE(watcher) << receiver_why;
  // Every kanji of the basic block three times, some 7 s of typing: far more
  // distinct characters than free keycodes, so the text takes many keymaps.
  std::u32string kanji;
  for (char32_t c = 0x4E00; c <= 0x9FA5; ++c) kanji += c;
  kanji += kanji + kanji;
  xs::TempFolder folder;
  xs::WriteFile(folder.file("text.txt"), ">shift\"\"'" + Utf8(kanji) + "'");
  auto run = xs::Child::Start({xs::TapwellPath(), "--run-file", folder.file("text.txt")}, sway->env());
  ASSERT_TRUE(run);
  ASSERT_TRUE(receiver->waitFor("press U4E10", 20000)) << run->errText();
  run->signal(SIGTERM);
  EXPECT_EQ(run->wait(20000), 128 + SIGTERM) << run->errText();
  // Every key pressed was released: the text's and the script's Shift.
  std::vector<std::string> events;
  auto count = [&events](const std::string& kind) {
    return std::count_if(events.begin(), events.end(),
                         [&](const std::string& e) { return e.rfind(kind, 0) == 0; });
  };
  EXPECT_TRUE(receiver->waitForEvents([&](const std::vector<std::string>& now) {
    events = now;
    return count("press ") == count("release ") && events.back() == "release Shift_L";
  })) << testing::PrintToString(events);
  EXPECT_LT(count("press U"), static_cast<std::ptrdiff_t>(kanji.size())) << "the text was not stopped";
  // The last keymap the clients got is the layout's as Tapwell uploaded it
  // before the first keymap for the text.
  std::string layoutKeymap;
  std::size_t seen = 0;
  EXPECT_TRUE(xs::WaitUntil(
      [&] {
        const std::vector<std::string>& keymaps = watcher->keymaps();
        seen = keymaps.size();
        const auto text = std::find_if(keymaps.begin(), keymaps.end(), [](const std::string& k) {
          return k.find("U4E00") != std::string::npos;
        });
        if (text == keymaps.begin() || text == keymaps.end()) return false;
        layoutKeymap = *(text - 1);
        return keymaps.back() == layoutKeymap;
      },
      10000))
      << seen << " keymaps";
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

  const xs::Result forced =
      RunTapwell({"--run", "_a"}, xs::Environment({"WAYLAND_DISPLAY", "DISPLAY", "TAPWELL_BACKEND=wayland"}));
  EXPECT_EQ(forced.code, 3);
  EXPECT_THAT(forced.err, HasSubstr("cannot connect to the Wayland display"));

  const xs::Result wrong = RunTapwell({"--run", "_a"}, xs::Environment({"TAPWELL_BACKEND=uinput"}));
  EXPECT_EQ(wrong.code, 2);
  EXPECT_THAT(wrong.err, HasSubstr("TAPWELL_BACKEND must be x11, wayland or portal"));
}

}  // namespace
