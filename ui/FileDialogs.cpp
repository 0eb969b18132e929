#include "ui/FileDialogs.h"

#include <QFileDialog>
#include <utility>

#include "ui/Text.h"

namespace ui {
namespace {

struct FileKind {
  const char* filter;
  const char* suffix;  // added to a name chosen without one
};

struct DialogSpec {
  const char* title;
  FileKind kinds[2];  // the second may be empty
  bool save;
};

// By FileDialog.
constexpr DialogSpec kDialogs[] = {
    {"保存参数", {{"参数文件 (*.json)", "json"}, {}}, true},
    {"载入参数", {{"参数文件 (*.json)", "json"}, {}}, false},
    // Says what the export writes: the CSV and, beside it, its companion.
    {"导出记录: CSV 文件及同名的 .json 说明文件", {{"CSV (*.csv)", "csv"}, {}}, true},
    {"导出通讯记录", {{"CSV 文件 (*.csv)", "csv"}, {"JSON Lines 文件 (*.jsonl)", "jsonl"}}, true},
    {"保存参数到文件夹", {{}, {}}, false},
    {"选择测试计划", {{"测试计划 (*.json)", "json"}, {}}, false},
    {"结果文件夹", {{}, {}}, false},
};

std::string ChooseInRealDialog(QWidget* parent, FileDialog dialog, const std::string& suggested) {
  const DialogSpec& spec = kDialogs[static_cast<size_t>(dialog)];
  if (dialog == FileDialog::Folder || dialog == FileDialog::ResultsFolder) {
    return ToStdString(QFileDialog::getExistingDirectory(parent, Tr(spec.title), ToQString(suggested)));
  }
  QFileDialog chooser(parent, Tr(spec.title));
  chooser.setAcceptMode(spec.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  chooser.setFileMode(spec.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  QStringList filters;
  for (const FileKind& kind : spec.kinds) {
    if (kind.filter != nullptr) filters << Tr(kind.filter);
  }
  chooser.setNameFilters(filters << Tr("所有文件 (*)"));
  chooser.setDefaultSuffix(QString::fromUtf8(spec.kinds[0].suffix));
  // A name without a suffix gets the one of the kind chosen.
  QObject::connect(&chooser, &QFileDialog::filterSelected, &chooser, [&chooser, &spec](const QString& filter) {
    for (const FileKind& kind : spec.kinds) {
      if (kind.filter != nullptr && filter == Tr(kind.filter)) {
        chooser.setDefaultSuffix(QString::fromUtf8(kind.suffix));
      }
    }
  });
  if (spec.save) {
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
