#include "ui/DemoScreenshot.h"

#include <QAbstractButton>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <cstdio>

#include "ui/MainDlg.h"
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

void DemoScreenshot::Finish(bool polled) {
  watch_.stop();
  const bool saved = dlg_.grab().save(path_, "PNG");
  if (saved) {
    std::printf("KORVELT_Demo: screenshot of the window saved to %s\n",
                QFileInfo(path_).absoluteFilePath().toUtf8().constData());
    std::fflush(stdout);
  } else {
    std::fprintf(stderr, "KORVELT_Demo: could not save %s\n", path_.toUtf8().constData());
  }
  succeeded_ = polled && saved;
  dlg_.done(succeeded_ ? 0 : 1);
}
