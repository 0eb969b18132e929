// An open across the network takes up to the connection's time, and a
// COM-port-control server's confirmation of the settings on top: it runs on
// a thread of its own while a box over the window says what it connects
// to, so that the window keeps painting. The box has nothing to cancel:
// the open ends within its bound either way.
#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace ui {

// Runs `open` on a thread of its own while a window-modal box over `over`
// says "正在连接 <port> ..."; returns what `open` returned.
bool OpenWhileShowing(QWidget* over, const QString& port, const std::function<bool()>& open);

}  // namespace ui
