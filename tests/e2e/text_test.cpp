// The exact text command on several layouts, as an Xlib window and a Qt line
// edit receive it.
// GoogleTest before Xlib: Xlib's macros (None, Bool) break its headers.
#include <gtest/gtest.h>
// clang-format off
#include <X11/Xlib.h>
#include <X11/keysym.h>
// clang-format on
#include <signal.h>

#include <string>
#include <vector>

#include "platform/xkb/text_keys.h"
#include "x_session.h"

namespace {

using xs::Utf8;

using tapwell::xkb::CharacterForKeysym;
using tapwell::xkb::DecodeUtf8;

struct Layout {
  const char* model;
  const char* layout;
};

// ASCII punctuation, accented letters, characters behind AltGr on de and fr,
// kanji and kana that no layout here has.
const char kText[] =
    "Hi, World! user@example.com {[(x)]} <a|b> ~^`\\ $%&*+=?;:\"'#_- café Größe àçè € µ 日本語のテキスト";

// The script that types kText: its quote doubled.
std::string TextScript() {
  std::string script = "'";
  for (const char c : std::string(kText)) {
    script += c;
    if (c == '\'') script += '\'';
  }
  return script + "'";
}

// The characters of the key presses a window received; keys that give no
// character (modifiers) are left out.
std::u32string Typed(const std::vector<xs::Event>& events) {
  std::u32string out;
  for (const xs::Event& e : events) {
    if (e.kind != "press") continue;
    const KeySym sym = e.name == "NoSymbol" ? NoSymbol : XStringToKeysym(e.name.c_str());
    const char32_t c = CharacterForKeysym(static_cast<std::uint32_t>(sym));
    if (c != 0) out += c;
    if (c == 0 && sym == NoSymbol) out += U'?';
  }
  return out;
}

// Every keysym of the server's keymap, to compare before and after a run.
std::vector<KeySym> Keymap(Display* display) {
  int minKc = 0;
  int maxKc = 0;
  XDisplayKeycodes(display, &minKc, &maxKc);
  int per = 0;
  KeySym* syms = XGetKeyboardMapping(display, static_cast<KeyCode>(minKc), maxKc - minKc + 1, &per);
  std::vector<KeySym> out(syms, syms + (maxKc - minKc + 1) * per);
  XFree(syms);
  return out;
}

bool AnyKeyDown(Display* display) {
  char keys[32] = {};
  XQueryKeymap(display, keys);
  for (const char k : keys) {
    if (k != 0) return true;
  }
  return false;
}

class ExactText : public ::testing::TestWithParam<Layout> {};

TEST_P(ExactText, ArrivesCharacterByCharacterInAnXlibWindowAndAQtLineEdit) {
  XS_START_X(server);
  ASSERT_TRUE(server->setLayout(GetParam().model, GetParam().layout));
  Display* display = XOpenDisplay(server->name().c_str());
  ASSERT_NE(display, nullptr);
  const auto keymapBefore = Keymap(display);
  {
    std::string why;
    auto receiver = xs::Receiver::Start(*server, why);
    ASSERT_TRUE(receiver) << why;
    const xs::Result r = xs::Run({xs::TapwellPath(), "--run", TextScript()}, server->env());
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Utf8(Typed(receiver->finish())), kText);
  }
  {
    auto edit = xs::Child::Start({xs::QtReceiverPath()},
                                 server->env({"QT_QPA_PLATFORM=xcb", "XDG_RUNTIME_DIR=/tmp"}));
    ASSERT_TRUE(edit && edit->waitForLine([](const std::string& l) { return l == "ready"; }, 10000))
        << (edit ? edit->errText() : "");
    const xs::Result r = xs::Run({xs::TapwellPath(), "--run", TextScript() + "_enter"}, server->env());
    EXPECT_EQ(r.code, 0) << r.err;
    std::string text;
    EXPECT_TRUE(edit->waitForLine(
        [&](const std::string& l) {
          if (l.rfind("text ", 0) != 0) return false;
          text = l.substr(5);
          return true;
        },
        10000));
    EXPECT_EQ(text, kText);
    edit->wait(5000);
  }
  EXPECT_EQ(Keymap(display), keymapBefore) << "the keymap was not restored";
  EXPECT_FALSE(AnyKeyDown(display));
  XCloseDisplay(display);
}

