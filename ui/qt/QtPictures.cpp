#include "ui/qt/QtPictures.h"

#include <QFile>

// Outside any namespace, as Q_INIT_RESOURCE requires.
static void initPictures() {
    Q_INIT_RESOURCE(pictures);
}

namespace t7::qt {

QPixmap bundledPicture(const QString& name) {
    static const bool initialised = (initPictures(), true);
    (void)initialised;
    if (name.isEmpty()) return {};
    const QString path = QStringLiteral(":/pictures/%1").arg(name);
    if (!QFile::exists(path)) return {};
    return QPixmap(path);
}

}  // namespace t7::qt
