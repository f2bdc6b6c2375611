// The stop key in the windows: taken only while a script runs, ending it when
// pressed, named in the tray hint meanwhile; a key that cannot be taken is
// reported once.
#include <gtest/gtest.h>

#include "app/gui/stop_key_control.h"
#include "main_fixture.h"

namespace tapwell::app {
namespace {

using fake::Down;
using fake::Up;

class FakeStopKey : public platform::StopKey {
 public:
  bool arm(std::string& why) override {
    if (refuse) {
      why = "the Pause key is held by another program";
      return false;
    }
    on = true;
    return true;
  }
  void disarm() override { on = false; }
  bool armed() const override { return on; }
  void setHandler(std::function<void()> onPress) override { press = std::move(onPress); }

  bool refuse = false;
  bool on = false;
  std::function<void()> press;
};

class StopKeyControlTest : public ui::testing::MainFixture {
 protected:
  ui::Tmain& start(const char* script) {
    ui::Tmain& m = form();
    m.FormCreate();
    m.Edit1->setText(QString::fromUtf8(script));
    m.TestBtn->click();
    return m;
  }
  FakeStopKey key;
  std::vector<std::string> warnings;
};

TEST_F(StopKeyControlTest, TheKeyIsTakenWhileAScriptRunsAndEndsIt) {
  ui::Tmain& m = form();
  StopKeyControl control(m, key, [this](const std::string& w) { warnings.push_back(w); });
  start(">ctrl!5_a");
  EXPECT_TRUE(key.on);
  EXPECT_EQ(m.IconTray1->Hint(), "Tapwell (Pause: stop)");
  m.KeyEmuTimerTimer();
  m.KeyEmuTimerTimer();
  ASSERT_TRUE(key.press);
  key.press();
  EXPECT_FALSE(m.scriptRunning());
  EXPECT_EQ(keyboard.events, (std::vector<fake::KeyEvent>{Down(17), Up(17)}));
  EXPECT_FALSE(key.on);
  EXPECT_EQ(m.IconTray1->Hint(), "Tapwell");
  // A script that ends by itself gives the key back too.
  start("_a");
  EXPECT_TRUE(key.on);
  m.KeyEmuTimerTimer();
  m.KeyEmuTimerTimer();
  EXPECT_FALSE(key.on);
  EXPECT_EQ(m.IconTray1->Hint(), "Tapwell");
  EXPECT_TRUE(warnings.empty());
}

TEST_F(StopKeyControlTest, WithoutATrayTheHintChangesShowNoBoxWhileTheScriptTypes) {
  tray.refuseShow = true;
  tray.refuseUpdate = true;
  ui::Tmain& m = form();
  StopKeyControl control(m, key, [this](const std::string& w) { warnings.push_back(w); });
  start("_a");
  const std::size_t reported = errors.shown.size();
  EXPECT_TRUE(key.on);
  m.KeyEmuTimerTimer();
  m.KeyEmuTimerTimer();
  EXPECT_FALSE(key.on);
  EXPECT_EQ(errors.shown.size(), reported);
}

TEST_F(StopKeyControlTest, AKeyThatCannotBeTakenIsReportedOnceAfterTheScript) {
  key.refuse = true;
  ui::Tmain& m = form();
  StopKeyControl control(m, key, [this](const std::string& w) { warnings.push_back(w); });
  start("!1_a");
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].find("held by another program"), std::string::npos);
  EXPECT_EQ(m.IconTray1->Hint(), "Tapwell");
  // No box while the script could type into it.
  EXPECT_TRUE(errors.shown.empty());
  for (int i = 0; i < 4; ++i) m.KeyEmuTimerTimer();
  ASSERT_FALSE(m.scriptRunning());
  ASSERT_EQ(errors.shown.size(), 1u);
  EXPECT_NE(errors.shown[0].second.find("scripts run without a stop key"), std::string::npos);
  // Said once for the whole run of the program.
  start("_a");
  m.KeyEmuTimerTimer();
  m.KeyEmuTimerTimer();
  EXPECT_EQ(warnings.size(), 1u);
  EXPECT_EQ(errors.shown.size(), 1u);
}

}  // namespace
}  // namespace tapwell::app
