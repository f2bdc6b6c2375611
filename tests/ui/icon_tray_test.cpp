// The tray icon component against the fake tray.
#include <gtest/gtest.h>

#include <QCursor>
#include <QPixmap>
#include <QSignalSpy>
#include <memory>
#include <string>
#include <vector>

#include "platform/fake/fake_tray_icon.h"
#include "ui/icon_tray.h"
#include "ui/popup_menu.h"

namespace tapwell::ui {
namespace {

using platform::TrayActivation;

QIcon SomeIcon() {
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::red);
  return QIcon(pixmap);
}

class IconTrayTest : public ::testing::Test {
 protected:
  // A component with an image, already in the tray.
  std::unique_ptr<TIconTray> shown() {
    auto icon = std::make_unique<TIconTray>(nullptr, tray);
    icon->ReadState([](TIconTray& t) { t.setIcon(SomeIcon()); });
    EXPECT_TRUE(icon->Registered());
    tray.calls.clear();
    return icon;
  }
  std::vector<std::string> ops() const {
    std::vector<std::string> out;
    for (const auto& call : tray.calls) out.push_back(call.op);
    return out;
  }

  fake::FakeTrayIcon tray;
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

TEST(TrayImageOf, GivesThePixelsOfTheIconAndNothingForANullIcon) {
  const platform::TrayImage image = TrayImageOf(SomeIcon());
  EXPECT_EQ(image.width, 32);
  EXPECT_EQ(image.height, 32);
  ASSERT_EQ(image.argb.size(), 32u * 32u);
  EXPECT_EQ(image.argb[0], 0xFFFF0000u);
  EXPECT_TRUE(TrayImageOf(QIcon()).empty());
}

TEST_F(IconTrayTest, LoadShowsTheIconOnceWithItsTip) {
  TIconTray icon(nullptr, tray);
  EXPECT_FALSE(icon.Registered());
  icon.ReadState([](TIconTray& t) {
    t.setIcon(SomeIcon());
    t.setHint("tip");
  });
  // Writes while the layout is read are held back: one show, at the hook.
  ASSERT_EQ(ops(), std::vector<std::string>{"show"});
  EXPECT_EQ(tray.calls[0].tip, "tip");
  EXPECT_EQ(tray.calls[0].image, TrayImageOf(SomeIcon()));
  EXPECT_TRUE(icon.Registered());
  EXPECT_TRUE(icon.Shown());
}

TEST_F(IconTrayTest, AnEmptyImageShowsNothingUntilAnImageComes) {
  TIconTray icon(nullptr, tray);
  icon.ReadState([](TIconTray& t) { t.setHint("x"); });
  EXPECT_TRUE(tray.calls.empty());
  EXPECT_FALSE(icon.Registered());
  icon.setIcon(SomeIcon());
  ASSERT_EQ(ops(), std::vector<std::string>{"show"});
  EXPECT_EQ(tray.tip, "x");
}

TEST_F(IconTrayTest, HideMainFormHidesTheApplicationBeforeTheIconIsShown) {
  std::vector<std::string> order;
  TIconTray::setApplicationHider([&] { order.push_back("hide:" + std::to_string(tray.calls.size())); });
  {
    TIconTray icon(nullptr, tray);
    icon.ReadState([](TIconTray& t) {
      t.setHideMainForm(true);
      t.setIcon(SomeIcon());
    });
  }
  TIconTray::setApplicationHider({});
  EXPECT_EQ(order, std::vector<std::string>{"hide:0"});
}

TEST_F(IconTrayTest, HintIsCutTo63Bytes) {
  auto icon = shown();
  const std::string hint63(63, 'h');
  icon->setHint(hint63);
  EXPECT_EQ(icon->Hint(), hint63);
  ASSERT_EQ(ops(), std::vector<std::string>{"update"});
  EXPECT_EQ(tray.tip, hint63);

  // Equal: no call. Longer with the same first 63 bytes: an update with the same tip.
  icon->setHint(hint63);
  EXPECT_EQ(tray.calls.size(), 1u);
  icon->setHint(hint63 + "tail");
  ASSERT_EQ(tray.calls.size(), 2u);
  EXPECT_EQ(tray.calls[1].tip, hint63);
  EXPECT_EQ(icon->Hint(), hint63);

  // A character that the cut would split is dropped whole.
  icon->setHint(std::string(62, 'j') + "漢");
  EXPECT_EQ(icon->Hint(), std::string(62, 'j'));
  EXPECT_EQ(tray.tip, std::string(62, 'j'));
}

TEST_F(IconTrayTest, ShowHintOffGivesAnEmptyTipAndKeepsTheHint) {
  auto icon = shown();
  icon->setHint("Tapwell");
  icon->setShowHint(false);
  EXPECT_EQ(tray.tip, "");
  EXPECT_EQ(icon->Hint(), "Tapwell");
  const auto calls = tray.calls.size();
  icon->setShowHint(false);  // unchanged: nothing
  EXPECT_EQ(tray.calls.size(), calls);
  icon->setShowHint(true);
  EXPECT_EQ(tray.tip, "Tapwell");
}

TEST_F(IconTrayTest, EmptyImageTakesTheIconOutAndANewImageShowsItAgain) {
  auto icon = shown();
  icon->setIcon(QIcon());
  EXPECT_EQ(ops(), std::vector<std::string>{"hide"});
  EXPECT_FALSE(icon->Registered());
  EXPECT_FALSE(tray.shown);
  icon->setIcon(QIcon());  // not registered: no call
  EXPECT_EQ(tray.calls.size(), 1u);
  icon->setIcon(SomeIcon());
  EXPECT_EQ(ops(), (std::vector<std::string>{"hide", "show"}));
  EXPECT_TRUE(icon->Registered());
}

TEST_F(IconTrayTest, RefusalsRaiseRegistrationErrorAndKeepTheState) {
  tray.isAvailable = false;
  TIconTray icon(nullptr, tray);
  try {
    icon.ReadState([](TIconTray& t) { t.setIcon(SomeIcon()); });
    FAIL() << "no error";
  } catch (const EIconTrayError& e) {
    EXPECT_STREQ(e.what(), "Registration Error");
  }
  EXPECT_FALSE(icon.Registered());
  // Ready to show again at the next update.
  tray.isAvailable = true;
  icon.setHint("again");
  EXPECT_EQ(tray.calls.back().op, "show");
  EXPECT_TRUE(icon.Registered());

  tray.refuseUpdate = true;
  EXPECT_THROW(icon.setHint("other"), EIconTrayError);
  EXPECT_TRUE(icon.Registered());
  EXPECT_EQ(icon.Hint(), "other");

  tray.refuseHide = true;
  EXPECT_THROW(icon.setIcon(QIcon()), EIconTrayError);
  EXPECT_TRUE(icon.Registered());
}

TEST_F(IconTrayTest, DestructionTakesTheIconOutAndNeverThrows) {
  { auto icon = shown(); }
  EXPECT_EQ(ops(), std::vector<std::string>{"hide"});
  EXPECT_FALSE(tray.shown);
  {
    auto icon = shown();
    tray.refuseHide = true;
  }  // the refused removal does not escape
  EXPECT_EQ(tray.calls.back().op, "hide");
}

TEST_F(IconTrayTest, ClickOpensTheLeftMenuAtTheCursorAndContextTheRightOne) {
  auto icon = shown();
  TPopupMenu left;
  TPopupMenu right;
  std::vector<std::string> events;
  icon->OnClick = [&](TIconTray* sender) {
    EXPECT_EQ(sender, icon.get());
    events.push_back("click");
  };
  icon->OnDblClick = [&](TIconTray*) { events.push_back("dblclick"); };
  for (TPopupMenu* menu : {&left, &right}) {
    QObject::connect(menu, &TPopupMenu::poppedUp, [&, menu](int x, int y) {
      EXPECT_EQ(QPoint(x, y), QCursor::pos());
      events.push_back(menu == &left ? "leftmenu" : "rightmenu");
      menu->hide();
    });
  }
  // No right menu yet: a context activation opens nothing.
  icon->setLBtnPopupMenu(&left);
  tray.activate(TrayActivation::Context);
  icon->setRBtnPopupMenu(&right);
  tray.activate(TrayActivation::Click);
  tray.activate(TrayActivation::DoubleClick);
  tray.activate(TrayActivation::Context);
  tray.activate(TrayActivation::Middle);
  EXPECT_EQ(events, (std::vector<std::string>{"click", "leftmenu", "dblclick", "rightmenu"}));
}

TEST_F(IconTrayTest, MenuWithoutAutoPopupIsNeverOpened) {
  auto icon = shown();
  TPopupMenu menu;
  menu.AutoPopup = false;
  QSignalSpy popped(&menu, &TPopupMenu::poppedUp);
  icon->setLBtnPopupMenu(&menu);
  tray.activate(TrayActivation::Click);
  EXPECT_EQ(popped.count(), 0);
}

TEST_F(IconTrayTest, DestroyingAMenuClearsBothProperties) {
  TIconTray icon(nullptr, tray);
  auto* menu = new TPopupMenu;
  TPopupMenu other;
  icon.setLBtnPopupMenu(menu);
  icon.setRBtnPopupMenu(menu);
  icon.setLBtnPopupMenu(menu);  // assigned twice: still one notification
  delete menu;
  EXPECT_EQ(icon.LBtnPopupMenu(), nullptr);
  EXPECT_EQ(icon.RBtnPopupMenu(), nullptr);

  icon.setLBtnPopupMenu(&other);
  auto* gone = new TPopupMenu;
  icon.setRBtnPopupMenu(gone);
  delete gone;
  EXPECT_EQ(icon.LBtnPopupMenu(), &other);
  EXPECT_EQ(icon.RBtnPopupMenu(), nullptr);
}

TEST_F(IconTrayTest, AHostThatComesOrGoesIsAnnouncedAndDecidesWhetherTheIconIsSeen) {
  auto icon = shown();
  QSignalSpy changed(icon.get(), &TIconTray::availabilityChanged);
  tray.setAvailable(false);
  EXPECT_TRUE(icon->Registered());
  EXPECT_FALSE(icon->Shown());
  tray.setAvailable(true);
  EXPECT_TRUE(icon->Shown());
  ASSERT_EQ(changed.count(), 2);
  EXPECT_FALSE(changed[0][0].toBool());
  EXPECT_TRUE(changed[1][0].toBool());
}

}  // namespace
}  // namespace tapwell::ui
