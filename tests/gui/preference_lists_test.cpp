// The pickers of the Preferences dialog: colour buttons, the colour and font lists that grow and
// keep their additions after Cancel, and the watermark image requester.
#include "gui/preference_colours.h"
#include "preferences_fixture.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <memory>

class PreferenceListsTest : public QObject {
    Q_OBJECT

  private slots:
    void colourButtonsShowTheNormalisedColourAndPickOne()
    {
        PreferencesFixture fixture;
        fixture.records.settings.frame.solidTopColor = QStringLiteral("abcde");
        fixture.records.settings.frame.solidLeftColor = QStringLiteral("a0b0c0");
        PreferencesDialog& dialog = fixture.open();
        QCOMPARE(control<QLineEdit>(dialog, "Frame/Solid Top Color")->text(), QStringLiteral("000000"));
        QCOMPARE(control<QLineEdit>(dialog, "Frame/Solid Left Color")->text(), QStringLiteral("A0B0C0"));
        QVERIFY(control<QLineEdit>(dialog, "Frame/Solid Left Color")->isReadOnly());
        fixture.script.colours.push_back(QColor(0x12, 0x34, 0x56));
        control<QPushButton>(dialog, "Frame/Solid Left Color")->click();
        QCOMPARE(fixture.script.colourAsked, QColor(0xA0, 0xB0, 0xC0));
        QCOMPARE(control<QLineEdit>(dialog, "Frame/Solid Left Color")->text(), QStringLiteral("123456"));
        dialog.accept();
        QCOMPARE(fixture.records.settings.frame.solidLeftColor, QStringLiteral("123456"));
        QCOMPARE(fixture.records.settings.frame.solidTopColor, QStringLiteral("000000"));
    }

    void colourListsNameTheirColours()
    {
        QCOMPARE(colourName(QStringLiteral("ff8000")), QStringLiteral("Orange"));
        QCOMPARE(colourName(QStringLiteral("804000")), QStringLiteral("Brown"));
        QCOMPARE(colourName(QStringLiteral("80ff00")), QStringLiteral("Color #80FF00"));
        PreferencesFixture fixture;
        PreferencesDialog& dialog = fixture.open();
        const auto* colours = control<QComboBox>(dialog, "Watermark/Font Color");
        QCOMPARE(colours->count(), 9);
        QCOMPARE(colours->itemText(0), QStringLiteral("Black"));
        QCOMPARE(colours->itemText(8), QStringLiteral("Violet"));
        QCOMPARE(colours->currentText(), QStringLiteral("White"));
        QVERIFY(!colours->itemIcon(3).isNull());
    }

    void aColourNotInTheListShowsAndStoresTheFirst()
    {
        PreferencesFixture fixture;
        fixture.records.settings.watermark.fontColor = QStringLiteral("123456");
        PreferencesDialog& dialog = fixture.open();
        QCOMPARE(control<QComboBox>(dialog, "Watermark/Font Color")->currentText(), QStringLiteral("Black"));
        dialog.accept();
        QCOMPARE(fixture.records.settings.watermark.fontColor, QStringLiteral("000000"));
    }

    void pickedColoursGrowTheListAndSurviveCancel()
    {
        PreferencesFixture fixture;
        PreferencesDialog& dialog = fixture.open();
        fixture.script.colours = {QColor(0x80, 0xFF, 0x00), QColor(0xFF, 0x80, 0x00)};
        control<QPushButton>(dialog, "Watermark/Back Color")->click();
        auto* colours = control<QComboBox>(dialog, "Watermark/Back Color");
        QCOMPARE(colours->count(), 10);
        QCOMPARE(colours->currentText(), QStringLiteral("Color #80FF00"));
        // A colour the list has is selected, not added.
        control<QPushButton>(dialog, "Watermark/Back Color")->click();
        QCOMPARE(colours->count(), 10);
        QCOMPARE(colours->currentText(), QStringLiteral("Orange"));
        dialog.reject();
        QCOMPARE(fixture.records.settings.watermark.backColors,
                 QStringLiteral("000000,FFFFFF,FF0000,FF8000,FFFF00,008000,00FFFF,0000FF,8000FF,80FF00"));
        QCOMPARE(fixture.records.settings.watermark.backColor, QStringLiteral("000000"));
        QCOMPARE(fixture.records.settings.watermark.fontColors,
                 QStringLiteral("000000,FFFFFF,FF0000,FF8000,FFFF00,008000,00FFFF,0000FF,8000FF"));
    }

