// The rows of the Preferences pages: every setting shown and stored back unchanged, the paired
// controls, the enabling and visibility rules, number fields and text cleaning.
#include "app/message_catalogue.h"
#include "engine/formats/format_catalogue.h"
#include "gui/preference_colours.h"
#include "preferences_fixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QSlider>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTest>
#include <QWheelEvent>

#include <memory>

namespace {

struct RoundTrip {
    const char* setting;
    const char* value; // as the configuration file writes it
};

// A value other than the default for every setting the dialog edits.
// clang-format off
const RoundTrip roundTrips[] = {
    {"General/Language", "en"}, {"General/Update Range", "4"}, {"General/Save Window Position", "0"},
    {"Interface/UI Theme", "Zeta"}, {"Interface/UI Size", "3"},
    {"Input/Format", "tiff"}, {"Input/TIFF Frame Loading", "3"}, {"Input/GIF Frame Loading", "2"},
    {"Input/ICO Frame Loading", "4"}, {"Input/DDS Load As", "2"}, {"Input/RAW Load As", "4"},
    {"Input/RAW Header Size", "128"}, {"Input/RAW Image Width", "640"}, {"Input/RAW Image Height", "480"},
    {"Input/RAW Tone Mapping", "3"},
    {"Output/Format", "jpg"}, {"Output/BMP Compression", "1"}, {"Output/BMP Color Table", "1"},
    {"Output/EXR Compression", "3"}, {"Output/JPG Quality", "42"}, {"Output/JPG Chroma", "2"},
    {"Output/JPG Save As", "3"}, {"Output/PNG Compression", "2"}, {"Output/PNG Interlaced", "1"},
    {"Output/TGA Compression", "1"}, {"Output/TIFF Compression", "6"}, {"Output/TIFF Color Model", "1"},
    {"Output/BMP BPP", "16"}, {"Output/DDS BPP", "32"}, {"Output/EXR BPP", "96"}, {"Output/GIF BPP", "8"},
    {"Output/HDR BPP", "96"}, {"Output/ICO BPP", "4"}, {"Output/J2K BPP", "48"}, {"Output/JNG BPP", "24"},
    {"Output/JP2 BPP", "8"}, {"Output/JPG BPP", "8"}, {"Output/JXR BPP", "96"}, {"Output/PBM BPP", "1"},
    {"Output/PCX BPP", "24"}, {"Output/PFM BPP", "96"}, {"Output/PGM BPP", "8"}, {"Output/PNG BPP", "48"},
    {"Output/PPM BPP", "48"}, {"Output/PSD BPP", "32"}, {"Output/TGA BPP", "16"}, {"Output/TIFF BPP", "4"},
    {"Output/WBMP BPP", "1"}, {"Output/WEBP BPP", "32"}, {"Output/XPM BPP", "24"},
    {"Transform/Do Image Rotation", "1"}, {"Transform/Image Rotation Type", "1"}, {"Transform/Image Rotation", "275"},
    {"Transform/Image Rotation Back Color", "12AB34"}, {"Transform/Do Image Resize", "1"},
    {"Transform/Image Width", "800"}, {"Transform/Image Width Unit", "1"}, {"Transform/Image Height", "600"},
    {"Transform/Image Height Unit", "1"}, {"Transform/Keep Aspect Ratio", "0"}, {"Transform/Image Resize Type", "1"},
    {"Transform/Image Resize Algorithm", "5"}, {"Transform/Do Image Flip Horizontal", "1"},
    {"Transform/Do Image Flip Vertical", "1"},
    {"Adjustment/Do Image Color Correction", "1"}, {"Adjustment/Image Brightness", "-35"},
    {"Adjustment/Image Contrast", "60"}, {"Adjustment/Image Gamma", "2.370000"}, {"Adjustment/Image Invert", "1"},
    {"Adjustment/Do Image Greyscale", "1"}, {"Adjustment/Do Image Threshold", "1"},
    {"Adjustment/Image Threshold", "200"},
    {"Frame/Do Frame", "1"}, {"Frame/Solid Left", "3"}, {"Frame/Solid Right", "4"}, {"Frame/Solid Top", "5"},
    {"Frame/Solid Bottom", "6"}, {"Frame/Solid Left Color", "FF0000"}, {"Frame/Solid Right Color", "00FF00"},
    {"Frame/Solid Top Color", "0000FF"}, {"Frame/Solid Bottom Color", "ABCDEF"}, {"Frame/Solid Opacity", "128"},
    {"Watermark/Do Watermark", "2"}, {"Watermark/Text", "Sample mark"},
    {"Watermark/Fonts", "Arial,Tahoma,Verdana,DejaVu Sans"}, {"Watermark/Font", "DejaVu Sans"},
    {"Watermark/Font Size", "22"}, {"Watermark/Font Leading", "3"},
    {"Watermark/Font Colors", "000000,FFFFFF,FF8000,C0C0C0"}, {"Watermark/Font Color", "C0C0C0"},
    {"Watermark/Font Style", "3"}, {"Watermark/Font Effect", "2"}, {"Watermark/Text Antialiasing", "1"},
    {"Watermark/Text Alignment", "2"}, {"Watermark/Text Padding", "7"}, {"Watermark/Text Opacity", "99"},
    {"Watermark/Back Colors", "000000,123456"}, {"Watermark/Back Color", "123456"},
    {"Watermark/Back Opacity", "77"}, {"Watermark/Text Boundary", "1"}, {"Watermark/Text Position", "4"},
    {"Watermark/Text X Offset", "11"}, {"Watermark/Text Y Offset", "12"}, {"Watermark/Text Rotation", "45"},
    {"Watermark/Text Size", "0"}, {"Watermark/Text Scale", "150"}, {"Watermark/Image", "/tmp/mark.png"},
    {"Watermark/Image Greyscale", "1"}, {"Watermark/Image Opacity", "66"}, {"Watermark/Image Boundary", "1"},
    {"Watermark/Image Position", "2"}, {"Watermark/Image X Offset", "13"}, {"Watermark/Image Y Offset", "14"},
    {"Watermark/Image Rotation", "90"}, {"Watermark/Image Size", "0"}, {"Watermark/Image Scale", "120"},
    {"Advanced/Filename Mask", "%filename%-x.%ext%"}, {"Advanced/File Timestamp", "2"},
    {"Advanced/Custom Timestamp", "1699999980"}, {"Advanced/Out Folders History", "0"},
    {"Advanced/Out Folders Number", "12"}, {"Advanced/Keep Subfolders", "0"},
};
// clang-format on

QString nameOf(const SettingDescriptor& setting)
{
    return QLatin1String(setting.group) + QLatin1Char('/') + QLatin1String(setting.key);
}

void setSetting(Settings& settings, const char* name, const QString& value)
{
    setSettingFromText(settings, settingNamed(QLatin1String(name)), value);
}

QString settingText(const Settings& settings, const char* name)
{
    return settingToText(settings, settingNamed(QLatin1String(name)));
}

// Types a text into a spin box and ends the editing as the user would, with Enter.
void typeInto(QSpinBox* spin, const QString& text)
{
    spin->setFocus();
    spin->findChild<QLineEdit*>()->selectAll();
    QTest::keyClicks(spin->findChild<QLineEdit*>(), text);
    QTest::keyClick(spin->findChild<QLineEdit*>(), Qt::Key_Return);
}

ThemeTable twoThemes()
{
    return ThemeTable{{QStringLiteral("handdrawn"), QStringLiteral("Hand Drawn")},
                      {QStringLiteral("Zeta"), QStringLiteral("Zeta Lines")}};
}

} // namespace

