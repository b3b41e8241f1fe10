#pragma once

#include <QFont>
#include <QRect>
#include <QWidget>

namespace kavendrum::ui {

// Converts a dialog template's units into pixels for a font, as the platform's dialogs do:
// a horizontal unit is a quarter of the font's average character width, a vertical unit an
// eighth of its height.
class DialogUnits {
  public:
    explicit DialogUnits(const QFont& font);

    int X(int units) const { return units * m_nBaseWidth / 4; }
    int BaseWidth() const { return m_nBaseWidth; }
    // How much wider and taller this font's units are than those of the template's font.
    double RatioX() const { return m_nBaseWidth / 6.0; }
    double RatioY() const { return m_nBaseHeight / 13.0; }
    int Y(int units) const { return units * m_nBaseHeight / 8; }
    QRect Rect(int x, int y, int width, int height) const;
    // A rectangle given in pixels of the template's own font (MS Sans Serif 8, base units 6 by
    // 13), scaled so that it keeps its place among the controls in this font.
    QRect TemplatePixels(const QRect& pixels) const;
    // Places the widget at the template rectangle and gives it its id as object name.
    void Place(QWidget* widget, int x, int y, int width, int height, int id = -1) const;

  private:
    int m_nBaseWidth;
    int m_nBaseHeight;
};

}  // namespace kavendrum::ui
