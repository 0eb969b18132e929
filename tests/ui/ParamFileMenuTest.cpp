// "文件" -> "保存参数..." and "载入参数..." in the real window against the
// simulated driver: saved, then loaded with nothing to write; after the
// driver changed, the rows that differ, "写入" with one row unticked, each
// row saying whether it took, the page showing what was read back, the
// backup taken before; a change of the driver's parity asked about first;
// a failed read, a file from another model, a driver that does not store.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableWidget>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <thread>

#include "PageFixture.h"
#include "RestoreCases.h"
#include "ui/CompareDlg.h"
#include "ui/FileDialogs.h"
#include "device/IdentityJson.h"
#include "fields/NumberText.h"
#include "paramfile/Blocks.h"
#include "ui/forms/MotorControlForm.h"

namespace {

class ParamFileMenu : public PageTest {
 protected:
  ParamFileMenu() = default;
  explicit ParamFileMenu(sim::DriverOptions options) : PageTest(std::move(options)) {}

  void SetUp() override {
    PageTest::SetUp();
    previous_ = ui::SetFileChooser([this](QWidget*, ui::FileDialog dialog, const std::string& suggested) {
      (dialog == ui::FileDialog::Save ? suggestedSave : suggestedOpen) = suggested;
      return file;
    });
  }
  void TearDown() override {
    ui::SetFileChooser(std::move(previous_));
    PageTest::TearDown();
  }

  // Triggers the item of "文件" and waits for its work on the line to end.
  void Choose(const char* item) {
    QAction* action = nullptr;
    for (QAction* candidate : dlg->MenuOf(CMainDlg::Menu::File)->actions()) {
      if (candidate->text() == QString::fromUtf8(item)) action = candidate;
    }
    ASSERT_NE(action, nullptr) << item;
    action->trigger();
    EXPECT_NE(dlg->ParamFiles().Jobs().Progress(), nullptr) << "the work shows its progress";
    ASSERT_TRUE(WaitFor([&] { return !dlg->ParamFiles().Jobs().Running(); }));
  }

  size_t Backups() const {
    const std::filesystem::path folder = dataHome.Path() + "/korvelt-demo/backups";
    return std::filesystem::exists(folder) ? static_cast<size_t>(std::distance(std::filesystem::directory_iterator(folder), {}))
                                           : 0;
  }

  std::string file = dataHome.Path() + "/driver.json";
  std::string suggestedSave;
  std::string suggestedOpen;

