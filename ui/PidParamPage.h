// The "PID参数" page of the main window (hold, speed and position gains).
// The page has no controls of its own yet; it is an empty child dialog.
#pragma once

#include "ui/TabPage.h"

class CPidParamPage : public CTabPage {
 public:
  static constexpr int IDD = 138;

  CPidParamPage();
};
