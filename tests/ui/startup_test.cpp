// Start-up: the splash's arithmetic and handovers, the windows and their order,
// the version snapshot, the stored layouts of the other windows.
#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "app/gui/application.h"
#include "app/snapshot.h"
#include "app/version.h"
#include "core/product.h"
#include "main_fixture.h"
#include "platform/fake/fake_ini_store.h"
#include "store/shortcut.h"

namespace tapwell::app {
namespace {

namespace fs = std::filesystem;

TEST(SplashArithmetic, CentresWithIntegerHalving) {
  EXPECT_EQ(SplashPosition(1024, 768, 367, 106), QPoint(329, 331));
  EXPECT_EQ(SplashPosition(1280, 1024, 367, 106), QPoint(457, 459));
  // Each term is halved on its own: 1025 / 2 - 367 / 2, not (1025 - 367) / 2.
  EXPECT_EQ(SplashPosition(1025, 769, 367, 106), QPoint(329, 331));
  EXPECT_EQ(CentredLeft(367, 91), 138);
  EXPECT_EQ(CentredLeft(367, 284), 41);
  EXPECT_EQ(CentredLeft(367, 61), 153);
}

// A handover timer that the test fires.
class FakeSplashTimer : public SplashTimer {
 public:
  void start(int ms, std::function<void()> elapsed) override {
    interval_ = ms;
    elapsed_ = std::move(elapsed);
    active_ = true;
  }
  void stop() override { active_ = false; }
  bool isActive() const override { return active_; }
  int interval() const override { return interval_; }
  // The interval has passed: calls back as the event loop would.
  void fire() {
    ASSERT_TRUE(active_) << "fired while not armed";
    elapsed_();
  }

 private:
  int interval_ = 0;
  bool active_ = false;
  std::function<void()> elapsed_;
};

class StartupTest : public ui::testing::MainFixture {
 protected:
  void SetUp() override {
    MainFixture::SetUp();
    savedRelease_ = ReleaseMode;
  }
  void TearDown() override { ReleaseMode = savedRelease_; }

  ApplicationWindows& windows(bool trayStart = false) {
    if (!windows_) {
      WindowServices s{services(), QSize(1024, 768), trayStart};
      s.splashTimer = &splashTimer;
      windows_ = std::make_unique<ApplicationWindows>(std::move(s));
    }
    return *windows_;
  }

