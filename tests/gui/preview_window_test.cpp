// The preview window and the Converter menu's console commands, driven as a user drives them: the
// preview follows the selection, the output format and Preferences OK, chooses pages and zooms; a
// profile saved by the window and a copied command line convert, in the console tool, to the same
// bytes as the window's own run.
#include "app/message_catalogue.h"
#include "cli/profile_writer.h"
#include "engine/core/file_failure.h"
#include "engine/decode/input_diagnosis.h"
#include "engine/run/page_preview.h"
#include "gui/file_list_model.h"
#include "gui/preferences_dialog.h"
#include "gui/preview_view.h"
#include "gui/preview_window.h"
#include "gui/progress_window.h"
#include "gui_fixture.h"
#include "modal_watch.h"
#include "support/malformed_tiffs.h"
#include "support/tiff_fixtures.h"
#include "support/window_driving.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <QTreeView>

namespace {

constexpr int previewWaitMs = 60000;

ConsoleForms consoleForms()
{
    return ConsoleForms{QStringLiteral(TESSALINE_EXECUTABLE), profileText, applyProfile, consoleCommandLine};
}

// Waits for the preview in hand to be on show.
bool settled(PreviewWindow& preview)
{
    return QTest::qWaitFor([&preview] { return !preview.busy(); }, previewWaitMs);
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every file of a folder with its bytes, by name.
std::map<QString, QByteArray> filesOf(const QString& folder)
{
    std::map<QString, QByteArray> files;
    for (const QString& name : QDir(folder).entryList(QDir::Files)) {
        files[name] = contents(QDir(folder).filePath(name));
    }
    return files;
}

void convertInWindow(MainWindow& window)
{
    whenModalOpens<ProgressWindow>([](ProgressWindow& progress) {
        if (QTest::qWaitFor([&] { return progress.okButton()->isEnabled(); }, previewWaitMs)) {
            progress.okButton()->click();
        }
    });
    window.dispatch(Command::Convert);
}

// Settings a user sets in Preferences: JPEG quality, a frame, a text watermark, a flip.
void makeChoices(Settings& settings)
{
    settings.output.format = QStringLiteral("jpg");
    settings.output.jpgQuality = 40;
    settings.frame.doFrame = 1;
    settings.frame.solidLeft = 6;
    settings.frame.solidTop = 3;
    settings.frame.solidTopColor = QStringLiteral("FF0000");
    settings.watermark.doWatermark = 1;
    settings.watermark.text = QStringLiteral("Proof %filename%");
    settings.transform.doImageFlipHorizontal = 1;
}

struct ProfileFixture : ConvertFixture {
    MainWindow& startWithChoices()
    {
        makeChoices(records.settings);
        fixtures::writeTiff(dir.filePath(QStringLiteral("a.tif")), fixtures::PageKind::Rgb24, 64, 40);
        fixtures::writeTiff(dir.filePath(QStringLiteral("b.tif")), fixtures::PageKind::Grey8, 30, 50);
        MainWindow& main = startWith({QStringLiteral("a.tif"), QStringLiteral("b.tif")});
        main.setConsoleForms(consoleForms());
        main.requesters().saveFile = [this](QWidget*, const QString&, const QString&, const QString&) {
            return saveAs;
        };
        main.requesters().openFile = [this](QWidget*, const QString&, const QString&, const QString&) {
            return saveAs;
        };
        return main;
    }

    QString consoleFolder() const { return dir.filePath(QStringLiteral("console/")); }

    // Runs a console command line through the shell.
    int shell(const QString& command) const
    {
        QProcess process;
        process.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command});
        return process.waitForFinished(previewWaitMs) ? process.exitCode() : -1;
    }

    QString saveAs;
};

// Whether the accessible tree below `from` holds `target`: what assistive tools can find.
QAccessibleInterface* findAccessible(QAccessibleInterface* from, const QObject* target, int depth = 0)
{
    if (from == nullptr || depth > 16) {
        return nullptr;
    }
    if (from->object() == target) {
        return from;
    }
    for (int i = 0; i < from->childCount(); ++i) {
        if (QAccessibleInterface* found = findAccessible(from->child(i), target, depth + 1)) {
            return found;
        }
    }
    return nullptr;
}

