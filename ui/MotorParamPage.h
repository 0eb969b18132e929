// The "电机参数" page: reads and configures the whole motor parameter block,
// and runs the driver's motor learning on a worker that never touches a
// widget: its end comes back to the page through the user-interface thread.
#pragma once

#include "driver/LearningRun.h"
#include "driver/RegisterMap.h"
#include "ui/FieldPage.h"

class CMotorParamPage : public CFieldPage {
 public:
  static constexpr int IDD = 135;

  CMotorParamPage();
  ~CMotorParamPage() override;

  void OnReadParams();
  void OnConfigureParams();
  void OnStartLearning();
  bool ShowParamBlock(const fields::ParamBlock& block, const uint8_t* record) override;

  // Stops a learning run and waits for its worker: the final write is made,
  // no message follows and the page's controls are not touched again.
  void OnDestroy() override;

  // From "开始学习" (its backup included) until the run's end is shown.
  bool IsLearning() const { return m_learning; }
  // The run itself is on its worker: the backup before it is done.
  bool RunStarted() const { return m_learnRun.Active(); }

 protected:
  bool OnInitDialog() override;

 private:
  // User-interface thread: the worker's report of a run that ended by itself.
  void OnLearningFinished(const LearningReport& report);
  // After the backup: starts the run on its worker.
  void StartLearningRun();
  void ShowLearning(bool learning);

  BlockForm<MotorParamBlock> m_params;
  bool m_learning = false;
  bool m_destroyed = false;
  // Last, so that it is stopped before anything else of the page goes.
  LearningRun m_learnRun;
};
