#pragma once

#include <QRectF>
#include <QSize>
#include <QString>
#include <QWidget>
#include <vector>

#include "ui/forms/dialog_units.h"

namespace kavendrum::ui {

// Places a form's controls from its dialog template and then makes room for their texts. The
// template was drawn for a narrow font; with a wider one a caption can need more than its
// control, so each text control first grows into the free room on its right, and when that is not
// enough the whole form is widened by the factor that is still missing. Heights and vertical
// places stay as the template gives them.
class FormLayout {
  public:
    // The template's size in dialog units, measured with the form's font.
    FormLayout(QWidget* form, int widthUnits, int heightUnits);

    // Places the widget at the template rectangle and gives it its id as object name. The text
    // is what the control draws, for controls that draw a caption of their own.
    void Place(QWidget* widget, int x, int y, int width, int height, int id = -1,
               const QString& text = QString());
    // Keeps a rectangle, given in pixels of the template's font, free for a control that the
    // form creates later; TemplatePixels gives its place then.
    void ReserveTemplatePixels(const QRect& pixels);
    QRect TemplatePixels(const QRect& pixels) const;
    // Grows the text controls and scales the form as described above, by at least `atLeast`, so
    // that forms sharing one factor give the same kind of control the same size; returns the
    // form's size.
    QSize Fit(double atLeast = 1.0);
    // The factor the last Fit used.
    double Scale() const { return m_scale; }

    // A width given in pixels of the template's font, such as a list column's.
    int ScaledPixels(int templatePixels) const;
    QSize Size() const { return m_size; }

  private:
    struct Placed {
        QWidget* widget;  // none for a reserved rectangle
        QRectF units;
        QString text;
    };

    int NeededWidth(const Placed& placed) const;
    // The template's x coordinate up to which the control may grow.
    double RightLimit(const Placed& placed) const;
    double PixelsX(double units) const;
    void Apply();

    DialogUnits m_units;
    int m_nWidthUnits;
    int m_nHeightUnits;
    double m_scale = 1.0;
    QSize m_size;
    std::vector<Placed> m_placed;
};

// The pixels the widget needs to show its whole text, or 0 for a control without one.
int TextWidthNeeded(const QWidget* widget, const QString& ownText = QString());

}  // namespace kavendrum::ui
