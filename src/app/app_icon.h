#pragma once

#include <QIcon>

namespace sweepwise {

// The program's own icon, drawn as a scalable picture.
QIcon appIcon();

}  // namespace sweepwise
