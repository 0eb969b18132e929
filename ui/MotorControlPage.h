// The "电机控制" page of the main window (open-loop, closed-loop and position runs, stops and ramps).
// The page has no controls of its own yet; it is an empty child dialog.
#pragma once

#include "ui/TabPage.h"

class CMotorControlPage : public CTabPage {
 public:
  static constexpr int IDD = 130;

  CMotorControlPage();
};