class PreferenceRowsTest : public QObject {
    Q_OBJECT

  private slots:
    void everySettingRoundTripsThroughTheDialogAndTheFile()
    {
        PreferencesFixture fixture;
        fixture.records.themes = twoThemes();
        for (const RoundTrip& trip : roundTrips) {
            setSetting(fixture.records.settings, trip.setting, QLatin1String(trip.value));
        }
        // The one language there is.
        fixture.records.settings.general.language = QStringLiteral("de");
        // Derived on OK: brightness is not 0, so colour correction comes back on.
        fixture.records.settings.adjustment.doImageColorCorrection = 0;
        PreferencesDialog& dialog = fixture.open();
        dialog.accept();

        const Settings saved = fixture.savedSettings();
        for (const RoundTrip& trip : roundTrips) {
            const SettingDescriptor& setting = settingNamed(QLatin1String(trip.setting));
            QCOMPARE(settingText(fixture.records.settings, trip.setting), QLatin1String(trip.value));
            if (setting.write != WriteRule::Never) {
                QCOMPARE(settingText(saved, trip.setting), QLatin1String(trip.value));
            }
        }
    }

    void theTableCoversEverySettingTheDialogEdits()
    {
        PreferencesFixture fixture;
        PreferencesDialog& dialog = fixture.open();
        QSet<QString> edited;
        for (const SettingDescriptor& setting : settingsTable()) {
            if (dialog.binder(nameOf(setting)) != nullptr) {
                edited << nameOf(setting);
            }
        }
        // Stored with a neighbouring row's control, or derived.
        edited << "Transform/Image Width Unit"
               << "Transform/Image Height Unit"
               << "Watermark/Fonts"
               << "Watermark/Font Colors"
               << "Watermark/Back Colors"
               << "Adjustment/Do Image Color Correction";
        QSet<QString> tabled;
        for (const RoundTrip& trip : roundTrips) {
            tabled << QLatin1String(trip.setting);
        }
        QCOMPARE(QSet<QString>(edited).subtract(tabled).values(), QStringList());
        QCOMPARE(QSet<QString>(tabled).subtract(edited).values(), QStringList());
    }

