// The Preferences dialog as a window: where it opens, the page list and title strip, the buttons,
// the interface change flags, Defaults, and that a change reaches the main window and the next start.
#include "app/message_catalogue.h"
#include "engine/run/conversion_run.h"
#include "gui/windowed_start.h"
#include "preferences_fixture.h"
#include "support/tiff_fixtures.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTest>
#include <QToolBar>

#include <FreeImage.h>

#include <memory>

namespace {

const QStringList pageNames{"General",    "Interface", "Input",     "Output",  "Transform",
                            "Adjustment", "Frame",     "Watermark", "Advanced"};

// The sub-page the Output page shows: the row widget of its bit-depth list is on it.
QWidget* visibleOutputSubPage(const PreferencesDialog& dialog)
{
    const auto* list = control<QComboBox>(dialog, "Output/Format");
    QWidget* page = list->parentWidget()->parentWidget();
    const QStackedWidget* stack = page->findChild<QStackedWidget*>();
    return stack != nullptr ? stack->currentWidget() : nullptr;
}

ThemeTable twoThemes()
{
    return ThemeTable{{QStringLiteral("handdrawn"), QStringLiteral("Hand Drawn")},
                      {QStringLiteral("Zeta"), QStringLiteral("Zeta Lines")}};
}

} // namespace

class PreferencesDialogTest : public QObject {
    Q_OBJECT

  private slots:
    void theFrameHoldsTheNinePagesAndTheThreeButtons()
    {
        PreferencesFixture fixture;
        PreferencesDialog& dialog = fixture.open();
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Preferences..."));
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.windowModality(), Qt::WindowModal);
        QVERIFY(dialog.width() >= 600 && dialog.height() >= 350);
        QStringList listed;
        for (int i = 0; i < dialog.pageList().count(); ++i) {
            listed << dialog.pageList().item(i)->text();
        }
        QCOMPARE(listed, pageNames);
        QCOMPARE(dialog.pageArea().count(), 9);
        QCOMPARE(dialog.defaultsButton().text(), QStringLiteral("Defaults"));
        QCOMPARE(dialog.okButton().text(), QStringLiteral("OK"));
        QCOMPARE(dialog.cancelButton().text(), QStringLiteral("Cancel"));
        QCOMPARE(dialog.okButton().size(), QSize(80, 25));
        QVERIFY(dialog.defaultsButton().x() < dialog.okButton().x());
        QVERIFY(dialog.okButton().x() < dialog.cancelButton().x());
        QCOMPARE(dialog.titleText().font().bold(), true);

