#include "ui/controls/etched_check_box.h"

#include <QPainter>
#include <algorithm>

#include "ui/controls/etched_palette.h"

namespace kavendrum::ui {

CEtchedCheckBox::CEtchedCheckBox(QWidget* parent) : QAbstractButton(parent) {
    setFocusPolicy(Qt::StrongFocus);
    connect(this, &QAbstractButton::clicked, this, &CEtchedCheckBox::OnClicked);
}

void CEtchedCheckBox::OnClicked() {
    m_nChecked = m_nChecked == 0 ? 1 : 0;
    repaint();
}

int CEtchedCheckBox::BoxSize(const QFontMetrics& metrics) {
    // 13 pixels at the usual font, growing with a larger one.
    return std::max(kSmallestBox, metrics.height() - 4);
}

void CEtchedCheckBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    FillWithoutOutline(painter, 0, 0, width(), height(), palette::kFace);
    const QFontMetrics metrics(font());
    const int box = BoxSize(metrics);
    // The box and the caption share one middle line, whatever the font and the row's height.
    const int boxTop = std::max(0, (height() - box) / 2);
    DrawEtchedFrame(painter, 0, boxTop, box, boxTop + box);
    const int textLeft = box + 3;
    const int textTop = std::max(0, (height() - metrics.height()) / 2);
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(QPoint(textLeft, textTop + metrics.ascent()), m_strCaption);
    if (m_nChecked != 0) {
        // The tick of the 13-pixel box, scaled with the box.
        const double unit = box / 13.0;
        painter.setRenderHint(QPainter::Antialiasing, box > kSmallestBox);
        painter.setPen(QPen(palette::kCheckMark, 2 * unit));
        const auto at = [&](double x, double y) { return QPointF(x * unit, boxTop + y * unit); };
        painter.drawLine(at(2, 3), at(3, 8));
        painter.drawLine(at(3, 9), at(9, 3));
        painter.setRenderHint(QPainter::Antialiasing, false);
    }
    if (hasFocus()) {
        DrawFocusRing(painter, QRect(QPoint(textLeft - 1, textTop),
                                     QPoint(textLeft + metrics.horizontalAdvance(m_strCaption),
                                            textTop + metrics.height() - 1)));
    }
}

}  // namespace kavendrum::ui
