#pragma once

#include <QApplication>
#include <QString>

namespace kavendrum::ui {

// The application object. Anything an event handler throws (an allocation that failed, say) is
// caught here, since it cannot pass through the event loop: it is said on standard error, and
// the loop ends with exit code 1 instead of the program aborting.
class CGuardedApplication : public QApplication {
  public:
    CGuardedApplication(int& argc, char** argv) : QApplication(argc, argv) {}

    bool notify(QObject* receiver, QEvent* event) override;
    // Inside a handler of an exception: says what was thrown ("kavendrum: out of memory") and
    // ends the event loop with 1.
    static void FailWithCurrentException();
};

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
    CGuardedApplication m_app;
};

}  // namespace kavendrum::ui