 private:
  ui::FileChooser previous_;
};

TEST_F(ParamFileMenu, SavedThenLoadedThenWrittenAndEachRowSaysItTook) {
  Click(ids::OpenPortButton);
  Click(ids::ReadInfoButton);  // the file is named by the model "设备信息" shows
  Choose("保存参数(&S)...");
  ASSERT_EQ(boxes.Texts().back().toStdString(), "参数已保存到 " + file);
  EXPECT_EQ(suggestedSave.rfind(std::filesystem::path(std::getenv("HOME")).string() + "/KVB-4815-RS485-S-", 0), 0u)
      << "named by the model and the time: " << suggestedSave;
  ASSERT_TRUE(std::filesystem::exists(file));

  Choose("载入参数(&L)...");
  EXPECT_EQ(suggestedOpen, dataHome.Path()) << "the last folder used";
  EXPECT_EQ(boxes.Texts().back(), "设备参数与文件相同, 无需写入");
  EXPECT_EQ(dlg->ParamFiles().Comparison(), nullptr);
  EXPECT_EQ(Backups(), 0u) << "nothing written, nothing backed up";

  const uint16_t acceleration = line.Driver().Register(0x0052);
  const uint16_t kp = line.Driver().Register(0x00BA);
  line.Driver().SetRegister(0x0052, 1234);  // 加速加速度 123.4 Hz/s
  line.Driver().SetRegister(0x00BA, 0x4000);  // 自锁PID参数 Kp
  Choose("载入参数(&L)...");
  CCompareDlg* comparison = dlg->ParamFiles().Comparison();
  ASSERT_NE(comparison, nullptr);
  QTableWidget* table = comparison->Table();
  ASSERT_EQ(table->rowCount(), 2);
  EXPECT_EQ(table->item(0, CCompareDlg::Field)->text(), "加速加速度");
  EXPECT_EQ(table->item(0, CCompareDlg::Device)->text(), "123.4");
  EXPECT_EQ(table->item(0, CCompareDlg::Unit)->text(), "Hz/s");
  EXPECT_EQ(table->item(1, CCompareDlg::Block)->text(), "闭环控制参数");
  EXPECT_FALSE(comparison->IdentityLine()->isVisible()) << "the same device";
  EXPECT_EQ(comparison->Ticked(), (std::vector<bool>{true, true}));

  table->item(1, CCompareDlg::Block)->setCheckState(Qt::Unchecked);
  QTest::mouseClick(comparison->WriteButton(), Qt::LeftButton);
  ASSERT_TRUE(WaitFor([&] { return !table->item(0, CCompareDlg::Result)->text().isEmpty(); }));
  EXPECT_EQ(table->item(0, CCompareDlg::Result)->text(), "已生效");
  EXPECT_EQ(table->item(1, CCompareDlg::Result)->text(), "未勾选");
  EXPECT_EQ(line.Driver().Register(0x0052), acceleration);
  EXPECT_EQ(line.Driver().Register(0x00BA), 0x4000) << "an unticked field keeps the device's value";
  EXPECT_NE(kp, 0x4000);
  EXPECT_EQ(Backups(), 1u) << "saved before the write";
  EXPECT_FALSE(comparison->WriteButton()->isEnabled());
  EXPECT_TRUE(comparison->Status()->text().startsWith("已写入: PWM方式缓冲/闭环方式加速度; 读回一致"));
  EXPECT_EQ(table->item(0, CCompareDlg::Device)->text(), table->item(0, CCompareDlg::File)->text())
      << "the device as read back";
  EXPECT_NE(table->item(1, CCompareDlg::Device)->text(), table->item(1, CCompareDlg::File)->text());
  table->item(1, CCompareDlg::Block)->setCheckState(Qt::Checked);
  EXPECT_TRUE(comparison->WriteButton()->isEnabled()) << "a row ticked again can be written";
  // The table is one stop of Tab; the buttons are the next ones.
  comparison->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(comparison));
  table->setFocus();
  QTest::keyClick(table, Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), comparison->WriteButton());
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  ASSERT_NE(qobject_cast<QPushButton*>(QApplication::focusWidget()), nullptr);
  EXPECT_EQ(qobject_cast<QPushButton*>(QApplication::focusWidget())->text(), "关闭(&C)");
  // The ramps' page shows what was read back, as after its "读取".
  EXPECT_EQ(TextOn(MotorControl, forms::motorcontrol::id::Acceleration).toStdString(),
            fields::FormatScaled(acceleration, 1));
  EXPECT_TRUE(boxes.Questions().empty());
  comparison->close();

  // A change of the driver's own parity asks first; "否" writes nothing.
  line.Driver().SetRegister(0x0092, 1);
  Choose("载入参数(&L)...");
  ASSERT_NE(dlg->ParamFiles().Comparison(), nullptr);
  boxes.AnswerQuestions(false);
  const uint64_t requests = line.Driver().RequestCount();
  QTest::mouseClick(dlg->ParamFiles().Comparison()->WriteButton(), Qt::LeftButton);
  ASSERT_EQ(boxes.Questions().size(), 1u);
  EXPECT_TRUE(boxes.Questions()[0].contains("驱动器重启后以新的设置应答"));
  EXPECT_FALSE(dlg->ParamFiles().Jobs().Running());
  EXPECT_EQ(line.Driver().RequestCount(), requests);
  EXPECT_EQ(line.Driver().Register(0x0092), 1);
}

