#include "app/message_catalogue.h"
#include "app/program_info.h"
#include "online/update_check.h"
#include "online/web_addresses.h"
#include "support/reply_server.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <limits>

namespace {

using namespace std::chrono_literals;

// A short limit keeps the tests of a silent server quick; the normal one is ten seconds.
constexpr std::chrono::milliseconds testWaitLimit = 400ms;

// What the check showed and opened, in place of the windows.
struct ShownDialogs {
    QStringList shown; // "error: <text>", "information: <title>", "question: <title>"
    QStringList opened;
    bool answer = true;

    UpdateCheckDialogs hooks()
    {
        return UpdateCheckDialogs{
            [this](const QString& text) { shown << "error: " + text; },
            [this](const QString& title, const QString&) { shown << "information: " + title; },
            [this](const QString& title, const QString&) {
                shown << "question: " + title;
                return answer;
            },
            [this](const QString& address) { opened << address; },
        };
    }
};

UpdateSource localSource(int port, const QString& path = QStringLiteral("/files/tessaline.dat"))
{
    return UpdateSource{QStringLiteral("http://127.0.0.1:%1%2").arg(port).arg(path), testWaitLimit};
}

QByteArray replyWithBody(const QByteArray& body)
{
    return "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n" + body;
}

const QString connectionProblem = QStringLiteral("error: Internet connection problems!");
const QString newUpdate = QStringLiteral("question: New Update");
const QString noUpdate = QStringLiteral("information: No Update");

struct BodyCase {
    QByteArray body;
    UpdateCheckOutcome outcome;
    QString shown;
};

void PrintTo(const BodyCase& c, std::ostream* out)
{
    *out << '"' << c.body.toStdString() << '"';
}

class UpdateCheckBody : public testing::TestWithParam<BodyCase> {};

TEST_P(UpdateCheckBody, PublishedVersionDecidesWhatTheUserIsTold)
{
    const BodyCase& c = GetParam();
    ReplyServer server({{replyWithBody(c.body)}});
    ShownDialogs dialogs;
    dialogs.answer = false;
    EXPECT_EQ(checkForUpdates(dialogs.hooks(), localSource(server.port())), c.outcome);
    EXPECT_EQ(dialogs.shown, QStringList{c.shown});
    EXPECT_TRUE(dialogs.opened.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Bodies, UpdateCheckBody,
                         testing::Values(BodyCase{"261", UpdateCheckOutcome::NewVersion, newUpdate},
                                         BodyCase{"  300 and some notes\r\n", UpdateCheckOutcome::NewVersion,
                                                  newUpdate},
                                         BodyCase{"2619", UpdateCheckOutcome::NewVersion, newUpdate}, // "261" counts
                                         BodyCase{"260", UpdateCheckOutcome::UpToDate, noUpdate},
                                         BodyCase{"099", UpdateCheckOutcome::UpToDate, noUpdate},
                                         BodyCase{"26", UpdateCheckOutcome::UpToDate, noUpdate},
                                         BodyCase{"abc", UpdateCheckOutcome::ConnectionProblem, connectionProblem},
                                         BodyCase{"-261", UpdateCheckOutcome::ConnectionProblem, connectionProblem},
                                         BodyCase{"000", UpdateCheckOutcome::ConnectionProblem, connectionProblem},
                                         BodyCase{"", UpdateCheckOutcome::ConnectionProblem, connectionProblem}));

TEST(UpdateCheck, YesToTheNewVersionOpensTheProductPage)
{
    ReplyServer server({{replyWithBody("261")}});
    ShownDialogs dialogs;
    EXPECT_EQ(checkForUpdates(dialogs.hooks(), localSource(server.port())), UpdateCheckOutcome::NewVersion);
    EXPECT_EQ(dialogs.opened, QStringList{productPageAddress()});
    EXPECT_TRUE(productPageAddress().endsWith("/tessaline/"));
}

TEST(UpdateCheck, SendsTheRequestByteForByte)
{
    ReplyServer server({{replyWithBody("260")}});
    ShownDialogs dialogs;
    checkForUpdates(dialogs.hooks(), localSource(server.port()));
    EXPECT_EQ(server.request().toStdString(), "GET /files/tessaline.dat HTTP/1.0\r\n"
                                              "Host: 127.0.0.1\r\n"
                                              "Accept: */*\r\n"
                                              "User-Agent: Tessaline 2.6\r\n"
                                              "Connection: close\r\n\r\n");
}

TEST(UpdateCheck, EmptyUserAgentAndEmptyPathGetTheirStandIns)
{
    ReplyServer server({{replyWithBody("261")}});
    EXPECT_EQ(getUpdateReply(QStringLiteral("http://127.0.0.1:%1").arg(server.port()), QString(), testWaitLimit),
              "261");
    EXPECT_EQ(server.request().toStdString(), "GET / HTTP/1.0\r\n"
                                              "Host: 127.0.0.1\r\n"
                                              "Accept: */*\r\n"
                                              "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; en)\r\n"
                                              "Connection: close\r\n\r\n");
}

TEST(UpdateCheck, ReplyInSeveralSegmentsIsJoined)
{
    ReplyServer server({{"HTTP/1.0 200 OK\r\n", "Content-Length: 4\r\n\r", "\n2", "6", "2\r\n"}});
    EXPECT_EQ(getUpdateReply(localSource(server.port()).url, programTitle(), testWaitLimit), "262");
}

TEST(UpdateCheck, NoServerIsAConnectionProblem)
{
    ShownDialogs dialogs;
    EXPECT_EQ(checkForUpdates(dialogs.hooks(), localSource(ReplyServer::closedPort())),
              UpdateCheckOutcome::ConnectionProblem);
    EXPECT_EQ(dialogs.shown, QStringList{connectionProblem});
}

TEST(UpdateCheck, EmptyUrlOrUrlWithoutHostGivesNothing)
{
    for (const QString& url : {QString(), QStringLiteral("files/tessaline.dat"), QStringLiteral("http://")}) {
        EXPECT_EQ(getUpdateReply(url, programTitle(), testWaitLimit), QString()) << url.toStdString();
    }
}

// A server that accepts and says nothing, or stops half-way, holds the check no longer than the
// limit; what has arrived by then is used.
TEST(UpdateCheck, SilentOrStalledServerIsGivenUpAfterTheLimit)
{
    struct Case {
        QList<QByteArray> segments;
        QString expected;
    };
    const Case cases[] = {
        {{}, QString()},
        {{"HTTP/1.0 200 OK\r\n"}, QString()},
        {{replyWithBody("263")}, QStringLiteral("263")},
    };
    for (const Case& c : cases) {
        ReplyServer server({c.segments, /*closeAfterSegments=*/false});
        QElapsedTimer clock;
        clock.start();
        EXPECT_EQ(getUpdateReply(localSource(server.port()).url, programTitle(), testWaitLimit), c.expected);
        EXPECT_GE(clock.elapsed(), testWaitLimit.count());
    }
}

TEST(UpdateCheck, ReplyLongerThanTheBufferIsCutAtTheBuffer)
{
    // The body starts inside the buffer: its first three characters count.
    ReplyServer longBody({{replyWithBody("264" + QByteArray(5000, 'x'))}});
    EXPECT_EQ(getUpdateReply(localSource(longBody.port()).url, programTitle(), testWaitLimit), "264");

    // The header alone fills the buffer: no blank line arrives, so there is no body.
    const QByteArray longHeader = "HTTP/1.0 200 OK\r\nX-Filler: " + QByteArray(3000, 'y') + "\r\n";
    ReplyServer noBody({{replyWithBody("265").prepend(longHeader)}});
    EXPECT_EQ(getUpdateReply(localSource(noBody.port()).url, programTitle(), testWaitLimit), QString());
}

TEST(UpdateReply, BodyIsTakenBetweenTheFirstTwoBlankLines)
{
    struct Case {
        QByteArray received;
        QString expected;
    };
    const Case cases[] = {
        {"HTTP/1.0 200 OK\r\n\r\n261", "261"},
        {"HTTP/1.0 200 OK\r\n\r\n \t 261 \r\n", "261"},
        {"HTTP/1.0 200 OK\r\n\r\n26\r\n\r\n1", "26"},
        {"HTTP/1.0 200 OK\r\n\r\n\r\n\r\n261", ""},
        {"HTTP/1.0 404 Not Found\r\n\r\n404 page", "404"}, // the status line is not looked at
        {"HTTP/1.0 200 OK\r\n261", ""},                    // no blank line, no body
        {"", ""},
        {QByteArray("HTTP/1.0 200 OK\r\n\r\n2\0"
                    "61",
                    22),
         "2"},                                               // text ends at a zero byte
        {QByteArray("HTTP/1.0 200\0OK\r\n\r\n261", 21), ""}, // before the blank line
        {"HTTP/1.0 200 OK\r\n\r\n\xff\xfe"
         "261",
         QString::fromLatin1("\xff\xfe"
                             "2")}, // bytes as they are
        {"HTTP/1.0 200 OK\r\n\r\n" + QByteArray(3000, '7'), "777"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(versionTextOfReply(c.received), c.expected) << c.received.left(40).toStdString();
    }
}

// Dates in the settings' encoding; the check at start-up compares them in calendar days.
constexpr std::int32_t day = 24 * 60 * 60;
constexpr std::int32_t now = 1796896800; // 2026-12-10 10:00 as a settings date

struct IntervalCase {
    std::int32_t range;
    std::int32_t daysAgo;
    bool asks;
};

void PrintTo(const IntervalCase& c, std::ostream* out)
{
    *out << "range " << c.range << ", " << c.daysAgo << " days ago";
}

class AutoUpdateCheck : public testing::TestWithParam<IntervalCase> {};

TEST_P(AutoUpdateCheck, AsksOnlyWhenTheIntervalHasPassedAndThenStoresTheDate)
{
    const IntervalCase& c = GetParam();
    GeneralSettings general;
    general.updateRange = c.range;
    general.updateDate = now - c.daysAgo * day;
    ShownDialogs dialogs;
    dialogs.answer = false;
    autoUpdateCheck(general, now, dialogs.hooks(), localSource(ReplyServer::closedPort()));
    if (c.asks) {
        EXPECT_EQ(dialogs.shown, QStringList{"question: Check for Updates"});
        EXPECT_EQ(general.updateDate, now);
    } else {
        EXPECT_TRUE(dialogs.shown.isEmpty());
        EXPECT_EQ(general.updateDate, now - c.daysAgo * day);
    }
}

INSTANTIATE_TEST_SUITE_P(Intervals, AutoUpdateCheck,
                         testing::Values(IntervalCase{2, 31, true}, IntervalCase{2, 29, false},
                                         IntervalCase{2, 30, false}, // exactly the interval: not later
                                         IntervalCase{0, 2, true}, IntervalCase{0, 0, false}, IntervalCase{1, 8, true},
                                         IntervalCase{1, 6, false}, IntervalCase{3, 91, true},
                                         IntervalCase{4, 179, false}, IntervalCase{4, 181, true},
                                         IntervalCase{9, 31, true}, IntervalCase{5, 31, false},
                                         IntervalCase{5, 5000, false}));

TEST(AutoUpdateCheckAnswer, YesRunsTheCheckAndAFailedCheckStillStoresTheDate)
{
    GeneralSettings general;
    general.updateRange = 2;
    general.updateDate = now - 31 * day;
    ShownDialogs dialogs;
    autoUpdateCheck(general, now, dialogs.hooks(), localSource(ReplyServer::closedPort()));
    EXPECT_EQ(dialogs.shown, (QStringList{"question: Check for Updates", connectionProblem}));
    EXPECT_EQ(general.updateDate, now);

    ReplyServer server({{replyWithBody("261")}});
    general.updateDate = now - 31 * day;
    dialogs.shown.clear();
    autoUpdateCheck(general, now, dialogs.hooks(), localSource(server.port()));
    EXPECT_EQ(dialogs.shown, (QStringList{"question: Check for Updates", newUpdate}));
    EXPECT_EQ(dialogs.opened, QStringList{productPageAddress()});
}

TEST(AutoUpdateCheckAnswer, StoredDateNearTheEndOfItsRangeDoesNotWrapIntoThePast)
{
    GeneralSettings general;
    general.updateRange = 4;
    general.updateDate = std::numeric_limits<std::int32_t>::max() - day;
    ShownDialogs dialogs;
    autoUpdateCheck(general, now, dialogs.hooks(), localSource(ReplyServer::closedPort()));
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

} // namespace
