// The Add chooser: its look, its modality, Escape, and the command of the button pressed.
#include "gui/add_chooser.h"
#include "gui_fixture.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <memory>

class AddChooserTest : public QObject {
    Q_OBJECT

  private slots:
    void twoLargeButtonsWithTheirCaptions()
    {
        WindowFixture fixture;
        AddChooser chooser(fixture.records.images, &fixture.start());
        QCOMPARE(chooser.windowTitle(), QStringLiteral("Add Input Files..."));
        QCOMPARE(chooser.size(), QSize(270, 160));
        const QList<QPushButton*> buttons = chooser.findChildren<QPushButton*>();
        QCOMPARE(buttons.size(), 2);
        QCOMPARE(buttons.at(0)->geometry(), QRect(30, 30, 80, 80));
        QCOMPARE(buttons.at(1)->geometry(), QRect(160, 30, 80, 80));
        QCOMPARE(buttons.at(0)->accessibleName(), QStringLiteral("Add Input File..."));
        QCOMPARE(buttons.at(1)->accessibleName(), QStringLiteral("Add Input Folder..."));
        QVERIFY(!buttons.at(0)->icon().isNull());
        QVERIFY(!buttons.at(1)->icon().isNull());
        QVERIFY(buttons.at(0)->isEnabled());
        QVERIFY(buttons.at(1)->isEnabled());
        QStringList captions;
        for (const QLabel* label : chooser.findChildren<QLabel*>()) {
            captions << label->text();
        }
        QCOMPARE(captions, (QStringList{"Add Input File...", "Add Input Folder..."}));
    }

    void aButtonEndsTheChooserWithItsCommand_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("command");
        QTest::newRow("files") << 0 << int(Command::SelectInputFiles);
        QTest::newRow("folder") << 1 << int(Command::SelectInputFolder);
    }
    void aButtonEndsTheChooserWithItsCommand()
    {
        QFETCH(int, button);
        QFETCH(int, command);
        WindowFixture fixture;
        AddChooser chooser(fixture.records.images, &fixture.start());
        QPushButton* pressed = chooser.findChildren<QPushButton*>().at(button);
        pressed->setEnabled(true); // as it is once the command is part of the program
        QTimer::singleShot(0, pressed, [pressed] { QTest::mouseClick(pressed, Qt::LeftButton); });
        QCOMPARE(chooser.exec(), int(QDialog::Accepted));
        QCOMPARE(chooser.chosenCommand(), std::optional<Command>(static_cast<Command>(command)));
    }

    void escapeClosesWithoutAChoiceAndTheWindowIsUsableAgain()
    {
        WindowFixture fixture;
        MainWindow& window = fixture.start();
        bool wasModal = false;
        QTimer::singleShot(0, &window, [&wasModal] {
            QWidget* chooser = QApplication::activeModalWidget();
            wasModal = qobject_cast<AddChooser*>(chooser) != nullptr;
            QTest::keyClick(chooser, Qt::Key_Escape);
        });
        window.showAddDialog();
        QVERIFY(wasModal);
        QVERIFY(QApplication::activeModalWidget() == nullptr);
        QVERIFY(window.findChild<AddChooser*>() == nullptr);
    }
};

std::unique_ptr<QObject> makeAddChooserTest()
{
    return std::make_unique<AddChooserTest>();
}

#include "add_chooser_test.moc"
