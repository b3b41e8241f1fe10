#include "ui/shell/kavendrum_app.h"

#include "options/option_file.h"
#include "ui/shell/main_frame.h"

namespace kavendrum::ui {

CKavendrumApp::CKavendrumApp(int& argc, char** argv) : m_app(argc, argv) {
    QApplication::setApplicationName("Kavendrum");
    QApplication::setOrganizationName("Kavendrum");
}

QString CKavendrumApp::StartArgument(const QStringList& arguments) {
    return arguments.mid(1).join(' ');
}

int CKavendrumApp::Run() {
    CMainFrame frame(QString::fromStdString(DefaultOptionFilePath()),
                     StartArgument(QApplication::arguments()));
    if (!frame.Create()) {
        return 0;
    }
    frame.show();
    frame.repaint();
    return QApplication::exec();
}

}  // namespace kavendrum::ui