    void thePickedFontGrowsTheListSurvivesCancelAndSetsSizeAndStyle()
    {
        PreferencesFixture fixture;
        fixture.records.settings.watermark.fonts = QStringLiteral(" Arial , Tahoma");
        PreferencesDialog& dialog = fixture.open();
        auto* fonts = control<QComboBox>(dialog, "Watermark/Font");
        QCOMPARE(fonts->count(), 2);
        QCOMPARE(fonts->itemText(0), QStringLiteral("Arial"));
        QCOMPARE(fonts->currentText(), QStringLiteral("Arial"));

        QFont chosen;
        chosen.setFamily(QStringLiteral("Deja,Vu Serif"));
        chosen.setPointSize(31);
        chosen.setBold(true);
        chosen.setItalic(true);
        fixture.script.fonts.push_back(chosen);
        control<QPushButton>(dialog, "Watermark/Font")->click();
        QCOMPARE(fixture.script.fontAsked.family(), QStringLiteral("Arial"));
        QCOMPARE(fixture.script.fontAsked.pointSize(), 14);
        QCOMPARE(fonts->count(), 3);
        QCOMPARE(fonts->currentText(), QStringLiteral("DejaVu Serif"));
        QCOMPARE(control<QLineEdit>(dialog, "Watermark/Font Size")->text(), QStringLiteral("31"));
        QCOMPARE(control<QComboBox>(dialog, "Watermark/Font Style")->currentIndex(), 3);

        // A style with further attributes leaves the style list alone.
        QFont light(QStringLiteral("Arial"));
        light.setWeight(QFont::Light);
        fixture.script.fonts.push_back(light);
        control<QPushButton>(dialog, "Watermark/Font")->click();
        QCOMPARE(fonts->count(), 3);
        QCOMPARE(control<QComboBox>(dialog, "Watermark/Font Style")->currentIndex(), 3);

        dialog.reject();
        QCOMPARE(fixture.records.settings.watermark.fonts, QStringLiteral(" Arial , Tahoma,DejaVu Serif"));
        QCOMPARE(fixture.records.settings.watermark.font, QStringLiteral("Arial"));
    }

    void anEmptyFontListStartsFromTheFont()
    {
        PreferencesFixture fixture;
        fixture.records.settings.watermark.fonts.clear();
        fixture.records.settings.watermark.font = QStringLiteral("Courier New");
        PreferencesDialog& dialog = fixture.open();
        QCOMPARE(control<QComboBox>(dialog, "Watermark/Font")->count(), 1);
        dialog.reject();
        QCOMPARE(fixture.records.settings.watermark.fonts, QStringLiteral("Courier New"));
    }

    void theImageRequesterOffersThePictureKinds()
    {
        PreferencesFixture fixture;
        fixture.records.settings.watermark.image = QStringLiteral("/old/mark.png");
        PreferencesDialog& dialog = fixture.open();
        auto* field = control<QLineEdit>(dialog, "Watermark/Image");
        field->setText(QStringLiteral("  /old/mark.png "));
        fixture.script.files.push_back(QString());
        control<QPushButton>(dialog, "Watermark/Image")->click();
        QCOMPARE(fixture.script.fileTitle, QStringLiteral("Select Watermark Image"));
        QCOMPARE(fixture.script.fileStart, QStringLiteral("/old/mark.png"));
        QCOMPARE(fixture.script.fileFilters,
                 (QStringList{"All Supported Files (*.png *.bmp *.rle *.dib *.jpg *.jpeg *.jpe *.jif)",
                              "Portable Network Graphics (*.png)", "Windows or OS/2 Bitmap (*.bmp *.rle *.dib)",
                              "JPEG File (*.jpg *.jpeg *.jpe *.jif)", "All Files (*.*) (*)"}));
        // Cancelled: the field keeps its text.
        QCOMPARE(field->text(), QStringLiteral("  /old/mark.png "));
        fixture.script.files.push_back(QStringLiteral("/new/logo.jpg"));
        control<QPushButton>(dialog, "Watermark/Image")->click();
        QCOMPARE(field->text(), QStringLiteral("/new/logo.jpg"));
    }
};

std::unique_ptr<QObject> makePreferenceListsTest()
{
    return std::make_unique<PreferenceListsTest>();
}

#include "preference_lists_test.moc"
