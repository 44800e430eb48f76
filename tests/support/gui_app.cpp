#include "support/gui_app.h"

#include "engine/steps/draw/gui_app.h"

namespace testsupport {

void ensureGuiApplication()
{
    static int argc = 1;
    static char name[] = "tessaline-tests";
    static char* argv[] = {name, nullptr};
    // Never destroyed: tearing Qt's font machinery down among other static destructors is not worth
    // the risk at process exit.
    static const auto* app = new draw::OffscreenGuiApplication(argc, argv);
    (void)app;
}

} // namespace testsupport
