#include "ui/forms/form_layout.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>
#include <algorithm>
#include <cmath>

#include "ui/controls/etched_button.h"
#include "ui/controls/etched_check_box.h"
#include "ui/controls/etched_group_box.h"

namespace kavendrum::ui {

namespace {

// Controls keep this much of a template unit clear of their right-hand neighbour.
constexpr double kGapUnits = 1.0;

bool IsGroup(const QWidget* widget) {
    return qobject_cast<const QGroupBox*>(widget) != nullptr;
}

bool Contains(const QRectF& outer, const QRectF& inner) {
    return inner.left() >= outer.left() && inner.right() <= outer.right() &&
           inner.top() >= outer.top() && inner.bottom() <= outer.bottom();
}

}  // namespace

int TextWidthNeeded(const QWidget* widget, const QString& ownText) {
    const QFontMetrics metrics(widget->font());
    if (const auto* box = qobject_cast<const CEtchedCheckBox*>(widget)) {
        // The box, then the caption three pixels after it and the focus ring past it.
        const QString caption = ownText.isEmpty() ? box->Caption() : ownText;
        return CEtchedCheckBox::BoxSize(metrics) + 3 + metrics.horizontalAdvance(caption) + 2;
    }
    if (const auto* button = qobject_cast<const CEtchedButton*>(widget)) {
        // The caption centred, with the focus rectangle three pixels beyond it on either side.
        const QString caption = ownText.isEmpty() ? button->Caption() : ownText;
        return caption.isEmpty() ? 0 : metrics.horizontalAdvance(caption) + 8;
    }
    if (const auto* group = qobject_cast<const CEtchedGroupBox*>(widget)) {
        return group->NeededWidth();
    }
    if (qobject_cast<const QRadioButton*>(widget) != nullptr ||
        qobject_cast<const QCheckBox*>(widget) != nullptr) {
        return widget->sizeHint().width();
    }
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        return label->text().isEmpty() && label->pixmap().isNull() ? 0 : label->sizeHint().width();
    }
    return 0;
}

FormLayout::FormLayout(QWidget* form, int widthUnits, int heightUnits)
    : m_units(form->font()), m_nWidthUnits(widthUnits), m_nHeightUnits(heightUnits) {}

void FormLayout::Place(QWidget* widget, int x, int y, int width, int height, int id,
                       const QString& text) {
    m_units.Place(widget, x, y, width, height, id);
    m_placed.push_back({widget, QRectF(x, y, width, height), text});
}

void FormLayout::ReserveTemplatePixels(const QRect& pixels) {
    // The template font's units are 6 by 13 pixels: a quarter and an eighth of them per unit.
    const QRectF units(pixels.left() * 4.0 / 6.0, pixels.top() * 8.0 / 13.0,
                       pixels.width() * 4.0 / 6.0, pixels.height() * 8.0 / 13.0);
    m_placed.push_back({nullptr, units, QString()});
}

QRect FormLayout::TemplatePixels(const QRect& pixels) const {
    const QRect unscaled = m_units.TemplatePixels(pixels);
    const int left = static_cast<int>(std::lround(unscaled.left() * m_scale));
    const int right = static_cast<int>(std::lround((unscaled.right() + 1) * m_scale));
    return QRect(left, unscaled.top(), right - left, unscaled.height());
}

int FormLayout::ScaledPixels(int templatePixels) const {
    return static_cast<int>(std::lround(templatePixels * m_units.RatioX() * m_scale));
}

double FormLayout::PixelsX(double units) const {
    return units * m_units.BaseWidth() / 4.0 * m_scale;
}

double FormLayout::RightLimit(const Placed& placed) const {
    const QRectF& own = placed.units;
    double limit = m_nWidthUnits - kGapUnits;
    for (const Placed& other : m_placed) {
        if (other.widget == placed.widget) {
            continue;
        }
        if (IsGroup(other.widget)) {
            // Inside a group, the frame's right line is the limit.
            if (Contains(other.units, own)) {
                limit = std::min(limit, other.units.right() - 2 * kGapUnits);
            }
            continue;
        }
        const bool sameRow = other.units.top() < own.bottom() && other.units.bottom() > own.top();
        if (sameRow && other.units.left() > own.left()) {
            limit = std::min(limit, other.units.left() - kGapUnits);
        }
    }
    return std::max(limit, own.right());
}

int FormLayout::NeededWidth(const Placed& placed) const {
    return placed.widget != nullptr ? TextWidthNeeded(placed.widget, placed.text) : 0;
}

QSize FormLayout::Fit(double atLeast) {
    m_scale = std::max(1.0, atLeast);
    for (const Placed& placed : m_placed) {
        const int needed = NeededWidth(placed);
        if (needed == 0) {
            continue;
        }
        // A group's title must fit its own width; any other control may use its room.
        const double right = IsGroup(placed.widget) ? placed.units.right() : RightLimit(placed);
        const double available = (right - placed.units.left()) * m_units.BaseWidth() / 4.0;
        if (available > 0) {
            // One pixel more, for the rounding of the edges.
            m_scale = std::max(m_scale, (needed + 1.0) / available);
        }
    }
    Apply();
    m_size = QSize(static_cast<int>(std::ceil(PixelsX(m_nWidthUnits))), m_units.Y(m_nHeightUnits));
    return m_size;
}

void FormLayout::Apply() {
    for (const Placed& placed : m_placed) {
        if (placed.widget == nullptr) {
            continue;
        }
        const QRect current = placed.widget->geometry();
        const int left = static_cast<int>(std::lround(PixelsX(placed.units.left())));
        int right = static_cast<int>(std::lround(PixelsX(placed.units.right())));
        const int needed = NeededWidth(placed);
        if (needed > right - left && !IsGroup(placed.widget)) {
            const int limit = static_cast<int>(std::floor(PixelsX(RightLimit(placed))));
            right = std::max(right, std::min(left + needed, limit));
        }
        placed.widget->setGeometry(left, current.top(), right - left, current.height());
    }
}

}  // namespace kavendrum::ui
