// The manager's picture, drawn in code at any size, and the same picture
// with a mark for each state (shape as well as colour, so the state reads
// without colour too). files/tarvo-hotsync-manager.svg is its scalable twin.
#pragma once

#include <QIcon>
#include <QImage>

#include "desktop/status_words.h"

namespace tarvo::desktop {

QImage drawAppIcon(int size);
QIcon appIcon();
QIcon statusIcon(StatusKind kind);

}  // namespace tarvo::desktop
