// The application's icon (res/korvelt.png).
#pragma once

#include <QIcon>

QIcon AppIcon();
