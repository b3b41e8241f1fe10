#include "ui/controls/etched_combo_box.h"

#include <QPainter>
#include <algorithm>

#include "ui/controls/etched_palette.h"

namespace kavendrum::ui {

CEtchedComboBox::CEtchedComboBox(QWidget* parent) : QComboBox(parent) {}

void CEtchedComboBox::paintEvent(QPaintEvent* event) {
    QComboBox::paintEvent(event);
    QPainter painter(this);
    DrawEtchedFrame(painter, 0, 0, width(), height());
    // The button, with an arrow of its own that grows with the font: the style's arrow sits
    // where the style puts it, and a larger font pushed it under the frame.
    const int button = std::max(16, height() - 4);
    const QRect face(width() - 2 - button, 2, button, height() - 4);
    FillWithoutOutline(painter, face.left(), face.top(), face.right() + 1, face.bottom() + 1,
                       palette::kFace);
    DrawEtchedFrame(painter, face.left(), face.top(), face.right() + 1, face.bottom() + 1);
    const int half = std::max(3, button / 5);
    const QPointF middle(face.center().x() + 0.5, face.center().y() + 0.5);
    const QPointF arrow[] = {middle + QPointF(-half, -half / 2.0),
                             middle + QPointF(half, -half / 2.0),
                             middle + QPointF(0, half / 2.0 + 1)};
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(isEnabled() ? palette::kCheckMark : palette::kDarkEdge);
    painter.drawPolygon(arrow, 3);
    painter.setRenderHint(QPainter::Antialiasing, false);
    // The style draws no focus on this flat box; without a mark, Down would change a value the
    // user cannot see is chosen.
    if (hasFocus()) {
        DrawFocusRing(painter, QRect(4, 4, width() - button - 11, height() - 9));
    }
}

}  // namespace kavendrum::ui
