#include "ui/FileDialogs.h"

#include <QFileDialog>
#include <utility>

#include "ui/Text.h"

namespace ui {
namespace {

std::string ChooseInRealDialog(QWidget* parent, FileDialog dialog, const std::string& suggested) {
  const bool save = dialog == FileDialog::Save;
  QFileDialog chooser(parent, QString::fromUtf8(save ? "保存参数" : "载入参数"));
  chooser.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  chooser.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  chooser.setNameFilters({QString::fromUtf8("参数文件 (*.json)"), QString::fromUtf8("所有文件 (*)")});
  chooser.setDefaultSuffix(QStringLiteral("json"));
  if (save) {
    chooser.selectFile(ToQString(suggested));
  } else {
    chooser.setDirectory(ToQString(suggested));
  }
  if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty()) return {};
  return ToStdString(chooser.selectedFiles().front());
}

FileChooser& Chooser() {
  static FileChooser chooser;
  return chooser;
}

}  // namespace

std::string ChooseFile(QWidget* parent, FileDialog dialog, const std::string& suggested) {
  if (Chooser()) return Chooser()(parent, dialog, suggested);
  return ChooseInRealDialog(parent, dialog, suggested);
}

FileChooser SetFileChooser(FileChooser chooser) { return std::exchange(Chooser(), std::move(chooser)); }

}  // namespace ui
