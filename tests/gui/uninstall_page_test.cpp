#include "url_catcher.h"

#include "gui/uninstall_page.h"
#include "online/web_addresses.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTest>

#include <memory>

class UninstallPageTest : public QObject {
    Q_OBJECT

  private slots:
    void startsCheckedWithItsTexts()
    {
        UninstallPage page;
        QCOMPARE(page.windowTitle(), QStringLiteral("Uninstall"));
        QCOMPARE(page.size(), QSize(300, 100));
        QVERIFY(page.visitCheckBox().isChecked());
        QCOMPARE(page.visitCheckBox().text(), QStringLiteral("Full Uninstall - Visit Uninstall Center"));
        QCOMPARE(page.nextButton().text(), QStringLiteral("Next"));
    }

    void nextOpensThePageOnlyWhenChecked_data()
    {
        QTest::addColumn<bool>("checked");
        QTest::addColumn<QList<QUrl>>("expected");
        QTest::newRow("checked") << true << QList<QUrl>{QUrl(uninstallPageAddress())};
        QTest::newRow("unchecked") << false << QList<QUrl>{};
    }

    void nextOpensThePageOnlyWhenChecked()
    {
        QFETCH(bool, checked);
        QFETCH(QList<QUrl>, expected);
        UrlCatcher catcher;
        UninstallPage page;
        page.show();
        if (!checked) {
            QTest::mouseClick(&page.visitCheckBox(), Qt::LeftButton);
        }
        QCOMPARE(page.visitCheckBox().isChecked(), checked);
        QTest::mouseClick(&page.nextButton(), Qt::LeftButton);
        QCOMPARE(catcher.opened, expected);
        QVERIFY(!page.isVisible());
    }

    void closeBoxOpensNothing()
    {
        UrlCatcher catcher;
        UninstallPage page;
        page.show();
        QVERIFY(page.close());
        QVERIFY(!page.isVisible());
        QCOMPARE(page.result(), int(QDialog::Rejected));
        QVERIFY(catcher.opened.isEmpty());
    }
};

std::unique_ptr<QObject> makeUninstallPageTest()
{
    return std::make_unique<UninstallPageTest>();
}

#include "uninstall_page_test.moc"
