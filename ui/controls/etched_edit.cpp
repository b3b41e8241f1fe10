#include "ui/controls/etched_edit.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPainter>

#include "ui/controls/etched_palette.h"

namespace kavendrum::ui {

CEtchedEdit::CEtchedEdit(QWidget* parent, bool acceptsFiles) : QLineEdit(parent) {
    setFrame(false);
    setTextMargins(3, 0, 3, 0);
    setAcceptDrops(acceptsFiles);
}

void CEtchedEdit::paintEvent(QPaintEvent* event) {
    QLineEdit::paintEvent(event);
    QPainter painter(this);
    DrawEtchedFrame(painter, 0, 0, width(), height());
}

void CEtchedEdit::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void CEtchedEdit::dragMoveEvent(QDragMoveEvent* event) {
    if (event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void CEtchedEdit::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty()) {
        event->ignore();
        return;
    }
    setText(urls.first().toLocalFile());
    event->acceptProposedAction();
}

}  // namespace kavendrum::ui
