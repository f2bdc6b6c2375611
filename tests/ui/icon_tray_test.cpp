// The tray icon component against the recording notification area.
#include <gtest/gtest.h>

#include <QPixmap>
#include <memory>
#include <string>
#include <vector>

#include "platform/fake/fake_notification_area.h"
#include "ui/icon_tray.h"
#include "ui/popup_menu.h"

namespace tapwell::ui {
namespace {

using platform::NotifyIconMessage;

QIcon SomeIcon() {
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::red);
  return QIcon(pixmap);
}

class IconTrayTest : public ::testing::Test {
 protected:
  // A component with an image, already in the notification area.
  std::unique_ptr<TIconTray> shown() {
    auto tray = std::make_unique<TIconTray>(nullptr, area);
    tray->ReadState([](TIconTray& t) { t.setIcon(SomeIcon()); });
    EXPECT_TRUE(tray->Registered());
    area.calls.clear();
    return tray;
  }

  fake::RecordingNotificationArea area;
};

TEST(CutAtCharacter, KeepsWholeCharactersWithinTheLimit) {
  EXPECT_EQ(CutAtCharacter(std::string(63, 'a'), 63), std::string(63, 'a'));
  EXPECT_EQ(CutAtCharacter(std::string(64, 'a'), 63), std::string(63, 'a'));
  // "あ" is three bytes: at 61 it fits exactly, at 62 it would be split.
  EXPECT_EQ(CutAtCharacter(std::string(60, 'a') + "あ", 63), std::string(60, 'a') + "あ");
  EXPECT_EQ(CutAtCharacter(std::string(61, 'a') + "あ", 63), std::string(61, 'a'));
  EXPECT_EQ(CutAtCharacter(std::string(62, 'a') + "あい", 63), std::string(62, 'a'));
  EXPECT_EQ(CutAtCharacter("", 63), "");
}

TEST_F(IconTrayTest, LoadAddsTheIconWithTheRecordOfTheShell) {
  TIconTray tray(nullptr, area);
  EXPECT_NE(tray.MessageWindow(), 0u);
  EXPECT_FALSE(tray.Registered());
  tray.ReadState([](TIconTray& t) {
    t.setIcon(SomeIcon());
    t.setHint("tip");
  });
  // Writes while the layout is read are held back: one add, at the hook.
  ASSERT_EQ(area.calls.size(), 1u);
  EXPECT_EQ(area.calls[0].message, NotifyIconMessage::Add);
  const platform::NotifyIconData& d = area.calls[0].data;
  EXPECT_EQ(d.cbSize, 88u);
  EXPECT_EQ(d.hWnd, tray.MessageWindow());
  EXPECT_EQ(d.uID, static_cast<std::uint32_t>(tray.IconId()));
  EXPECT_EQ(d.uFlags, 7u);
  EXPECT_EQ(d.uCallbackMessage, 0x400u);
  EXPECT_NE(d.hIcon, nullptr);
  EXPECT_EQ(d.szTip, "tip");
  EXPECT_TRUE(tray.Registered());
}

TEST_F(IconTrayTest, LoadWithAnEmptyImageAddsNothing) {
  TIconTray tray(nullptr, area);
  tray.ReadState([](TIconTray& t) { t.setHint("tip"); });
  EXPECT_TRUE(area.calls.empty());
  EXPECT_FALSE(tray.Registered());
}

TEST_F(IconTrayTest, HideMainFormHidesTheApplicationBeforeTheIconIsAdded) {
  std::vector<std::string> order;
  TIconTray::setApplicationHider([&] { order.push_back("hide:" + std::to_string(area.calls.size())); });
  {
    TIconTray tray(nullptr, area);
    tray.ReadState([](TIconTray& t) {
      t.setHideMainForm(true);
      t.setIcon(SomeIcon());
    });
  }
  TIconTray::setApplicationHider({});
  EXPECT_EQ(order, std::vector<std::string>{"hide:0"});
}

TEST_F(IconTrayTest, CreatedByCodeAddsAtTheFirstUpdatingWrite) {
  TIconTray tray(nullptr, area);
  tray.setHint("x");  // no image yet: nothing to add
  EXPECT_TRUE(area.calls.empty());
  tray.setIcon(SomeIcon());
  ASSERT_EQ(area.calls.size(), 1u);
  EXPECT_EQ(area.calls[0].message, NotifyIconMessage::Add);
  EXPECT_EQ(area.calls[0].data.szTip, "x");
}

TEST_F(IconTrayTest, HintIsCutTo63Bytes) {
  auto tray = shown();
  const std::string hint63(63, 'h');
  tray->setHint(hint63);
  EXPECT_EQ(tray->Hint(), hint63);
  ASSERT_EQ(area.calls.size(), 1u);
  EXPECT_EQ(area.calls[0].message, NotifyIconMessage::Modify);
  EXPECT_EQ(area.calls[0].data.szTip, hint63);

  // Equal: no call. Longer with the same first 63 bytes: a modify with the same tip.
  tray->setHint(hint63);
  EXPECT_EQ(area.calls.size(), 1u);
  tray->setHint(hint63 + "tail");
  ASSERT_EQ(area.calls.size(), 2u);
  EXPECT_EQ(area.calls[1].message, NotifyIconMessage::Modify);
  EXPECT_EQ(area.calls[1].data.szTip, hint63);
  EXPECT_EQ(tray->Hint(), hint63);

  // A character that the cut would split is dropped whole.
  tray->setHint(std::string(62, 'j') + "漢");
  EXPECT_EQ(tray->Hint(), std::string(62, 'j'));
}

TEST_F(IconTrayTest, ShowHintOffGivesAnEmptyTipAndKeepsTheHint) {
  auto tray = shown();
  tray->setHint("Tapwell");
  tray->setShowHint(false);
  EXPECT_EQ(area.calls.back().data.szTip, "");
  EXPECT_EQ(tray->Hint(), "Tapwell");
  const auto calls = area.calls.size();
  tray->setShowHint(false);  // unchanged: nothing
  EXPECT_EQ(area.calls.size(), calls);
  tray->setShowHint(true);
  EXPECT_EQ(area.calls.back().message, NotifyIconMessage::Modify);
  EXPECT_EQ(area.calls.back().data.szTip, "Tapwell");
}

TEST_F(IconTrayTest, EmptyImageDeletesAndANewImageAddsAgain) {
  auto tray = shown();
  tray->setIcon(QIcon());
  ASSERT_EQ(area.calls.size(), 1u);
  EXPECT_EQ(area.calls[0].message, NotifyIconMessage::Delete);
  EXPECT_FALSE(tray->Registered());
  EXPECT_FALSE(area.hasIcon());
  tray->setIcon(QIcon());  // not registered: no call
  EXPECT_EQ(area.calls.size(), 1u);
  tray->setIcon(SomeIcon());
  ASSERT_EQ(area.calls.size(), 2u);
  EXPECT_EQ(area.calls[1].message, NotifyIconMessage::Add);
  EXPECT_TRUE(tray->Registered());
}

TEST_F(IconTrayTest, IdentifiersCountConstructionsAndAreNeverReused) {
  const std::int32_t before = TIconTray::IconTrayCount();
  auto first = std::make_unique<TIconTray>(nullptr, area);
  EXPECT_EQ(first->IconId(), before + 1);
  first.reset();
  TIconTray second(nullptr, area);
  EXPECT_EQ(second.IconId(), before + 2);
  EXPECT_EQ(TIconTray::IconTrayCount(), before + 2);
}

TEST_F(IconTrayTest, RefusalsRaiseRegistrationErrorAndKeepTheState) {
  area.refuseAdd = true;
  TIconTray tray(nullptr, area);
  try {
    tray.ReadState([](TIconTray& t) { t.setIcon(SomeIcon()); });
    FAIL() << "no error";
  } catch (const EIconTrayError& e) {
    EXPECT_STREQ(e.what(), "Registration Error");
  }
  EXPECT_FALSE(tray.Registered());
  // Ready to add again at the next update.
  area.refuseAdd = false;
  tray.setHint("again");
  EXPECT_EQ(area.calls.back().message, NotifyIconMessage::Add);
  EXPECT_TRUE(tray.Registered());

  area.refuseModify = true;
  EXPECT_THROW(tray.setHint("other"), EIconTrayError);
  EXPECT_TRUE(tray.Registered());
  EXPECT_EQ(tray.Hint(), "other");

  area.refuseDelete = true;
  EXPECT_THROW(tray.setIcon(QIcon()), EIconTrayError);
  EXPECT_TRUE(tray.Registered());
}

TEST_F(IconTrayTest, DestructionDeletesTheIconAndNeverThrows) {
  {
    auto tray = shown();
    EXPECT_EQ(area.windowCount(), 1);
  }
  ASSERT_EQ(area.calls.size(), 1u);
  EXPECT_EQ(area.calls[0].message, NotifyIconMessage::Delete);
  EXPECT_EQ(area.windowCount(), 0);

  area.calls.clear();
  {
    auto tray = shown();
    area.refuseDelete = true;
  }  // the refused delete does not escape; the window still goes
  EXPECT_EQ(area.calls.back().message, NotifyIconMessage::Delete);
  EXPECT_EQ(area.windowCount(), 0);
}

struct Event {
  std::string name;
  int button = -1;
  int shift = 0;
  int x = 0;
  int y = 0;
  bool operator==(const Event&) const = default;
};

void PrintTo(const Event& e, std::ostream* os) {
  *os << e.name << "(" << e.button << "," << e.shift << "," << e.x << "," << e.y << ")";
}

class IconTrayEventsTest : public IconTrayTest {
 protected:
  void SetUp() override {
    tray = shown();
    tray->OnClick = [this](TIconTray* sender) {
      EXPECT_EQ(sender, tray.get());
      events.push_back({"click"});
    };
    tray->OnDblClick = [this](TIconTray*) { events.push_back({"dblclick"}); };
    tray->OnMouseDown = [this](TIconTray*, TMouseButton b, TShiftState s, int x, int y) {
      events.push_back({"down", static_cast<int>(b), s, x, y});
    };
    tray->OnMouseUp = [this](TIconTray*, TMouseButton b, TShiftState s, int x, int y) {
      events.push_back({"up", static_cast<int>(b), s, x, y});
    };
    tray->OnMouseMove = [this](TIconTray*, TShiftState s, int x, int y) {
      events.push_back({"move", -1, s, x, y});
    };
    for (TPopupMenu* menu : {&left, &right}) {
      QObject::connect(menu, &TPopupMenu::poppedUp, [this, menu](int x, int y) {
        events.push_back({menu == &left ? "leftmenu" : "rightmenu", -1, 0, x, y});
        menu->hide();
      });
    }
    area.cursor = {300, 400};
  }

