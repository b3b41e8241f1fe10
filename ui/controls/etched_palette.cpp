#include "ui/controls/etched_palette.h"

namespace kavendrum::ui {

namespace {

int StepTowards(int from, int to) {
    return to > from ? to - 1 : to < from ? to + 1 : to;
}

}  // namespace

QPalette FacePalette() {
    const QColor black(0, 0, 0);
    const QColor white(255, 255, 255);
    QPalette colours(black, palette::kFace, white, palette::kDarkEdge, QColor(170, 170, 170), black,
                     white, white, palette::kFace);
    // The accent marks the chosen row: the status images, drawn black, stay plain on it.
    colours.setColor(QPalette::Highlight, palette::kAccent);
    colours.setColor(QPalette::HighlightedText, black);
    colours.setColor(QPalette::AlternateBase, QColor(236, 236, 236));
    colours.setColor(QPalette::ToolTipBase, QColor(255, 255, 225));
    colours.setColor(QPalette::ToolTipText, black);
    colours.setColor(QPalette::PlaceholderText, palette::kDarkEdge);
    colours.setColor(QPalette::Link, QColor(0, 0, 255));
    colours.setColor(QPalette::LinkVisited, QColor(128, 0, 128));
    // Greyed-out text: dark enough to read, light enough to tell from the rest.
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        colours.setColor(QPalette::Disabled, role, QColor(110, 110, 110));
    }
    colours.setColor(QPalette::Disabled, QPalette::Base, palette::kFace);
    colours.setColor(QPalette::Inactive, QPalette::Highlight, palette::kAccent);
    return colours;
}

void DrawFocusRing(QPainter& painter, const QRect& ring) {
    painter.save();
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(palette::kAccent, 1));
    painter.drawRect(ring);
    painter.setPen(QPen(palette::kFocusDots, 1, Qt::DotLine));
    painter.drawRect(ring.adjusted(-1, -1, 1, 1));
    painter.restore();
}

void UseFacePalette(QWidget* widget) {
    widget->setPalette(FacePalette());
    widget->setAutoFillBackground(true);
}

void UseFaceBackground(QWidget* form) {
    UseFacePalette(form);
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
