#include "GuiSupport.h"

#include <QApplication>
#include <gtest/gtest.h>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "ui/DemoApp.h"

namespace {

// The window keeps the operator's language in the configuration folder: the
// tests keep theirs in the build tree, never reading or changing the
// developer's own choice, one folder per test process (ctest runs them side
// by side), removed when it ends.
struct OwnConfiguration {
  OwnConfiguration() {
    std::filesystem::create_directories(KORVELT_TEST_CONFIG_HOME);
    std::string pattern = std::string(KORVELT_TEST_CONFIG_HOME) + "/run-XXXXXX";
    if (mkdtemp(pattern.data()) != nullptr) folder = pattern;
    setenv("XDG_CONFIG_HOME", folder.empty() ? KORVELT_TEST_CONFIG_HOME : folder.c_str(), 1);
  }
  ~OwnConfiguration() {
    std::error_code ignored;
    if (!folder.empty()) std::filesystem::remove_all(folder, ignored);
  }
  std::string folder;
};
const OwnConfiguration g_ownConfiguration;

}  // namespace

QApplication& TestApp() {
  static QApplication* app = [] {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "ui_test";
    static char* argv[] = {name, nullptr};
    // Lives to the end of the process: tests share it.
    auto* created = new QApplication(argc, argv);
    UseCNumericConventions();
    return created;
  }();
  return *app;
}

namespace {

// Makes the application before any test's widgets are constructed.
class ApplicationEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { TestApp(); }
};

[[maybe_unused]] ::testing::Environment* const kApplication =
    ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

}  // namespace

MessageRecorder::MessageRecorder() {
  previous_ = ui::SetMessageBoxHandler([this](QWidget*, const QString& title, const QString& text) {
    boxes_.push_back({title, text, QThread::currentThread()});
    return 0x00000400;  // QMessageBox::Ok
  });
  previousQuestions_ = ui::SetQuestionHandler([this](QWidget*, const QString& text) {
    questions_.push_back(text);
    return answer_;
  });
  previousChoices_ = ui::SetChoiceHandler([this](QWidget*, const QString& text, const std::vector<QString>& buttons) {
    choices_.push_back(text);
    return std::min(choice_, buttons.size() - 1);
  });
}

MessageRecorder::~MessageRecorder() {
  ui::SetMessageBoxHandler(std::move(previous_));
  ui::SetQuestionHandler(std::move(previousQuestions_));
  ui::SetChoiceHandler(std::move(previousChoices_));
}

std::vector<QString> MessageRecorder::Texts() const {
  std::vector<QString> texts;
  for (const Shown& box : boxes_) texts.push_back(box.text);
  return texts;
}

