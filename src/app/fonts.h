#pragma once

#include <QFont>

namespace sweepwise {

// Maps the Chinese font names the windows ask for to installed Simplified Chinese faces, and
// makes the default font prefer Simplified Chinese glyph forms. Call once, after the
// application object exists.
void setUpFonts();

// The "宋体" face at a size, as the windows' captions use it.
QFont songTi(qreal pointSize, bool bold = false, bool italic = false);

}  // namespace sweepwise
