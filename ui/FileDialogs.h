// The tool's file dialogs: a parameter file to save or to open, a recording
// or the frame log to export. Tests replace how the name is asked for, as they do for the
// message box.
#pragma once

#include <functional>
#include <string>

class QWidget;

namespace ui {

// Folder: an existing folder, for the files of several drivers;
// ResultsFolder: the folder of a station's records.
enum class FileDialog { Save, Open, ExportRecording, ExportTraffic, Folder, OpenPlan, ResultsFolder };

// The path chosen, or "" when the operator cancelled. `suggested` is the
// path offered (save, export) or the folder to start in (open).
using FileChooser = std::function<std::string(QWidget* parent, FileDialog dialog, const std::string& suggested)>;
std::string ChooseFile(QWidget* parent, FileDialog dialog, const std::string& suggested);
FileChooser SetFileChooser(FileChooser chooser);

}  // namespace ui
