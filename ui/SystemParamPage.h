// The "系统参数" page of the main window (input configuration and serial settings of the driver).
// The page has no controls of its own yet; it is an empty child dialog.
#pragma once

#include "ui/TabPage.h"

class CSystemParamPage : public CTabPage {
 public:
  static constexpr int IDD = 131;

  CSystemParamPage();
};
