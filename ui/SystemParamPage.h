// The "系统参数" page: reads and configures the driver's input and interface
// configuration (limit and signal inputs, voltage ranges, its own serial
// settings, time-outs and two switches).
#pragma once

#include "driver/RegisterMap.h"
#include "ui/FieldPage.h"

class CSystemParamPage : public CFieldPage {
 public:
  static constexpr int IDD = 131;

  CSystemParamPage();

  void OnReadSystemParams();
  void OnConfigureSystemParams();
  bool ShowParamBlock(const fields::ParamBlock& block, const uint8_t* record) override;
  // The operator picked a signal type or logic level: the range and
  // threshold edits take that item's usual values. Nothing is sent.
  void OnSelchangeAnalogType();
  void OnSelchangeLogicLevel();

 protected:
  bool OnInitDialog() override;

 private:
  // Puts the default texts of the item now chosen in `listId` into their edits.
  void ApplyListDefaults(int listId);

  BlockForm<SystemParamBlock> m_params;
};
