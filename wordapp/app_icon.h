// The application icon (icon 128): the main window's, the about box's and
// the notification area's. Drawn once, on the window thread.
#pragma once

#include <QIcon>

namespace quorvo {

const QIcon& AppIcon();

}  // namespace quorvo
