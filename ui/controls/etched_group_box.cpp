#include "ui/controls/etched_group_box.h"

#include <QPainter>

#include "ui/controls/etched_palette.h"

namespace kavendrum::ui {

namespace {

// The title's indent from the frame's left edge, and its clear space on either side.
constexpr int kTitleIndent = 8;
constexpr int kTitlePadding = 2;

}  // namespace

CEtchedGroupBox::CEtchedGroupBox(const QString& title, QWidget* parent)
    : QGroupBox(title, parent) {}

QRect CEtchedGroupBox::TitleRect() const {
    const QFontMetrics metrics(font());
    return QRect(kTitleIndent + kTitlePadding, 0, metrics.horizontalAdvance(title()),
                 metrics.height());
}

int CEtchedGroupBox::LineTop() const {
    return QFontMetrics(font()).height() / 2;
}

int CEtchedGroupBox::NeededWidth() const {
    return TitleRect().right() + 1 + kTitlePadding + kTitleIndent;
}

void CEtchedGroupBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    DrawEtchedFrame(painter, 0, LineTop(), width(), height());
    const QRect titleRect = TitleRect();
    // The line is broken behind the title.
    painter.fillRect(titleRect.adjusted(-kTitlePadding, 0, kTitlePadding, 0),
                     palette().color(QPalette::Window));
    painter.setFont(font());
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    painter.drawText(titleRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, title());
}

}  // namespace kavendrum::ui
