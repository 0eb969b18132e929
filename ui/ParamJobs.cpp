#include "ui/ParamJobs.h"

#include <QFontMetrics>
#include <QLabel>

#include "ui/Text.h"

CParamJobs::~CParamJobs() { Stop(); }

bool CParamJobs::Start(QWidget* over, const QString& title, Job job) {
  if (running_ || stopped_) return false;
  // The job before has posted its end and is leaving its thread.
  runner_.Join();
  auto* progress = new QProgressDialog(over);
  progress->setWindowTitle(title);
  // A label of a fixed size, two lines of some thirty characters: the box
  // keeps its size, and its place under the mouse, as the steps go by.
  auto* label = new QLabel(progress);
  label->setWordWrap(true);
  const QFontMetrics metrics(label->font());
  label->setFixedSize(metrics.horizontalAdvance(QString(32, QChar(0x53C2))), 2 * metrics.lineSpacing());
  progress->setLabel(label);
  progress->setLabelText(title);
  progress->setCancelButtonText(Tr("取消"));
  progress->setWindowModality(Qt::WindowModal);
  progress->setAutoClose(false);
  progress->setAutoReset(false);
  progress->setMinimumDuration(0);
  progress->setRange(0, 0);
  progress->setFixedSize(progress->sizeHint());
  const unsigned run = ++run_;
  // Only this job's dialog stops this job.
  connect(progress, &QProgressDialog::canceled, this, [this, run] {
    if (run == run_) runner_.RequestStop();
  });
  const bool started = runner_.Start([this, job = std::move(job), run](std::stop_token stop) {
    paramfile::Work work;
    work.stop = std::move(stop);
    work.progress = [this, run](size_t done, size_t total, const std::string& step) {
      const QString text = ToQString(step);
      QMetaObject::invokeMethod(
          this, [this, run, done, total, text] { ShowStep(run, done, total, text); }, Qt::QueuedConnection);
    };
    std::function<void()> report = job(work);
    QMetaObject::invokeMethod(
        this, [this, run, report = std::move(report)] { Finish(run, report); }, Qt::QueuedConnection);
  });
  if (!started) {
    delete progress;
    return false;
  }
  progress_ = progress;
  running_ = true;
  progress->show();
  return true;
}

void CParamJobs::ShowStep(unsigned run, size_t done, size_t total, const QString& step) {
  if (run != run_ || progress_ == nullptr) return;
  progress_->setRange(0, static_cast<int>(total));
  progress_->setValue(static_cast<int>(done));
  if (!step.isEmpty()) progress_->setLabelText(step);
}

void CParamJobs::Finish(unsigned run, const std::function<void()>& report) {
  if (run != run_ || stopped_) return;
  running_ = false;
  if (progress_ != nullptr) {
    progress_->hide();
    progress_->deleteLater();
  }
  report();
}

void CParamJobs::Stop() {
  stopped_ = true;
  runner_.RequestStop();
  runner_.Join();
  running_ = false;
}