    void rowsShowTheirCatalogueLabelsInOrder()
    {
        PreferencesFixture fixture;
        PreferencesDialog& dialog = fixture.open();
        const auto labelOf = [&dialog](const char* setting) {
            return dialog.binder(QLatin1String(setting))->rowWidget()->findChild<QLabel*>()->text();
        };
        QCOMPARE(labelOf("General/Update Range"), QStringLiteral("Check for Updates:"));
        QCOMPARE(labelOf("General/Save Window Position"), QStringLiteral("Save Window's Coords:"));
        QCOMPARE(labelOf("Input/RAW Tone Mapping"), QStringLiteral("HDR Tone Mapping:"));
        QCOMPARE(labelOf("Transform/Keep Aspect Ratio"), QStringLiteral("Keep Proportions:"));
        QCOMPARE(labelOf("Adjustment/Image Gamma"), QStringLiteral("Gamma Correction:"));
        QCOMPARE(labelOf("Advanced/Out Folders History"), QStringLiteral("Output Folders History:"));
        QCOMPARE(labelOf("Output/PNG BPP"), QStringLiteral("Bits Per Pixel:"));
        const auto entries = [&dialog](const char* setting) {
            const auto* combo = control<QComboBox>(dialog, setting);
            QStringList texts;
            for (int i = 0; i < combo->count(); ++i) {
                texts << combo->itemText(i);
            }
            return texts;
        };
        QCOMPARE(entries("General/Language"), QStringList{"English"});
        QCOMPARE(entries("Input/TIFF Frame Loading"), (QStringList{"All", "First", "Middle", "Last", "Random"}));
        QCOMPARE(entries("Output/PNG BPP"), (QStringList{"Auto", "1", "4", "8", "24", "32", "48"}));
        QCOMPARE(entries("Output/TIFF Compression"),
                 (QStringList{"None", "CCITT Group 3 Fax", "CCITT Group 4 Fax", "PackBits", "Deflate (ZLib)",
                              "Adobe Deflate", "LZW", "JPEG", "LogLuv"}));
        QCOMPARE(entries("Watermark/Font Effect"), (QStringList{"None", "Underline", "Strikethrough"}));
        QCOMPARE(entries("Watermark/Text Size"), QStringList{"Fixed"});
        QCOMPARE(entries("Frame/Do Frame"), (QStringList{"None", "Solid Color"}));
        // Rows follow the tables: the unit list of a number field, the page order of the rows.
        QCOMPARE(control<QComboBox>(dialog, "Frame/Solid Left")->itemText(0), QStringLiteral("pixels"));
        QCOMPARE(control<QComboBox>(dialog, "Watermark/Font Size")->itemText(0), QStringLiteral("points"));
        QWidget* rotation = dialog.binder(QStringLiteral("Transform/Image Rotation"))->rowWidget();
        QWidget* flip = dialog.binder(QStringLiteral("Transform/Do Image Flip Vertical"))->rowWidget();
        QVERIFY(rotation->y() < flip->y());
    }

