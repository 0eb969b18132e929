#include "ui/MotorParamPage.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "ui/Retranslate.h"
#include "ui/Text.h"
#include "ui/forms/MotorParamForm.h"

namespace mp = forms::motorparam;

CMotorParamPage::CMotorParamPage() : CFieldPage(IDD), m_params(mp::Params(), mp::id::Configure) {}

CMotorParamPage::~CMotorParamPage() { OnDestroy(); }

bool CMotorParamPage::OnInitDialog() {
  Build(mp::Groups(), {mp::Params(), mp::Controls()});
  Bind(m_params);
  m_params.form.SetValues(mp::InitialParams());
  m_params.form.Show();
  OnClicked(mp::id::Read, &CMotorParamPage::OnReadParams);
  OnClicked(mp::id::Configure, &CMotorParamPage::OnConfigureParams);
  OnClicked(mp::id::StartLearning, &CMotorParamPage::OnStartLearning);
  EnableControl(mp::id::Configure, false);
  return true;
}

void CMotorParamPage::OnReadParams() { ReadBlock(m_params, &DriverLink::ReadMotorParams); }

void CMotorParamPage::OnConfigureParams() { ConfigureBlock(m_params, &DriverLink::WriteMotorParams); }

void CMotorParamPage::ShowLearning(bool learning) {
  if (auto* button = m_controls.As<QPushButton>(mp::id::StartLearning)) {
    ui::SetSourceText(button, learning ? mp::LearningText : mp::StartLearningText);
  }
  EnableControl(mp::id::StartLearning, !learning);
}

void CMotorParamPage::OnStartLearning() {
  if (m_learning || m_destroyed) return;
  if (Link() == nullptr) {
    ShowResult(ResultPortNotOpen);
    return;
  }
  m_learning = true;
  ShowLearning(true);
  if (Context().backup == nullptr) {
    StartLearningRun();
    return;
  }
  // A run rewrites the motor parameters: every block is saved first, and the
  // run starts once the backup is in or the operator goes on without one.
  Context().backup->BackUpThen(this, [this](bool proceed) {
    if (m_destroyed) return;
    if (proceed) {
      StartLearningRun();
      return;
    }
    m_learning = false;
    ShowLearning(false);
  });
}

void CMotorParamPage::StartLearningRun() {
  // The worker only queues its report; the page is the context, so a report
  // still queued when the page goes is dropped with it.
  const bool started = m_learnRun.Start(*Link(), Address(), [this](const LearningReport& report) {
    QMetaObject::invokeMethod(this, [this, report] { OnLearningFinished(report); }, Qt::QueuedConnection);
  });
  if (!started) {
    m_learning = false;
    ShowLearning(false);
    ShowText(lang::Tr(mp::NoWorkerText));
  }
}

void CMotorParamPage::OnLearningFinished(const LearningReport& report) {
  if (m_destroyed) return;
  // The worker has handed over its report and ends without waiting for us.
  m_learnRun.Join();
  auto* states = m_controls.As<QComboBox>(mp::id::LearnState);
  if (report.end == LearningReport::End::Succeeded) {
    if (auto* phaseOrder = m_controls.As<QLineEdit>(mp::id::PhaseOrder)) {
      phaseOrder->setText(ToQString(mp::LearnedPhaseOrder(report.last)));
    }
    if (states != nullptr) states->setCurrentIndex(mp::Learned);
  } else if (report.end == LearningReport::End::Failed && states != nullptr) {
    states->setCurrentIndex(mp::NotLearned);
  }
  // Idle again only once the operator has closed the box.
  ShowText(mp::LearningMessage(report));
  m_learning = false;
  ShowLearning(false);
}

void CMotorParamPage::OnDestroy() {
  m_destroyed = true;
  m_learnRun.RequestStop();
  m_learnRun.Join();
  m_learning = false;
}

bool CMotorParamPage::ShowParamBlock(const fields::ParamBlock& block, const uint8_t* record) {
  return ShowIfBlock(m_params, RegisterMap::MotorParams, block, record);
}
