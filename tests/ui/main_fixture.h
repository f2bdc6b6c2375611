// A main window built on recording fakes and a clock that the test sets.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/product.h"
#include "platform/fake/fake_tray_icon.h"
#include "platform/fake/fakes.h"
#include "platform/posix/xdg_autostart.h"
#include "platform/qt/qt_ini_store.h"
#include "platform/qt/qt_step_timer.h"
#include "ui/main_form.h"

namespace tapwell::ui::testing {

class FakeClock : public Clock {
 public:
  LocalDateTime now() const override { return time; }
  LocalDateTime time{2026, 12, 7, 8, 0, 0, 0};
};

class RecordingErrorReport : public ErrorReport {
 public:
  void showError(const std::string& caption, const std::string& text) override {
    shown.emplace_back(caption, text);
  }
  std::vector<std::pair<std::string, std::string>> shown;
};

class MainFixture : public ::testing::Test {
 protected:
  void SetUp() override {}

  // The services as the program's entry makes them, with the fakes; the real
  // settings store, autostart folder and dialogs where the test sets none.
  MainServices services() {
    if (!settings) {
      ownSettings_ = std::make_unique<platform::QtIniStore>();
      settings = ownSettings_.get();
    }
    if (!autostart) {
      ownAutostart_ =
          std::make_unique<platform::XdgAutostart>(platform::XdgAutostart::UserFolder(), "/usr/bin/tapwell");
      autostart = ownAutostart_.get();
    }
    if (!fileDialogs)
      fileDialogs = &realDialogs_;
    return MainServices{.keyboard = keyboard,
                        .launcher = launcher,
                        .tray = tray,
                        .settings = *settings,
                        .autostart = *autostart,
                        .fileDialogs = *fileDialogs,
                        .boxes = boxes,
                        .errors = errors,
                        .clock = clock,
                        .makeStepTimer = [](std::function<void()> onTick) -> std::unique_ptr<platform::DeadlineTimer> {
                          auto timer = std::make_unique<platform::QtStepTimer>();
                          timer->setHandler(std::move(onTick));
                          return timer;
                        },
                        .quit = [this] { ++quits; },
                        .programFolder = programFolder,
                        .shippedLayouts = shippedLayouts,
                        .trayWait = trayWait};
  }

  Tmain& form() {
    if (!main_)
      main_ = std::make_unique<Tmain>(services());
    return *main_;
  }

  void destroy() { main_.reset(); }

  fake::RecordingKeyboard keyboard;
  fake::RecordingLauncher launcher;
  fake::FakeTrayIcon tray;
  fake::RecordingMessageBoxes boxes;
  RecordingErrorReport errors;
  FakeClock clock;
  std::string programFolder = "/nonexistent/tapwell/bin/";
  // The shortcut's store, the login entry and the file dialogs' seam; the real
  // ones when null.
  platform::IniStore* settings = nullptr;
  platform::Autostart* autostart = nullptr;
  FileDialogRunner* fileDialogs = nullptr;
  std::string shippedLayouts;
  std::chrono::milliseconds trayWait{0};
  int quits = 0;

 private:
  std::unique_ptr<platform::IniStore> ownSettings_;
  std::unique_ptr<platform::XdgAutostart> ownAutostart_;
  QtFileDialogRunner realDialogs_;
  std::unique_ptr<Tmain> main_;
};

}  // namespace tapwell::ui::testing
