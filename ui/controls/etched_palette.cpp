#include "ui/controls/etched_palette.h"

namespace kavendrum::ui {

namespace {

int StepTowards(int from, int to) {
    return to > from ? to - 1 : to < from ? to + 1 : to;
}

}  // namespace

void UseFaceBackground(QWidget* form) {
    QPalette colours = form->palette();
    colours.setColor(QPalette::Window, palette::kFace);
    form->setPalette(colours);
    form->setAutoFillBackground(true);
}

void DrawStroke(QPainter& painter, int x0, int y0, int x1, int y1) {
    if (x0 == x1 && y0 == y1) {
        return;
    }
    // Strokes are horizontal or vertical, so stepping back one pixel along the moving axis
    // leaves out exactly the end point.
    const int endX = y0 == y1 ? StepTowards(x0, x1) : x1;
    const int endY = x0 == x1 ? StepTowards(y0, y1) : y1;
    painter.drawLine(x0, y0, endX, endY);
}

void DrawEtchedFrame(QPainter& painter, int x0, int y0, int x1, int y1, const QColor& dark,
                     const QColor& light) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(dark, 1));
    DrawStroke(painter, x0, y0, x1 - 1, y0);
    DrawStroke(painter, x0, y0, x0, y1 - 1);
    DrawStroke(painter, x0, y1 - 2, x1 - 1, y1 - 2);
    DrawStroke(painter, x1 - 2, y1 - 1, x1 - 2, y0);
    painter.setPen(QPen(light, 1));
    DrawStroke(painter, x0, y1 - 1, x1 - 1, y1 - 1);
    DrawStroke(painter, x1 - 1, y1 - 1, x1 - 1, y0);
    DrawStroke(painter, x0 + 1, y0 + 1, x1 - 2, y0 + 1);
    DrawStroke(painter, x0 + 1, y0 + 1, x0 + 1, y1 - 2);
    painter.restore();
}

void FillWithoutOutline(QPainter& painter, int left, int top, int right, int bottom,
                        const QColor& colour) {
    if (right - left < 2 || bottom - top < 2) {
        return;
    }
    painter.fillRect(QRect(QPoint(left, top), QPoint(right - 2, bottom - 2)), colour);
}

}  // namespace kavendrum::ui
