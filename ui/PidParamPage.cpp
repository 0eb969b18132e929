#include "ui/PidParamPage.h"

CPidParamPage::CPidParamPage() : CTabPage(IDD) {}
