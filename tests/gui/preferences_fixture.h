#pragma once

#include "app/config_file.h"
#include "gui/preferences_dialog.h"
#include "gui_fixture.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QWidget>

#include <deque>

// Answers for the system dialogs the Preferences dialog opens, given in advance; records what
// the dialogs were asked.
struct PickerScript {
    std::deque<std::optional<QColor>> colours;
    std::deque<std::optional<QFont>> fonts;
    std::deque<QString> files;
    std::deque<bool> answers;
    QColor colourAsked;
    QFont fontAsked;
    QString fileTitle;
    QString fileStart;
    QStringList fileFilters;
    QString question;

    PreferencePickers pickers()
    {
        PreferencePickers pickers;
        pickers.pickColour = [this](QWidget*, const QColor& initial) {
            colourAsked = initial;
            return takeFirst(colours, std::optional<QColor>());
        };
        pickers.pickFont = [this](QWidget*, const QFont& initial) {
            fontAsked = initial;
            return takeFirst(fonts, std::optional<QFont>());
        };
        pickers.pickFile = [this](QWidget*, const QString& title, const QString& start, const QStringList& filters) {
            fileTitle = title;
            fileStart = start;
            fileFilters = filters;
            return takeFirst(files, QString());
        };
        pickers.askYesNo = [this](const QString& title, const QString& text) {
            question = title + QLatin1Char('|') + text;
            return takeFirst(answers, false);
        };
        return pickers;
    }

  private:
    template <typename T> static T takeFirst(std::deque<T>& queue, T none)
    {
        if (queue.empty()) {
            return none;
        }
        T first = queue.front();
        queue.pop_front();
        return first;
    }
};

// A main window over records that save to a configuration file of their own, with scripted pickers.
struct PreferencesFixture : WindowFixture {
    PreferencesFixture() { records.configPath = scratch.filePath(QStringLiteral("config.ini")); }

    // Starts the window when needed and raises the command; returns the dialog it opened.
    PreferencesDialog& open(Command command = Command::Preferences)
    {
        if (!window) {
            start();
        }
        window->setPreferencePickers(script.pickers());
        // A dialog closed earlier is deleted at the next turn of the event loop.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        window->dispatch(command);
        return *window->findChild<PreferencesDialog*>();
    }

    bool dialogIsOpen() const
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return window->findChild<PreferencesDialog*>() != nullptr;
    }

    bool saved() const { return QFileInfo::exists(records.configPath); }

    // The settings as the configuration file holds them.
    Settings savedSettings() const
    {
        Settings settings;
        loadConfiguration(settings, records.configPath);
        return settings;
    }

    QTemporaryDir scratch;
    PickerScript script;
};

// The control of type W in the row that edits `setting` (the n-th of that type).
template <typename W> W* control(const PreferencesDialog& dialog, const char* setting, int n = 0)
{
    PreferenceBinder* binder = dialog.binder(QLatin1String(setting));
    if (binder == nullptr) {
        return nullptr;
    }
    const QList<W*> found = binder->rowWidget()->findChildren<W*>();
    return n < found.size() ? found.at(n) : nullptr;
}