// The restore's questions, as korvelt meets them: each asked in its one
// text before anything is written; "否" writes nothing, "是" writes.
TEST_F(ParamFileMenu, EachQuestionOfTheRestoreIsAskedBeforeAnythingIsWritten) {
  Click(ids::OpenPortButton);
  const std::string blocker = dataHome.Path() + "/korvelt-demo";
  for (const RestoreCase& c : RestoreCases) {
    SCOPED_TRACE(c.name);
    std::ofstream(file) << c.file;
    if (c.backupsBlocked) std::ofstream(blocker) << "in the way";
    const uint16_t before = line.Driver().Register(c.changes);
    for (const bool yes : {false, true}) {
      boxes.AnswerQuestions(yes);
      const size_t asked = boxes.Questions().size();
      Choose("载入参数(&L)...");
      if (CCompareDlg* comparison = dlg->ParamFiles().Comparison(); comparison != nullptr) {
        QTest::mouseClick(comparison->WriteButton(), Qt::LeftButton);
        ASSERT_TRUE(WaitFor([&] { return !dlg->ParamFiles().Jobs().Running(); }));
        comparison->close();
      }
      const QString question = QString::fromUtf8(c.question);
      ASSERT_EQ(boxes.Questions().size(), asked + (question.isEmpty() ? 0 : 1)) << yes;
      if (!question.isEmpty()) {
        EXPECT_TRUE(c.questionIsEnd ? boxes.Questions().back().endsWith(question) : boxes.Questions().back() == question);
      }
      EXPECT_EQ(line.Driver().Register(c.changes) != before, question.isEmpty() || yes) << yes;
      line.Driver().SetRegister(c.changes, before);
    }
    std::filesystem::remove_all(blocker);
  }
}

// A read that fails saves nothing, nor one cancelled; a file from another model is asked about
// and, once accepted, says it came from another device; a driver that answers
// its writes without storing them is caught by the read-back, row by row.
TEST_F(ParamFileMenu, AnotherModelIsAskedAboutAndADriverThatDoesNotStoreIsCaught) {
  Click(ids::OpenPortButton);
  line.Driver().SetFault(sim::Fault::Of(sim::FaultKind::NoAnswer));
  Choose("保存参数(&S)...");
  const std::string failed = boxes.Texts().back().toStdString();
  EXPECT_EQ(failed, "读取设备信息: 通讯超时\n参数未保存") << "names the read and its result";
  EXPECT_FALSE(std::filesystem::exists(file));
  // Cancelled while the driver answers slowly: it stops between two reads,
  // writes nothing and says nothing.
  line.Driver().SetFault(sim::Fault::Delayed(std::chrono::milliseconds(150)));
  const size_t messages = boxes.Texts().size();
  dlg->MenuOf(CMainDlg::Menu::File)->actions().front()->trigger();
  ASSERT_NE(dlg->ParamFiles().Jobs().Progress(), nullptr);
  QPushButton* cancel = dlg->ParamFiles().Jobs().Progress()->findChild<QPushButton*>();
  ASSERT_NE(cancel, nullptr);
  EXPECT_EQ(cancel->text(), "取消");
  QTest::mouseClick(cancel, Qt::LeftButton);
  ASSERT_TRUE(WaitFor([&] { return !dlg->ParamFiles().Jobs().Running(); }));
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_EQ(boxes.Texts().size(), messages);
  line.Driver().ClearFault();

  Choose("保存参数(&S)...");
  ASSERT_TRUE(std::filesystem::exists(file));
  nlohmann::json saved = nlohmann::json::parse(std::ifstream(file));
  device::IdentityRecord other;
  ASSERT_EQ(device::TakeIdentity(saved["device"], other), "");
  other.texts[fields::ModelField] = "KVB-2410-RS485";
  other.texts[fields::IdentityField] = "0x0B00";
  saved["device"] = device::IdentityJson(other);
  std::ofstream(file) << saved.dump(2);
  line.Driver().SetRegister(0x0052, 1234);

  boxes.AnswerQuestions(false);
  Choose("载入参数(&L)...");
  ASSERT_EQ(boxes.Questions().size(), 1u);
  EXPECT_TRUE(boxes.Questions()[0].contains("文件来自另一型号的设备")) << boxes.Questions()[0].toStdString();
  EXPECT_EQ(dlg->ParamFiles().Comparison(), nullptr) << "declined: nothing shown, nothing to write";

  boxes.AnswerQuestions(true);
  Choose("载入参数(&L)...");
  CCompareDlg* comparison = dlg->ParamFiles().Comparison();
  ASSERT_NE(comparison, nullptr);
  EXPECT_TRUE(comparison->IdentityLine()->isVisible());
  EXPECT_TRUE(comparison->IdentityLine()->text().startsWith("文件保存自另一台设备: KVB-2410-RS485 0x0B00"))
      << comparison->IdentityLine()->text().toStdString();
  QTableWidget* table = comparison->Table();
  ASSERT_EQ(table->rowCount(), 1);

  line.Driver().SetFault(sim::Fault::Of(sim::FaultKind::IgnoreWrites));
  QTest::mouseClick(comparison->WriteButton(), Qt::LeftButton);
  ASSERT_TRUE(WaitFor([&] { return !table->item(0, CCompareDlg::Result)->text().isEmpty(); }));
  EXPECT_EQ(table->item(0, CCompareDlg::Result)->text(), "未生效, 读回 123.4");
  EXPECT_TRUE(comparison->Status()->text().contains("1 个参数读回与写入不同")) << comparison->Status()->text().toStdString();
  EXPECT_TRUE(comparison->WriteButton()->isEnabled()) << "the operator may try again";
  EXPECT_EQ(line.Driver().Register(0x0052), 1234);
}

