#include "app/app_icon.h"

namespace sweepwise {

QIcon appIcon() {
    static const QIcon icon(QStringLiteral(":/icons/sweepwise.svg"));
    return icon;
}

}  // namespace sweepwise
