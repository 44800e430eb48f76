// Every command, raised from the menus, the toolbar, the small buttons, the context menu, the
// keyboard or by its number, goes through the one dispatch and reaches its handler; commands whose
// handler is not part of the program yet are disabled wherever they show.
#include "gui/add_chooser.h"
#include "gui/file_list_model.h"
#include "gui_fixture.h"
#include "support/reply_server.h"
#include "url_catcher.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>

#include <algorithm>
#include <memory>

Q_DECLARE_METATYPE(Command)

namespace {

// Closes whatever modal window opens during the next moments (the Add chooser, a message box),
// and remembers what it was.
class ModalCloser : public QObject {
  public:
    ModalCloser()
    {
        connect(&timer_, &QTimer::timeout, this, [this] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                seen << modal->metaObject()->className();
                modal->close();
            }
        });
        timer_.start(10);
    }
    QStringList seen;

  private:
    QTimer timer_;
};

// The web and mail links go to `urls` instead of the desktop, and the update check asks a port on
// this machine that nothing listens on.
struct RoutingFixture : WindowFixture {
    RoutingFixture()
    {
        MainWindow& window = start();
        window.setUpdateSource(
            UpdateSource{QStringLiteral("http://127.0.0.1:%1/files/tessaline.dat").arg(ReplyServer::closedPort())});
        window.setFolderChooser([](QWidget*, const QString&, const QString&) { return QString(); });
        for (const char* path : {"/in/a.tif", "/in/b.tif", "/in/c.tif"}) {
            window.fileRows().appendRow(QLatin1String(path));
            records.inputFiles.insert(QLatin1String(path), QString());
        }
        window.activateWindow();
    }
    MainWindow& window() { return *WindowFixture::window; }
    UrlCatcher urls;
};

QList<QAction*> commandActions(const QList<QAction*>& actions)
{
    QList<QAction*> found;
    for (QAction* action : actions) {
        if (!action->isSeparator() && action->menu() == nullptr) {
            found << action;
        }
    }
    return found;
}

QList<QAction*> menuBarActions(MainWindow& window)
{
    QList<QAction*> found;
    for (QAction* title : window.menuBar()->actions()) {
        found << commandActions(title->menu()->actions());
    }
    return found;
}

Command commandOf(const QAction* action)
{
    return static_cast<Command>(action->data().toInt());
}

} // namespace

class CommandRoutingTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { qRegisterMetaType<Command>(); }

    void everyNumberReachesTheDispatch()
    {
        for (const CommandInfo& info : commandTable()) {
            if (info.command == Command::Exit) {
                continue; // closes the window; its own test below
            }
            RoutingFixture fixture;
            QSignalSpy spy(&fixture.window(), &MainWindow::commandDispatched);
            const ModalCloser closer;
            fixture.window().dispatchNumber(static_cast<int>(info.command));
            QCOMPARE(spy.size(), 1);
            QCOMPARE(spy.at(0).at(0).value<Command>(), info.command);
        }
        RoutingFixture fixture;
        QSignalSpy spy(&fixture.window(), &MainWindow::commandDispatched);
        for (const int number : {1, 2, 15, 19, 20, 29, 357}) {
            fixture.window().dispatchNumber(number);
        }
        QCOMPARE(spy.size(), 0);
    }

    void menuItemsRaiseTheirCommands()
    {
        RoutingFixture fixture;
        const QList<QAction*> items = menuBarActions(fixture.window());
        QCOMPARE(items.size(), 21);
        for (QAction* item : items) {
            const Command command = commandOf(item);
            QVERIFY2(item->isEnabled(), qPrintable(item->text()));
            QVERIFY2(!item->icon().isNull(), qPrintable(item->text()));
            QCOMPARE(item->text(), commandLabel(command));
            if (command == Command::Exit) {
                continue;
            }
            QSignalSpy spy(&fixture.window(), &MainWindow::commandDispatched);
            const ModalCloser closer;
            item->trigger();
            QCOMPARE(spy.size(), 1);
            QCOMPARE(spy.at(0).at(0).value<Command>(), command);
        }
    }

    // The text a menu draws for an item: its label, and after a TAB its shortcut as the
    // platform writes key sequences.
    void menuItemsShowTheirShortcutAfterTheLabel_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("shown");
        QTest::newRow("New") << 0 << "New\tCtrl+N";
        QTest::newRow("Exit") << 3 << "Exit\tAlt+X";
        QTest::newRow("Add") << 4 << "Add Input Files...";
        QTest::newRow("Folder") << 7 << "Select Output Folder...";
        QTest::newRow("Copy") << 11 << "Copy\tCtrl+C";
        QTest::newRow("Delete") << 12 << "Delete\tCtrl+Del";
        QTest::newRow("Select All") << 13 << "Select All\tCtrl+A";
        QTest::newRow("Convert") << 14 << "Convert\tF5";
        QTest::newRow("Manual") << 18 << "User Manual...\tF1";
        QTest::newRow("Homepage") << 22 << "Visit the Program's Homepage";
        QTest::newRow("About") << 24 << "About...";
    }
    void menuItemsShowTheirShortcutAfterTheLabel()
    {
        QFETCH(int, number);
        QFETCH(QString, shown);
        RoutingFixture fixture;
        const QList<QAction*> items = menuBarActions(fixture.window());
        const auto item = std::find_if(items.begin(), items.end(),
                                       [number](const QAction* action) { return action->data().toInt() == number; });
        QVERIFY(item != items.end());
        QVERIFY((*item)->isEnabled());
        const QKeySequence shortcut = (*item)->shortcut();
        const QString keys =
            shortcut.isEmpty() ? QString() : QLatin1Char('\t') + shortcut.toString(QKeySequence::NativeText);
        QCOMPARE((*item)->text() + keys, shown);
    }

    void toolbarButtonsRaiseTheirCommands()
    {
        RoutingFixture fixture;
        QToolBar& toolbar = fixture.window().mainToolbar();
        const QList<QAction*> buttons = commandActions(toolbar.actions());
        QCOMPARE(buttons.size(), 9);
        for (QAction* action : buttons) {
            const Command command = commandOf(action);
            auto* button = qobject_cast<QToolButton*>(toolbar.widgetForAction(action));
            QVERIFY(button != nullptr);
            QCOMPARE(button->toolTip(), commandLabel(command));
            QVERIFY2(button->isEnabled(), qPrintable(button->toolTip()));
            QSignalSpy spy(&fixture.window(), &MainWindow::commandDispatched);
            const ModalCloser closer;
            QTest::mouseClick(button, Qt::LeftButton);
            QCOMPARE(spy.size(), 1);
            QCOMPARE(spy.at(0).at(0).value<Command>(), command);
        }
    }

    void theSmallButtonsAndConvert()
    {
        RoutingFixture fixture;
        QSignalSpy spy(&fixture.window(), &MainWindow::commandDispatched);
        for (QToolButton* button : fixture.window().panel().findChildren<QToolButton*>()) {
            const Command command = static_cast<Command>(button->property("command").toInt());
            QVERIFY2(button->isEnabled(), qPrintable(button->toolTip()));
            QCOMPARE(button->toolTip(), commandLabel(command));
            spy.clear();
            QTest::mouseClick(button, Qt::LeftButton);
            QCOMPARE(spy.size(), 1);
            QCOMPARE(spy.at(0).at(0).value<Command>(), command);
        }
        auto* convert = fixture.window().panel().findChild<QPushButton*>();
        QVERIFY(convert->isEnabled());
        QVERIFY(!convert->icon().isNull());
    }

    void windowShortcuts_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("number");
        QTest::newRow("Ctrl+N") << int(Qt::Key_N) << int(Qt::ControlModifier) << 0;
        QTest::newRow("F5") << int(Qt::Key_F5) << 0 << 14;
        QTest::newRow("F1") << int(Qt::Key_F1) << 0 << 18;
    }
    void windowShortcuts()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, number);
        RoutingFixture fixture;
        QVERIFY(QTest::qWaitForWindowActive(&fixture.window()));
        fixture.window().outputFormatChooser().setFocus();
        QSignalSpy spy(&fixture.window(), &MainWindow::commandDispatched);
        // Convert warns about the missing output folder.
        const ModalCloser closer;
        QTest::keyClick(&fixture.window().outputFormatChooser(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        const Command command = *commandFromNumber(number);
        QCOMPARE(spy.size(), 1);
        if (command == Command::New) {
            QCOMPARE(fixture.window().fileRows().rowCount(), 0);
        }
    }

    void exitClosesTheWindowFromTheKeyboardAndTheMenu()
    {
        RoutingFixture byKey;
        QVERIFY(QTest::qWaitForWindowActive(&byKey.window()));
        QTest::keyClick(&byKey.window().fileList(), Qt::Key_X, Qt::AltModifier);
        QVERIFY(!byKey.window().isVisible());

        RoutingFixture byMenu;
        for (QAction* item : menuBarActions(byMenu.window())) {
            if (commandOf(item) == Command::Exit) {
                item->trigger();
            }
        }
        QVERIFY(!byMenu.window().isVisible());
    }

    void editKeysActOnlyWhileTheListHasTheFocus()
    {
        RoutingFixture fixture;
        MainWindow& window = fixture.window();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTreeView& list = window.fileList();

        window.outputFolderChooser().setFocus();
        QTest::keyClick(&window.outputFolderChooser(), Qt::Key_A, Qt::ControlModifier);
        QVERIFY(!list.selectionModel()->hasSelection());

        // The menu item raises the command, but away from the list it does nothing either.
        for (QAction* item : menuBarActions(window)) {
            if (commandOf(item) == Command::SelectAll) {
                item->trigger();
            }
        }
        QVERIFY(!list.selectionModel()->hasSelection());

        list.setFocus();
        QTest::keyClick(&list, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(list.selectionModel()->selectedRows().size(), 3);

        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        QTest::keyClick(&list, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("/in/a.tif\r\n/in/b.tif\r\n/in/c.tif"));

        window.outputFormatChooser().setFocus();
        QTest::keyClick(&window.outputFormatChooser(), Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(window.fileRows().rowCount(), 3);

        list.setFocus();
        QTest::keyClick(&list, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(window.fileRows().rowCount(), 0);
        QVERIFY(fixture.records.inputFiles.empty());
    }

    void theContextMenuNeedsASelection()
    {
        RoutingFixture fixture;
        MainWindow& window = fixture.window();
        QWidget* viewport = window.fileList().viewport();
        const auto rightClick = [viewport] {
            QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(20, 5), viewport->mapToGlobal(QPoint(20, 5)));
            QApplication::sendEvent(viewport, &event);
        };
        rightClick();
        QVERIFY(!window.fileListMenu().isVisible());

        window.fileList().selectionModel()->select(window.fileRows().index(1),
                                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
        rightClick();
        QVERIFY(window.fileListMenu().isVisible());
        window.fileListMenu().hide();

        const QList<QAction*> items = commandActions(window.fileListMenu().actions());
        QCOMPARE(items.size(), 4);
        QSignalSpy spy(&window, &MainWindow::commandDispatched);
        for (QAction* item : items) {
            QVERIFY(!item->icon().isNull());
            item->trigger();
        }
        QCOMPARE(spy.size(), 4);
        QCOMPARE(spy.at(0).at(0).value<Command>(), Command::Copy);
        QCOMPARE(spy.at(1).at(0).value<Command>(), Command::Delete);
        QCOMPARE(spy.at(2).at(0).value<Command>(), Command::SelectAll);
        QCOMPARE(spy.at(3).at(0).value<Command>(), Command::Preview);
    }

    void aDoubleClickInTheListOpensTheAddChooser()
    {
        RoutingFixture fixture;
        fixture.window().newList(); // an empty list: the double click lands on no row
        const ModalCloser closer;
        QTest::mouseDClick(fixture.window().fileList().viewport(), Qt::LeftButton, {}, QPoint(30, 30));
        QCOMPARE(closer.seen, QStringList{"AddChooser"});
    }
};

std::unique_ptr<QObject> makeCommandRoutingTest()
{
    return std::make_unique<CommandRoutingTest>();
}

#include "command_routing_test.moc"
