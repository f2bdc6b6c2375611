// A main window built on recording fakes and a clock that the test sets.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/product.h"
#include "platform/fake/fake_notification_area.h"
#include "platform/fake/fakes.h"
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

  Tmain& form() {
    if (!main_) {
      main_ = std::make_unique<Tmain>(
          MainServices{keyboard,      launcher, area,        boxes,      errors, clock, [this] { ++quits; },
                       programFolder, settings, fileDialogs, shippedLayouts});
    }
    return *main_;
  }

  void destroy() { main_.reset(); }

  fake::RecordingKeyboard keyboard;
  fake::RecordingLauncher launcher;
  fake::RecordingNotificationArea area;
  fake::RecordingMessageBoxes boxes;
  RecordingErrorReport errors;
  FakeClock clock;
  std::string programFolder = "/nonexistent/tapwell/bin/";
  // The shortcut's store and the file dialogs' seam; the real ones when null.
  platform::IniStore* settings = nullptr;
  FileDialogRunner* fileDialogs = nullptr;
  std::string shippedLayouts;
  int quits = 0;

 private:
  std::unique_ptr<Tmain> main_;
};

}  // namespace tapwell::ui::testing
