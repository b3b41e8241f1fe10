#include "ui/controls/etched_combo_box.h"

#include <QPainter>

#include "ui/controls/etched_palette.h"

namespace kavendrum::ui {

CEtchedComboBox::CEtchedComboBox(QWidget* parent) : QComboBox(parent) {}

void CEtchedComboBox::paintEvent(QPaintEvent* event) {
    QComboBox::paintEvent(event);
    QPainter painter(this);
    DrawEtchedFrame(painter, 0, 0, width(), height());
    DrawEtchedFrame(painter, width() - 18, 2, width() - 2, height() - 2);
}

}  // namespace kavendrum::ui
