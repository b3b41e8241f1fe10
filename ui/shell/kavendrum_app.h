#pragma once

#include <QApplication>
#include <QString>

namespace kavendrum::ui {

// The application: the main frame created over the option file, shown, and the event loop run
// until the frame closes.
class CKavendrumApp {
  public:
    CKavendrumApp(int& argc, char** argv);

    // The program's exit code: 0 after the frame closed, and also when the start ended early.
    int Run();
    // The argument text a start received: everything after the program's name.
    static QString StartArgument(const QStringList& arguments);

  private:
    QApplication m_app;
};

}  // namespace kavendrum::ui