  std::unique_ptr<TIconTray> tray;
  TPopupMenu left;
  TPopupMenu right;
  std::vector<Event> events;
};

TEST_F(IconTrayEventsTest, LeftClickThenDoubleClick) {
  tray->setLBtnPopupMenu(&left);
  tray->setRBtnPopupMenu(&right);
  area.click(0x201);
  area.click(0x202);
  area.click(0x203);
  const std::vector<Event> expected = {
      {"down", 0, 0, 300, 400},      {"click"},    {"up", 0, 0, 300, 400},
      {"leftmenu", -1, 0, 300, 400}, {"dblclick"}, {"down", 0, 0x40, 300, 400}};
  EXPECT_EQ(events, expected);
}

TEST_F(IconTrayEventsTest, RightAndMiddleButtons) {
  // No right menu: only the mouse events.
  tray->setLBtnPopupMenu(&left);
  area.click(0x204);
  area.click(0x205);
  area.click(0x206);
  tray->setRBtnPopupMenu(&right);
  area.click(0x205);
  // The middle button opens no menu.
  area.click(0x207);
  area.click(0x208);
  area.click(0x209);
  area.click(0x200);
  const std::vector<Event> expected = {
      {"down", 1, 0, 300, 400}, {"up", 1, 0, 300, 400},         {"down", 1, 0x40, 300, 400},
      {"up", 1, 0, 300, 400},   {"rightmenu", -1, 0, 300, 400}, {"down", 2, 0, 300, 400},
      {"up", 2, 0, 300, 400},   {"down", 2, 0x40, 300, 400},    {"move", -1, 0, 300, 400}};
  EXPECT_EQ(events, expected);
}

TEST_F(IconTrayEventsTest, ShiftStateIsAskedInOrderAndBuiltFromTheKeys) {
  area.keysDown = {platform::VK_SHIFT, platform::VK_MENU, platform::VK_RBUTTON};
  area.keysAsked.clear();
  area.click(0x201);
  EXPECT_EQ(area.keysAsked, (std::vector<std::uint8_t>{0x10, 0x11, 0x12, 0x01, 0x02, 0x04}));
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].shift, ssShift | ssAlt | ssRight);

  area.keysDown = {platform::VK_CONTROL, platform::VK_LBUTTON, platform::VK_MBUTTON};
  area.click(0x203);
  EXPECT_EQ(events.back().shift, ssCtrl | ssLeft | ssMiddle | ssDouble);
}

