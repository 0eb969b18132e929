// F9 anywhere in the application: in every window of the tool, modal boxes
// and file dialogs included, the key runs the stop at once. A shortcut of
// the main window cannot do that, since a modal window blocks the shortcuts
// of the windows behind it; this filter sits on the application object and
// sees the key before any window does.
#pragma once

#include <QObject>
#include <functional>

class CStopKey : public QObject {
 public:
  // `stop` runs on the user-interface thread for each press of F9 (not for
  // the presses the key repeats while held down).
  explicit CStopKey(std::function<void()> stop);
  // Installs itself on the application; removed again when destroyed.
  ~CStopKey() override;
  CStopKey(const CStopKey&) = delete;
  CStopKey& operator=(const CStopKey&) = delete;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::function<void()> stop_;
};