        // Only one Preferences window exists at a time.
        fixture.window->dispatch(Command::Preferences);
        QCOMPARE(fixture.window->findChildren<PreferencesDialog*>().size(), 1);
    }

    void selectingAPageShowsItAndItsName()
    {
        PreferencesFixture fixture;
        PreferencesDialog& dialog = fixture.open();
        for (int page = 0; page < pageNames.size(); ++page) {
            dialog.pageList().setCurrentRow(page);
            QCOMPARE(dialog.currentPage(), page);
            QCOMPARE(dialog.titleText().text(), pageNames.at(page));
        }
        // An event that leaves no entry selected changes nothing.
        dialog.pageList().setCurrentRow(-1);
        QCOMPARE(dialog.currentPage(), 8);
        QCOMPARE(dialog.titleText().text(), QStringLiteral("Advanced"));
    }

    void theOptionsButtonOpensOutputOnTheCurrentFormat()
    {
        PreferencesFixture fixture;
        fixture.records.settings.output.format = QStringLiteral("tiff");
        PreferencesDialog& options = fixture.open(Command::OutputFormatOptions);
        QCOMPARE(options.currentPage(), 3);
        QCOMPARE(options.titleText().text(), QStringLiteral("Output"));
        QCOMPARE(control<QComboBox>(options, "Output/Format")->currentText(), QStringLiteral("TIFF"));
        QVERIFY(visibleOutputSubPage(options)->isAncestorOf(
            options.binder(QStringLiteral("Output/TIFF Compression"))->rowWidget()));
        QCOMPARE(fixture.records.window.preferencesStartPage, 0);
        options.reject();

        // The Preferences command afterwards opens the first page again.
        PreferencesDialog& preferences = fixture.open();
        QCOMPARE(preferences.currentPage(), 0);
        QCOMPARE(preferences.titleText().text(), QStringLiteral("General"));
    }

    void theStoredStartPageIsShownOnceAndTheListHasTheFocus()
    {
        PreferencesFixture fixture;
        fixture.start();
        fixture.records.window.preferencesStartPage = 6;
        PreferencesDialog& dialog = fixture.open();
        QCOMPARE(dialog.currentPage(), 6);
        QCOMPARE(fixture.records.window.preferencesStartPage, 0);
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QCOMPARE(QApplication::focusWidget(), &dialog.pageList());
    }

    void changingTheFormatListSwitchesTheSubPageAtOnce()
    {
        PreferencesFixture fixture;
        PreferencesDialog& dialog = fixture.open(Command::OutputFormatOptions);
        auto* formats = control<QComboBox>(dialog, "Output/Format");
        QCOMPARE(formats->count(), 23);
        QCOMPARE(formats->itemText(9), QStringLiteral("JPG"));
        QVERIFY(!formats->itemIcon(9).isNull());
        formats->setCurrentIndex(9);
        QVERIFY(visibleOutputSubPage(dialog)->isAncestorOf(
            dialog.binder(QStringLiteral("Output/JPG Quality"))->rowWidget()));
        QVERIFY(
            visibleOutputSubPage(dialog)->isAncestorOf(dialog.binder(QStringLiteral("Output/JPG BPP"))->rowWidget()));
    }

    // A writer without a choice of compression shows the one it uses, and only on its own page.
    void aFixedCompressionShowsOnItsFormatsPageAlone()
    {
        PreferencesFixture fixture;
        PreferencesDialog& dialog = fixture.open(Command::OutputFormatOptions);
        auto* formats = control<QComboBox>(dialog, "Output/Format");
        const auto fixedEntries = [&dialog, formats](int index) {
            formats->setCurrentIndex(index);
            QStringList entries;
            for (const QComboBox* combo : visibleOutputSubPage(dialog)->findChildren<QComboBox*>()) {
                if (combo->count() == 1) {
                    entries << combo->accessibleName() + QLatin1Char('=') + combo->itemText(0);
                }
            }
            return entries;
        };
        QCOMPARE(formats->itemText(12), QStringLiteral("PCX"));
        QCOMPARE(fixedEntries(12).filter(QStringLiteral("=RLE")).size(), 1);
        QVERIFY(fixedEntries(9).filter(QStringLiteral("=RLE")).isEmpty());
        QVERIFY(fixedEntries(1).filter(QStringLiteral("=RLE")).isEmpty());
    }

    void cancelEscapeAndTheCloseBoxStoreNothing_data()
    {
        QTest::addColumn<int>("way");
        QTest::newRow("Cancel") << 0;
        QTest::newRow("Escape") << 1;
        QTest::newRow("close box") << 2;
    }
    void cancelEscapeAndTheCloseBoxStoreNothing()
    {
        QFETCH(int, way);
        PreferencesFixture fixture;
        PreferencesDialog& dialog = fixture.open(Command::OutputFormatOptions);
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        control<QComboBox>(dialog, "Output/Format")->setCurrentIndex(9);
        control<QSpinBox>(dialog, "Output/JPG Quality")->setValue(20);
        if (way == 0) {
            QTest::mouseClick(&dialog.cancelButton(), Qt::LeftButton);
        } else if (way == 1) {
            QTest::keyClick(&dialog.pageList(), Qt::Key_Escape);
        } else {
            dialog.close();
        }
        QVERIFY(!fixture.dialogIsOpen());
        QCOMPARE(fixture.records.settings.output.format, QStringLiteral("bmp"));
        QCOMPARE(fixture.records.settings.output.jpgQuality, 95);
        QVERIFY(!fixture.saved());
    }

    void okSavesTheFileAndTheMainWindowFollowsTheFormat()
    {
        PreferencesFixture fixture;
        PreferencesDialog& dialog = fixture.open(Command::OutputFormatOptions);
        control<QComboBox>(dialog, "Output/Format")->setCurrentIndex(15);
        QTest::mouseClick(&dialog.okButton(), Qt::LeftButton);
        QVERIFY(!fixture.dialogIsOpen());
        QCOMPARE(fixture.records.settings.output.format, QStringLiteral("png"));
        QCOMPARE(fixture.savedSettings().output.format, QStringLiteral("png"));
        QCOMPARE(fixture.window->outputFormatChooser().currentText(),
                 QStringLiteral("PNG (Portable Network Graphics)"));
    }

    void okSetsTheInterfaceChangeFlags_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("theme");
        QTest::addColumn<int>("flags");
        QTest::newRow("nothing") << 2 << 0 << 0;
        QTest::newRow("icon size only") << 4 << 0 << 2;
        QTest::newRow("theme only") << 2 << 1 << 1;
        QTest::newRow("theme and size") << 0 << 1 << 1;
    }
    void okSetsTheInterfaceChangeFlags()
    {
        QFETCH(int, size);
        QFETCH(int, theme);
        QFETCH(int, flags);
        PreferencesFixture fixture;
        fixture.records.themes = twoThemes();
        fixture.start();
        // The main window clears the flags in its rebuild; the hook sees them first.
        int seen = -1;
        auto* dialog = new PreferencesDialog(
            fixture.records, fixture.script.pickers(),
            [&fixture, &seen](int) { seen = static_cast<int>(fixture.records.window.interfaceChange); },
            fixture.window.get());
        control<QComboBox>(*dialog, "Interface/UI Size")->setCurrentIndex(size);
        control<QComboBox>(*dialog, "Interface/UI Theme")->setCurrentIndex(theme);
        dialog->accept();
        QCOMPARE(seen, flags);
        QCOMPARE(fixture.records.settings.interface.uiSize, size);
        QCOMPARE(fixture.records.settings.interface.uiTheme,
                 theme == 0 ? QStringLiteral("handdrawn") : QStringLiteral("Zeta"));
        delete dialog;
    }

    void theMainWindowRebuildsItsToolbarAfterAnIconSizeChange()
    {
        PreferencesFixture fixture;
        PreferencesDialog& dialog = fixture.open();
        control<QComboBox>(dialog, "Interface/UI Size")->setCurrentIndex(4);
        dialog.accept();
        QCOMPARE(fixture.window->mainToolbar().iconSize(), QSize(64, 64));
        QCOMPARE(fixture.records.window.interfaceChange, InterfaceChange::None);
    }

    void defaultsAsksFirst_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::newRow("Yes") << true;
        QTest::newRow("No") << false;
    }
    void defaultsAsksFirst()
    {
        QFETCH(bool, yes);
        PreferencesFixture fixture;
        fixture.records.settings.output.jpgQuality = 50;
        fixture.records.settings.interface.uiSize = 0;
        fixture.records.settings.output.format = QStringLiteral("jpg");
        PreferencesDialog& dialog = fixture.open();
        fixture.script.answers.push_back(yes);
        QTest::mouseClick(&dialog.defaultsButton(), Qt::LeftButton);
        QCOMPARE(fixture.script.question,
                 QStringLiteral("Reset to Defaults|Are you sure you want to reset all your settings to the "
                                "default values?"));
        QCOMPARE(fixture.dialogIsOpen(), !yes);
        QCOMPARE(fixture.saved(), yes);
        QCOMPARE(fixture.records.settings.output.jpgQuality, yes ? 95 : 50);
        if (yes) {
            const Settings saved = fixture.savedSettings();
            QCOMPARE(saved.output.jpgQuality, 95);
            QCOMPARE(saved.interface.uiSize, 2);
            // The icon size went back to Large, and the window shows the default format.
            QCOMPARE(fixture.window->mainToolbar().iconSize(), QSize(32, 32));
            QCOMPARE(fixture.window->outputFormatChooser().currentIndex(), 0);
        }
    }

    void aChangeReachesTheNextConversion()
    {
        PreferencesFixture fixture;
        PreferencesDialog& dialog = fixture.open();
        control<QComboBox>(dialog, "Output/Format")->setCurrentIndex(9);
        control<QCheckBox>(dialog, "Transform/Do Image Resize")->setChecked(true);
        control<QLineEdit>(dialog, "Transform/Image Width")->setText(QStringLiteral("4"));
        control<QLineEdit>(dialog, "Transform/Image Height")->setText(QStringLiteral("3"));
        control<QCheckBox>(dialog, "Transform/Keep Aspect Ratio")->setChecked(false);
        dialog.accept();

        // A run as the window starts it: the session's settings, job and input list.
        const QString input = fixture.scratch.filePath(QStringLiteral("page.tif"));
        QVERIFY(fixtures::writeTiff(input, fixtures::PageKind::Rgb24, 8, 6));
        JobState& job = fixture.records.job;
        QVERIFY(addInputFile(fixture.records.inputFiles, job, input));
        job.outputFolder = fixture.scratch.filePath(QStringLiteral("out/"));
        QVERIFY(QDir().mkpath(job.outputFolder));
        job.outputKey = fixture.records.settings.output.format;
        QVERIFY(prepareRun(fixture.records.settings, job));
        RunContext context{fixture.records.settings, job};
        RunProgress progress;
        progress.start();
        conversionWorker(context, fixture.records.inputFiles, progress);

        const QByteArray output = QFile::encodeName(job.outputFolder + QStringLiteral("page.jpg"));
        QCOMPARE(FreeImage_GetFileType(output.constData(), 0), FIF_JPEG);
        FIBITMAP* written = FreeImage_Load(FIF_JPEG, output.constData(), 0);
        QVERIFY(written != nullptr);
        const QSize size(int(FreeImage_GetWidth(written)), int(FreeImage_GetHeight(written)));
        FreeImage_Unload(written);
        QCOMPARE(size, QSize(4, 3));
    }

    void aChangeReachesTheRecordsAndSurvivesARestart()
    {
        const QTemporaryDir scratch;
        const QString configPath = scratch.filePath(QStringLiteral("config.ini"));
        const QString gfx = scratch.filePath(QStringLiteral("gfx/"));
        {
            WindowedSession session(configPath, gfx);
            session.window().completeWindowedStart();
            session.window().setPreferencePickers(PickerScript().pickers());
            session.window().dispatch(Command::Preferences);
            auto* dialog = session.window().findChild<PreferencesDialog*>();
            QVERIFY(dialog != nullptr);
            control<QSpinBox>(*dialog, "Adjustment/Image Brightness")->setValue(25);
            control<QComboBox>(*dialog, "Output/Format")->setCurrentIndex(9);
            control<QSpinBox>(*dialog, "Output/JPG Quality")->setValue(33);
            dialog->accept();
            // What the next conversion reads: the session's settings record.
            QCOMPARE(session.records().settings.adjustment.imageBrightness, 25);
            QCOMPARE(session.records().settings.adjustment.doImageColorCorrection, 1);
            QCOMPARE(session.records().settings.output.format, QStringLiteral("jpg"));
            QCOMPARE(session.records().settings.output.jpgQuality, 33);
            QVERIFY(session.finish());
        }
        WindowedSession restarted(configPath, gfx);
        QCOMPARE(restarted.records().settings.adjustment.imageBrightness, 25);
        QCOMPARE(restarted.records().settings.adjustment.doImageColorCorrection, 1);
        QCOMPARE(restarted.records().settings.output.format, QStringLiteral("jpg"));
        QCOMPARE(restarted.records().settings.output.jpgQuality, 33);
    }
};

std::unique_ptr<QObject> makePreferencesDialogTest()
{
    return std::make_unique<PreferencesDialogTest>();
}

#include "preferences_dialog_test.moc"
