// The recording of the status poll, the capture at the line's speed, the
// export of the recording and the plot window.
#include <QDateTime>
#include <QDir>

#include "lang/Texts.h"
#include "recording/CommandMarks.h"
#include "session/RecordingExport.h"
#include "ui/MainDlg.h"
#include "ui/FileDialogs.h"
#include "ui/MessageBox.h"
#include "ui/PlotWindow.h"
#include "ui/Text.h"

namespace {

// The status poll's period, as the companion file records it.
constexpr int PollIntervalMs = 100;

}  // namespace

std::string CMainDlg::StartCapture(recording::CaptureRequest request) {
  UpdateAddress();
  return m_session.StartCapture(std::move(request), [this](const auto& report) {
    // Queued to the window, which joins the capture before it goes.
    QMetaObject::invokeMethod(
        this, [this, report] { OnCaptureEnded(report); }, Qt::QueuedConnection);
  });
}

void CMainDlg::OnCaptureEnded(const recording::CaptureReport& report) {
  m_session.JoinEndedCapture();
  if (m_plotWindow != nullptr) m_plotWindow->OnCaptureEnded(report);
}

void CMainDlg::OnPlotWindow() {
  if (m_plotWindow == nullptr) {
    m_plotWindow = new CPlotWindow(CPlotWindow::Owner{
        this, &m_session, [this](recording::CaptureRequest request) { return StartCapture(std::move(request)); },
        [this](QWidget* over) { return StopMotor(over); },
        [this](recording::ExportRange range) { ExportRecording(range); }});
  }
  m_plotWindow->show();
  m_plotWindow->raise();
  m_plotWindow->activateWindow();
}

void CMainDlg::ExportRecording(recording::ExportRange range) {
  if (m_exportWorker.Busy()) {
    ui::ShowMessage(this, Tr("正在导出记录"));
    return;
  }
  const QString suggested = QDir::home().filePath(
      QStringLiteral("korvelt-") + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")) +
      QStringLiteral(".csv"));
  const std::string file = ui::ChooseFile(this, ui::FileDialog::ExportRecording, ToStdString(suggested));
  if (file.empty()) return;
  // The line the rows were read on, not what the panel shows now.
  session::RecordingExport job = session::ExportOf(m_session, range, PollIntervalMs, file);
  // On a worker: the identity waits on the driver, a day's rows take seconds.
  m_exportWorker.Post([this, job = std::move(job), file]() mutable {
    const session::Exported exported = session::RunExport(std::move(job), m_session);
    const bool ok = exported.ok;
    const std::string& error = exported.error;
    const recording::CsvTotals& totals = exported.totals;
    // Both files are named: the companion is written too, and never over
    // a file that is not one.
    const std::string& companion = exported.companion;
    // Made here, on the worker: the texts are read in the language in use.
    const std::string companionLine =
        companion.empty() ? "" : lang::Fill(lang::Tr("说明文件: {1}\n"), {companion});
    const std::string text =
        ok ? lang::Fill(lang::Tr("记录已导出: {1}\n{2}{3} 行, 间断 {4}"),
                        {file, companionLine, std::to_string(totals.rows), std::to_string(totals.gaps)})
           : lang::Fill(lang::Tr("导出记录失败: {1}"), {error});
    QMetaObject::invokeMethod(
        this, [this, text] { ui::ShowMessage(this, text); }, Qt::QueuedConnection);
  });
}