TEST_F(IconTrayEventsTest, OtherMessagesAndCodesDoNothing) {
  tray->setLBtnPopupMenu(&left);
  area.keysAsked.clear();
  EXPECT_EQ(area.send(tray->MessageWindow(), 0x401, 0, 0x202), 0);
  EXPECT_TRUE(area.keysAsked.empty());  // not even the state is read
  area.click(0x20A);
  area.click(0x199);
  EXPECT_TRUE(events.empty());
}

TEST_F(IconTrayEventsTest, MenuWithoutAutoPopupIsNeverOpened) {
  left.AutoPopup = false;
  tray->setLBtnPopupMenu(&left);
  area.click(0x202);
  const std::vector<Event> expected = {{"click"}, {"up", 0, 0, 300, 400}};
  EXPECT_EQ(events, expected);
}

TEST_F(IconTrayEventsTest, MenuOpensAtTheCursorAsItsAlignmentSays) {
  TPopupMenu menu;
  menu.addAction(QStringLiteral("show"));
  menu.Alignment = TPopupAlignment::paRight;
  int seenX = -1;
  QObject::connect(&menu, &TPopupMenu::poppedUp, [&](int x, int) { seenX = x; });
  tray->setLBtnPopupMenu(&menu);
  area.click(0x202);
  EXPECT_TRUE(menu.isVisible());
  EXPECT_EQ(seenX, 300 - menu.sizeHint().width());
  menu.hide();
}

