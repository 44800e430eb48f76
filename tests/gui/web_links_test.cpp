#include "url_catcher.h"

#include "app/endpoints.h"
#include "gui/web_links.h"
#include "online/web_addresses.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class WebLinksTest : public QObject {
    Q_OBJECT

  private slots:
    void eachLinkOpensItsAddress_data()
    {
        QTest::addColumn<int>("link");
        QTest::addColumn<QUrl>("expected");
        const QString site = QString::fromUtf8(makerWebSite);
        const QString mail = QString::fromUtf8(supportEmail);
        QTest::newRow("feedback") << 0 << QUrl("mailto:" + mail + "?subject=Tessaline 2.6 Feedback");
        QTest::newRow("product page") << 1 << QUrl(site + "/tessaline/");
        QTest::newRow("uninstall page") << 2 << QUrl(site + "/tessaline/uninstall.html");
        QTest::newRow("finder page") << 3 << QUrl(site + "/find/tif-webp/");
    }

    void eachLinkOpensItsAddress()
    {
        QFETCH(int, link);
        QFETCH(QUrl, expected);
        UrlCatcher catcher;
        switch (link) {
        case 0:
            openFeedbackMail();
            break;
        case 1:
            openProductPage();
            break;
        case 2:
            openDocument(uninstallPageAddress());
            break;
        default:
            openDocument(converterFinderAddress("tif", "webp"));
            break;
        }
        QCOMPARE(catcher.opened, QList<QUrl>{expected});
    }

    void feedbackSubjectKeepsItsBlanks()
    {
        QCOMPARE(feedbackMailAddress(),
                 "mailto:" + QString::fromUtf8(supportEmail) + "?subject=Tessaline 2.6 Feedback");
    }

    void manualOpensFromTheProgramFolderOnlyWhenItIsThere()
    {
        QTemporaryDir folder;
        const QString programFolder = folder.path() + '/';
        UrlCatcher catcher;
        openManual(programFolder);
        QVERIFY(catcher.opened.isEmpty());

        QFile manual(manualPath(programFolder));
        QVERIFY(manual.open(QIODevice::WriteOnly));
        manual.close();
        openManual(programFolder);
        QCOMPARE(catcher.opened, QList<QUrl>{QUrl::fromLocalFile(folder.path() + "/tessaline.html")});
    }

    void manualIsLookedForInTheDataFolder() { QCOMPARE(manualPath(), programDataFolder() + "tessaline.html"); }
};

std::unique_ptr<QObject> makeWebLinksTest()
{
    return std::make_unique<WebLinksTest>();
}

#include "web_links_test.moc"
