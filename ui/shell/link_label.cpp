#include "ui/shell/link_label.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>

#include "ui/forms/modal_dialogs.h"

namespace kavendrum::ui {

CLinkLabel::CLinkLabel(const QString& text, QWidget* parent, LinkOpener opener)
    : QLabel(text, parent),
      m_crHoverColour(QApplication::palette().color(QPalette::Highlight)),
      m_opener(std::move(opener)) {
    QFont underlined = font();
    underlined.setUnderline(m_bUnderline);
    setFont(underlined);
    if (m_strURL.isEmpty()) {
        m_strURL = text;
    }
    setToolTip(m_strURL);
}

void CLinkLabel::SetURL(const QString& url) {
    m_strURL = url;
    PositionWindow();
    setToolTip(url);
}

void CLinkLabel::SetVisited(bool visited) {
    m_bVisited = visited;
    update();
}

void CLinkLabel::PositionWindow() {
    if (!m_bAdjustToFit) {
        return;
    }
    const QFontMetrics metrics(font());
    QRect placed = geometry();
    placed.setWidth(metrics.horizontalAdvance(text()));
    placed.setHeight(metrics.height());
    setGeometry(placed);
}

QColor CLinkLabel::TextColour() const {
    if (m_bOverControl) {
        return m_crHoverColour;
    }
    return m_bVisited ? m_crVisitedColour : m_crLinkColour;
}

void CLinkLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(TextColour());
    painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter, text());
}

void CLinkLabel::enterEvent(QEnterEvent* event) {
    QLabel::enterEvent(event);
    m_bOverControl = true;
    repaint();
}

void CLinkLabel::leaveEvent(QEvent* event) {
    QLabel::leaveEvent(event);
    m_bOverControl = false;
    repaint();
}

void CLinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        OnClicked();
    }
}

void CLinkLabel::OnClicked() {
    const int result = GotoURL(m_strURL, m_opener);
    m_bVisited = result > 32;
    if (m_bVisited) {
        SetVisited(true);
        return;
    }
    QApplication::beep();
    ShowBox(this, HyperlinkErrorText(result), "Kavendrum", BoxStyle::Warning);
}

}  // namespace kavendrum::ui
