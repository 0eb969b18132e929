#include "ui/ParamJobs.h"

#include <QFontMetrics>
#include <QLabel>
#include <system_error>

#include "ui/Text.h"

CParamJobs::~CParamJobs() { Stop(); }

bool CParamJobs::Start(QWidget* over, const QString& title, Job job) {
  if (running_ || stopped_) return false;
  // The job before has posted its end and is leaving its thread.
  if (thread_.joinable()) thread_.join();
  auto cancel = std::make_shared<std::atomic<bool>>(false);
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
  progress->setCancelButtonText(QString::fromUtf8("取消"));
  progress->setWindowModality(Qt::WindowModal);
  progress->setAutoClose(false);
  progress->setAutoReset(false);
  progress->setMinimumDuration(0);
  progress->setRange(0, 0);
  progress->setFixedSize(progress->sizeHint());
  connect(progress, &QProgressDialog::canceled, this, [cancel] { cancel->store(true); });
  const unsigned run = ++run_;
  try {
    thread_ = std::thread([this, job = std::move(job), cancel, run] {
      paramfile::Work work;
      work.cancel = cancel.get();
      work.progress = [this, run](size_t done, size_t total, const std::string& step) {
        const QString text = ToQString(step);
        QMetaObject::invokeMethod(
            this, [this, run, done, total, text] { ShowStep(run, done, total, text); }, Qt::QueuedConnection);
      };
      std::function<void()> report = job(work);
      QMetaObject::invokeMethod(
          this, [this, run, report = std::move(report)] { Finish(run, report); }, Qt::QueuedConnection);
    });
  } catch (const std::system_error&) {
    delete progress;
    return false;
  }
  cancel_ = std::move(cancel);
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
  if (cancel_) cancel_->store(true);
  if (thread_.joinable()) thread_.join();
  running_ = false;
}
