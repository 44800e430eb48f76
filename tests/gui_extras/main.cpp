// The desktop-interface tests of the web links, the converter finder, About and the uninstall
// page, on the offscreen platform. Each test class runs in turn; Qt Test options apply to each.
#include "test_classes.h"

#include "app/message_catalogue.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    loadMessageCatalogue();
    int failures = 0;
    for (auto run : {runWebLinksTests, runConverterFinderTests, runAboutWindowTests, runUninstallPageTests}) {
        failures += run(argc, argv);
    }
    return failures == 0 ? 0 : 1;
}
