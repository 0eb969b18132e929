// "载入参数...": the fields where the device differs from the file, one row
// each with a tick (ticked at first but for the motor's learning result,
// which comes unticked with a note that says why), the line that says when
// the file was saved from another device, "写入" and, once written, whether
// each row took.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <utility>
#include <vector>

#include "paramfile/Compare.h"

class QBoxLayout;
class QLabel;
class QPushButton;
class QTableWidget;

class CCompareDlg : public QDialog {
 public:
  // Why the motor's learning result is not written unless asked for; the
  // overview's load of several drivers says it too.
  static constexpr const char* LearningNoteText =
      "“本机学习结果”(电机学习状态和电机相序数据) 属于这台驱动器上学习过的电机, 默认不写入; "
      "只有文件是这台驱动器自己的备份时才应勾选。";

  // The columns of the table.
  enum Column { Block, Field, Device, File, Unit, Result, ColumnCount };

  // `ticked`: one entry per row, whether it is ticked at first.
  CCompareDlg(QWidget* parent, const std::vector<paramfile::Difference>& rows, const std::vector<bool>& ticked,
              const QString& identityLine);

  // One entry per row: ticked or not.
  std::vector<bool> Ticked() const;
  // What each row came to, and a line under the table.
  void ShowResults(const std::vector<QString>& results);
  void ShowStatus(const QString& text);
  // The device's side of each row, as read back after a write.
  void ShowDevice(const std::vector<QString>& device);
  // A row ticked again after a write enables "写入" once more.
  void EnableWrite(bool enabled);

  // Run by "写入".
  std::function<void()> onWrite;

  QTableWidget* Table() const { return table_; }
  QPushButton* WriteButton() const { return write_; }
  QLabel* IdentityLine() const { return identity_; }
  QLabel* Status() const { return status_; }
  // Shown when the motor's learning result differs.
  QLabel* LearningNote() const { return learning_; }

 protected:
  // The columns' names in the language now in use.
  void changeEvent(QEvent* event) override;

 private:
  void NameColumns();

  QTableWidget* table_ = nullptr;
  QPushButton* write_ = nullptr;
  QLabel* identity_ = nullptr;
  QLabel* status_ = nullptr;
  QLabel* learning_ = nullptr;
};

namespace ui {

// The foot of a window that writes what it shows, as both load windows
// have it: a line that says how the write went, then "写入" (runs
// `onWrite`, a member of `dialog`, when set) and "关闭". The line and the
// button "写入".
std::pair<QLabel*, QPushButton*> AddWriteFoot(QDialog* dialog, QBoxLayout* layout, const std::function<void()>& onWrite);

}  // namespace ui
