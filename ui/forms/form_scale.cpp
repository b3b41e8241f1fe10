#include "ui/forms/form_scale.h"

#include <QHash>
#include <algorithm>

#include "ui/forms/merge_view.h"
#include "ui/forms/option_view.h"
#include "ui/forms/splitter_view.h"

namespace kavendrum::ui {

double SharedFormScale(const QFont& font) {
    // Kept for the life of the program: a font's measure does not change. The stand-ins ask
    // for it while it is being measured, and are then given 1, their own factor.
    static QHash<QString, double> s_scales;
    const QString key = font.key();
    if (const auto found = s_scales.constFind(key); found != s_scales.constEnd()) {
        return found.value();
    }
    s_scales.insert(key, 1.0);
    QWidget holder;
    holder.setFont(font);
    const double scale =
        std::max({CSplitterView(&holder).LayoutScale(), CMergeView(&holder).LayoutScale(),
                  COptionView(&holder).LayoutScale()});
    s_scales.insert(key, scale);
    return scale;
}

}  // namespace kavendrum::ui
