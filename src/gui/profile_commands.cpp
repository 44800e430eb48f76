#include "gui/profile_commands.h"

#include "app/message_catalogue.h"
#include "engine/inputs/input_file_list.h"
#include "gui/console_forms.h"
#include "gui/desktop_records.h"
#include "gui/file_list_model.h"
#include "gui/message_boxes.h"
#include "gui/preferences_dialog.h"
#include "gui/requesters.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSaveFile>

namespace {

QString previewText(const char* key)
{
    return message(QStringLiteral("Preview/") + QLatin1String(key));
}

QString profileFilter()
{
    return requesterFilter(previewText("Profile Files"));
}

// Where profiles are proposed: beside the last list file, as the list commands do.
QString profileFolder(const DesktopRecords& records)
{
    const QFileInfo last(records.job.file.inputPath);
    return last.path().isEmpty() || records.job.file.inputPath.isEmpty() ? QString() : last.path() + QLatin1Char('/');
}

bool writeWhole(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

} // namespace

bool saveSettingsAsProfile(QWidget* parent, const DesktopRecords& records, const Requesters& requesters,
                           const ConsoleForms& forms)
{
    if (!forms.available()) {
        return false;
    }
    QString chosen = requesters.saveFile(parent, previewText("Save Profile"),
                                         profileFolder(records) + QStringLiteral("profile.ini"), profileFilter());
    if (chosen.isEmpty()) {
        return false;
    }
    if (QFileInfo(chosen).suffix().isEmpty()) {
        chosen += QStringLiteral(".ini");
    }
    if (!writeWhole(chosen, forms.profileText(records.settings))) {
        showWarning(substituteMessage(previewText("Profile Not Written"), chosen));
        return false;
    }
    return true;
}

bool loadProfileIntoSettings(QWidget* parent, DesktopRecords& records, const Requesters& requesters,
                             const ConsoleForms& forms, const std::function<void(int formatPosition)>& applied)
{
    if (!forms.available()) {
        return false;
    }
    const QString chosen =
        requesters.openFile(parent, previewText("Load Profile"), profileFolder(records), profileFilter());
    if (chosen.isEmpty()) {
        return false;
    }
    Settings loaded = records.settings;
    if (const QString error = forms.applyProfile(chosen, loaded); !error.isEmpty()) {
        showWarning(error + QStringLiteral(": ") + chosen);
        return false;
    }
    applyChosenSettings(records, std::move(loaded), applied);
    return true;
}

bool copyCommandLine(const ListAtHand& list, const DesktopRecords& records, const ConsoleForms& forms)
{
    if (!forms.available()) {
        return false;
    }
    if (list.rows.rowCount() == 0) {
        showWarning(message(QStringLiteral("Msg/Empty input files")));
        return false;
    }
    if (list.outputFolder.isEmpty()) {
        showWarning(message(QStringLiteral("Msg/Empty output folder")));
        return false;
    }
    QString input = list.rows.path(0);
    if (list.rows.rowCount() > 1) {
        if (!list.exportList()) {
            return false;
        }
        input = records.job.file.inputPath;
    }
    const QString program = forms.program.isEmpty() ? QCoreApplication::applicationFilePath() : forms.program;
    QGuiApplication::clipboard()->setText(
        forms.commandLine(program, input, list.outputFolder, list.outputKey, records.settings));
    return true;
}
