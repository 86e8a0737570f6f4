#include "ui/qt/QtFonts.h"

#include <QApplication>
#include <QFontDatabase>
#include <QStringList>

namespace t7::qt {
namespace {

const QString kSongTi = QStringLiteral("宋体");

}  // namespace

QString cjkFamily() {
    static const QStringList preferred = {
        QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("Noto Sans CJK SC"),
        QStringLiteral("Noto Serif CJK SC"), QStringLiteral("WenQuanYi Micro Hei"),
        QStringLiteral("AR PL UMing CN"),    QStringLiteral("Droid Sans Fallback")};
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
    // A family that is not installed falls back to the default family,
    // which has the Chinese glyphs, instead of whatever the system picks.
    if (!family.isEmpty()) font.setFamilies({family, QApplication::font().family()});
    if (pointSize > 0) font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

}  // namespace t7::qt