// A file saved where the motor had learned, loaded on this driver whose
// motor has not: the learning result's rows come unticked with a note, and
// only a tick writes them.
TEST_F(ParamFileMenu, TheLearningResultOfAFileIsWrittenOnlyWhenTicked) {
  Click(ids::OpenPortButton);
  const uint16_t learned[] = {0x0105, 0x0406, 0x0203};  // 电机相序数据 01 05 04 06 02 03
  for (uint16_t i = 0; i < 3; ++i) line.Driver().SetRegister(0x006D + i, learned[i]);
  line.Driver().SetRegister(0x0075, 1);  // 已学习
  Choose("保存参数(&S)...");
  ASSERT_TRUE(std::filesystem::exists(file));
  for (uint16_t i = 0; i < 3; ++i) line.Driver().SetRegister(0x006D + i, 0);
  line.Driver().SetRegister(0x0075, 0);
  line.Driver().SetRegister(0x0052, 1234);  // 加速加速度 123.4 Hz/s

  Choose("载入参数(&L)...");
  CCompareDlg* comparison = dlg->ParamFiles().Comparison();
  ASSERT_NE(comparison, nullptr);
  QTableWidget* table = comparison->Table();
  ASSERT_EQ(table->rowCount(), 3);
  EXPECT_EQ(comparison->Ticked(), (std::vector<bool>{true, false, false}));
  EXPECT_EQ(table->item(1, CCompareDlg::Block)->text(), "本机学习结果");
  EXPECT_EQ(table->item(1, CCompareDlg::Field)->text(), "电机学习状态");
  EXPECT_EQ(table->item(2, CCompareDlg::Field)->text(), "电机相序数据");
  EXPECT_TRUE(comparison->LearningNote()->isVisibleTo(comparison));
  QTest::mouseClick(comparison->WriteButton(), Qt::LeftButton);
  ASSERT_TRUE(WaitFor([&] { return !table->item(0, CCompareDlg::Result)->text().isEmpty(); }));
  EXPECT_EQ(table->item(0, CCompareDlg::Result)->text(), "已生效");
  EXPECT_EQ(table->item(1, CCompareDlg::Result)->text(), "未勾选");
  EXPECT_TRUE(comparison->Status()->text().contains("读回一致")) << comparison->Status()->text().toStdString();
  EXPECT_NE(line.Driver().Register(0x0052), 1234);
  EXPECT_EQ(line.Driver().Register(0x0075), 0) << "the driver keeps its own learning state";
  EXPECT_EQ(line.Driver().Register(0x006D), 0);

  table->item(1, CCompareDlg::Block)->setCheckState(Qt::Checked);
  table->item(2, CCompareDlg::Block)->setCheckState(Qt::Checked);
  QTest::mouseClick(comparison->WriteButton(), Qt::LeftButton);
  ASSERT_TRUE(WaitFor([&] { return table->item(2, CCompareDlg::Result)->text() == "已生效"; }));
  EXPECT_EQ(line.Driver().Register(0x0075), 1);
  for (uint16_t i = 0; i < 3; ++i) EXPECT_EQ(line.Driver().Register(0x006D + i), learned[i]);
  comparison->close();
}