  FakeSplashTimer splashTimer;
  std::unique_ptr<ApplicationWindows> windows_;
  fake::FakeIniStore store;
  bool savedRelease_ = true;
};

TEST_F(StartupTest, WindowsAreCreatedInOrderAndOnlyTheSplashIsShown) {
  ApplicationWindows& w = windows();
  EXPECT_EQ(w.creationOrder(), (std::vector<std::string>{"startup", "main", "Log", "Tool", "Editer", "Tool2",
                                                         "ToolAdd", "VKeyBord"}));
  w.start();
  EXPECT_TRUE(w.startup->isVisible());
  for (QWidget* other :
       std::initializer_list<QWidget*>{w.main.get(), w.Log.get(), w.Tool.get(), w.Editer.get(), w.Tool2.get(),
                                       w.ToolAdd.get(), w.VKeyBord.get()}) {
    EXPECT_FALSE(other->isVisible()) << other->objectName().toStdString();
  }
}

TEST_F(StartupTest, SplashAndMainWindowShowTheProductStrings) {
  ApplicationWindows& w = windows();
  const ProductStrings& product = Product();
  EXPECT_EQ(product.title, "Tapwell");
  EXPECT_EQ(product.version, VersionString(TAPWELL_VERSION_MAJOR, TAPWELL_VERSION_MINOR,
                                           TAPWELL_VERSION_PATCH, TAPWELL_VERSION_TWEAK));
  EXPECT_EQ(w.startup->TitleLabel->text().toStdString(), product.title);
  EXPECT_EQ(w.startup->VersionLabel->text().toStdString(), product.version);
  EXPECT_EQ(w.startup->SinceLabel->text().toStdString(), "since 1999/11/23");
  EXPECT_FALSE(w.startup->CopyRightLabel->text().isEmpty());
  EXPECT_EQ(w.main->windowTitle().toStdString(), "Tapwell");
  EXPECT_EQ(tray.tip, "Tapwell");
}

TEST_F(StartupTest, SplashLayoutAndCentring) {
  Tstartup& s = *windows().startup;
  EXPECT_EQ(s.size(), QSize(367, 106));
  EXPECT_TRUE(s.windowFlags() & Qt::FramelessWindowHint);
  EXPECT_EQ(s.pos(), QPoint(329, 331));
  EXPECT_EQ(s.TitleLabel->font().pixelSize(), 48);
  EXPECT_FALSE(s.ReleaseCheck->isVisibleTo(&s));
  EXPECT_EQ(s.ReleaseCheck->text(), "Release");
  EXPECT_EQ(ReleaseMode, s.ReleaseCheck->isChecked());
  EXPECT_EQ(s.Timer1->interval(), 2000);
  EXPECT_TRUE(s.Timer1->isActive());
  // Labels are sized to their text and centred; their tops stay.
  const std::pair<QLabel*, int> tops[] = {
      {s.TitleLabel, 8}, {s.VersionLabel, 56}, {s.CopyRightLabel, 72}, {s.SinceLabel, 88}};
  for (const auto& [label, top] : tops) {
    EXPECT_EQ(label->y(), top);
    EXPECT_EQ(label->width(), label->sizeHint().width());
    EXPECT_EQ(label->x(), 183 - label->width() / 2) << label->objectName().toStdString();
  }
}

TEST_F(StartupTest, TimerHandoverInReleaseMode) {
  ApplicationWindows& w = windows();
  ReleaseMode = true;  // whatever the build's flag
  w.start();
  splashTimer.fire();
  EXPECT_FALSE(w.startup->Timer1->isActive());
  EXPECT_TRUE(w.main->isVisible());
  EXPECT_FALSE(w.startup->isVisible());
  EXPECT_FALSE(w.Log->isVisible());
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_TRUE(w.main->windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(w.main->windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_EQ(w.main->minimumSize(), w.main->maximumSize());
}

class TempFolder {
 public:
  TempFolder() {
    path_ = fs::temp_directory_path() /
            (std::string("tapwell_start_") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~TempFolder() { fs::remove_all(path_); }
  std::string folder() const { return path_.string() + "/"; }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

void Write(const fs::path& p, const std::string& text) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << text;
}

TEST_F(StartupTest, TimerHandoverInDevelopmentMode) {
  TempFolder dir;
  Write(dir.path() / "tapwell", "program");
  programFolder = dir.folder();
  ApplicationWindows& w = windows();
  ReleaseMode = false;
  std::vector<std::string> order;
  boxes.onShow = [&] {
    order.push_back(std::string("box") + (w.Log->isVisible() ? "+log" : "") +
                    (w.main->isVisible() ? "+main" : ""));
  };
  w.start();
  splashTimer.fire();
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].first, "自動バージョン管理");
  EXPECT_EQ(boxes.shown[0].second, Product().version + "を記録しました");
  EXPECT_EQ(order, std::vector<std::string>{"box"});  // the snapshot comes before both windows
  EXPECT_TRUE(fs::exists(dir.path() / Product().version / "tapwell"));
  EXPECT_TRUE(w.Log->isVisible());
  EXPECT_TRUE(w.main->isVisible());
  EXPECT_FALSE(w.startup->isVisible());
}

TEST_F(StartupTest, ClickOnTheSplashHandsOverAtOnceAndOnlyOnce) {
  ApplicationWindows& w = windows();
  ReleaseMode = false;
  w.start();
  QTest::mouseClick(w.startup.get(), Qt::LeftButton, {}, QPoint(5, 100));
  EXPECT_TRUE(w.main->isVisible());
  EXPECT_FALSE(w.startup->isVisible());
  EXPECT_FALSE(w.startup->Timer1->isActive());
  // No development actions on a click.
  EXPECT_FALSE(w.Log->isVisible());
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_TRUE(w.startup->handedOver());
  // A late timer does nothing more.
  w.main->hide();
  w.startup->Timer1Timer();
  EXPECT_FALSE(w.main->isVisible());
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(StartupTest, ClickOnALabelDoesNothing) {
  ApplicationWindows& w = windows();
  w.start();
  for (QLabel* label :
       {static_cast<QLabel*>(w.startup->TitleLabel), static_cast<QLabel*>(w.startup->VersionLabel),
        static_cast<QLabel*>(w.startup->SinceLabel), static_cast<QLabel*>(w.startup->CopyRightLabel)}) {
    QTest::mouseClick(label, Qt::LeftButton, {}, QPoint(2, 2));
  }
  EXPECT_FALSE(w.main->isVisible());
  EXPECT_TRUE(w.startup->isVisible());
  EXPECT_TRUE(w.startup->Timer1->isActive());
}

TEST_F(StartupTest, TheTimerArmedForTwoSecondsHandsOverWhenItFires) {
  ApplicationWindows& w = windows();
  ReleaseMode = true;
  EXPECT_EQ(w.startup->Timer1, &splashTimer);
  EXPECT_EQ(splashTimer.interval(), 2000);
  w.start();
  QCoreApplication::processEvents();
  EXPECT_FALSE(w.main->isVisible());
  splashTimer.fire();
  EXPECT_TRUE(w.main->isVisible());
  EXPECT_FALSE(w.startup->isVisible());
  EXPECT_FALSE(splashTimer.isActive());
}

TEST(QtSplashTimer, CallsBackOnTheEventLoopOnceItsIntervalHasPassed) {
  QtSplashTimer timer;
  int calls = 0;
  timer.start(1, [&] { ++calls; });
  EXPECT_TRUE(timer.isActive());
  EXPECT_EQ(timer.interval(), 1);
  EXPECT_EQ(calls, 0);
  QTRY_COMPARE_WITH_TIMEOUT(calls, 1, 20000);
  EXPECT_FALSE(timer.isActive());
}

TEST_F(StartupTest, WithoutATrayTheStartCompletesAndTheMainWindowComes) {
  tray.isAvailable = false;
  ApplicationWindows& w = windows();
  w.start();
  QCoreApplication::processEvents();
  ASSERT_EQ(errors.shown.size(), 1u);
  EXPECT_EQ(errors.shown[0].second, "Registration Error.");
  splashTimer.fire();
  EXPECT_TRUE(w.main->isVisible());
  EXPECT_EQ(w.main->windowTitle().toStdString(), "Tapwell");
}

TEST_F(StartupTest, StartedForTheTrayTheMainWindowStaysHiddenBehindItsIcon) {
  settings = &store;
  windows(true).start();
  splashTimer.fire();
  EXPECT_FALSE(windows_->startup->isVisible());
  EXPECT_FALSE(windows_->main->isVisible());
  EXPECT_TRUE(windows_->main->IconTray1->Registered());
  // The clock runs, so the reservation fires while the window is hidden.
  EXPECT_TRUE(windows_->main->Timer1->isActive());
  windows_->main->show1Click();
  EXPECT_TRUE(windows_->main->isVisible());
}

TEST_F(StartupTest, StartedForTheTrayWithoutATrayTheMainWindowComesWhenTheWaitIsOver) {
  tray.isAvailable = false;
  trayWait = std::chrono::milliseconds(1);
  settings = &store;
  windows(true).start();
  splashTimer.fire();
  // Still waiting for a tray host: no window, no report.
  EXPECT_FALSE(windows_->main->isVisible());
  EXPECT_TRUE(errors.shown.empty());
  QTRY_VERIFY_WITH_TIMEOUT(windows_->main->isVisible(), 20000);
  EXPECT_FALSE(windows_->main->isMinimized());
  ASSERT_EQ(errors.shown.size(), 1u);
  EXPECT_EQ(errors.shown[0].second, "Registration Error.");
}

TEST_F(StartupTest, StartedForTheTrayTheStoredShortcutIsArmed) {
  settings = &store;
  const std::string key = store::ShortcutKeyPath("Tapwell");
  store.keys[key]["data"]["time1"] = {"9:05:07"};
  store.keys[key]["data"]["data1"] = {"_a"};
  ApplicationWindows& w = windows(true);
  QTRY_COMPARE_WITH_TIMEOUT(w.main->Edit1->text(), QStringLiteral("_a"), 20000);
  EXPECT_EQ(w.main->Hour->currentText(), "9");
  EXPECT_EQ(w.main->Minute->currentText(), "05");
  EXPECT_EQ(w.main->Second->currentText(), "07");
  EXPECT_TRUE(errors.shown.empty());
}

TEST_F(StartupTest, StartedForTheTrayAFailingShortcutIsReportedOnceAndNoneIsNoBox) {
  settings = &store;
  const std::string key = store::ShortcutKeyPath("Tapwell");
  store.keys[key]["data"]["time1"] = {"9:x5:07"};
  windows(true);
  QTRY_COMPARE_WITH_TIMEOUT(errors.shown.size(), 1u, 20000);
  EXPECT_EQ(errors.shown[0].second, "'x5' は整数ではありません.");
  EXPECT_EQ(windows_->main->Hour->currentText(), "9");
  QCoreApplication::processEvents();
  EXPECT_EQ(errors.shown.size(), 1u);

  windows_.reset();
  errors.shown.clear();
  store.keys.clear();
  store.log.clear();
  ApplicationWindows& w = windows(true);
  QTRY_COMPARE_WITH_TIMEOUT(store.log.size(), 2u, 20000);  // the key opened and "time1" read
  QCoreApplication::processEvents();
  EXPECT_TRUE(errors.shown.empty());
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_EQ(w.main->Hour->currentIndex(), -1);
}

TEST_F(StartupTest, ToolCarriesSixtySpeedButtons) {
  TTool& t = *windows().Tool;
  EXPECT_EQ(t.windowTitle(), "Tool");
  ASSERT_EQ(TTool::Captions().size(), 60u);
  EXPECT_STREQ(TTool::Captions()[0], "A");
  EXPECT_STREQ(TTool::Captions()[25], "Z");
  EXPECT_STREQ(TTool::Captions()[44], "Wait");
  EXPECT_STREQ(TTool::Captions()[45], "0");
  EXPECT_STREQ(TTool::Captions()[54], "9");
  for (int i = 0; i < 60; ++i) {
    const QToolButton* b = t.SpeedButtons[static_cast<std::size_t>(i)];
    EXPECT_EQ(b->geometry(), QRect((i % 5) * 24, (i / 5) * 24, 25, 25));
    EXPECT_EQ(b->text().toStdString(), TTool::Captions()[static_cast<std::size_t>(i)]);
  }
  // The last row still fits inside the window.
  EXPECT_LE(11 * 24 + 25, t.height());
}

TEST_F(StartupTest, StoredLayoutsOfTheOtherWindows) {
  ApplicationWindows& w = windows();
  EXPECT_EQ(w.Log->windowTitle().toStdString(), "デバッグ情報");
  EXPECT_EQ(w.Log->Memo2->toPlainText(), "Memo2");
  EXPECT_EQ(w.Log->Log1->count(), 0);
  EXPECT_EQ(w.Log->Log1->height(), w.Log->height());
  EXPECT_NE(w.Log->updataLog->toPlainText().indexOf("2026/12/07"), -1);
  EXPECT_EQ(w.Editer->windowTitle(), "Editer");
  EXPECT_TRUE(w.Editer->children().isEmpty());
  EXPECT_EQ(w.Tool2->windowTitle(), "Tool2");
  EXPECT_EQ(w.Tool2->Memo1->geometry(), QRect(152, 0, 97, 329));
  EXPECT_EQ(w.ToolAdd->Top->text(), "0");
  EXPECT_EQ(w.ToolAdd->Height->text(), "20");
  EXPECT_EQ(w.ToolAdd->Width->text(), "20");
  EXPECT_EQ(w.ToolAdd->look->geometry(), QRect(8, 136, 75, 25));
  EXPECT_EQ(w.ToolAdd->add->geometry(), QRect(88, 136, 75, 25));
  EXPECT_FALSE(w.ToolAdd->Top->testAttribute(Qt::WA_InputMethodEnabled));
  EXPECT_TRUE(w.ToolAdd->Caption->testAttribute(Qt::WA_InputMethodEnabled));
  EXPECT_FALSE(w.VKeyBord->Memo1->isVisibleTo(w.VKeyBord.get()));
  EXPECT_EQ(w.VKeyBord->windowTitle(), "VKeyBord");
  // Outer geometry before a frame is known: the standard sizeable frame.
  EXPECT_EQ(w.Log->pos(), QPoint(206, 125));
  EXPECT_EQ(w.Log->size(), QSize(539 - 8, 372 - 27));
  EXPECT_EQ(w.ToolAdd->size(), QSize(178 - 8, 198 - 27));
}

TEST(VersionSnapshot, FirstStartCopiesTheFilesOfTheFolderOnly) {
  const fs::path root = fs::temp_directory_path() / "tapwell_snapshot_first";
  fs::remove_all(root);
  Write(root / "tapwell", "program");
  Write(root / "key.txt", "0010002000250075Enter\r\n");
  Write(root / ".hidden", "h");
  Write(root / "command" / "script.txt", "_a");
  fake::RecordingMessageBoxes boxes;
  EXPECT_TRUE(VersionSnapshot(root.string() + "/", "Version 1.2.3.4", boxes));
  const fs::path target = root / "Version 1.2.3.4";
  EXPECT_TRUE(fs::is_directory(target));
  for (const char* name : {"tapwell", "key.txt", ".hidden"})
    EXPECT_TRUE(fs::is_regular_file(target / name)) << name;
  EXPECT_FALSE(fs::exists(target / "command"));
  std::ifstream copied(target / "key.txt", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(copied), {}), "0010002000250075Enter\r\n");
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0],
            (std::pair<std::string, std::string>{"自動バージョン管理", "Version 1.2.3.4を記録しました"}));

  // A second start of the same version: nothing.
  Write(root / "new.txt", "n");
  EXPECT_FALSE(VersionSnapshot(root.string() + "/", "Version 1.2.3.4", boxes));
  EXPECT_EQ(boxes.shown.size(), 1u);
  EXPECT_FALSE(fs::exists(target / "new.txt"));
  // The earlier snapshot is a folder: not copied into a later one.
  EXPECT_TRUE(VersionSnapshot(root.string() + "/", "Version 1.2.3.5", boxes));
  EXPECT_FALSE(fs::exists(root / "Version 1.2.3.5" / "Version 1.2.3.4"));
  EXPECT_TRUE(fs::exists(root / "Version 1.2.3.5" / "new.txt"));
  fs::remove_all(root);
}

TEST(VersionSnapshot, APlainFileNamedLikeTheSnapshotCounts) {
  const fs::path root = fs::temp_directory_path() / "tapwell_snapshot_file";
  fs::remove_all(root);
  Write(root / "tapwell", "program");
  Write(root / "Version 1.0.0.0", "not a folder");
  fake::RecordingMessageBoxes boxes;
  EXPECT_FALSE(VersionSnapshot(root.string() + "/", "Version 1.0.0.0", boxes));
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_TRUE(fs::is_regular_file(root / "Version 1.0.0.0"));
  fs::remove_all(root);
}

}  // namespace
}  // namespace tapwell::app
