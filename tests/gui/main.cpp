// The desktop interface tests. Each test class runs on its own: "gui_tests ClassName [QTest options]";
// without a class name every class runs. Each run gets configuration and runtime folders of its own.
#include "app/message_catalogue.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

std::unique_ptr<QObject> makeCommandTableTest();
std::unique_ptr<QObject> makeFolderHistoryTest();
std::unique_ptr<QObject> makeOutputChoosersTest();
std::unique_ptr<QObject> makeMainWindowTest();
std::unique_ptr<QObject> makeCommandRoutingTest();
std::unique_ptr<QObject> makeFileListTest();
std::unique_ptr<QObject> makeAddChooserTest();
std::unique_ptr<QObject> makeMessageBoxTest();
std::unique_ptr<QObject> makeWindowedSessionTest();
std::unique_ptr<QObject> makeWebLinksTest();
std::unique_ptr<QObject> makeConverterFinderTest();
std::unique_ptr<QObject> makeAboutWindowTest();
std::unique_ptr<QObject> makeUninstallPageTest();
std::unique_ptr<QObject> makeHelpCommandsTest();
std::unique_ptr<QObject> makePreferencesDialogTest();
std::unique_ptr<QObject> makePreferenceRowsTest();
std::unique_ptr<QObject> makePreferenceListsTest();
std::unique_ptr<QObject> makeProgressWindowTest();
std::unique_ptr<QObject> makeListCommandsTest();
std::unique_ptr<QObject> makeConvertCommandTest();
std::unique_ptr<QObject> makeWindowHandOverTest();
std::unique_ptr<QObject> makePreviewWindowTest();

int main(int argc, char** argv)
{
    const std::vector<std::pair<const char*, std::function<std::unique_ptr<QObject>()>>> classes{
        {"CommandTableTest", makeCommandTableTest},
        {"FolderHistoryTest", makeFolderHistoryTest},
        {"OutputChoosersTest", makeOutputChoosersTest},
        {"MainWindowTest", makeMainWindowTest},
        {"CommandRoutingTest", makeCommandRoutingTest},
        {"FileListTest", makeFileListTest},
        {"AddChooserTest", makeAddChooserTest},
        {"MessageBoxTest", makeMessageBoxTest},
        {"WindowedSessionTest", makeWindowedSessionTest},
        {"WebLinksTest", makeWebLinksTest},
        {"ConverterFinderTest", makeConverterFinderTest},
        {"AboutWindowTest", makeAboutWindowTest},
        {"UninstallPageTest", makeUninstallPageTest},
        {"HelpCommandsTest", makeHelpCommandsTest},
        {"PreferencesDialogTest", makePreferencesDialogTest},
        {"PreferenceRowsTest", makePreferenceRowsTest},
        {"PreferenceListsTest", makePreferenceListsTest},
        {"ProgressWindowTest", makeProgressWindowTest},
        {"ListCommandsTest", makeListCommandsTest},
        {"ConvertCommandTest", makeConvertCommandTest},
        {"WindowHandOverTest", makeWindowHandOverTest},
        {"PreviewWindowTest", makePreviewWindowTest},
    };

    const QTemporaryDir scratch;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(scratch.filePath(QStringLiteral("config"))));
    const QString runtime = scratch.filePath(QStringLiteral("runtime"));
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    loadMessageCatalogue();

    QStringList arguments = QApplication::arguments();
    QString only;
    if (arguments.size() > 1 && !arguments.at(1).startsWith(QLatin1Char('-'))) {
        only = arguments.takeAt(1);
    }
    int failures = 0;
    bool ran = false;
    for (const auto& [name, make] : classes) {
        if (!only.isEmpty() && only != QLatin1String(name)) {
            continue;
        }
        ran = true;
        const std::unique_ptr<QObject> test = make();
        failures += QTest::qExec(test.get(), arguments);
    }
    if (!ran) {
        qCritical("gui_tests: no test class named %s", qPrintable(only));
        return 2;
    }
    return failures == 0 ? 0 : 1;
}
