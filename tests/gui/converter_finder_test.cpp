#include "url_catcher.h"

#include "app/endpoints.h"
#include "gui/converter_finder.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <memory>

class ConverterFinderTest : public QObject {
    Q_OBJECT

  private slots:
    void searchOpensTheFinderPage_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("path");
        QTest::newRow("dot and capitals, blanks around") << ".JPG"
                                                         << " png "
                                                         << "/find/jpg-png/";
        QTest::newRow("16 letters cut to 12") << "abcdefghijklmnop"
                                              << "tif"
                                              << "/find/abcdefghijkl-tif/";
        QTest::newRow("cut before the filter") << "..........jpeg"
                                               << "x-y"
                                               << "/find/jp-xy/";
        QTest::newRow("letters and digits only") << "j2k"
                                                 << "Ä.b_m/p?"
                                                 << "/find/j2k-bmp/";
    }

    void searchOpensTheFinderPage()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, path);
        UrlCatcher catcher;
        QStringList warnings;
        ConverterFinder finder(nullptr, [&](const QString& text) { warnings << text; });
        finder.show();
        QTest::keyClicks(&finder.sourceField(), from);
        QTest::keyClicks(&finder.targetField(), to);
        QTest::keyClick(&finder.targetField(), Qt::Key_Return); // Enter is the Search button
        QVERIFY(warnings.isEmpty());
        QCOMPARE(catcher.opened, QList<QUrl>{QUrl(QString::fromUtf8(makerWebSite) + path)});
        QCOMPARE(finder.result(), int(QDialog::Accepted));
        QVERIFY(!finder.isVisible());
    }

    void emptyExtensionWarnsAndKeepsTheDialog_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::newRow("punctuation only") << ".,;-!"
                                          << "png";
        QTest::newRow("empty target") << "jpg"
                                      << "";
        QTest::newRow("letters after the cut") << "             jpg"
                                               << "png";
    }

    void emptyExtensionWarnsAndKeepsTheDialog()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        UrlCatcher catcher;
        QStringList warnings;
        ConverterFinder finder(nullptr, [&](const QString& text) { warnings << text; });
        finder.show();
        finder.sourceField().setText(from);
        finder.targetField().setText(to);
        QTest::mouseClick(&finder.searchButton(), Qt::LeftButton);
        QCOMPARE(warnings, QStringList{"Please, fill all required fields and try again!"});
        QVERIFY(catcher.opened.isEmpty());
        QVERIFY(finder.isVisible());
        QCOMPARE(finder.sourceField().text(), from);
        QCOMPARE(finder.targetField().text(), to);
    }

    void escapeClosesWithoutOpening()
    {
        UrlCatcher catcher;
        ConverterFinder finder(nullptr, [](const QString&) {});
        finder.show();
        finder.sourceField().setText("jpg");
        finder.targetField().setText("png");
        QTest::keyClick(&finder.sourceField(), Qt::Key_Escape);
        QVERIFY(!finder.isVisible());
        QCOMPARE(finder.result(), int(QDialog::Rejected));
        QVERIFY(catcher.opened.isEmpty());
    }

    void opensWithTheFromFieldFocused()
    {
        QWidget owner;
        owner.show();
        ConverterFinder finder(&owner, [](const QString&) {});
        finder.show();
        QVERIFY(QTest::qWaitForWindowActive(&finder));
        QCOMPARE(QApplication::focusWidget(), &finder.sourceField());
        QCOMPARE(finder.windowTitle(), QStringLiteral("Find a File Converter"));
        QVERIFY(finder.width() >= 370 && finder.height() >= 60);
    }
};

std::unique_ptr<QObject> makeConverterFinderTest()
{
    return std::make_unique<ConverterFinderTest>();
}

#include "converter_finder_test.moc"
