// The main window: its layout at the minimum size and after resizes, the New command, the output
// folder chooser, the input list's hooks, the rebuild after Preferences and accessibility.
#include "engine/inputs/input_file_list.h"
#include "gui/file_list_model.h"
#include "gui/main_window_layout.h"
#include "gui_fixture.h"

#include <QAccessible>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>

#include <memory>
#include <thread>

namespace {

QString writeFile(const QString& path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write("II*\0", 4);
    return path;
}

QString accessibleName(QObject* object)
{
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(object);
    return face != nullptr ? face->text(QAccessible::Name) : QString();
}

QString labelOf(QObject* object)
{
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(object);
    const auto labels = face->relations(QAccessible::Label);
    return labels.isEmpty() ? QString() : labels.first().first->text(QAccessible::Name);
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void theControlsFollowTheWindowSize_data()
    {
        QTest::addColumn<QSize>("windowSize");
        QTest::newRow("minimum") << QSize(510, 330);
        QTest::newRow("larger") << QSize(800, 600);
        QTest::newRow("wide and low") << QSize(1200, 360);
    }
    void theControlsFollowTheWindowSize()
    {
        QFETCH(QSize, windowSize);
        WindowFixture fixture;
        MainWindow& window = fixture.start();
        window.resize(windowSize);
        QCOMPARE(window.size(), windowSize);

        // The panel is the room between the toolbar and the status bar.
        const int w = windowSize.width();
        const int f = windowSize.height() - window.menuBar()->height() - window.mainToolbar().height() -
                      window.statusBar()->height();
        QCOMPARE(window.panel().size(), QSize(w, f));
        QCOMPARE(window.panel().y(), window.menuBar()->height() + window.mainToolbar().height());

        QCOMPARE(window.fileList().geometry(), QRect(10, 10, w - 130, f - 109));
        QCOMPARE(window.fileList().columnWidth(0), w - 160);
        QCOMPARE(window.outputFolderChooser().geometry(), QRect(10, f - 79, w - 130, 21));
        QCOMPARE(window.outputFormatChooser().geometry(), QRect(10, f - 39, w - 130, 21));
        const auto button = [&window](Command command) {
            for (QToolButton* candidate : window.panel().findChildren<QToolButton*>()) {
                if (candidate->property("command").toInt() == static_cast<int>(command)) {
                    return candidate->geometry();
                }
            }
            return QRect();
        };
        QCOMPARE(button(Command::SelectOutputFolder), QRect(w - 114, f - 80, 24, 24));
        QCOMPARE(button(Command::OutputFormatOptions), QRect(w - 114, f - 40, 24, 24));
        QCOMPARE(window.panel().findChild<QPushButton*>()->geometry(), QRect(w - 110, 10, 100, 100));
        const QList<QLabel*> labels = window.panel().findChildren<QLabel*>();
        QCOMPARE(labels.size(), 2);
        QCOMPARE(labels.at(0)->geometry(), QRect(10, f - 94, 380, 20));
        QCOMPARE(labels.at(1)->geometry(), QRect(10, f - 54, 380, 20));
    }

    void atTheMinimumTheListIs380Wide()
    {
        WindowFixture fixture;
        MainWindow& window = fixture.start();
        window.resize(300, 200);
        QCOMPARE(window.size(), mainWindowMinimumSize);
        QCOMPARE(window.fileList().width(), 380);
        QCOMPARE(window.fileList().height(), window.panel().height() - 109);
    }

    void theWindowOpensAtTheStoredPlaceAndSize()
    {
        WindowFixture fixture;
        fixture.records.settings.window = {.isMaximized = 0, .x = 40, .y = 30, .width = 700, .height = 450};
        MainWindow& window = fixture.start();
        QCOMPARE(window.size(), QSize(700, 450));
        QCOMPARE(window.pos(), QPoint(40, 30));
        QCOMPARE(window.windowTitle(), QStringLiteral("Tessaline 2.6"));
    }

    void aPlaceOnNoScreenIsReplacedByTheCentre()
    {
        WindowFixture fixture;
        fixture.records.settings.window = {.isMaximized = 0, .x = 20000, .y = -9000, .width = 510, .height = 330};
        MainWindow& window = fixture.start();
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QCOMPARE(window.pos(), screen.topLeft() + QPoint((screen.width() - 510) / 2, (screen.height() - 330) / 2));
    }

    void aSizeLargerThanTheScreenIsCutToIt_data()
    {
        QTest::addColumn<QSize>("stored");
        QTest::addColumn<QSize>("expected");
        const QSize screen = QGuiApplication::primaryScreen()->availableGeometry().size();
        QTest::newRow("too large") << QSize(100000, 90000) << screen;
        QTest::newRow("too wide") << QSize(100000, 400) << QSize(screen.width(), 400);
        QTest::newRow("too small") << QSize(0, -5) << QSize(510, 330);
    }
    void aSizeLargerThanTheScreenIsCutToIt()
    {
        QFETCH(QSize, stored);
        QFETCH(QSize, expected);
        WindowFixture fixture;
        fixture.records.settings.window = {
            .isMaximized = 0, .x = 0, .y = 0, .width = stored.width(), .height = stored.height()};
        QCOMPARE(fixture.start().size(), expected);
    }

    void newEmptiesTheListButKeepsTheHistory()
    {
        WindowFixture fixture;
        fixture.records.settings.file.recentOutFolders = QStringLiteral("/out/a/\t/out/b/");
        MainWindow& window = fixture.start();
        window.fileRows().appendRow(QStringLiteral("/in/x.tif"));
        fixture.records.inputFiles.insert(QStringLiteral("/in/x.tif"), QString());
        fixture.records.job.outputFolder = QStringLiteral("/out/b/");
        fixture.records.job.inputFolder = QStringLiteral("/in/");
        fixture.records.window.preferencesStartPage = 3;
        window.setStatusText(QStringLiteral("Conversion complete"));
        window.outputFormatChooser().setFocus();

        window.newList();
        QCOMPARE(window.fileRows().rowCount(), 0);
        QVERIFY(fixture.records.inputFiles.empty());
        QCOMPARE(fixture.records.job.outputFolder, QString());
        QCOMPARE(fixture.records.job.inputFolder, QString());
        QCOMPARE(fixture.records.window.preferencesStartPage, std::uint8_t{0});
        QCOMPARE(window.outputFolderChooser().count(), 2);
        QCOMPARE(window.outputFolderChooser().currentIndex(), -1);
        QCOMPARE(window.outputFolderChooser().currentText(), QString());
        QCOMPARE(window.statusText(), QStringLiteral("Ready"));
        QCOMPARE(window.focusWidget(), &window.fileList());
    }

    void anEmptyHistoryShowsOneEmptyEntry()
    {
        WindowFixture fixture;
        MainWindow& window = fixture.start();
        QCOMPARE(window.outputFolderChooser().count(), 1);
        QCOMPARE(window.outputFolderChooser().itemText(0), QString());
    }

    void choosingAHistoryEntryMakesItTheOutputFolder()
    {
        WindowFixture fixture;
        fixture.records.settings.file.recentOutFolders = QStringLiteral("/out/a/\t/out/b/");
        MainWindow& window = fixture.start();
        QComboBox& folders = window.outputFolderChooser();
        folders.setFocus();
        QTest::keyClick(&folders, Qt::Key_Down);
        QCOMPARE(fixture.records.job.outputFolder, folders.currentText());
        QVERIFY(!fixture.records.job.outputFolder.isEmpty());
    }

    void selectOutputFolder()
    {
        const QTemporaryDir scratch;
        const QString chosen = scratch.filePath(QStringLiteral("Out"));
        QDir().mkpath(chosen);
        WindowFixture fixture;
        fixture.records.settings.file.recentOutFolders = QStringLiteral("/old/place/");
        MainWindow& window = fixture.start();
        window.outputFolderChooser().setCurrentIndex(0);

        QString askedTitle;
        QString askedStart;
        QString answer;
        window.setFolderChooser([&](QWidget*, const QString& title, const QString& start) {
            askedTitle = title;
            askedStart = start;
            return answer;
        });

        answer = QString(); // cancelled
        window.dispatch(Command::SelectOutputFolder);
        QCOMPARE(askedTitle, QStringLiteral("Select Output Folder"));
        QCOMPARE(askedStart, QStringLiteral("/old/place/"));
        QCOMPARE(fixture.records.settings.file.recentOutFolders, QStringLiteral("/old/place/"));

        answer = scratch.filePath(QStringLiteral("missing"));
        window.dispatch(Command::SelectOutputFolder);
        QCOMPARE(fixture.records.settings.file.recentOutFolders, QStringLiteral("/old/place/"));
        QCOMPARE(fixture.records.job.outputFolder, QString());

        answer = chosen; // the system chooser gives no trailing "/"
        window.dispatch(Command::SelectOutputFolder);
        QCOMPARE(fixture.records.job.outputFolder, chosen + QLatin1Char('/'));
        QCOMPARE(fixture.records.settings.file.recentOutFolders, chosen + QStringLiteral("/\t/old/place/"));
        QCOMPARE(window.outputFolderChooser().currentText(), chosen + QLatin1Char('/'));
        QCOMPARE(window.outputFolderChooser().count(), 2);

        window.dispatch(Command::SelectOutputFolder);
        QCOMPARE(askedStart, chosen + QLatin1Char('/'));
    }

    void filesEnteringTheListBecomeRowsAndProposeTheOutputFolder()
    {
        const QTemporaryDir scratch;
        const QString first = writeFile(scratch.filePath(QStringLiteral("in/a.tif")));
        const QString second = writeFile(scratch.filePath(QStringLiteral("other/b.tif")));
        WindowFixture fixture;
        MainWindow& window = fixture.start();
        const InputListHooks hooks = window.inputListHooks();

        QVERIFY(addInputFile(fixture.records.inputFiles, fixture.records.job, first, &hooks));
        QVERIFY(addInputFile(fixture.records.inputFiles, fixture.records.job, second, &hooks));
        QCOMPARE(window.fileRows().paths(), (QStringList{first, second}));
        // The first file's folder became the output folder; the second one's did not.
        const QString folder = scratch.filePath(QStringLiteral("in/"));
        QCOMPARE(fixture.records.job.outputFolder, folder);
        QCOMPARE(window.outputFolderChooser().currentText(), folder);
        QCOMPARE(fixture.records.settings.file.recentOutFolders, folder);
    }

    void aWorkerThreadAddsRowsInOrderThroughTheInterfaceThread()
    {
        const QTemporaryDir scratch;
        QStringList files;
        for (int i = 0; i < 50; ++i) {
            files << writeFile(scratch.filePath(QStringLiteral("in/%1.tif").arg(i, 3, 10, QLatin1Char('0'))));
        }
        WindowFixture fixture;
        MainWindow& window = fixture.start();
        const InputListHooks hooks = window.inputListHooks();
        fixture.records.job.inputFolder = scratch.filePath(QStringLiteral("in/"));

        int added = 0;
        std::thread worker([&] {
            added =
                scanFolder(fixture.records.inputFiles, fixture.records.job, fixture.records.job.inputFolder, &hooks);
        });
        QTRY_COMPARE(window.fileRows().rowCount(), 50);
        worker.join();
        QCOMPARE(added, 50);
        QCOMPARE(window.fileRows().paths(), files);
        QCOMPARE(fixture.records.job.outputFolder, fixture.records.job.inputFolder);
    }

    void anIconSizeChangeRebuildsTheToolbar()
    {
        WindowFixture fixture;
        MainWindow& window = fixture.start();
        QCOMPARE(window.mainToolbar().iconSize(), QSize(32, 32)); // the default, Large
        const int actions = window.mainToolbar().actions().size();

        fixture.records.settings.interface.uiSize = 4;
        fixture.records.window.interfaceChange = InterfaceChange::IconSize;
        window.rebuildAfterPreferences(-1);
        QCOMPARE(window.mainToolbar().iconSize(), QSize(64, 64));
        QCOMPARE(window.mainToolbar().actions().size(), actions);
        QCOMPARE(fixture.records.window.interfaceChange, InterfaceChange::None);
        QCOMPARE(window.panel().y(), window.menuBar()->height() + window.mainToolbar().height());
        QCOMPARE(window.fileList().height(), window.panel().height() - 109);
    }

    void aThemeChangeRebuildsMenusAndButtonsFromFreshPictures()
    {
        WindowFixture fixture;
        MainWindow& window = fixture.start();
        // A picture that no theme and no built-in set has, standing for one a previous theme left.
        QImage stale(16, 16, QImage::Format_ARGB32);
        stale.fill(Qt::magenta);
        fixture.records.images.setImage(ImageSet::Icons, QStringLiteral("New"), stale);
        const int menus = window.menuBar()->actions().size();

        fixture.records.window.interfaceChange = InterfaceChange::Theme;
        window.rebuildAfterPreferences(-1);
        QCOMPARE(fixture.records.window.interfaceChange, InterfaceChange::None);
        QCOMPARE(window.menuBar()->actions().size(), menus);
        QVERIFY(fixture.records.images.image(ImageSet::Icons, QStringLiteral("New")) != stale);
        const QAction* newItem = window.menuBar()->actions().first()->menu()->actions().first();
        QCOMPARE(newItem->data().toInt(), static_cast<int>(Command::New));
        QVERIFY(newItem->icon().pixmap(16).toImage().convertToFormat(QImage::Format_ARGB32) != stale);
    }

    void afterPreferencesTheFormatAndTheHistoryFollow()
    {
        WindowFixture fixture;
        fixture.records.settings.file.recentOutFolders = QStringLiteral("/a/\t/b/\t/c/");
        MainWindow& window = fixture.start();
        QCOMPARE(window.outputFolderChooser().count(), 3);
        fixture.records.settings.advanced.outFoldersNumber = 2;
        window.rebuildAfterPreferences(15);
        QCOMPARE(window.outputFormatChooser().currentText(), QStringLiteral("PNG (Portable Network Graphics)"));
        QCOMPARE(window.outputFolderChooser().count(), 2);
    }

    void everyControlHasAnAccessibleName()
    {
        WindowFixture fixture;
        MainWindow& window = fixture.start();
        const QList<QWidget*> controls = window.panel().findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        QCOMPARE(controls.size(), 8); // the list, two labels, two choosers, two small buttons, Convert
        for (QWidget* control : controls) {
            QVERIFY2(!accessibleName(control).isEmpty(), control->metaObject()->className());
        }
        QCOMPARE(accessibleName(window.panel().findChild<QPushButton*>()), QStringLiteral("Convert"));
        // A chooser's name is its text on this platform; screen readers take its label from the relation.
        QCOMPARE(labelOf(&window.outputFolderChooser()), QStringLiteral("Output Folder:"));
        QCOMPARE(labelOf(&window.outputFormatChooser()), QStringLiteral("Output Format:"));
        QStringList toolbarNames;
        for (QToolButton* button : window.mainToolbar().findChildren<QToolButton*>()) {
            if (button->defaultAction() != nullptr) {
                toolbarNames << accessibleName(button);
            }
        }
        QCOMPARE(toolbarNames, (QStringList{"New", "Add Input Files...", "Select Output Folder...", "Preferences...",
                                            "Convert", "User Manual...", "Send Feedback",
                                            "Visit the Program's Homepage", "Check For a New Version"}));
    }

    void tabMovesFromTheListDownTheChoosers()
    {
        WindowFixture fixture;
        MainWindow& window = fixture.start();
        QList<QWidget*> order;
        QWidget* widget = &window.fileList();
        for (int i = 0; i < 6; ++i) {
            order << widget;
            widget = widget->nextInFocusChain();
            while (widget->focusPolicy() == Qt::NoFocus || widget->parentWidget() != &window.panel()) {
                widget = widget->nextInFocusChain();
            }
        }
        const auto commandOf = [](QWidget* button) { return button->property("command").toInt(); };
        QCOMPARE(order.at(0), &window.fileList());
        QCOMPARE(order.at(1), &window.outputFolderChooser());
        QCOMPARE(commandOf(order.at(2)), static_cast<int>(Command::SelectOutputFolder));
        QCOMPARE(order.at(3), &window.outputFormatChooser());
        QCOMPARE(commandOf(order.at(4)), static_cast<int>(Command::OutputFormatOptions));
        QCOMPARE(order.at(5), window.panel().findChild<QPushButton*>());
    }
};

std::unique_ptr<QObject> makeMainWindowTest()
{
    return std::make_unique<MainWindowTest>();
}

#include "main_window_test.moc"
