#include "ui/ReciprocatePage.h"

CReciprocatePage::CReciprocatePage() : CTabPage(IDD) {}
