#include "ui/qt/QtPictures.h"

#include <QFile>

namespace t7::qt {

QPixmap bundledPicture(const QString& name) {
    if (name.isEmpty()) return {};
    const QString path = QStringLiteral(":/pictures/%1.png").arg(name);
    if (!QFile::exists(path)) return {};
    return QPixmap(path);
}

}  // namespace t7::qt
