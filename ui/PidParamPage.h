// The "PID参数" page: reads and configures the nine gains of the speed,
// position and holding loops.
#pragma once

#include "driver/RegisterMap.h"
#include "ui/FieldPage.h"

class CPidParamPage : public CFieldPage {
 public:
  static constexpr int IDD = 138;

  CPidParamPage();

  void OnReadPid();
  void OnConfigurePid();
  bool ShowParamBlock(const fields::ParamBlock& block, const uint8_t* record) override;

 protected:
  bool OnInitDialog() override;

 private:
  BlockForm<PidBlock> m_gains;
};