    void themesAreListedByPackNameWithoutRegardToCase()
    {
        PreferencesFixture fixture;
        fixture.records.themes = ThemeTable{{"beta", "Beta"}, {"Alpha", "Alpha Pack"}, {"gamma", ""}, {"Delta", "D"}};
        fixture.records.settings.interface.uiTheme = QStringLiteral("delta");
        PreferencesDialog& dialog = fixture.open();
        const auto* themes = control<QComboBox>(dialog, "Interface/UI Theme");
        QCOMPARE(themes->count(), 3);
        QCOMPARE(themes->itemText(0), QStringLiteral("Alpha Pack"));
        QCOMPARE(themes->itemText(2), QStringLiteral("D"));
        // "delta" is not "Delta": the first entry is selected.
        QCOMPARE(themes->currentIndex(), 0);
    }

    void withoutThemesTheListShowsNoneAndStoresNothing()
    {
        PreferencesFixture fixture;
        PreferencesDialog& dialog = fixture.open();
        const auto* themes = control<QComboBox>(dialog, "Interface/UI Theme");
        QCOMPARE(themes->count(), 1);
        QCOMPARE(themes->itemText(0), QStringLiteral("None"));
        dialog.accept();
        QCOMPARE(fixture.records.settings.interface.uiTheme, QString());
    }

