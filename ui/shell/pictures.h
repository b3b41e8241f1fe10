#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>

namespace kavendrum::ui {

// A picture from the program's resources ("icon_128", "state_144", …) drawn at the given size,
// on a transparent background unless the picture paints its own.
QPixmap Picture(const QString& name, QSize size);
QIcon PictureIcon(const QString& name, QSize size = QSize(32, 32));

}  // namespace kavendrum::ui
