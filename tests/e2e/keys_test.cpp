// Key events of the real program, as a receiving window sees them.
// GoogleTest before Xlib: Xlib's macros (None, Bool) break its headers.
#include <gtest/gtest.h>
// clang-format off
#include <X11/Xlib.h>
#include <X11/keysym.h>
// clang-format on
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "x_session.h"

namespace {

using xs::Join;
using xs::Stroke;

using xs::Names;
using xs::RunTapwell;
using Strings = std::vector<std::string>;

struct Session {
  std::unique_ptr<xs::XServer> server;
  std::unique_ptr<xs::Receiver> receiver;
};

#define E2E_START_RECEIVER(server, var)               \
  std::string var##_why;                              \
  auto var = xs::Receiver::Start(*server, var##_why); \
  ASSERT_TRUE(var) << var##_why;

TEST(Keys, NamesStrokesPressesAndShiftOnUs) {
  XS_START_X(server);
  E2E_START_RECEIVER(server, receiver);
  const xs::Result r = RunTapwell(*server, {"--run", "_Enter_a_TAB_f5>shift_1_/<Shift_bs_Left_esc_ _Z"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(Names(receiver->finish()), Join({Stroke("Return"),
                                             Stroke("a"),
                                             Stroke("Tab"),
                                             Stroke("F5"),
                                             {"press Shift_L"},
                                             Stroke("exclam"),
                                             Stroke("question"),
                                             {"release Shift_L"},
                                             Stroke("BackSpace"),
                                             Stroke("Left"),
                                             Stroke("Escape"),
                                             Stroke("space"),
                                             Stroke("z")}));
}

TEST(Keys, KeysMissingFromTheKeymapGoThroughSpareKeycodesAndAreRestored) {
  XS_START_X(server);
  // The keymap and the auto-repeat settings before the run.
  Display* display = XOpenDisplay(server->name().c_str());
  ASSERT_NE(display, nullptr);
  int minKc = 0;
  int maxKc = 0;
  XDisplayKeycodes(display, &minKc, &maxKc);
  auto keymap = [&] {
    int per = 0;
    KeySym* syms = XGetKeyboardMapping(display, static_cast<KeyCode>(minKc), maxKc - minKc + 1, &per);
    std::vector<KeySym> out(syms, syms + (maxKc - minKc + 1) * per);
    XFree(syms);
    return out;
  };
  auto repeats = [&] {
    XKeyboardState state{};
    XGetKeyboardControl(display, &state);
    return std::vector<char>(state.auto_repeats, state.auto_repeats + 32);
  };
  const auto keymapBefore = keymap();
  const auto repeatsBefore = repeats();
  {
    E2E_START_RECEIVER(server, receiver);
    // Kanji, F13 and F24 are not in the us keymap; the keypad digits there give
    // KP_Insert and the like without Num Lock.
    const xs::Result r = RunTapwell(*server, {"--run", "_kanji_f13_F24_num0_num7_decimal_kanji>f13!0.2<f13"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Names(receiver->finish()),
              Join({Stroke("Kanji"), Stroke("F13"), Stroke("F24"), Stroke("KP_0"), Stroke("KP_7"),
                    Stroke("KP_Decimal"), Stroke("Kanji"), Stroke("F13")}));
  }
  EXPECT_EQ(keymap(), keymapBefore) << "a spare keycode kept its symbol after the program ended";
  EXPECT_EQ(repeats(), repeatsBefore) << "a key's auto-repeat setting was not restored";
  XCloseDisplay(display);
}

TEST(Keys, AHeldKeyArrivesAsOnePressAndOneRelease) {
  XS_START_X(server);
  E2E_START_RECEIVER(server, receiver);
  // Held for longer than the server's auto-repeat delay.
  const xs::Result r = RunTapwell(*server, {"--run", ">a!1<a"});
  EXPECT_EQ(r.code, 0) << r.err;
  const auto events = receiver->finish();
  ASSERT_EQ(Names(events), Stroke("a"));
  EXPECT_GE(events[1].time - events[0].time, 950u);
}

// The wait's length is the stepper's business, checked there on a fake clock;
// here the keys must only arrive in their order around it.
TEST(Keys, LiteralsAreTypedUnshiftedAroundAWait) {
  XS_START_X(server);
  E2E_START_RECEIVER(server, receiver);
  const xs::Result r = RunTapwell(*server, {"--run", "\"Hi, #1!\"!0.3_x"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(Names(receiver->finish()), Join({Stroke("h"), Stroke("i"), Stroke("comma"), Stroke("space"),
                                             Stroke("3"), Stroke("1"), Stroke("1"), Stroke("x")}));
}

TEST(Keys, MouseButtonsPressTheButtonsTheCodesMean) {
  XS_START_X(server);
  E2E_START_RECEIVER(server, receiver);
  const xs::Result r = RunTapwell(*server, {"--run", "_ml_mm>mr<mr"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(Names(receiver->finish()), (Strings{"button-press 1", "button-release 1", "button-press 3",
                                                "button-release 3", "button-press 2", "button-release 2"}));
}

// Every printable character's key, pressed without Shift, gives the unshifted
// symbol of the key that carries the character.
void CheckRoundTrip(xs::XServer& server) {
  E2E_START_RECEIVER((&server), receiver);
  std::string all;
  for (char c = ' '; c <= '~'; ++c) {
    if (c != '"') all += c;
  }
  const xs::Result r = RunTapwell(server, {"--run", "\"" + all + "\""});
  EXPECT_EQ(r.code, 0) << r.err;
  const auto events = receiver->finish();
  ASSERT_EQ(events.size(), all.size() * 2);
  Display* display = XOpenDisplay(server.name().c_str());
  ASSERT_NE(display, nullptr);
  for (std::size_t i = 0; i < all.size(); ++i) {
    const xs::Event& press = events[2 * i];
    const KeyCode kc = static_cast<KeyCode>(press.code);
    int per = 0;
    KeySym* syms = XGetKeyboardMapping(display, kc, 1, &per);
    const KeySym wanted = static_cast<unsigned char>(all[i]);
    const bool carries = per >= 2 && (syms[0] == wanted || syms[1] == wanted);
    const char* unshifted = per >= 1 && syms[0] != NoSymbol ? XKeysymToString(syms[0]) : "";
    EXPECT_TRUE(carries) << "'" << all[i] << "' pressed keycode " << press.code;
    EXPECT_EQ(press.name, unshifted) << "'" << all[i] << "'";
    EXPECT_EQ(events[2 * i + 1].kind, "release");
    XFree(syms);
  }
  XCloseDisplay(display);
}

TEST(Keys, EveryPrintableCharacterRoundTripsOnUs) {
  XS_START_X(server);
  CheckRoundTrip(*server);
}

TEST(Keys, EveryPrintableCharacterRoundTripsOnJp) {
  XS_START_X(server);
  ASSERT_TRUE(server->setLayout("jp106", "jp"));
  CheckRoundTrip(*server);
}

TEST(Keys, JapaneseLayoutKeysAndPunctuationByPosition) {
  XS_START_X(server);
  ASSERT_TRUE(server->setLayout("jp106", "jp"));
  E2E_START_RECEIVER(server, receiver);
  // KANJI is the Hankaku/Zenkaku key there (keycode 49).
  // "@[:" are unshifted keys of their own on jp; "_" and "|" need Shift.
  const xs::Result r = RunTapwell(*server, {"--run", "_kanji_kana_conv\"@[:^_|\"_1"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(Names(receiver->finish()),
            Join({Stroke("Zenkaku_Hankaku"), Stroke("Hiragana_Katakana"), Stroke("Henkan_Mode"), Stroke("at"),
                  Stroke("bracketleft"), Stroke("colon"), Stroke("asciicircum"), Stroke("backslash"),
                  Stroke("backslash"), Stroke("1")}));
}

TEST(Keys, ALayoutChangeDuringARunIsFollowed) {
  XS_START_X(server);
  E2E_START_RECEIVER(server, receiver);
  auto child = xs::Child::Start({xs::TapwellPath(), "--run", "_a!1\"@\"_kanji"}, server->env());
  ASSERT_TRUE(child);
  ASSERT_TRUE(receiver->waitFor("release a "));
  ASSERT_TRUE(server->setLayout("jp106", "jp"));
  EXPECT_EQ(child->wait(), 0) << child->errText();
  // On jp "@" is a key of its own, unshifted.
  EXPECT_EQ(Names(receiver->finish()), Join({Stroke("a"), Stroke("at"), Stroke("Zenkaku_Hankaku")}));
}

TEST(Run, ExitCodesAndMessages) {
  XS_START_X(server);
  xs::Result r = RunTapwell(*server, {"--run", "hello"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("Tapwell:エラー: コマンドエラー [h]"), std::string::npos) << r.err;
  r = RunTapwell(*server, {"--run", "_a!1x_b"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("'x' は整数ではありません"), std::string::npos) << r.err;
  // Control characters in messages are escaped, as the dry run prints them.
  for (const std::string& script : {std::string("\x01_a"), std::string("_a!\r")}) {
    r = RunTapwell(*server, {"--run", script});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err.find_first_of("\x01\r"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(script.back() == '\r' ? "\\x0D" : "\\x01"), std::string::npos) << r.err;
  }
  r = RunTapwell(*server, {"--run-file", "/nonexistent/a\rb"});
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("/nonexistent/a\\x0Db"), std::string::npos) << r.err;
  r = RunTapwell(*server, {"--run"});
  EXPECT_EQ(r.code, 2);
  r = RunTapwell(*server, {"--trace"});
  EXPECT_EQ(r.code, 2);
  r = RunTapwell(*server, {"--run-file", "/nonexistent/script.txt"});
  EXPECT_EQ(r.code, 2);
  r = RunTapwell(*server, {"--trace", "--run", "_a!0.05\"b\""});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.err.find(" down 65\n"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(" wait 50\n"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(" end\n"), std::string::npos) << r.err;
}

TEST(Run, NoDisplayIsExitCodeThree) {
  // Needs no server: there is none to connect to.
  xs::Result r = xs::Run({xs::TapwellPath(), "--run", "_a"}, xs::Environment({"DISPLAY"}));
  EXPECT_EQ(r.code, 3);
  EXPECT_NE(r.err.find("X11"), std::string::npos) << r.err;
  r = xs::Run({xs::TapwellPath(), "--run", "_a"}, xs::Environment({"DISPLAY=:250"}));
  EXPECT_EQ(r.code, 3);
  EXPECT_NE(r.err.find(":250"), std::string::npos) << r.err;
}

TEST(Run, AServerWithoutXTestIsExitCodeThree) {
  std::string why;
  auto server = xs::XServer::Start(why, {"-extension", "XTEST"});
  if (!server) {
    if (xs::InCi()) FAIL() << why;
    GTEST_SKIP() << why;
  }
  const xs::Result r = RunTapwell(*server, {"--run", "_a"});
  EXPECT_EQ(r.code, 3);
  EXPECT_NE(r.err.find("XTest"), std::string::npos) << r.err;
}

TEST(Run, ALostDisplayIsExitCodeThreeEvenDuringAWait) {
  XS_START_X(server);
  E2E_START_RECEIVER(server, receiver);
  auto child = xs::Child::Start({xs::TapwellPath(), "--run", "_a!10_b"}, server->env());
  ASSERT_TRUE(child);
  // The stroke has arrived: the script is in its wait.
  ASSERT_TRUE(receiver->waitFor("release a ")) << child->errText();
  server->kill();
  EXPECT_EQ(child->wait(), 3) << child->errText();
  EXPECT_NE(child->errText().find("connection to the X display was lost"), std::string::npos)
      << child->errText();
}

TEST(Run, RunFileTakesTheFirstLine) {
  XS_START_X(server);
  E2E_START_RECEIVER(server, receiver);
  char pattern[] = "/tmp/tapwell-run-file-XXXXXX";
  const int fd = ::mkstemp(pattern);
  ASSERT_GE(fd, 0);
  const std::string text = "_a\r\n_b\r\n";
  ASSERT_EQ(::write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  ::close(fd);
  const xs::Result r = RunTapwell(*server, {"--run-file", pattern});
  ::unlink(pattern);
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(Names(receiver->finish()), Stroke("a"));
}

void CheckSignalReleasesEverything(int signo, const std::string& script, const Strings& pressed) {
  XS_START_X(server);
  E2E_START_RECEIVER(server, receiver);
  auto child = xs::Child::Start({xs::TapwellPath(), "--run", script}, server->env());
  ASSERT_TRUE(child);
  for (const std::string& name : pressed) ASSERT_TRUE(receiver->waitFor("press " + name + " ")) << name;
  // The script still waits for seconds: it ends by the signal, not by itself.
  child->signal(signo);
  EXPECT_EQ(child->wait(), 128 + signo) << child->errText();
  Display* display = XOpenDisplay(server->name().c_str());
  ASSERT_NE(display, nullptr);
  char keys[32];
  XQueryKeymap(display, keys);
  for (int i = 0; i < 32; ++i) EXPECT_EQ(keys[i], 0) << "a key is still down in byte " << i;
  Window root;
  Window childWindow;
  int rx;
  int ry;
  int wx;
  int wy;
  unsigned mask = 0;
  XQueryPointer(display, DefaultRootWindow(display), &root, &childWindow, &rx, &ry, &wx, &wy, &mask);
  EXPECT_EQ(mask & (Button1Mask | Button2Mask | Button3Mask), 0u) << "a mouse button is still down";
  XCloseDisplay(display);
  const auto names = Names(receiver->finish());
  for (const std::string& name : pressed) {
    EXPECT_EQ(std::count(names.begin(), names.end(), "press " + name), 1) << name;
    EXPECT_EQ(std::count(names.begin(), names.end(), "release " + name), 1) << name;
  }
}

TEST(Run, SigtermDuringAHeldShiftLeavesNoKeyDown) {
  CheckSignalReleasesEverything(SIGTERM, ">shift!5", {"Shift_L"});
}

TEST(Run, SigintReleasesKeysSpareKeysAndButtons) {
  CheckSignalReleasesEverything(SIGINT, ">ctrl>kanji>ml!5", {"Control_L", "Kanji"});
}

}  // namespace

namespace {

// The Qt line edit: the text it shows after the script has pressed Enter.
std::string TypeIntoLineEdit(const xs::XServer& server, const std::string& script, int* code) {
  auto edit =
      xs::Child::Start({xs::QtReceiverPath()}, server.env({"QT_QPA_PLATFORM=xcb", "XDG_RUNTIME_DIR=/tmp"}));
  if (!edit || !edit->waitForLine([](const std::string& l) { return l == "ready"; })) {
    ADD_FAILURE() << "the line edit did not get the focus: " << (edit ? edit->errText() : "");
    return {};
  }
  *code = RunTapwell(server, {"--run", script}).code;
  std::string text;
  edit->waitForLine([&](const std::string& l) {
    if (l.rfind("text ", 0) != 0) return false;
    text = l.substr(5);
    return true;
  });
  edit->wait();
  return text;
}

TEST(LineEdit, TextShiftAndSpareKeysArriveInAQtClient) {
  XS_START_X(server);
  int code = -1;
  // The keypad digits and point go through spare keycodes on us, which Qt looks
  // up after the event has arrived.
  EXPECT_EQ(
      TypeIntoLineEdit(*server, "\"Hello, World 42\">shift_a_2<shift_num5_decimal_num0_f13_enter", &code),
      "hello, world 42A@5.0");
  EXPECT_EQ(code, 0);
}

TEST(LineEdit, JapaneseLayoutPunctuation) {
  XS_START_X(server);
  ASSERT_TRUE(server->setLayout("jp106", "jp"));
  int code = -1;
  EXPECT_EQ(TypeIntoLineEdit(*server, "\"@[]:;^-\\\">shift_2_7<shift_enter", &code), "@[]:;^-\\\"'");
  EXPECT_EQ(code, 0);
}

TEST(Keys, ASpareKeycodeKeepsItsSymbolWhileTheScriptRuns) {
  XS_START_X(server);
  E2E_START_RECEIVER(server, receiver);
  // The stroke of a, after a wait well over the spare key's hold time, marks a
  // moment when the script still runs for seconds.
  auto child = xs::Child::Start({xs::TapwellPath(), "--run", "_kanji!1.5_a!3"}, server->env());
  ASSERT_TRUE(child);
  xs::Observer x(*server);
  ASSERT_TRUE(x.ok());
  ASSERT_TRUE(receiver->waitFor("release a "));
  EXPECT_EQ(x.keycodesOf(XK_Kanji).size(), 1u);
  EXPECT_EQ(child->wait(), 0);
  EXPECT_EQ(x.keycodesOf(XK_Kanji).size(), 0u);
  receiver->finish();
}

}  // namespace
