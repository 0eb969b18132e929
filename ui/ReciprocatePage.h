// The "往复运动" page of the main window (reciprocating motion and preset speeds).
// The page has no controls of its own yet; it is an empty child dialog.
#pragma once

#include "ui/TabPage.h"

class CReciprocatePage : public CTabPage {
 public:
  static constexpr int IDD = 136;

  CReciprocatePage();
};
