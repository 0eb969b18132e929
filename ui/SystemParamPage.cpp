#include "ui/SystemParamPage.h"

CSystemParamPage::CSystemParamPage() : CTabPage(IDD) {}
