#include "online/update_check.h"

#include "app/endpoints.h"
#include "app/message_catalogue.h"
#include "app/program_info.h"
#include "app/setting_choices.h"
#include "online/web_addresses.h"

namespace {

constexpr int monthly = 30;
constexpr std::int64_t secondsPerDay = 24 * 60 * 60;

QString userAgent()
{
    return programTitle();
}

} // namespace

UpdateSource configuredUpdateSource()
{
    return UpdateSource{QString::fromUtf8(updateInformationUrl)};
}

int publishedVersion(const QString& reply)
{
    int value = 0;
    for (const QChar c : reply) {
        if (c < u'0' || c > u'9') {
            break;
        }
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}

UpdateCheckOutcome checkForUpdates(const UpdateCheckDialogs& dialogs, const UpdateSource& source)
{
    const int version = publishedVersion(getUpdateReply(source.url, userAgent(), source.waitLimit));
    if (version == 0) {
        dialogs.showError(message(QStringLiteral("Msg/Internet connection problems")));
        return UpdateCheckOutcome::ConnectionProblem;
    }
    if (version > programVersion) {
        if (dialogs.askQuestion(message(QStringLiteral("Msg/New Update")),
                                message(QStringLiteral("Msg/New Update Text")))) {
            dialogs.openDocument(productPageAddress());
        }
        return UpdateCheckOutcome::NewVersion;
    }
    dialogs.showInformation(message(QStringLiteral("Msg/No Update")), message(QStringLiteral("Msg/No Update Text")));
    return UpdateCheckOutcome::UpToDate;
}

int updateIntervalDays(std::int32_t updateRange)
{
    // A stored number outside the list (a hand-edited file) checks monthly, as the default does.
    return choiceValue(updateIntervals, updateRange, monthly);
}

void autoUpdateCheck(GeneralSettings& general, std::int32_t nowLocalSeconds, const UpdateCheckDialogs& dialogs,
                     const UpdateSource& source)
{
    const int days = updateIntervalDays(general.updateRange);
    if (days == 0) {
        return;
    }
    // The stored dates carry no zone offset, so a calendar day is always 86400 of their seconds.
    // 64-bit sums: a stored date near the end of the 32-bit range must not wrap into the past.
    const std::int64_t due = std::int64_t{general.updateDate} + days * secondsPerDay;
    if (nowLocalSeconds <= due) {
        return;
    }
    if (dialogs.askQuestion(message(QStringLiteral("Msg/Check for Updates")),
                            message(QStringLiteral("Msg/Ask check for updates")))) {
        checkForUpdates(dialogs, source);
    }
    general.updateDate = nowLocalSeconds;
}
