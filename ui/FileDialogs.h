// The file dialogs of the parameter files: a name to save under (the
// suggestion in its folder) and a file to open. Tests replace how the name
// is asked for, as they do for the message box.
#pragma once

#include <functional>
#include <string>

class QWidget;

namespace ui {

enum class FileDialog { Save, Open };

// The path chosen, or "" when the operator cancelled. `suggested` is the
// path offered (save) or the folder to start in (open).
using FileChooser = std::function<std::string(QWidget* parent, FileDialog dialog, const std::string& suggested)>;
std::string ChooseFile(QWidget* parent, FileDialog dialog, const std::string& suggested);
FileChooser SetFileChooser(FileChooser chooser);

}  // namespace ui
