#include "ui/controls/etched_check_box.h"

#include <QPainter>

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

void CEtchedCheckBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    FillWithoutOutline(painter, 0, 0, width(), height(), palette::kFace);
    DrawEtchedFrame(painter, 0, 0, 13, 13);
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::WindowText));
    const QFontMetrics metrics(font());
    painter.drawText(QPoint(16, metrics.ascent()), m_strCaption);
    if (m_nChecked != 0) {
        painter.setPen(QPen(palette::kCheckMark, 2));
        painter.drawLine(2, 3, 3, 8);
        painter.drawLine(3, 9, 9, 3);
    }
    if (hasFocus()) {
        painter.setPen(QPen(palette::kAccent, 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(
            QRect(QPoint(15, 0), QPoint(16 + metrics.horizontalAdvance(m_strCaption) - 1, 11)));
    }
}

}  // namespace kavendrum::ui
