// The command table: numbers, labels, shortcuts and the menu and toolbar structure built from it.
#include "gui/commands.h"

#include <QTest>

#include <memory>
#include <set>

class CommandTableTest : public QObject {
    Q_OBJECT

  private slots:
    void everyCommandHasOneRowAndItsNumber()
    {
        std::set<int> numbers;
        for (const CommandInfo& info : commandTable()) {
            const int number = static_cast<int>(info.command);
            QVERIFY2(numbers.insert(number).second, "a command is listed twice");
            QCOMPARE(commandFromNumber(number), std::optional<Command>(info.command));
            QCOMPARE(&commandInfo(info.command), &info);
        }
        QCOMPARE(numbers, (std::set<int>{0, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 16, 17, 18, 21, 22, 23, 24, 25, 26, 27, 28}));
    }

    void numbersWithoutCommandRaiseNothing()
    {
        for (const int number : {-1, 1, 2, 15, 19, 20, 29, 353, 357}) {
            QVERIFY2(!commandFromNumber(number).has_value(), qPrintable(QString::number(number)));
        }
    }

    void menusHoldTheirItemsInOrder()
    {
        const auto numbersOf = [](std::span<const MenuRow> rows) {
            QList<int> numbers; // -1 for a separator
            for (const MenuRow& row : rows) {
                numbers << (row.command ? static_cast<int>(*row.command) : -1);
            }
            return numbers;
        };
        const std::span<const MenuDefinition> menus = menuBarDefinition();
        QCOMPARE(menus.size(), std::size_t{4});
        QCOMPARE(QString::fromLatin1(menus[0].titleKey), QStringLiteral("Menu/File"));
        QCOMPARE(numbersOf(menus[0].rows), (QList<int>{0, -1, 4, 7, -1, 9, 10, -1, 3}));
        QCOMPARE(numbersOf(menus[1].rows), (QList<int>{11, 12, -1, 13}));
        QCOMPARE(numbersOf(menus[2].rows), (QList<int>{14, -1, 25, -1, 16, -1, 17, -1, 26, 27, 28}));
        QCOMPARE(numbersOf(menus[3].rows), (QList<int>{18, -1, 21, 22, 23, -1, 24}));
        QCOMPARE(numbersOf(contextMenuDefinition()), (QList<int>{11, 12, -1, 13, -1, 25}));
        QCOMPARE(numbersOf(mainToolbarDefinition()), (QList<int>{0, 4, 7, -1, 17, -1, 14, -1, 18, 21, 22, 23}));
    }
};

std::unique_ptr<QObject> makeCommandTableTest()
{
    return std::make_unique<CommandTableTest>();
}

#include "command_table_test.moc"
