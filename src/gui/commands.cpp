#include "gui/commands.h"

#include "app/message_catalogue.h"

#include <QLatin1String>

#include <algorithm>

namespace {

constexpr CommandInfo commands[] = {
    {Command::New, "Menu/New", "New", "Ctrl+N"},
    {Command::Exit, "Menu/Exit", "Exit", "Alt+X"},
    {Command::AddChooser, "Menu/Select Input Files", "Add", nullptr},
    {Command::SelectInputFiles, "Menu/Select Input File", "InFiles", nullptr},
    {Command::SelectInputFolder, "Menu/Select Input Folder", "InFolder", nullptr},
    {Command::SelectOutputFolder, "Menu/Select Output Folder", "OutFolder", nullptr},
    {Command::OutputFormatOptions, "Menu/Output Format Options", "OutFormat", nullptr},
    {Command::ImportList, "Menu/Import Input Files", "ImportFiles", nullptr},
    {Command::ExportList, "Menu/Export Input Files", "ExportFiles", nullptr},
    {Command::Copy, "Menu/Copy", "Copy", "Ctrl+C"},
    {Command::Delete, "Menu/Delete", "Delete", "Ctrl+Del"},
    {Command::SelectAll, "Menu/Select All", "SelectAll", "Ctrl+A"},
    {Command::Convert, "Menu/Convert", "Convert", "F5"},
    {Command::CustomConverter, "Menu/Custom Converter", "CustomConverter", nullptr},
    {Command::Preferences, "Menu/Preferences", "Preferences", nullptr},
    {Command::Manual, "Menu/Manual", "Help", "F1"},
    {Command::SendFeedback, "Menu/Send Feedback", "Email", nullptr},
    {Command::VisitHomepage, "Menu/Visit Homepage", "Web", nullptr},
    {Command::CheckForNewVersion, "Menu/Check For New Version", "Updates", nullptr},
    {Command::About, "Menu/About", "About", nullptr},
    // The pictures of related commands serve these, so every theme pack shows them.
    {Command::Preview, "Menu/Preview", "OutFormat", "F6"},
    {Command::SaveProfile, "Menu/Save Profile", "ExportFiles", nullptr},
    {Command::LoadProfile, "Menu/Load Profile", "ImportFiles", nullptr},
    {Command::CopyCommandLine, "Menu/Copy Command Line", "Copy", nullptr},
};

constexpr MenuRow separator{};

constexpr MenuRow fileMenu[] = {
    {Command::New},
    separator,
    {Command::AddChooser},
    {Command::SelectOutputFolder},
    separator,
    {Command::ImportList},
    {Command::ExportList},
    separator,
    {Command::Exit},
};
constexpr MenuRow editMenu[] = {{Command::Copy}, {Command::Delete}, separator, {Command::SelectAll}};
constexpr MenuRow converterMenu[] = {
    {Command::Convert},     separator,
    {Command::Preview},     separator,
    {Command::CustomConverter}, separator,
    {Command::Preferences}, separator,
    {Command::SaveProfile}, {Command::LoadProfile},
    {Command::CopyCommandLine},
};
constexpr MenuRow fileListMenu[] = {
    {Command::Copy}, {Command::Delete}, separator, {Command::SelectAll}, separator, {Command::Preview},
};
constexpr MenuRow helpMenu[] = {
    {Command::Manual},
    separator,
    {Command::SendFeedback},
    {Command::VisitHomepage},
    {Command::CheckForNewVersion},
    separator,
    {Command::About},
};

constexpr MenuDefinition menuBar[] = {
    {"Menu/File", fileMenu},
    {"Menu/Edit", editMenu},
    {"Menu/Converter", converterMenu},
    {"Menu/Help", helpMenu},
};

constexpr MenuRow toolbar[] = {
    {Command::New},
    {Command::AddChooser},
    {Command::SelectOutputFolder},
    separator,
    {Command::Preferences},
    separator,
    {Command::Convert},
    separator,
    {Command::Manual},
    {Command::SendFeedback},
    {Command::VisitHomepage},
    {Command::CheckForNewVersion},
};

} // namespace

std::span<const CommandInfo> commandTable()
{
    return commands;
}

const CommandInfo& commandInfo(Command command)
{
    const auto* found = std::find_if(std::begin(commands), std::end(commands),
                                     [command](const CommandInfo& info) { return info.command == command; });
    // Every enumerator has its row; the command table test holds that.
    return *found;
}

std::optional<Command> commandFromNumber(int number)
{
    for (const CommandInfo& info : commands) {
        if (static_cast<int>(info.command) == number) {
            return info.command;
        }
    }
    return std::nullopt;
}

QString commandLabel(Command command)
{
    const char* key = commandInfo(command).labelKey;
    return key != nullptr ? message(QLatin1String(key)) : QString();
}

bool actsOnFileList(Command command)
{
    return command == Command::Copy || command == Command::Delete || command == Command::SelectAll;
}

std::span<const MenuDefinition> menuBarDefinition()
{
    return menuBar;
}

std::span<const MenuRow> contextMenuDefinition()
{
    return fileListMenu;
}

std::span<const MenuRow> mainToolbarDefinition()
{
    return toolbar;
}
