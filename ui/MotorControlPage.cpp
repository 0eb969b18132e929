#include "ui/MotorControlPage.h"

CMotorControlPage::CMotorControlPage() : CTabPage(IDD) {}
