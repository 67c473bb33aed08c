#include "CConfigToolApp.h"

int main(int argc, char** argv) {
    qk::ui::CConfigToolApp app(argc, argv);
    return app.Run();
}
