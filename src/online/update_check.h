#pragma once

#include "app/settings.h"
#include "online/update_reply.h"

#include <QString>

#include <chrono>
#include <cstdint>
#include <functional>

// The check for a newer version, on demand and at the windowed start. It runs on the interface
// thread; the boxes it shows and the page it opens come from the caller, so that this library
// needs no windows of its own.
struct UpdateCheckDialogs {
    std::function<void(const QString& text)> showError;
    std::function<void(const QString& title, const QString& text)> showInformation;
    std::function<bool(const QString& title, const QString& text)> askQuestion; // true for Yes
    std::function<void(const QString& address)> openDocument;
};

// Where the update information comes from and how long its reply may take.
struct UpdateSource {
    QString url;
    std::chrono::milliseconds waitLimit = updateReplyWaitLimit;
};
// The configured update information URL with the normal limit.
UpdateSource configuredUpdateSource();

enum class UpdateCheckOutcome {
    ConnectionProblem, // no reply, or one that does not start with a number
    NewVersion,        // the published version is newer than this one
    UpToDate,
};

// The decimal value of the digits a reply starts with; 0 when it starts with something else.
int publishedVersion(const QString& reply);

// The manual check: fetches the published version, compares it with this one and tells the user;
// on a newer version a Yes opens the product page.
UpdateCheckOutcome checkForUpdates(const UpdateCheckDialogs& dialogs, const UpdateSource& source);

// Days between automatic checks for a `General/Update Range` value: 0..4 give 1, 7, 30, 90 and
// 180, 5 (never) gives 0, any other value 30.
int updateIntervalDays(std::int32_t updateRange);

// The check at the windowed start: when the interval has passed since `General/Update Date`, asks
// whether to check, checks on Yes, and stores `nowLocalSeconds` as the new date whatever the answer.
// `nowLocalSeconds` is in the settings' date encoding (app/local_time.h).
void autoUpdateCheck(GeneralSettings& general, std::int32_t nowLocalSeconds, const UpdateCheckDialogs& dialogs,
                     const UpdateSource& source);