// A folder that cannot take the file is refused before anything is read; a
// write that fails after the reads keeps them for another file; the
// identity read shows in "设备信息"; the progress box keeps its size.
TEST_F(ParamFileMenu, AFileThatCannotBeWrittenIsRefusedBeforeTheReadsOrKeepsThem) {
  Click(ids::OpenPortButton);
  file = dataHome.Path() + "/no-such-folder/driver.json";
  const uint64_t before = line.Driver().RequestCount();
  dlg->ParamFiles().Save();
  EXPECT_FALSE(dlg->ParamFiles().Jobs().Running());
  EXPECT_EQ(line.Driver().RequestCount(), before) << "nothing read";
  ASSERT_EQ(boxes.Texts().size(), 1u);
  EXPECT_TRUE(boxes.Texts()[0].endsWith("参数未保存")) << boxes.Texts()[0].toStdString();

  const std::string folder = dataHome.Path() + "/going";
  std::filesystem::create_directory(folder);
  file = folder + "/driver.json";
  line.Driver().SetFault(sim::Fault::Delayed(std::chrono::milliseconds(60)));
  dlg->ParamFiles().Save();
  const QPointer<QProgressDialog> progress = dlg->ParamFiles().Jobs().Progress();
  ASSERT_NE(progress, nullptr);
  const QSize size = progress->size();
  const QString title = progress->labelText();
  ASSERT_TRUE(WaitFor([&] { return progress->labelText() != title; }));
  std::filesystem::remove_all(folder);  // during the reads
  file = dataHome.Path() + "/driver.json";  // the second choice
  std::vector<QString> resizedWith;
  ASSERT_TRUE(WaitFor(
      [&] {
        if (progress != nullptr && progress->isVisible() && progress->size() != size) {
          resizedWith.push_back(progress->labelText());
        }
        return !dlg->ParamFiles().Jobs().Running();
      },
      20000));
  EXPECT_TRUE(resizedWith.empty()) << "the box changed its size with " << resizedWith.front().toStdString();
  ASSERT_EQ(boxes.Questions().size(), 1u);
  EXPECT_TRUE(boxes.Questions()[0].endsWith("参数已读出但未保存。是否另选文件保存?"))
      << boxes.Questions()[0].toStdString();
  EXPECT_EQ(boxes.Texts().back().toStdString(), "参数已保存到 " + file);
  EXPECT_TRUE(std::filesystem::exists(file));
  EXPECT_EQ(Text(ids::Model), "KVB-4815-RS485-S") << "the identity the save read";
}

// A FIFO chosen as the file is refused at once, off the window's thread:
// nothing waits for a writer that may never come.
TEST_F(ParamFileMenu, AFifoIsRefusedWithoutTheWindowWaiting) {
  Click(ids::OpenPortButton);
  file = dataHome.Path() + "/pipe.json";
  ASSERT_EQ(mkfifo(file.c_str(), 0600), 0);
  // Should the file be opened as a FIFO after all, a writer comes and goes
  // so that the test ends and fails instead of hanging.
  std::atomic<bool> done{false};
  std::thread writer([&] {
    while (!done) {
      const int fd = open(file.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
      if (fd >= 0) {
        close(fd);
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  });
  Choose("载入参数(&L)...");
  done = true;
  writer.join();
  ASSERT_FALSE(boxes.Texts().empty());
  EXPECT_TRUE(boxes.Texts().back().contains(QString::fromUtf8("不是普通文件"))) << boxes.Texts().back().toStdString();
  EXPECT_EQ(dlg->ParamFiles().Comparison(), nullptr);
}

// A driver whose firmware answers no identification request is saved with
// what it did answer: every block, the objects marked absent, the reason in
// the message.
class ParamFileMenuWithoutIdentification : public ParamFileMenu {
 protected:
  ParamFileMenuWithoutIdentification() : ParamFileMenu(sim::DriverOptions{.identificationSilent = true}) {}
};

TEST_F(ParamFileMenuWithoutIdentification, SavesTheBlocksAndSaysWhyTheObjectsAreAbsent) {
  Click(ids::OpenPortButton);
  Choose("保存参数(&S)...");
  EXPECT_EQ(boxes.Texts().back().toStdString(), "参数已保存到 " + file + "\n读取标识对象: 通讯超时, 文件中无标识对象");
  ASSERT_TRUE(std::filesystem::exists(file));
  const nlohmann::json saved = nlohmann::json::parse(std::ifstream(file));
  EXPECT_EQ(saved["blocks"].size(), paramfile::BlockCount());
  EXPECT_EQ(saved["device"]["fields"][fields::ModelField]["text"], "KVB-4815-RS485-S");
  EXPECT_TRUE(saved["device"]["objects"].is_null());
  EXPECT_EQ(saved["device"]["objectsAbsent"], "读取标识对象: 通讯超时");
}

}  // namespace
