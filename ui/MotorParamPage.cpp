#include "ui/MotorParamPage.h"

CMotorParamPage::CMotorParamPage() : CTabPage(IDD) {}
