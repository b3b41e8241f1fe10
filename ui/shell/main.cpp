#include "ui/shell/kavendrum_app.h"

int main(int argc, char** argv) {
    // What is thrown outside the event loop (while the application is made, say) ends the
    // program as what an event handler throws does.
    try {
        kavendrum::ui::CKavendrumApp app(argc, argv);
        return app.Run();
    } catch (...) {
        kavendrum::ui::CGuardedApplication::FailWithCurrentException();
    }
    return 1;
}
