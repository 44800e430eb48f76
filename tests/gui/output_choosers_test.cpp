// The output format chooser: its entries, the entry it selects, and the user's choice reaching
// Output/Format at once.
#include "engine/formats/format_catalogue.h"
#include "gui/output_choosers.h"
#include "gui_fixture.h"

#include <QComboBox>
#include <QPixmap>
#include <QTest>

#include <memory>

namespace {

QIcon someIcon()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::blue);
    return QIcon(pixmap);
}

} // namespace

class OutputChoosersTest : public QObject {
    Q_OBJECT

  private slots:
    void everyFormatInCatalogueOrderWithItsPosition()
    {
        QComboBox combo;
        fillOutputFormats(combo, true, QStringLiteral("jpg"), someIcon());
        const QStringList& keys = outputFormatList();
        QCOMPARE(combo.count(), 23);
        for (int i = 0; i < combo.count(); ++i) {
            QCOMPARE(combo.itemData(i).toInt(), i);
            QCOMPARE(combo.itemText(i), outputFormatLabel(keys.at(i), true));
            QVERIFY(!combo.itemIcon(i).isNull());
        }
        QCOMPARE(combo.itemText(0), QStringLiteral("BMP (Windows or OS/2 Bitmap)"));
        QCOMPARE(combo.itemText(9), QStringLiteral("JPG (JPEG File Format)"));
        QCOMPARE(combo.currentIndex(), 9);
        QCOMPARE(selectedOutputFormat(combo), QStringLiteral("jpg"));
    }

    void withoutDescriptionsTheKeysInCapitals()
    {
        QComboBox combo;
        fillOutputFormats(combo, false, QStringLiteral("xpm"), someIcon());
        QCOMPARE(combo.itemText(0), QStringLiteral("BMP"));
        QCOMPARE(combo.itemText(22), QStringLiteral("XPM"));
        QCOMPARE(combo.currentIndex(), 22);
    }

    void anUnknownFormatSelectsTheFirstEntry_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::newRow("unknown key") << "tga2";
        QTest::newRow("empty") << "";
        QTest::newRow("another letter case") << "JPG";
    }
    void anUnknownFormatSelectsTheFirstEntry()
    {
        QFETCH(QString, stored);
        QComboBox combo;
        fillOutputFormats(combo, true, stored, someIcon());
        QCOMPARE(combo.currentIndex(), 0);
    }

    void refillingReplacesTheEntries()
    {
        QComboBox combo;
        fillOutputFormats(combo, true, QStringLiteral("png"), someIcon());
        fillOutputFormats(combo, false, QStringLiteral("gif"), someIcon());
        QCOMPARE(combo.count(), 23);
        QCOMPARE(combo.currentText(), QStringLiteral("GIF"));
    }

    void theMainWindowShowsTheStoredFormatAndTakesTheUsersChoiceAtOnce()
    {
        WindowFixture fixture;
        fixture.records.settings.output.format = QStringLiteral("png");
        MainWindow& window = fixture.start();
        QComboBox& formats = window.outputFormatChooser();
        QCOMPARE(formats.currentText(), QStringLiteral("PNG (Portable Network Graphics)"));

        formats.setFocus();
        QTest::keyClick(&formats, Qt::Key_Down);
        QCOMPARE(fixture.records.settings.output.format, QStringLiteral("ppm"));
        QTest::keyClick(&formats, Qt::Key_Home);
        QCOMPARE(fixture.records.settings.output.format, QStringLiteral("bmp"));
    }
};

std::unique_ptr<QObject> makeOutputChoosersTest()
{
    return std::make_unique<OutputChoosersTest>();
}

#include "output_choosers_test.moc"
