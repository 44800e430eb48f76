// The message boxes: title, icon, buttons and answer of each kind.
#include "gui/message_boxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

Q_DECLARE_METATYPE(std::function<void()>)

namespace {

struct SeenBox {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
};

// Shows a box through `show`, looks at it while it is open and answers with `answer`.
SeenBox showAndAnswer(const std::function<void()>& show, QMessageBox::StandardButton answer)
{
    SeenBox seen;
    QTimer::singleShot(0, [&seen, answer] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            return;
        }
        seen = {box->windowTitle(), box->text(), box->icon(), box->standardButtons()};
        box->button(answer)->click();
    });
    show();
    return seen;
}

} // namespace

class MessageBoxTest : public QObject {
    Q_OBJECT

  private slots:
    void boxesWithOk_data()
    {
        QTest::addColumn<std::function<void()>>("show");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("icon");
        QTest::newRow("warning") << std::function<void()>([] { showWarning(QStringLiteral("text")); }) << "Warning"
                                 << int(QMessageBox::Warning);
        QTest::newRow("error") << std::function<void()>([] { showError(QStringLiteral("text")); }) << "Error"
                               << int(QMessageBox::Critical);
        QTest::newRow("information") << std::function<void()>([] {
            showInformation(QStringLiteral("No Update"), QStringLiteral("text"));
        }) << "No Update" << int(QMessageBox::Information);
    }
    void boxesWithOk()
    {
        QFETCH(std::function<void()>, show);
        QFETCH(QString, title);
        QFETCH(int, icon);
        const SeenBox seen = showAndAnswer(show, QMessageBox::Ok);
        QCOMPARE(seen.title, title);
        QCOMPARE(seen.text, QStringLiteral("text"));
        QCOMPARE(int(seen.icon), icon);
        QCOMPARE(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    }

    void questionsAnswerTrueForYes_data()
    {
        QTest::addColumn<bool>("warning");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("expected");
        QTest::newRow("question, yes") << false << int(QMessageBox::Yes) << true;
        QTest::newRow("question, no") << false << int(QMessageBox::No) << false;
        QTest::newRow("warning, yes") << true << int(QMessageBox::Yes) << true;
        QTest::newRow("warning, no") << true << int(QMessageBox::No) << false;
    }
    void questionsAnswerTrueForYes()
    {
        QFETCH(bool, warning);
        QFETCH(int, answer);
        QFETCH(bool, expected);
        bool result = !expected;
        const SeenBox seen = showAndAnswer(
            [&] {
                result = warning ? askWarning(QStringLiteral("Break?"))
                                 : askQuestion(QStringLiteral("Check for Updates"), QStringLiteral("Check?"));
            },
            QMessageBox::StandardButton(answer));
        QCOMPARE(result, expected);
        QCOMPARE(seen.title, warning ? QStringLiteral("Warning") : QStringLiteral("Check for Updates"));
        QCOMPARE(seen.icon, warning ? QMessageBox::Warning : QMessageBox::Question);
        QCOMPARE(seen.buttons, QMessageBox::Yes | QMessageBox::No);
    }

    void catalogueLineBreaksShowAsLineBreaks()
    {
        const SeenBox seen = showAndAnswer([] { showWarning(QStringLiteral("one\r\n\r\ntwo")); }, QMessageBox::Ok);
        QCOMPARE(seen.text, QStringLiteral("one\n\ntwo"));
    }
};

std::unique_ptr<QObject> makeMessageBoxTest()
{
    return std::make_unique<MessageBoxTest>();
}

#include "message_box_test.moc"