    void spinBoxesClampAndSlidersFollow_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("slider");
        QTest::newRow("JPEG quality above the range") << "Output/JPG Quality"
                                                      << "150"
                                                      << "100" << 100;
        // Typed numbers beyond 32 bits clamp; they never wrap around into the range.
        QTest::newRow("JPEG quality 3000000000") << "Output/JPG Quality"
                                                 << "3000000000"
                                                 << "100" << 100;
        QTest::newRow("JPEG quality negative") << "Output/JPG Quality"
                                               << "-7"
                                               << "1" << 1;
        QTest::newRow("JPEG quality huge negative") << "Output/JPG Quality"
                                                    << "-3000000000"
                                                    << "1" << 1;
        QTest::newRow("brightness of 30 digits") << "Adjustment/Image Brightness"
                                                 << "123456789012345678901234567890"
                                                 << "100" << 200;
        QTest::newRow("contrast huge negative") << "Adjustment/Image Contrast"
                                                << "-4294967296"
                                                << "-100" << 0;
        QTest::newRow("brightness from letters") << "Adjustment/Image Brightness"
                                                 << "abc"
                                                 << "0" << 100;
        QTest::newRow("brightness below the range") << "Adjustment/Image Brightness"
                                                    << "-250"
                                                    << "-100" << 0;
        QTest::newRow("contrast with trailing letters") << "Adjustment/Image Contrast"
                                                        << "40x"
                                                        << "40" << 140;
        QTest::newRow("gamma 2.5") << "Adjustment/Image Gamma"
                                   << "2.5"
                                   << "2.50" << 250;
        QTest::newRow("gamma 0") << "Adjustment/Image Gamma"
                                 << "0"
                                 << "0.01" << 1;
        QTest::newRow("gamma above the range") << "Adjustment/Image Gamma"
                                               << "12"
                                               << "9.99" << 999;
        QTest::newRow("opacity 0") << "Frame/Solid Opacity"
                                   << "0"
                                   << "1" << 1;
    }
    void spinBoxesClampAndSlidersFollow()
    {
        QFETCH(QString, setting);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(int, slider);
        PreferencesFixture fixture;
        PreferencesDialog& dialog = fixture.open();
        const QByteArray name = setting.toLatin1();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        dialog.showPage(setting.startsWith(QLatin1String("Output")) ? 3 : setting.startsWith("Frame") ? 6 : 5);
        if (setting.startsWith(QLatin1String("Output"))) {
            control<QComboBox>(dialog, "Output/Format")->setCurrentIndex(9);
        }
        if (setting.startsWith(QLatin1String("Frame"))) {
            control<QComboBox>(dialog, "Frame/Do Frame")->setCurrentIndex(1);
        }
        auto* spin = control<QSpinBox>(dialog, name.constData());
        typeInto(spin, typed);
        QCOMPARE(spin->findChild<QLineEdit*>()->text(), shown);
        QCOMPARE(control<QSlider>(dialog, name.constData())->value(), slider);
    }

    void theGammaArrowsStepByOneHundredth()
    {
        PreferencesFixture fixture;
        PreferencesDialog& dialog = fixture.open();
        auto* gamma = control<QSpinBox>(dialog, "Adjustment/Image Gamma");
        QCOMPARE(gamma->text(), QStringLiteral("1.00"));
        gamma->stepUp();
        QCOMPARE(gamma->text(), QStringLiteral("1.01"));
        QCOMPARE(control<QSlider>(dialog, "Adjustment/Image Gamma")->value(), 101);
        control<QSlider>(dialog, "Adjustment/Image Brightness")->setValue(0);
        QCOMPARE(control<QSpinBox>(dialog, "Adjustment/Image Brightness")->value(), -100);
        dialog.accept();
        QCOMPARE(fixture.records.settings.adjustment.imageGamma, 1.01F);
        QCOMPARE(fixture.records.settings.adjustment.imageBrightness, -100);
    }

    void colourCorrectionIsDerivedOnOk_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("derived");
        QTest::newRow("all neutral") << "" << 0 << 0;
        QTest::newRow("brightness 1") << "Adjustment/Image Brightness" << 1 << 1;
        QTest::newRow("contrast -1") << "Adjustment/Image Contrast" << -1 << 1;
        QTest::newRow("gamma 1.01") << "Adjustment/Image Gamma" << 101 << 1;
    }
    void colourCorrectionIsDerivedOnOk()
    {
        QFETCH(QString, setting);
        QFETCH(int, value);
        QFETCH(int, derived);
        PreferencesFixture fixture;
        fixture.records.settings.adjustment.doImageColorCorrection = 1;
        PreferencesDialog& dialog = fixture.open();
        if (!setting.isEmpty()) {
            control<QSpinBox>(dialog, setting.toLatin1().constData())->setValue(value);
        }
        dialog.accept();
        QCOMPARE(int(fixture.records.settings.adjustment.doImageColorCorrection), derived);
        QCOMPARE(int(fixture.savedSettings().adjustment.doImageColorCorrection), derived);
    }

    void checkBoxesAndListsEnableTheirRows()
    {
        PreferencesFixture fixture;
        fixture.records.settings.transform.imageWidth = 321;
        PreferencesDialog& dialog = fixture.open();
        const auto enabled = [&dialog](const char* setting) {
            return dialog.binder(QLatin1String(setting))->rowWidget()->isEnabled();
        };
        const char* resizeRows[] = {"Transform/Image Width", "Transform/Image Height", "Transform/Keep Aspect Ratio",
                                    "Transform/Image Resize Type", "Transform/Image Resize Algorithm"};
        for (const char* row : resizeRows) {
            QVERIFY2(!enabled(row), row);
        }
        QVERIFY(!enabled("Transform/Image Rotation"));
        QVERIFY(!enabled("Adjustment/Image Threshold"));
        QVERIFY(!enabled("Advanced/Custom Timestamp"));
        QVERIFY(enabled("Transform/Do Image Flip Horizontal"));

        control<QCheckBox>(dialog, "Transform/Do Image Resize")->setChecked(true);
        for (const char* row : resizeRows) {
            QVERIFY2(enabled(row), row);
        }
        QVERIFY(!enabled("Transform/Image Rotation Back Color"));
        control<QCheckBox>(dialog, "Transform/Do Image Rotation")->setChecked(true);
        QVERIFY(enabled("Transform/Image Rotation Back Color"));
        control<QCheckBox>(dialog, "Adjustment/Do Image Threshold")->setChecked(true);
        QVERIFY(enabled("Adjustment/Image Threshold"));
        control<QComboBox>(dialog, "Advanced/File Timestamp")->setCurrentIndex(2);
        QVERIFY(enabled("Advanced/Custom Timestamp"));

        // Greyed-out rows are stored all the same.
        control<QCheckBox>(dialog, "Transform/Do Image Resize")->setChecked(false);
        QVERIFY(!enabled("Transform/Image Width"));
        dialog.accept();
        QCOMPARE(fixture.records.settings.transform.imageWidth, 321);
    }

    void theRawLoadAsChoiceEnablesRows_data()
    {
        QTest::addColumn<int>("loadAs");
        QTest::addColumn<bool>("sizes");
        QTest::addColumn<bool>("toneMapping");
        QTest::newRow("Auto") << 0 << false << false;
        QTest::newRow("RGB8") << 1 << true << false;
        QTest::newRow("RGB16") << 2 << true << false;
        QTest::newRow("RGB24") << 3 << false << false;
        QTest::newRow("RGB48HS") << 4 << false << true;
        QTest::newRow("RGB48") << 5 << false << true;
    }
    void theRawLoadAsChoiceEnablesRows()
    {
        QFETCH(int, loadAs);
        QFETCH(bool, sizes);
        QFETCH(bool, toneMapping);
        PreferencesFixture fixture;
        PreferencesDialog& dialog = fixture.open();
        control<QComboBox>(dialog, "Input/RAW Load As")->setCurrentIndex(loadAs);
        for (const char* row : {"Input/RAW Header Size", "Input/RAW Image Width", "Input/RAW Image Height"}) {
            QCOMPARE(dialog.binder(QLatin1String(row))->rowWidget()->isEnabled(), sizes);
        }
        QCOMPARE(dialog.binder(QStringLiteral("Input/RAW Tone Mapping"))->rowWidget()->isEnabled(), toneMapping);
    }

    void areasAndScaleRowsShowByTheirLists()
    {
        PreferencesFixture fixture;
        PreferencesDialog& dialog = fixture.open();
        dialog.showPage(6);
        const auto shown = [&dialog](const char* setting) {
            return dialog.binder(QLatin1String(setting))->rowWidget()->isVisibleTo(&dialog.pageArea());
        };
        QVERIFY(!shown("Frame/Solid Left"));
        control<QComboBox>(dialog, "Frame/Do Frame")->setCurrentIndex(1);
        QVERIFY(shown("Frame/Solid Left"));
        QVERIFY(shown("Frame/Solid Opacity"));

        dialog.showPage(7);
        auto* type = control<QComboBox>(dialog, "Watermark/Do Watermark");
        QVERIFY(!shown("Watermark/Text") && !shown("Watermark/Image"));
        type->setCurrentIndex(1);
        QVERIFY(shown("Watermark/Text") && !shown("Watermark/Image"));
        QVERIFY(!shown("Watermark/Text Scale"));
        type->setCurrentIndex(2);
        QVERIFY(!shown("Watermark/Text") && shown("Watermark/Image"));
        QVERIFY(!shown("Watermark/Image Scale"));
        // Both areas sit in the same place.
        QCOMPARE(dialog.binder(QStringLiteral("Watermark/Text"))
                     ->rowWidget()
                     ->parentWidget()
                     ->parentWidget()
                     ->parentWidget()
                     ->geometry(),
                 dialog.binder(QStringLiteral("Watermark/Image"))
                     ->rowWidget()
                     ->parentWidget()
                     ->parentWidget()
                     ->parentWidget()
                     ->geometry());
    }

    void bitDepthsOutsideTheListShowNothingAndStoreAuto_data()
    {
        QTest::addColumn<int>("stored");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("afterOk");
        QTest::newRow("24") << 24 << "24" << 24;
        QTest::newRow("Auto") << 0 << "Auto" << 0;
        QTest::newRow("7") << 7 << "" << 0;
    }
    void bitDepthsOutsideTheListShowNothingAndStoreAuto()
    {
        QFETCH(int, stored);
        QFETCH(QString, shown);
        QFETCH(int, afterOk);
        PreferencesFixture fixture;
        fixture.records.settings.output.pngBpp = stored;
        PreferencesDialog& dialog = fixture.open();
        QCOMPARE(control<QComboBox>(dialog, "Output/PNG BPP")->currentText(), shown);
        dialog.accept();
        QCOMPARE(fixture.records.settings.output.pngBpp, afterOk);
    }

    void theWheelScrollsPastListsUntilTheyAreClicked()
    {
        PreferencesFixture fixture;
        fixture.records.settings.watermark.doWatermark = 1;
        PreferencesDialog& dialog = fixture.open();
        dialog.showPage(7);
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        auto* style = control<QComboBox>(dialog, "Watermark/Font Style");
        const auto roll = [style] {
            QWheelEvent wheel(QPointF(5, 5), style->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, -120), Qt::NoButton,
                              Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(style, &wheel);
        };
        roll();
        QCOMPARE(style->currentIndex(), 0);
        style->setFocus();
        roll();
        QCOMPARE(style->currentIndex(), 1);
    }

    void textsAreCleanedOnOk_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        QTest::newRow("blanks and a tab") << "   My\tmark  "
                                          << "Mymark";
        QTest::newRow("line breaks") << "a\r\nb\nc"
                                     << "abc";
        QTest::newRow("blanks behind a tab") << "\t  x "
                                             << "x";
        QTest::newRow("empty") << ""
                               << "";
    }
    void textsAreCleanedOnOk()
    {
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        PreferencesFixture fixture;
        PreferencesDialog& dialog = fixture.open();
        control<QLineEdit>(dialog, "Watermark/Text")->setText(typed);
        control<QLineEdit>(dialog, "Advanced/Filename Mask")->setText(typed + QStringLiteral(" "));
        dialog.accept();
        QCOMPARE(fixture.records.settings.watermark.text, stored);
        QCOMPARE(fixture.records.settings.advanced.filenameMask, stored);
    }

    void numberFieldsTakeDigitsOnly()
    {
        PreferencesFixture fixture;
        // Stored numbers a user could not type (a hand-edited file) show whole and stay as they are.
        fixture.records.settings.frame.solidTop = 1234567890;
        fixture.records.settings.watermark.textXOffset = -5;
        PreferencesDialog& dialog = fixture.open();
        QCOMPARE(control<QLineEdit>(dialog, "Frame/Solid Top")->text(), QStringLiteral("1234567890"));
        auto* field = control<QLineEdit>(dialog, "Frame/Solid Left");
        field->clear();
        QTest::keyClicks(field, QStringLiteral("1a2-3 4"));
        QCOMPARE(field->text(), QStringLiteral("1234"));
        // Never more digits than a setting holds.
        field->clear();
        QTest::keyClicks(field, QStringLiteral("99999999999999"));
        QCOMPARE(field->text(), QStringLiteral("999999999"));
        control<QLineEdit>(dialog, "Frame/Solid Right")->clear();
        dialog.accept();
        QCOMPARE(fixture.records.settings.frame.solidLeft, 999999999);
        QCOMPARE(fixture.records.settings.frame.solidRight, 0);
        QCOMPARE(fixture.records.settings.frame.solidTop, 1234567890);
        QCOMPARE(fixture.records.settings.watermark.textXOffset, -5);
    }

    void theCustomTimestampKeepsItsMinute()
    {
        PreferencesFixture fixture;
        fixture.records.settings.advanced.customTimestamp = 1700000000; // 2023-11-14 22:13:20
        PreferencesDialog& dialog = fixture.open();
        QCOMPARE(control<QDateTimeEdit>(dialog, "Advanced/Custom Timestamp")->text(),
                 QStringLiteral("2023/11/14 22:13"));
        dialog.accept();
        QCOMPARE(fixture.records.settings.advanced.customTimestamp / 60, 1700000000 / 60);
    }
};

std::unique_ptr<QObject> makePreferenceRowsTest()
{
    return std::make_unique<PreferenceRowsTest>();
}

#include "preference_rows_test.moc"
