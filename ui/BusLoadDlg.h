// "总线总览" → "载入参数": one file for the drivers chosen, one row each with
// its model, the number of parameters to write and, once "写入" has run,
// how its write ended. "本机学习结果" ticked writes the file's learning
// result too, as in the main window's load; unticked each driver keeps its
// own. The window only shows: the flow behind it reads and writes.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <vector>

class QCheckBox;
class QLabel;
class QPushButton;
class QTableWidget;

class CBusLoadDlg : public QDialog {
 public:
  enum Column { Address, Model, Differences, Outcome, Backup, ColumnCount };

  struct Row {
    QString address, model, differences, outcome, backup;
  };

  CBusLoadDlg(QWidget* parent, const QString& file);

  void ShowRows(const std::vector<Row>& rows);
  void ShowStatus(const QString& text);
  void EnableWrite(bool enabled);
  bool WithLearning() const;

  // Run by "写入"; and by a change of the learning tick or of the language,
  // which give the rows again.
  std::function<void()> onWrite;
  std::function<void()> onRefresh;

  QTableWidget* Table() const { return table_; }
  QPushButton* WriteButton() const { return write_; }
  QCheckBox* LearningBox() const { return learning_; }
  QLabel* Status() const { return status_; }

 protected:
  void changeEvent(QEvent* event) override;

 private:
  void NameColumns();

  QTableWidget* table_ = nullptr;
  QPushButton* write_ = nullptr;
  QCheckBox* learning_ = nullptr;
  QLabel* status_ = nullptr;
};
