// An exception thrown by an event handler ends the event loop with exit code 1 and a line on
// standard error that says what happened, instead of leaving through Qt and aborting.
#include <unistd.h>

#include <QEvent>
#include <QObject>
#include <QTimer>

#include <cstdio>
#include <new>
#include <stdexcept>
#include <string>

#include "ui/shell/kavendrum_app.h"

namespace {

class Thrower : public QObject {
  public:
    bool event(QEvent* event) override {
        if (event->type() == QEvent::User) {
            throw std::bad_alloc();
        }
        return QObject::event(event);
    }
};

// Standard error while `run` runs, as text.
template <typename Run>
std::string StandardErrorOf(Run run) {
    std::FILE* said = std::tmpfile();
    const int saved = ::dup(2);
    ::dup2(::fileno(said), 2);
    run();
    std::fflush(stderr);
    ::dup2(saved, 2);
    ::close(saved);
    std::rewind(said);
    std::string text;
    for (int c = std::fgetc(said); c != EOF; c = std::fgetc(said)) {
        text += static_cast<char>(c);
    }
    std::fclose(said);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    kavendrum::ui::CGuardedApplication app(argc, argv);
    Thrower thrower;
    QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
    // A loop the exception did not end is ended here, with another code.
    QTimer::singleShot(20000, [] { QCoreApplication::exit(2); });
    int code = -1;
    const std::string said = StandardErrorOf([&code] { code = QApplication::exec(); });
    if (code != 1 || said != "kavendrum: out of memory\n") {
        std::fprintf(stderr, "exit code %d (1 expected), standard error \"%s\"\n", code,
                     said.c_str());
        return 1;
    }
    std::puts("an exception thrown by an event handler ended the loop with 1, and was said");
    return 0;
}
