// The commands of the Help and Converter menus that lead outside: the manual, the mail and web
// links, the converter finder, About and the update check, on demand and at the start.
#include "app/endpoints.h"
#include "app/local_time.h"
#include "gui/about_window.h"
#include "gui/converter_finder.h"
#include "gui_fixture.h"
#include "online/web_addresses.h"
#include "support/reply_server.h"
#include "url_catcher.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace {

using namespace std::chrono_literals;

// Acts on each modal window that opens while it lives, and remembers each one's title.
class ModalWatcher : public QObject {
  public:
    explicit ModalWatcher(std::function<void(QWidget&)> act) : act_(std::move(act))
    {
        connect(&timer_, &QTimer::timeout, this, [this] {
            if (QWidget* modal = QApplication::activeModalWidget(); modal != nullptr && modal != last_) {
                last_ = modal;
                titles << modal->windowTitle();
                act_(*modal);
            }
        });
        timer_.start(10);
    }
    QStringList titles;

  private:
    std::function<void(QWidget&)> act_;
    QWidget* last_ = nullptr;
    QTimer timer_;
};

// Answers a message box with its Escape button (No, or OK) or with Yes.
std::function<void(QWidget&)> answerBoxes(bool yes)
{
    return [yes](QWidget& modal) {
        if (auto* box = qobject_cast<QMessageBox*>(&modal)) {
            (yes && box->button(QMessageBox::Yes) != nullptr ? box->button(QMessageBox::Yes) : box->escapeButton())
                ->click();
        }
    };
}

UpdateSource serverSource(int port)
{
    return UpdateSource{QStringLiteral("http://127.0.0.1:%1/files/tessaline.dat").arg(port), 400ms};
}

QByteArray replyWithBody(const QByteArray& body)
{
    return "HTTP/1.0 200 OK\r\n\r\n" + body;
}

constexpr std::int32_t day = 24 * 60 * 60;

} // namespace

class HelpCommandsTest : public QObject {
    Q_OBJECT

  private slots:
    void mailAndWebLinks()
    {
        WindowFixture fixture;
        MainWindow& window = fixture.start();
        UrlCatcher catcher;
        window.dispatch(Command::SendFeedback);
        window.dispatch(Command::VisitHomepage);
        QCOMPARE(catcher.opened, (QList<QUrl>{QUrl(feedbackMailAddress()), QUrl(productPageAddress())}));
    }

    // The tests' own folder has no manual: F1 opens nothing and says nothing.
    void missingManualOpensNothing()
    {
        WindowFixture fixture;
        MainWindow& window = fixture.start();
        UrlCatcher catcher;
        const ModalWatcher watcher(answerBoxes(false));
        window.dispatch(Command::Manual);
        QTest::qWait(50);
        QVERIFY(catcher.opened.isEmpty());
        QVERIFY(watcher.titles.isEmpty());
    }

    void converterFinderFromTheMenu()
    {
        WindowFixture fixture;
        MainWindow& window = fixture.start();
        UrlCatcher catcher;
        const ModalWatcher watcher([](QWidget& modal) {
            auto* finder = qobject_cast<ConverterFinder*>(&modal);
            QVERIFY(finder != nullptr);
            finder->sourceField().setText(".JPG");
            finder->targetField().setText(" png ");
            finder->searchButton().click();
        });
        window.dispatch(Command::CustomConverter);
        QCOMPARE(watcher.titles, QStringList{"Find a File Converter"});
        QCOMPARE(catcher.opened, QList<QUrl>{QUrl(QString::fromUtf8(makerWebSite) + "/find/jpg-png/")});
        QVERIFY(window.isEnabled());
    }

    void aboutFromTheMenuShowsTheBanner()
    {
        WindowFixture fixture;
        MainWindow& window = fixture.start();
        QImage shown;
        const ModalWatcher watcher([&shown](QWidget& modal) {
            auto* about = qobject_cast<AboutWindow*>(&modal);
            QVERIFY(about != nullptr);
            for (const QLabel* label : about->findChildren<QLabel*>()) {
                if (!label->pixmap().isNull()) {
                    shown = label->pixmap().toImage();
                }
            }
            about->okButton().click();
        });
        window.dispatch(Command::About);
        QCOMPARE(watcher.titles, QStringList{"About..."});
        QCOMPARE(shown.convertToFormat(QImage::Format_ARGB32),
                 fixture.records.images.aboutBanner().convertToFormat(QImage::Format_ARGB32));
    }

    void checkForNewVersion_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<int>("pagesOpened");
        QTest::newRow("newer, Yes") << QByteArray("261") << true << QStringList{"New Update"} << 1;
        QTest::newRow("newer, No") << QByteArray("261") << false << QStringList{"New Update"} << 0;
        QTest::newRow("the same") << QByteArray("260") << true << QStringList{"No Update"} << 0;
        QTest::newRow("not a number") << QByteArray("abc") << true << QStringList{"Error"} << 0;
    }

    void checkForNewVersion()
    {
        QFETCH(QByteArray, body);
        QFETCH(bool, yes);
        QFETCH(QStringList, titles);
        QFETCH(int, pagesOpened);
        WindowFixture fixture;
        MainWindow& window = fixture.start();
        ReplyServer server({{replyWithBody(body)}});
        window.setUpdateSource(serverSource(server.port()));
        UrlCatcher catcher;
        const ModalWatcher watcher(answerBoxes(yes));
        window.dispatch(Command::CheckForNewVersion);
        QCOMPARE(watcher.titles, titles);
        QCOMPARE(catcher.opened.size(), pagesOpened);
    }

    void automaticCheckAtTheStart_data()
    {
        QTest::addColumn<int>("daysAgo");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("asks");
        QTest::newRow("31 days") << 31 << QString() << true;
        QTest::newRow("29 days") << 29 << QString() << false;
        QTest::newRow("screenshot mode") << 31 << QStringLiteral("T") << false;
    }

    void automaticCheckAtTheStart()
    {
        QFETCH(int, daysAgo);
        QFETCH(QString, mode);
        QFETCH(bool, asks);
        WindowFixture fixture;
        fixture.records.settings.general.updateRange = 2;
        const std::int32_t before = localSecondsNow();
        const std::int32_t stored = before - daysAgo * day;
        fixture.records.settings.general.updateDate = stored;
        fixture.records.job.mode = mode;
        fixture.window = std::make_unique<MainWindow>(fixture.records);
        fixture.window->setUpdateSource(serverSource(ReplyServer::closedPort()));
        const ModalWatcher watcher(answerBoxes(false));
        fixture.window->completeWindowedStart();
        QCOMPARE(watcher.titles, asks ? QStringList{"Check for Updates"} : QStringList{});
        if (asks) {
            QVERIFY(fixture.records.settings.general.updateDate >= before);
        } else {
            QCOMPARE(fixture.records.settings.general.updateDate, stored);
        }
    }
};

std::unique_ptr<QObject> makeHelpCommandsTest()
{
    return std::make_unique<HelpCommandsTest>();
}

#include "help_commands_test.moc"
