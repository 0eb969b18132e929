#include "ui/Connecting.h"

#include <QEventLoop>
#include <QProgressDialog>
#include <atomic>

#include "base/Runner.h"
#include "lang/Texts.h"
#include "ui/Text.h"
#include "ui/forms/DialogLayout.h"

namespace ui {

bool OpenWhileShowing(QWidget* over, const QString& port, const std::function<bool()>& open) {
  QProgressDialog box(over);
  box.setWindowTitle(Tr(forms::texts::OpenPort));
  box.setLabelText(ToQString(lang::Fill(lang::Tr("正在连接 {1} ..."), {ToStdString(port)})));
  box.setCancelButton(nullptr);
  box.setRange(0, 0);
  box.setWindowModality(Qt::WindowModal);
  box.setAutoClose(false);
  box.setAutoReset(false);
  QEventLoop waiting;
  std::atomic<bool> opened{false};
  base::Runner runner;
  const bool started = runner.Start([&](std::stop_token) {
    opened = open();
    QMetaObject::invokeMethod(&waiting, &QEventLoop::quit, Qt::QueuedConnection);
  });
  if (!started) return open();
  box.show();
  waiting.exec();
  runner.Join();
  return opened;
}

}  // namespace ui
