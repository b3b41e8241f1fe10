#pragma once

#include <QColor>
#include <QLabel>
#include <QString>

#include "ui/shell/hyperlink.h"

namespace kavendrum::ui {

// A hyperlink: blue, purple once opened, the highlight colour while the pointer is over it; its
// target shows as a tool tip, a click opens it.
class CLinkLabel : public QLabel {
    Q_OBJECT

  public:
    explicit CLinkLabel(const QString& text, QWidget* parent = nullptr,
                        LinkOpener opener = LinkOpener::Desktop());

    void SetURL(const QString& url);
    void SetVisited(bool visited);
    void PositionWindow();
    QColor TextColour() const;
    void OnClicked();

    QColor m_crLinkColour{0, 0, 238};
    QColor m_crVisitedColour{85, 26, 139};
    QColor m_crHoverColour;
    bool m_bOverControl = false;
    bool m_bVisited = false;
    bool m_bUnderline = true;
    bool m_bAdjustToFit = true;
    QString m_strURL;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    LinkOpener m_opener;
};

}  // namespace kavendrum::ui
