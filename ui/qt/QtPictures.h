#pragma once
// Pictures that layouts name (the header pictures), bundled into the program.
#include <QPixmap>
#include <QString>

namespace t7::qt {

// The bundled picture `name` (a file name such as "header.png"), or a null
// pixmap when there is none.
QPixmap bundledPicture(const QString& name);

}  // namespace t7::qt
