#include "ui/shell/about_dlg.h"

#include <QLabel>
#include <QPushButton>

#include "ui/controls/etched_palette.h"
#include "ui/forms/form_layout.h"
#include "ui/shell/pictures.h"

namespace kavendrum::ui {

CAboutDlg::CAboutDlg(QWidget* parent, LinkOpener opener) : QDialog(parent) {
    setObjectName("100");
    setWindowTitle("About Kavendrum");
    // Its picture and link colours are the light scheme's; so are its face and texts.
    UseFacePalette(this);
    FormLayout units(this, 206, 86);

    auto* icon = new QLabel(this);
    units.Place(icon, 7, 7, 21, 20);
    icon->setPixmap(Picture("icon_128", QSize(32, 32)));
    auto* name = new QLabel("Kavendrum Version 2.03", this);
    name->setTextFormat(Qt::PlainText);
    units.Place(name, 43, 5, 119, 8);
    units.Place(new QLabel("Thanks for using it !", this), 52, 34, 85, 8);
#ifdef KAVENDRUM_HOMEPAGE
    units.Place(new QLabel("Homepage :", this), 42, 57, 41, 8);
    m_linkHome = new CLinkLabel(KAVENDRUM_HOMEPAGE, this, opener);
    units.Place(m_linkHome, 87, 57, 45, 8, 1054);
    m_linkHome->SetURL(KAVENDRUM_HOMEPAGE);
#endif
#ifdef KAVENDRUM_MAIL
    units.Place(new QLabel("Mail :", this), 42, 68, 25, 8);
    m_linkMail = new CLinkLabel(KAVENDRUM_MAIL, this, opener);
    units.Place(m_linkMail, 87, 68, 69, 8, 1055);
    m_linkMail->SetURL(QString("mailto:") + KAVENDRUM_MAIL);
#endif
    (void)opener;
    auto* ok = new QPushButton("OK", this);
    units.Place(ok, 168, 65, 33, 14, 1);
    setFixedSize(units.Fit());
    // The links fit themselves to their texts, also after the box was widened.
    for (CLinkLabel* link : {m_linkHome, m_linkMail}) {
        if (link != nullptr) {
            link->PositionWindow();
        }
    }
    ok->setDefault(true);
    ok->setFocus();
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace kavendrum::ui
