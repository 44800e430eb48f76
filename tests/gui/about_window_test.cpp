#include "url_catcher.h"

#include "app/endpoints.h"
#include "gui/about_window.h"
#include "themes/image_sets.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <memory>

namespace {

QImage builtInBanner()
{
    ImageSets images;
    loadBuiltInImages(images);
    return images.aboutBanner();
}

// A click on the start of a link's text.
void clickLink(QLabel& link)
{
    QTest::mouseClick(&link, Qt::LeftButton, {}, QPoint(8, link.height() / 2));
}

} // namespace

class AboutWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void showsTheBannerTitleAndRights()
    {
        const QImage banner = builtInBanner();
        QCOMPARE(banner.size(), QSize(360, 40));
        AboutWindow about(nullptr, banner);
        QCOMPARE(about.size(), QSize(360, 240));
        QCOMPARE(about.windowTitle(), QStringLiteral("About..."));
        QStringList texts;
        for (const QLabel* label : about.findChildren<QLabel*>()) {
            if (!label->pixmap().isNull()) {
                QCOMPARE(label->pixmap().toImage().convertToFormat(banner.format()), banner);
            }
            texts << label->text();
        }
        QVERIFY(texts.contains("Tessaline 2.6"));
        QVERIFY(texts.contains(rightsNotice()));
        QVERIFY(texts.contains("Web:") && texts.contains("E-mail:"));
    }

    void linksOpenTheSiteAndTheMailAndTheWindowStays()
    {
        UrlCatcher catcher;
        AboutWindow about(nullptr, builtInBanner());
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        clickLink(about.webLink());
        clickLink(about.mailLink());
        QCOMPARE(catcher.opened, (QList<QUrl>{QUrl(QString::fromUtf8(makerWebSite)),
                                              QUrl("mailto:" + QString::fromUtf8(supportEmail))}));
        QVERIFY(about.isVisible());
    }

    void linksArePureBlue()
    {
        AboutWindow about(nullptr, builtInBanner());
        for (const QLabel* link : {&about.webLink(), &about.mailLink()}) {
            QVERIFY(link->text().contains("color:#0000ff"));
        }
    }

    void enterEscapeAndOkClose_data()
    {
        QTest::addColumn<int>("way");
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("Escape") << int(Qt::Key_Escape);
        QTest::newRow("OK") << 0;
    }

    void enterEscapeAndOkClose()
    {
        QFETCH(int, way);
        UrlCatcher catcher;
        AboutWindow about(nullptr, builtInBanner());
        about.show();
        QVERIFY(QTest::qWaitForWindowActive(&about));
        if (way == 0) {
            QTest::mouseClick(&about.okButton(), Qt::LeftButton);
        } else {
            QTest::keyClick(&about, Qt::Key(way));
        }
        QVERIFY(!about.isVisible());
        QVERIFY(catcher.opened.isEmpty());
    }
};

std::unique_ptr<QObject> makeAboutWindowTest()
{
    return std::make_unique<AboutWindowTest>();
}

#include "about_window_test.moc"
