#include "ui/qt/QtFonts.h"

#include <QApplication>
#include <QFontDatabase>
#include <QStringList>

namespace t7::qt {
namespace {

const QString kSongTi = QStringLiteral("宋体");

}  // namespace

QString cjkFamily() {
    // 宋体 is a fixed-pitch font whose Latin letters are half as wide as
    // its Chinese ones; the layouts size their labels by those widths, so
    // a font with the same proportions comes first.
    static const QStringList preferred = {
        QStringLiteral("WenQuanYi Zen Hei Mono"), QStringLiteral("Noto Sans Mono CJK SC"),
        QStringLiteral("WenQuanYi Zen Hei"),      QStringLiteral("Noto Sans CJK SC"),
        QStringLiteral("Noto Serif CJK SC"),      QStringLiteral("WenQuanYi Micro Hei"),
        QStringLiteral("AR PL UMing CN"),         QStringLiteral("Droid Sans Fallback")};
    const QStringList installed = QFontDatabase::families();
    for (const QString& family : preferred) {
        if (installed.contains(family, Qt::CaseInsensitive)) return family;
    }
    // Any family that can write Chinese will do.
    const QStringList chinese = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
    return chinese.isEmpty() ? QString() : chinese.first();
}

void installFonts() {
    const QString cjk = cjkFamily();
    if (!cjk.isEmpty()) {
        for (const QString& windowsName :
             {kSongTi, QStringLiteral("SimSun"), QStringLiteral("新宋体"), QStringLiteral("NSimSun")}) {
            if (!QFontDatabase::families().contains(windowsName, Qt::CaseInsensitive)) {
                QFont::insertSubstitution(windowsName, cjk);
            }
        }
    }
    QApplication::setFont(formFont(kSongTi, 9, false));
}

QFont formFont(const QString& family, double pointSize, bool bold) {
    QFont font = QApplication::font();
    // A family that is not installed (Arial) is matched by the system to a
    // similar one; Chinese text in it still finds the CJK glyphs by fallback.
    if (!family.isEmpty()) font.setFamily(family);
    if (pointSize > 0) font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

}  // namespace t7::qt
