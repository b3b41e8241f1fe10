#include "ui/shell/kavendrum_app.h"

int main(int argc, char** argv) {
    kavendrum::ui::CKavendrumApp app(argc, argv);
    return app.Run();
}