// One 24-bit page of each width, 10 pixels high: the pages tell themselves apart by their width.
std::vector<Bitmap> pagesOfWidths(std::initializer_list<int> widths)
{
    std::vector<Bitmap> pages;
    for (const int width : widths) {
        pages.push_back(fixtures::makePage(fixtures::PageKind::Rgb24, width, 10));
    }
    return pages;
}

} // namespace

class PreviewWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void opensFromTheMenuTheKeyAndTheListMenu()
    {
        ConvertFixture fixture;
        fixtures::writeTiff(fixture.dir.filePath(QStringLiteral("a.tif")), fixtures::PageKind::Rgb24, 8, 6);
        MainWindow& window = fixture.startWith({QStringLiteral("a.tif")});
        QVERIFY(window.previewWindow() == nullptr);
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTest::keyClick(&window.fileList(), Qt::Key_F6);
        QVERIFY(window.previewWindow() != nullptr);
        PreviewWindow& preview = *window.previewWindow();
        QVERIFY(preview.isVisible());
        QVERIFY(settled(preview));
        QCOMPARE(preview.shown().sourceWidth, 8);
        QCOMPARE(preview.shown().outputPath, fixture.outputFolder() + QStringLiteral("a.bmp"));
        preview.hide();
        QList<QAction*> items = window.fileListMenu().actions();
        QVERIFY(!items.isEmpty());
        QCOMPARE(items.last()->text(), QStringLiteral("Preview..."));
        // The list's menu is on the accessible tree of the window, named, with named items.
        QAccessibleInterface* menu =
            findAccessible(QAccessible::queryAccessibleInterface(&window), &window.fileListMenu());
        QVERIFY(menu != nullptr);
        QCOMPARE(menu->text(QAccessible::Name), QStringLiteral("Input Files"));
        QCOMPARE(menu->childCount(), items.size());
        QCOMPARE(menu->child(menu->childCount() - 1)->text(QAccessible::Name), QStringLiteral("Preview..."));
        items.last()->trigger();
        QVERIFY(preview.isVisible());
        for (QWidget* control :
             std::initializer_list<QWidget*>{&preview.pageChooser(), &preview.layoutChooser(), &preview.fitButton(),
                                             &preview.actualSizeButton(), &preview.view()}) {
            QVERIFY2(!control->accessibleName().isEmpty(), control->metaObject()->className());
            QVERIFY(control->focusPolicy() & Qt::TabFocus);
        }
    }

    void followsTheSelectionTheFormatAndPreferencesOk()
    {
        ConvertFixture fixture;
        fixtures::writeTiff(fixture.dir.filePath(QStringLiteral("a.tif")), fixtures::PageKind::Rgb24, 8, 6);
        fixtures::writeTiff(fixture.dir.filePath(QStringLiteral("b.tif")), fixtures::PageKind::Rgb24, 5, 7);
        MainWindow& window = fixture.startWith({QStringLiteral("a.tif"), QStringLiteral("b.tif")});
        window.dispatch(Command::Preview);
        PreviewWindow& preview = *window.previewWindow();
        QVERIFY(settled(preview));
        QCOMPARE(preview.shown().sourceWidth, 8);

        windowdriving::selectRow(window, 1);
        QVERIFY(preview.busy());
        QVERIFY(settled(preview));
        QCOMPARE(preview.shown().sourceWidth, 5);

        QVERIFY(windowdriving::chooseFormat(window, QStringLiteral("jpg")));
        QVERIFY(settled(preview));
        QCOMPARE(preview.shown().outputPath, fixture.outputFolder() + QStringLiteral("b.jpg"));
        QVERIFY(!preview.shown().after.isGrayscale());

        window.dispatch(Command::Preferences);
        auto* dialog = window.findChild<PreferencesDialog*>();
        QVERIFY(dialog != nullptr);
        Settings greyscale = fixture.records.settings;
        greyscale.adjustment.doImageGreyscale = 1;
        dialog->binder(QStringLiteral("Adjustment/Do Image Greyscale"))->fill(greyscale);
        dialog->okButton().click();
        QVERIFY(preview.busy());
        QVERIFY(settled(preview));
        QVERIFY(preview.shown().after.isGrayscale());
    }

    void aBrokenFileShowsTheConsolesReason()
    {
        ConvertFixture fixture;
        QFile broken(fixture.dir.filePath(QStringLiteral("broken.tif")));
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("not a TIFF at all");
        broken.close();
        MainWindow& window = fixture.startWith({QStringLiteral("broken.tif")});
        window.dispatch(Command::Preview);
        PreviewWindow& preview = *window.previewWindow();
        QVERIFY(settled(preview));
        const QString reason = describeFailure(diagnoseUnreadableInput(broken.fileName()));
        QVERIFY2(preview.statusText().contains(reason), qPrintable(preview.statusText()));
        QVERIFY(preview.shown().after.isNull());
        QVERIFY(QDir(fixture.outputFolder()).isEmpty());
    }

    void choosesPagesAndZooms()
    {
        ConvertFixture fixture;
        std::vector<Bitmap> pages;
        pages.push_back(fixtures::makeSolidPage(40, 30, 200, 0, 0));
        pages.push_back(fixtures::makeSolidPage(20, 60, 0, 0, 200));
        QVERIFY(fixtures::writeTiff(fixture.dir.filePath(QStringLiteral("two.tif")), pages));
        MainWindow& window = fixture.startWith({QStringLiteral("two.tif")});
        window.dispatch(Command::Preview);
        PreviewWindow& preview = *window.previewWindow();
        QVERIFY(settled(preview));
        QCOMPARE(preview.pageChooser().maximum(), 2);
        QVERIFY(preview.pageChooser().isEnabled());
        preview.pageChooser().setValue(2);
        QVERIFY(settled(preview));
        QCOMPARE(preview.shown().pageIndex, 1);
        QCOMPARE(preview.shown().before.size(), QSize(20, 60));
        QCOMPARE(QColor(preview.shown().after.pixel(5, 5)), QColor(0, 0, 200));

        preview.resize(800, 600);
        QVERIFY(preview.view().fitsToWindow());
        QTRY_VERIFY(preview.view().zoom() > 1.0);
        preview.actualSizeButton().click();
        QVERIFY(!preview.view().fitsToWindow());
        QCOMPARE(preview.view().zoom(), 1.0);
        preview.layoutChooser().setCurrentIndex(1);
        QCOMPARE(preview.view().layout(), PreviewView::Layout::Split);
        preview.view().setFocus();
        QTest::keyClick(&preview.view(), Qt::Key_Left);
        QVERIFY(preview.view().split() < 0.5);
        preview.fitButton().click();
        QVERIFY(preview.view().fitsToWindow());
    }

    // The page chosen stays through a change of the output format or folder; another file starts
    // at its first page, and while it is worked on nothing of the previous file is on show.
    void keepsTheChosenPageAndShowsNothingStale()
    {
        ConvertFixture fixture;
        QVERIFY(fixtures::writeTiff(fixture.dir.filePath(QStringLiteral("three.tif")), pagesOfWidths({40, 20, 30})));
        QVERIFY(fixtures::writeTiff(fixture.dir.filePath(QStringLiteral("other.tif")), pagesOfWidths({12, 14})));
        MainWindow& window = fixture.startWith({QStringLiteral("three.tif"), QStringLiteral("other.tif")});
        window.dispatch(Command::Preview);
        PreviewWindow& preview = *window.previewWindow();
        QVERIFY(settled(preview));
        preview.pageChooser().setValue(3);
        QVERIFY(settled(preview));
        QCOMPARE(preview.shown().before.width(), 30);

        QVERIFY(windowdriving::chooseFormat(window, QStringLiteral("png")));
        QVERIFY(settled(preview));
        QCOMPARE(preview.pageChooser().value(), 3);
        QCOMPARE(preview.shown().before.width(), 30);
        QCOMPARE(preview.shown().outputPath, fixture.outputFolder() + QStringLiteral("three[3].png"));

        const QString elsewhere = fixture.dir.filePath(QStringLiteral("elsewhere/"));
        QDir().mkpath(elsewhere);
        fixture.useOutputFolder(elsewhere);
        QVERIFY(settled(preview));
        QCOMPARE(preview.pageChooser().value(), 3);
        QCOMPARE(preview.shown().outputPath, elsewhere + QStringLiteral("three[3].png"));
        QVERIFY(preview.detailsText().contains(QStringLiteral("three[3].png")));

        windowdriving::selectRow(window, 1);
        QVERIFY(preview.busy());
        QVERIFY2(preview.detailsText().trimmed().isEmpty(), qPrintable(preview.detailsText()));
        QVERIFY(preview.statusText().contains(QStringLiteral("other.tif")));
        QVERIFY(!preview.view().showsPictures());
        QVERIFY(settled(preview));
        QCOMPARE(preview.pageChooser().value(), 1);
        QCOMPARE(preview.shown().before.width(), 12);
        QVERIFY(preview.detailsText().contains(QStringLiteral("other[1].png")));
    }

    // A large page shows a reduced preview first, said to be one, with its pictures; the complete
    // preview replaces picture and label. A damaged large page ends with its problem, no pictures.
    void aLargePageShowsAReducedPreviewThenTheFullOne()
    {
        ConvertFixture fixture;
        fixtures::writeTiff(fixture.dir.filePath(QStringLiteral("a.tif")), fixtures::PageKind::Rgb24, 8, 6);
        fixtures::writeTiff(fixture.dir.filePath(QStringLiteral("large.tif")), fixtures::PageKind::Rgb24, 90, 60);
        // The last row is missing, and never sampled.
        QVERIFY(fixtures::writeCutShortTiff(fixture.dir.filePath(QStringLiteral("cut.tif")), 90, 1, 60, 59));
        MainWindow& window =
            fixture.startWith({QStringLiteral("a.tif"), QStringLiteral("large.tif"), QStringLiteral("cut.tif")});
        window.dispatch(Command::Preview);
        PreviewWindow& preview = *window.previewWindow();
        QVERIFY(settled(preview));
        preview.setFirstLook(1000, 30);
        const QString reducedLabel = QStringLiteral("Reduced preview of a 90 x 60 page (one row and column in 3)");
        for (const int row : {1, 2}) {
            QString labelShown;
            bool picturesShown = false;
            const auto look = connect(&preview, &PreviewWindow::firstLookShown, this, [&] {
                labelShown = preview.statusText();
                picturesShown = preview.view().showsPictures();
            });
            windowdriving::selectRow(window, row);
            QVERIFY(settled(preview));
            disconnect(look);
            QVERIFY2(labelShown.startsWith(reducedLabel), qPrintable(labelShown));
            QVERIFY(picturesShown);
            QVERIFY(!preview.shown().firstLook);
            QVERIFY2(!preview.statusText().contains(QStringLiteral("Reduced")), qPrintable(preview.statusText()));
            if (row == 1) {
                QCOMPARE(preview.shown().before.width(), 90);
                QVERIFY(!preview.shown().after.isNull());
                QVERIFY(preview.detailsText().contains(QStringLiteral("large.bmp")));
            } else {
                QVERIFY(preview.shown().fileFailed);
                QVERIFY2(preview.statusText().contains(preview.shown().problem), qPrintable(preview.statusText()));
                QVERIFY(!preview.view().showsPictures());
            }
        }
    }

    // The window is placed by its narrowest width before it shows anything, so nothing it shows
    // later may widen it: the page count (empty until the first preview) has its room from the start.
    void keepsRoomForThePageCountFromTheStart()
    {
        ConvertFixture fixture;
        fixtures::writeTiff(fixture.dir.filePath(QStringLiteral("pages.tif")), fixtures::PageKind::Rgb24, 8, 6, 12);
        MainWindow& window = fixture.startWith({QStringLiteral("pages.tif")});
        window.dispatch(Command::Preview);
        PreviewWindow& preview = *window.previewWindow();
        QVERIFY(settled(preview));
        QCOMPARE(preview.shown().pageCount, 12);
        const QString count = substituteMessage(message(QStringLiteral("Preview/Page Count")), QStringLiteral("12"));
        QLabel* label = nullptr;
        for (QLabel* candidate : preview.findChildren<QLabel*>()) {
            label = candidate->text() == count ? candidate : label;
        }
        QVERIFY(label != nullptr);
        QVERIFY2(label->minimumWidth() >= label->sizeHint().width(),
                 qPrintable(QStringLiteral("%1 < %2").arg(label->minimumWidth()).arg(label->sizeHint().width())));
    }

    // The preview opens beside the main window, where the screen has room for it, not over it (the
    // offscreen screen is too small to show it, so the placement is asked directly).
    void opensBesideTheMainWindow_data()
    {
        QTest::addColumn<QRect>("main");
        QTest::addColumn<QRect>("expected");
        // A 1280 x 1024 screen, a 900 x 680 preview no narrower than 500, a frame of 4 x 22.
        QTest::newRow("room on the right") << QRect(10, 10, 300, 400) << QRect(318, 10, 900, 680);
        QTest::newRow("room on the left") << QRect(950, 10, 300, 400) << QRect(38, 10, 900, 680);
        QTest::newRow("the larger right side, narrowed") << QRect(300, 10, 364, 444) << QRect(672, 10, 604, 680);
        QTest::newRow("the larger left side, narrowed") << QRect(700, 50, 564, 444) << QRect(0, 50, 688, 680);
        QTest::newRow("no room: the narrowest, on the screen") << QRect(380, 10, 564, 444) << QRect(0, 10, 500, 680);
    }
    void opensBesideTheMainWindow()
    {
        QFETCH(QRect, main);
        QFETCH(QRect, expected);
        const QRect room(0, 0, 1280, 1024);
        const QSize frame(4, 22);
        const QRect placed = placeBeside(main, room, QSize(900, 680), 500, frame);
        QCOMPARE(placed, expected);
        const QRect outer(placed.topLeft(), placed.size() + frame);
        QVERIFY(room.contains(outer));
        if (placed.width() > 500) {
            QVERIFY(!outer.intersects(main));
        }
    }

    void aSavedProfileConvertsInTheConsoleAsTheWindowDoes()
    {
        ProfileFixture fixture;
        MainWindow& window = fixture.startWithChoices();
        fixture.saveAs = fixture.dir.filePath(QStringLiteral("choices.ini"));
        window.dispatch(Command::SaveProfile);
        QVERIFY(QFile::exists(fixture.saveAs));
        convertInWindow(window);
        const auto windowFiles = filesOf(fixture.outputFolder());
        QCOMPARE(windowFiles.size(), std::size_t{2});

        QDir().mkpath(fixture.consoleFolder());
        const QString command = QStringLiteral("%1 -i %2 %3 -o %4 -c jpg --profile=%5")
                                    .arg(shellQuoted(QStringLiteral(TESSALINE_EXECUTABLE)),
                                         shellQuoted(fixture.dir.filePath(QStringLiteral("a.tif"))),
                                         shellQuoted(fixture.dir.filePath(QStringLiteral("b.tif"))),
                                         shellQuoted(fixture.consoleFolder()), shellQuoted(fixture.saveAs));
        QCOMPARE(fixture.shell(command), 0);
        QVERIFY(filesOf(fixture.consoleFolder()) == windowFiles);
    }

    void aCopiedCommandConvertsInTheShellAsTheWindowDoes()
    {
        ProfileFixture fixture;
        MainWindow& window = fixture.startWithChoices();
        convertInWindow(window);
        const auto windowFiles = filesOf(fixture.outputFolder());
        QCOMPARE(windowFiles.size(), std::size_t{2});

        // The list of two files goes to a list file first; the command names it.
        fixture.saveAs = fixture.dir.filePath(QStringLiteral("list file.txt"));
        QDir().mkpath(fixture.consoleFolder());
        fixture.useOutputFolder(fixture.consoleFolder());
        window.dispatch(Command::CopyCommandLine);
        const QString command = QGuiApplication::clipboard()->text();
        QVERIFY2(command.contains(QStringLiteral("'") + fixture.saveAs + QStringLiteral("'")), qPrintable(command));
        QCOMPARE(window.statusText(), QStringLiteral("Command line copied to the clipboard"));
        QCOMPARE(fixture.shell(command), 0);
        QVERIFY(filesOf(fixture.consoleFolder()) == windowFiles);
    }

    void aLoadedProfileIsWrittenAgainAsItWas()
    {
        ProfileFixture fixture;
        MainWindow& window = fixture.startWithChoices();
        fixture.saveAs = fixture.dir.filePath(QStringLiteral("first.ini"));
        window.dispatch(Command::SaveProfile);
        const QByteArray first = contents(fixture.saveAs);
        QVERIFY(first.contains("--JPG-QUALITY = 40\r\n"));

        resetToDefaults(fixture.records.settings, false, QSize(1920, 1080));
        window.dispatch(Command::LoadProfile);
        QCOMPARE(fixture.records.settings.output.jpgQuality, 40);
        QCOMPARE(fixture.records.settings.watermark.text, QStringLiteral("Proof %filename%"));

        fixture.saveAs = fixture.dir.filePath(QStringLiteral("second.ini"));
        window.dispatch(Command::SaveProfile);
        QCOMPARE(contents(fixture.saveAs), first);
    }
};

std::unique_ptr<QObject> makePreviewWindowTest()
{
    return std::make_unique<PreviewWindowTest>();
}

#include "preview_window_test.moc"
