#include "ui/shell/pictures.h"

#include <QPainter>
#include <QSvgRenderer>

// The pictures are compiled into a static library, whose resources register only when asked to.
static void RegisterPictures() {
    static const bool registered = [] {
        Q_INIT_RESOURCE(kavendrum);
        return true;
    }();
    (void)registered;
}

namespace kavendrum::ui {

QPixmap Picture(const QString& name, QSize size) {
    RegisterPictures();
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QSvgRenderer renderer(":/res/" + name + ".svg");
    QPainter painter(&pixmap);
    renderer.render(&painter);
    return pixmap;
}

QIcon PictureIcon(const QString& name, QSize size) {
    return QIcon(Picture(name, size));
}

}  // namespace kavendrum::ui
