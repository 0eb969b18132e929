#include "ui/DemoScreenshot.h"

#include <QAbstractButton>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <cstdio>

#include "ui/MainDlg.h"
#include "ui/TabCtrl.h"
#include "ui/Text.h"
#include "ui/forms/ControlIds.h"
#include "ui/forms/DialogLayout.h"

namespace {

constexpr int WatchPeriodMs = 50;
constexpr int DeadlineMs = 15000;
// A few polls after the first, so the picture shows a settled display.
constexpr int SettleMs = 400;

}  // namespace

DemoScreenshot::DemoScreenshot(CMainDlg& dlg, QString path) : dlg_(dlg), path_(std::move(path)) {
  previousHandler_ = ui::SetMessageBoxHandler([](QWidget*, const QString& title, const QString& text) {
    std::fprintf(stderr, "%s: %s\n", title.toUtf8().constData(), text.toUtf8().constData());
    return 0;
  });
  watch_.setInterval(WatchPeriodMs);
  connect(&watch_, &QTimer::timeout, this, &DemoScreenshot::Check);
  // Runs once the window's modal loop is going.
  QTimer::singleShot(0, this, &DemoScreenshot::Start);
}

DemoScreenshot::~DemoScreenshot() { ui::SetMessageBoxHandler(std::move(previousHandler_)); }

void DemoScreenshot::Start() {
  elapsed_.start();
  if (auto* open = qobject_cast<QAbstractButton*>(dlg_.Control(forms::ids::OpenPortButton))) open->click();
  if (!dlg_.m_link.IsOpen()) {
    std::fprintf(stderr, "KORVELT_Demo: the port did not open\n");
    Finish(false);
    return;
  }
  // The identity too, so the picture shows both boxes filled.
  if (auto* readInfo = qobject_cast<QAbstractButton*>(dlg_.Control(forms::ids::ReadInfoButton))) readInfo->click();
  if (auto* autoUpdate = qobject_cast<QAbstractButton*>(dlg_.Control(forms::ids::AutoUpdate))) autoUpdate->click();
  watch_.start();
}

void DemoScreenshot::Check() {
  auto* error = qobject_cast<QLabel*>(dlg_.Control(forms::ids::ErrorState));
  auto* received = qobject_cast<QLineEdit*>(dlg_.Control(forms::ids::ReceivedFrame));
  const QString none = QString::fromUtf8(forms::texts::NoValue);
  // The error field is set only by a poll that came through.
  if (polledAt_ < 0 && error != nullptr && error->text() != none && received != nullptr &&
      !received->text().isEmpty()) {
    polledAt_ = elapsed_.elapsed();
  }
  if (polledAt_ >= 0 && elapsed_.elapsed() - polledAt_ >= SettleMs) {
    Finish(true);
  } else if (elapsed_.elapsed() > DeadlineMs) {
    std::fprintf(stderr, "KORVELT_Demo: no status poll came through within %d s\n", DeadlineMs / 1000);
    Finish(false);
  }
}

bool DemoScreenshot::Save(const QString& path, const char* what) {
  if (!dlg_.grab().save(path, "PNG")) {
    std::fprintf(stderr, "KORVELT_Demo: could not save %s\n", path.toUtf8().constData());
    return false;
  }
  std::printf("KORVELT_Demo: screenshot of %s saved to %s\n", what,
              QFileInfo(path).absoluteFilePath().toUtf8().constData());
  std::fflush(stdout);
  return true;
}

// Every further page that has controls, after its "读取" buttons have filled
// it: FILE-2.png for the second tab and so on.
bool DemoScreenshot::SavePages() {
  bool all = true;
  const auto& pages = dlg_.Pages();
  const QFileInfo file(path_);
  for (size_t i = 1; i < pages.size(); ++i) {
    if (pages[i]->findChildren<QWidget*>().isEmpty()) continue;
    dlg_.TabControl()->SetCurSel(static_cast<int>(i));
    dlg_.ShowPage(static_cast<int>(i));
    for (QAbstractButton* button : pages[i]->findChildren<QAbstractButton*>()) {
      if (button->text() == Tr("读取")) button->click();
    }
    const QString path = file.path() + "/" + file.completeBaseName() + "-" + QString::number(i + 1) + "." +
                         (file.suffix().isEmpty() ? QStringLiteral("png") : file.suffix());
    const QString what = QStringLiteral("tab ") + QString::number(i + 1);
    all &= Save(path, what.toUtf8().constData());
  }
  dlg_.TabControl()->SetCurSel(0);
  dlg_.ShowPage(0);
  return all;
}

void DemoScreenshot::Finish(bool polled) {
  watch_.stop();
  bool saved = Save(path_, "the window");
  if (polled) saved &= SavePages();
  succeeded_ = polled && saved;
  dlg_.done(succeeded_ ? 0 : 1);
}