TEST_F(IconTrayTest, DestroyingAMenuClearsBothProperties) {
  TIconTray tray(nullptr, area);
  auto* menu = new TPopupMenu;
  TPopupMenu other;
  tray.setLBtnPopupMenu(menu);
  tray.setRBtnPopupMenu(menu);
  tray.setLBtnPopupMenu(menu);  // assigned twice: still one notification
  delete menu;
  EXPECT_EQ(tray.LBtnPopupMenu(), nullptr);
  EXPECT_EQ(tray.RBtnPopupMenu(), nullptr);

  tray.setLBtnPopupMenu(&other);
  auto* gone = new TPopupMenu;
  tray.setRBtnPopupMenu(gone);
  delete gone;
  EXPECT_EQ(tray.LBtnPopupMenu(), &other);
  EXPECT_EQ(tray.RBtnPopupMenu(), nullptr);
}

TEST_F(IconTrayTest, DesigningStoresPropertiesOnly) {
  int hidden = 0;
  TIconTray::setApplicationHider([&] { ++hidden; });
  TPopupMenu menu;
  bool opened = false;
  QObject::connect(&menu, &TPopupMenu::poppedUp, [&](int, int) { opened = true; });
  {
    TIconTray tray(nullptr, area, /*designing=*/true);
    EXPECT_EQ(tray.MessageWindow(), 0u);
    tray.ReadState([&](TIconTray& t) {
      t.setHideMainForm(true);
      t.setIcon(SomeIcon());
    });
    tray.setHint("hint");
    tray.setShowHint(false);
    tray.setLBtnPopupMenu(&menu);
    tray.UpdateIcon(true);
    tray.PopupAt(1, 2, &menu);
    tray.TrayWndProc(0x400, 0, 0x202);
    EXPECT_EQ(tray.Hint(), "hint");
    EXPECT_FALSE(tray.ShowHint());
    EXPECT_FALSE(tray.Registered());
  }
  TIconTray::setApplicationHider({});
  EXPECT_TRUE(area.calls.empty());
  EXPECT_EQ(area.windowCount(), 0);
  EXPECT_EQ(hidden, 0);
  EXPECT_FALSE(opened);
}

}  // namespace
}  // namespace tapwell::ui
