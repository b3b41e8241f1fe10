#pragma once

#include <QFont>

namespace kavendrum::ui {

// The one widening factor of the three forms for a font: the largest that any of them needs
// for its texts. With it the same kind of control has the same size on every form, and
// switching forms does not make the window's content jump. Measured once per font, on stand-ins
// of the forms that are never shown.
double SharedFormScale(const QFont& font);

}  // namespace kavendrum::ui