INSTANTIATE_TEST_SUITE_P(Layouts, ExactText,
                         ::testing::Values(Layout{"pc105", "us"}, Layout{"jp106", "jp"},
                                           Layout{"pc105", "de"}, Layout{"pc105", "fr"}),
                         [](const ::testing::TestParamInfo<Layout>& p) {
                           return std::string(p.param.layout);
                         });

TEST(ExactTextUntyped, WithoutSpareKeycodesTheCharactersLeftOutAreNamedAndTheRunEndsWithCodeOne) {
  XS_START_X(server);
  ASSERT_TRUE(server->setLayout("pc105", "us"));
  Display* display = XOpenDisplay(server->name().c_str());
  ASSERT_NE(display, nullptr);
  // Every keycode carries a symbol: there is no spare keycode for é and 漢.
  int minKc = 0;
  int maxKc = 0;
  XDisplayKeycodes(display, &minKc, &maxKc);
  int per = 0;
  KeySym* syms = XGetKeyboardMapping(display, static_cast<KeyCode>(minKc), maxKc - minKc + 1, &per);
  for (int kc = minKc; kc <= maxKc; ++kc) {
    if (syms[(kc - minKc) * per] != NoSymbol) continue;
    KeySym filler = XK_F35;
    XChangeKeyboardMapping(display, kc, 1, &filler, 1);
  }
  XFree(syms);
  XSync(display, False);
  std::string why;
  auto receiver = xs::Receiver::Start(*server, why);
  ASSERT_TRUE(receiver) << why;
  const xs::Result r = xs::Run({xs::TapwellPath(), "--run", "'H\u00e9\u6f22!@\u00e9'"}, server->env());
  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_EQ(r.err,
            "tapwell: these characters of the text could not be typed on this keyboard: \u00e9\u6f22\n");
  EXPECT_EQ(Utf8(Typed(receiver->finish())), "H!@");
  // The check knows the route: it warns of them before a run.
  const xs::Result check = xs::Run({xs::TapwellPath(), "--check", "_a\"\"'H\u00e9\u6f22!'"}, server->env());
  EXPECT_EQ(check.code, 0) << check.err;
  EXPECT_EQ(
      check.out,
      "6: warning: cannot be typed on the us layout of this keyboard: \u00e9\u6f22 (the run names them and "
      "ends with exit status 1)\n");
  XCloseDisplay(display);
}

TEST(ExactTextModifiers, AHeldShiftIsLiftedForTheTextAndPressedAgainAfterIt) {
  XS_START_X(server);
  std::string why;
  auto receiver = xs::Receiver::Start(*server, why);
  ASSERT_TRUE(receiver) << why;
  const xs::Result r = xs::Run({xs::TapwellPath(), "--run", ">shift\"a\"'aB1!'_b<shift"}, server->env());
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(Utf8(Typed(receiver->finish())), "AaB1!B");
}

TEST(ExactTextSignals, AKilledRunLeavesTheKeymapAsItWasAndNoKeyDown) {
  XS_START_X(server);
  Display* display = XOpenDisplay(server->name().c_str());
  ASSERT_NE(display, nullptr);
  const auto keymapBefore = Keymap(display);
  // Far more distinct kanji than spare keycodes: typing them takes many rounds
  // of the spare pool.
  std::u32string kanji;
  for (char32_t c = 0x4E00; c < 0x4E00 + 3000; ++c) kanji += c;
  std::string why;
  auto receiver = xs::Receiver::Start(*server, why);
  ASSERT_TRUE(receiver) << why;
  auto run = xs::Child::Start({xs::TapwellPath(), "--run", ">shift\"\"'" + Utf8(kanji) + "'"}, server->env());
  ASSERT_TRUE(run);
  ASSERT_TRUE(receiver->waitFor("press U4E10", 20000)) << "the text did not start";
  run->signal(SIGTERM);
  EXPECT_EQ(run->wait(20000), 128 + SIGTERM) << run->errText();
  const std::u32string typed = Typed(receiver->finish());
  EXPECT_LT(typed.size(), kanji.size()) << "the run was not stopped in the middle of the text";
  EXPECT_EQ(Keymap(display), keymapBefore) << "the keymap was not restored";
  EXPECT_FALSE(AnyKeyDown(display)) << "a key was left down";
  XCloseDisplay(display);
}

}  // namespace
