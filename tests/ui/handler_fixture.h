// The main window with its button windows, a temporary program folder, a fake
// settings store and file dialogs that the test answers.
#pragma once

#include <unistd.h>

#include <QFileDialog>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "main_fixture.h"
#include "platform/fake/fake_ini_store.h"
#include "ui/panels.h"

namespace tapwell::ui::testing {

// Answers each dialog with the next answer (nothing = cancel) and records what the
// dialog offered when it was opened.
class ScriptedDialogs : public FileDialogRunner {
 public:
  struct Seen {
    QFileDialog* dialog = nullptr;
    std::string directory;
    QStringList selected;
  };
  std::optional<std::string> run(QFileDialog& dialog) override {
    seen.push_back({&dialog, dialog.directory().absolutePath().toStdString(), dialog.selectedFiles()});
    if (whileOpen) whileOpen(dialog);
    if (answers.empty()) return std::nullopt;
    std::optional<std::string> answer = answers.front();
    answers.pop_front();
    return answer;
  }
  std::deque<std::optional<std::string>> answers;
  std::vector<Seen> seen;
  // What the user does in the dialog before answering.
  std::function<void(QFileDialog&)> whileOpen;
};

class HandlerFixture : public MainFixture {
 protected:
  void SetUp() override {
    MainFixture::SetUp();
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    root = std::filesystem::temp_directory_path() / ("tapwell_ui_" + std::string(info->test_suite_name()) +
                                                     "_" + info->name() + "_" + std::to_string(::getpid()));
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root / "command");
    programFolder = root.string() + "/";
    settings = &store;
    fileDialogs = &dialogs;
  }
  void TearDown() override {
    destroy();
    tool2.reset();
    toolAdd.reset();
    vkeybord.reset();
    std::filesystem::remove_all(root);
  }

  // The main window with Tool2, ToolAdd and VKeyBord beside it.
  Tmain& windows() {
    Tmain& m = form();
    if (!tool2) {
      tool2 = std::make_unique<TTool2>();
      toolAdd = std::make_unique<TToolAdd>();
      vkeybord = std::make_unique<TVKeyBord>();
      m.setPanels(tool2.get(), toolAdd.get(), vkeybord.get());
    }
    return m;
  }

  static void Write(const std::filesystem::path& path, const std::string& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
  }
  static std::string Read(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  // The one error report shown, or "" when none or several were.
  std::string onlyError() const { return errors.shown.size() == 1 ? errors.shown[0].second : std::string(); }

  std::filesystem::path root;
  fake::FakeIniStore store;
  ScriptedDialogs dialogs;
  std::unique_ptr<TTool2> tool2;
  std::unique_ptr<TToolAdd> toolAdd;
  std::unique_ptr<TVKeyBord> vkeybord;
};

}  // namespace tapwell::ui::testing
