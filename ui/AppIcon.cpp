#include "ui/AppIcon.h"

QIcon AppIcon() { return QIcon(QStringLiteral(":/korvelt/korvelt.png")); }
