// The "电机参数" page of the main window (the motor parameter set and the learning run).
// The page has no controls of its own yet; it is an empty child dialog.
#pragma once

#include "ui/TabPage.h"

class CMotorParamPage : public CTabPage {
 public:
  static constexpr int IDD = 135;

  CMotorParamPage();
};
