#include "ui/shell/kavendrum_app.h"

#include <cstdio>
#include <exception>
#include <new>

#include "options/option_file.h"
#include "ui/forms/settings_profile.h"
#include "ui/shell/drag_window.h"
#include "ui/shell/main_frame.h"

namespace kavendrum::ui {

bool CGuardedApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        FailWithCurrentException();
    }
    return false;
}

void CGuardedApplication::FailWithCurrentException() {
    const auto fail = [](const char* what) {
        std::fflush(stdout);
        std::fprintf(stderr, "kavendrum: %s\n", what);
        QCoreApplication::exit(1);
    };
    try {
        throw;
    } catch (const std::bad_alloc&) {
        fail("out of memory");
    } catch (const std::exception& error) {
        fail(error.what());
    } catch (...) {
        fail("an unexpected error");
    }
}

CKavendrumApp::CKavendrumApp(int& argc, char** argv) : m_app(argc, argv) {
    QApplication::setApplicationName("Kavendrum");
    QApplication::setOrganizationName("Kavendrum");
}

QString CKavendrumApp::StartArgument(const QStringList& arguments) {
    return arguments.mid(1).join(' ');
}

int CKavendrumApp::Run() {
    // The drop window outlives a hidden frame; the program ends with the frame's close.
    QApplication::setQuitOnLastWindowClosed(false);
    CDragWindow dragWindow;
    const bool dragWindowCreated = dragWindow.Create();
    CSettingsProfile::TakeOverEarlierProfile();
    const CSettingsProfile profile;
    const bool firstRun = !HasDropWindowPlace(profile);
    const ProfilePoint start = DropWindowStart(profile);
    const QPoint saved(start.left, start.top);
    if (dragWindowCreated) {
        dragWindow.move(CDragWindow::OnScreen(saved, dragWindow.size()));
        dragWindow.show();
    }

    CMainFrame frame(QString::fromStdString(DefaultOptionFilePath()),
                     StartArgument(QApplication::arguments()));
    // exit, not quit: quitting would first ask every window to close, and the drop window
    // answers a close by closing the frame.
    QObject::connect(
        &frame, &CMainFrame::closed, &m_app, [] { QCoreApplication::exit(0); },
        Qt::QueuedConnection);
    if (!frame.Create()) {
        return 0;
    }
    if (dragWindowCreated) {
        frame.m_pDragWindow = &dragWindow;
        dragWindow.m_pMainFrame = &frame;
    }
    frame.show();
    frame.repaint();
    if (dragWindowCreated && firstRun) {
        // Once the frame has its place on the screen, the drop window moves off it.
        QObject::connect(&frame, &CMainFrame::placed, &dragWindow,
                         [&frame, &dragWindow] { frame.PlaceBeside(dragWindow); });
    }
    return QApplication::exec();
}

}  // namespace kavendrum::ui
