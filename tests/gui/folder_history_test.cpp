// The output folder history: its entries, what adding a folder keeps, the exit rule and the
// chooser filled from it.
#include "app/folder_history.h"
#include "gui/output_choosers.h"

#include <QComboBox>
#include <QPixmap>
#include <QTest>

#include <memory>

namespace {

Settings historySettings(const QString& history, int number = 5)
{
    Settings settings;
    resetToDefaults(settings, false, QSize(1920, 1080));
    settings.file.recentOutFolders = history;
    settings.advanced.outFoldersNumber = static_cast<Int8>(number);
    return settings;
}

QStringList itemTexts(const QComboBox& combo)
{
    QStringList texts;
    for (int i = 0; i < combo.count(); ++i) {
        texts << combo.itemText(i);
    }
    return texts;
}

QIcon someIcon()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::red);
    return QIcon(pixmap);
}

} // namespace

class FolderHistoryTest : public QObject {
    Q_OBJECT

  private slots:
    void entriesAreTrimmedFieldsOfTheTabSeparatedText()
    {
        const Settings settings = historySettings(QStringLiteral(" /a/ \t/b/\t\t/d/  "));
        QCOMPARE(folderHistoryEntry(settings, 0), QStringLiteral("/a/"));
        QCOMPARE(folderHistoryEntry(settings, 1), QStringLiteral("/b/"));
        QCOMPARE(folderHistoryEntry(settings, 2), QString());
        QCOMPARE(folderHistoryEntry(settings, 3), QStringLiteral("/d/"));
        QCOMPARE(folderHistoryEntry(settings, 4), QString());
        QCOMPARE(folderHistoryEntry(settings, -1), QString());
        QCOMPARE(folderHistoryEntry(historySettings(QString()), 0), QString());
    }

    void addingAFolder_data()
    {
        QTest::addColumn<QString>("history");
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("expected");
        QTest::newRow("first folder") << "" << 5 << "/out/"
                                      << "/out/";
        QTest::newRow("newest first") << "/a/\t/b/" << 5 << "/c/"
                                      << "/c/\t/a/\t/b/";
        QTest::newRow("the oldest drops out") << "/e/\t/d/\t/c/\t/b/\t/a/" << 5 << "/f/"
                                              << "/f/\t/e/\t/d/\t/c/\t/b/";
        QTest::newRow("a folder chosen again moves up") << "/a/\t/b/\t/c/" << 5 << "/c/"
                                                        << "/c/\t/a/\t/b/";
        QTest::newRow("another letter case is the same folder") << "/x/c/out/\t/a/" << 5 << "/X/C/OUT/"
                                                                << "/X/C/OUT/\t/a/";
        QTest::newRow("non-ASCII letters fold too") << "/bilder/änderung/" << 5 << "/BILDER/ÄNDERUNG/"
                                                    << "/BILDER/ÄNDERUNG/";
        QTest::newRow("blank entries are dropped") << "/a/\t \t/b/" << 5 << "/c/"
                                                   << "/c/\t/a/\t/b/";
        QTest::newRow("entries past the number are dropped") << "/a/\t/b/\t/c/\t/d/\t/e/\t/f/\t/g/" << 3 << "/n/"
                                                             << "/n/\t/a/\t/b/";
        QTest::newRow("a history of one") << "/a/\t/b/" << 1 << "/n/"
                                          << "/n/";
        QTest::newRow("a number below one keeps the new folder only") << "/a/" << -56 << "/n/"
                                                                      << "/n/";
    }
    void addingAFolder()
    {
        QFETCH(QString, history);
        QFETCH(int, number);
        QFETCH(QString, folder);
        QFETCH(QString, expected);
        Settings settings = historySettings(history, number);
        QVERIFY(addToFolderHistory(settings, folder));
        QCOMPARE(settings.file.recentOutFolders, expected);
    }

    void sixFoldersInTurnLeaveTheLastFiveNewestFirst()
    {
        Settings settings = historySettings(QString());
        for (const char* folder : {"/1/", "/2/", "/3/", "/4/", "/5/", "/6/"}) {
            QVERIFY(addToFolderHistory(settings, QLatin1String(folder)));
        }
        QCOMPARE(settings.file.recentOutFolders, QStringLiteral("/6/\t/5/\t/4/\t/3/\t/2/"));
    }

    void anEmptyFolderIsNotStored()
    {
        Settings settings = historySettings(QStringLiteral("/a/"));
        QVERIFY(!addToFolderHistory(settings, QString()));
        QCOMPARE(settings.file.recentOutFolders, QStringLiteral("/a/"));
    }

    void theExitRuleEmptiesTheHistoryOnlyWhenAskedTo()
    {
        Settings clean = historySettings(QStringLiteral("/a/\t/b/"));
        clean.advanced.outFoldersHistory = 0;
        applyFolderHistoryExitRule(clean);
        QCOMPARE(clean.file.recentOutFolders, QString());

        Settings keep = historySettings(QStringLiteral("/a/\t/b/"));
        keep.advanced.outFoldersHistory = 1;
        applyFolderHistoryExitRule(keep);
        QCOMPARE(keep.file.recentOutFolders, QStringLiteral("/a/\t/b/"));
    }

    void theChooserShowsTheEntriesAndSelectsTheCurrentFolder()
    {
        QComboBox combo;
        const Settings settings = historySettings(QStringLiteral("/a/\t/b/\t/c/\t/d/"), 3);
        fillFolderHistory(combo, settings, QStringLiteral("/b/"), someIcon());
        QCOMPARE(itemTexts(combo), (QStringList{"/a/", "/b/", "/c/"}));
        QCOMPARE(combo.currentIndex(), 1);
        QVERIFY(!combo.itemIcon(2).isNull());

        fillFolderHistory(combo, settings, QStringLiteral("/elsewhere/"), someIcon());
        QCOMPARE(combo.count(), 3);
        QCOMPARE(combo.currentIndex(), 0);
    }

    void anEmptyHistoryLeavesTheChooserAlone()
    {
        QComboBox combo;
        combo.addItem(QString());
        fillFolderHistory(combo, historySettings(QString()), QString(), someIcon());
        QCOMPARE(itemTexts(combo), QStringList{QString()});
    }

    void fillingSendsNoChoice()
    {
        QComboBox combo;
        int choices = 0;
        connect(&combo, &QComboBox::activated, this, [&choices] { ++choices; });
        connect(&combo, &QComboBox::currentIndexChanged, this, [&choices] { ++choices; });
        fillFolderHistory(combo, historySettings(QStringLiteral("/a/\t/b/")), QStringLiteral("/b/"), someIcon());
        QCOMPARE(choices, 0);
    }
};

std::unique_ptr<QObject> makeFolderHistoryTest()
{
    return std::make_unique<FolderHistoryTest>();
}

#include "folder_history_test.moc"
