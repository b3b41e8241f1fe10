#pragma once

#include <QDialog>

#include "ui/shell/link_label.h"

namespace kavendrum::ui {

// The About box (template 100): the program's name and version, and the home page and mail links
// when the build names them.
class CAboutDlg : public QDialog {
    Q_OBJECT

  public:
    explicit CAboutDlg(QWidget* parent = nullptr, LinkOpener opener = LinkOpener::Desktop());

    CLinkLabel* m_linkMail = nullptr;
    CLinkLabel* m_linkHome = nullptr;
};

}  // namespace kavendrum::ui
