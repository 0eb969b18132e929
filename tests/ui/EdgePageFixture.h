// One page of the main window against a simulated driver whose parameter
// blocks hold edge values and whose clock the test moves: the page's
// controls by id, the operator's actions on them, and what reached the
// driver.
#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <atomic>
#include <chrono>
#include <memory>

#include "MainDlgFixture.h"

// The driver's time in ms, made before the driver that reads it.
struct DriverClock {
  std::shared_ptr<std::atomic<int64_t>> ms = std::make_shared<std::atomic<int64_t>>(0);
};

template <class Page>
class EdgePageTest : private DriverClock, public MainDlgTest {
 protected:
  EdgePageTest() : MainDlgTest(Options(ms)) {}

  void SetUp() override {
    MainDlgTest::SetUp();
    for (CTabPage* candidate : dlg->Pages()) {
      if (auto* found = dynamic_cast<Page*>(candidate)) page = found;
    }
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(page->IsBound());
  }

  template <class T = QWidget>
  T* On(int controlId) const {
    auto* control = qobject_cast<T*>(page->Control(controlId));
    EXPECT_NE(control, nullptr) << "control " << controlId;
    return control;
  }
  QString EditText(int controlId) const { return On<QLineEdit>(controlId)->text(); }
  int Index(int controlId) const { return On<QComboBox>(controlId)->currentIndex(); }
  bool Enabled(int controlId) const { return On(controlId)->isEnabled(); }

  void OpenPort() {
    Click(ids::OpenPortButton);
    ASSERT_TRUE(dlg->m_link.IsOpen());
  }
  void Press(int buttonId) { QTest::mouseClick(On<QAbstractButton>(buttonId), Qt::LeftButton); }
  void Type(int editId, const QString& text) {
    QLineEdit* edit = On<QLineEdit>(editId);
    edit->clear();
    QTest::keyClicks(edit, text);
  }
  // As the operator does it, with the arrow keys.
  void Pick(int listId, int index) {
    auto* list = On<QComboBox>(listId);
    while (list->currentIndex() < index) QTest::keyClick(list, Qt::Key_Down);
    while (list->currentIndex() > index) QTest::keyClick(list, Qt::Key_Up);
  }

  std::vector<uint16_t> Registers(uint16_t start, uint16_t count) {
    std::vector<uint16_t> words;
    for (uint16_t i = 0; i < count; ++i) words.push_back(line.Driver().Register(static_cast<uint16_t>(start + i)));
    return words;
  }
  // The register values of the last block write on the line.
  std::vector<uint16_t> WrittenWords() const {
    const std::vector<uint8_t> frame = dlg->m_link.LastSentFrame();
    std::vector<uint16_t> words;
    if (frame.size() < 9 || frame[1] != 0x10) return words;
    for (size_t i = 7; i + 1 < frame.size() - 2; i += 2) {
      words.push_back(static_cast<uint16_t>((frame[i] << 8) | frame[i + 1]));
    }
    return words;
  }
  uint64_t Requests() { return line.Driver().RequestCount(); }
  std::vector<QString> Shown() const { return boxes.Texts(); }

  // Moves the driver's clock on.
  void Advance(std::chrono::milliseconds step) { *ms += step.count(); }

  Page* page = nullptr;

 private:
  static sim::DriverOptions Options(std::shared_ptr<std::atomic<int64_t>> clock) {
    sim::DriverOptions options;
    options.edgeValues = true;
    options.learned = true;
    options.now = [clock] { return sim::Clock::time_point(std::chrono::milliseconds(clock->load())); };
    return options;
  }
};
