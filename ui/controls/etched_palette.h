#pragma once

#include <QColor>
#include <QPainter>
#include <QWidget>

namespace kavendrum::ui {

// The colours every etched control and the progress bar share.
namespace palette {
inline const QColor kDarkEdge(128, 128, 128);
inline const QColor kLightEdge(255, 255, 255);
inline const QColor kFace(204, 204, 204);
inline const QColor kPressedFace(110, 110, 110);
inline const QColor kAccent(153, 153, 204);
inline const QColor kCheckMark(0, 0, 0);
// The dotted ring that makes focus plain beside the accent's pale line.
inline const QColor kFocusDots(0, 0, 0);
}  // namespace palette

// The colours of a window drawn on the fixed face: dark text on grey, white fields, whatever
// colour scheme the desktop has, since the faces do not follow it either.
QPalette FacePalette();
// Gives the widget and its children FacePalette, with its window filled.
void UseFacePalette(QWidget* widget);

// Gives a form the face colour as its background, so that the etched controls, which fill
// themselves with it, sit on the form without a band of another grey around them.
void UseFaceBackground(QWidget* form);

// The two-pixel etched frame of the rectangle (x0, y0, x1, y1), right and bottom exclusive: the
// outer ring dark at top and left and light at bottom and right, the inner ring the reverse.
void DrawEtchedFrame(QPainter& painter, int x0, int y0, int x1, int y1,
                     const QColor& dark = palette::kDarkEdge,
                     const QColor& light = palette::kLightEdge);

// The focus mark: the accent's line, and a dotted dark ring just inside it that stands out
// from the face by well over 3:1.
void DrawFocusRing(QPainter& painter, const QRect& ring);

// A line from the first point towards the second, the second point itself not painted.
void DrawStroke(QPainter& painter, int x0, int y0, int x1, int y1);

// Fills the rectangle as a rectangle drawn without an outline does: its right column and bottom
// row stay unpainted.
void FillWithoutOutline(QPainter& painter, int left, int top, int right, int bottom,
                        const QColor& colour);

}  // namespace kavendrum::ui
