#include "app/fonts.h"

#include <QApplication>
#include <QStringList>

namespace sweepwise {

namespace {

// Without these, fontconfig offers a Latin serif face and Qt falls back to the Japanese forms
// of the CJK face, whose punctuation sits differently.
const QStringList kSerifFaces{QStringLiteral("Noto Serif CJK SC"), QStringLiteral("Noto Serif SC"),
                              QStringLiteral("AR PL UMing CN"), QStringLiteral("Noto Sans CJK SC")};
const QString kSansFace = QStringLiteral("Noto Sans CJK SC");

}  // namespace

void setUpFonts() {
    QFont::insertSubstitutions(QStringLiteral("SimSun"), kSerifFaces);
    QFont::insertSubstitutions(QStringLiteral("宋体"),
                               QStringList{QStringLiteral("SimSun")} + kSerifFaces);

    QFont font = QApplication::font();
    if (!font.families().contains(kSansFace)) {
        font.setFamilies({font.family(), kSansFace});
        QApplication::setFont(font);
    }
}

QFont songTi(qreal pointSize, bool bold, bool italic) {
    QFont font(QStringLiteral("宋体"));
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    font.setItalic(italic);
    return font;
}

}  // namespace sweepwise
