#include "ui/forms/dialog_units.h"

#include <QFontMetrics>

namespace kavendrum::ui {

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    // The average over the Latin letters, rounded, as the platform measures a dialog font.
    const QString letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    m_nBaseWidth = (metrics.horizontalAdvance(letters) / 26 + 1) / 2;
    m_nBaseHeight = metrics.height();
}

QRect DialogUnits::Rect(int x, int y, int width, int height) const {
    return QRect(X(x), Y(y), X(width), Y(height));
}

QRect DialogUnits::TemplatePixels(const QRect& pixels) const {
    constexpr int kTemplateBaseWidth = 6;
    constexpr int kTemplateBaseHeight = 13;
    const auto x = [this](int value) { return value * m_nBaseWidth / kTemplateBaseWidth; };
    const auto y = [this](int value) { return value * m_nBaseHeight / kTemplateBaseHeight; };
    return QRect(QPoint(x(pixels.left()), y(pixels.top())),
                 QPoint(x(pixels.right() + 1) - 1, y(pixels.bottom() + 1) - 1));
}

void DialogUnits::Place(QWidget* widget, int x, int y, int width, int height, int id) const {
    widget->setGeometry(Rect(x, y, width, height));
    if (id >= 0) {
        widget->setObjectName(QString::number(id));
    }
}

}  // namespace kavendrum::ui
