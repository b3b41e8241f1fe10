#include "ui/controls/etched_button.h"

#include <QFontDatabase>
#include <QKeyEvent>
#include <QPainter>

#include "ui/controls/etched_palette.h"

namespace kavendrum::ui {

CEtchedButton::CEtchedButton(QWidget* parent) : QPushButton(parent) {}

void CEtchedButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const int x0 = 0;
    const int y0 = 0;
    const int x1 = width();
    const int y1 = height();
    if (isDown()) {
        FillWithoutOutline(painter, x0, y0, x1, y1, palette::kPressedFace);
    } else {
        FillWithoutOutline(painter, x0, y0, x1, y1, palette::kFace);
        DrawEtchedFrame(painter, x0, y0, x1, y1);
    }
    painter.setFont(font());
    const QFontMetrics metrics(font());
    const int cx = metrics.horizontalAdvance(m_strCaption);
    const int cy = metrics.height();
    const int xc = (x0 + x1) / 2;
    const int yc = (y0 + y1) / 2;
    painter.setPen(palette().color(QPalette::ButtonText));
    painter.drawText(QRect(xc - cx / 2, yc - cy / 2, cx, cy), Qt::AlignLeft | Qt::AlignTop,
                     m_strCaption);
    if (hasFocus()) {
        const QRect ring(QPoint(xc - cx / 2 - 1, yc - cy / 2 - 1),
                         QPoint(xc + cx / 2 + 2, yc + cy / 2 + 2));
        DrawFocusRing(painter, ring);
    }
}

// Enter presses the focused button, as on every desktop; Space works as before.
void CEtchedButton::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        event->modifiers() == Qt::NoModifier) {
        if (!event->isAutoRepeat() && isEnabled()) {
            animateClick();
        }
        event->accept();
        return;
    }
    QPushButton::keyPressEvent(event);
}

}  // namespace kavendrum::ui
