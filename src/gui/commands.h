#pragma once

#include <QString>

#include <optional>
#include <span>

// The command numbers of the windowed mode. Menu items, toolbar buttons, the two one-button
// toolbars, keyboard shortcuts and the context menu all raise one of these, and MainWindow::dispatch
// is the one place that acts on it. The numbers are the ones the configuration and the user manual
// talk about; gaps are numbers nothing raises.
enum class Command : int {
    New = 0,
    Exit = 3,
    AddChooser = 4,        // the "Add" chooser window
    SelectInputFiles = 5,  // raised by the Add chooser only
    SelectInputFolder = 6, // raised by the Add chooser only
    SelectOutputFolder = 7,
    OutputFormatOptions = 8, // Preferences on its Output page
    ImportList = 9,
    ExportList = 10,
    Copy = 11,
    Delete = 12,
    SelectAll = 13,
    Convert = 14,
    CustomConverter = 16,
    Preferences = 17,
    Manual = 18,
    SendFeedback = 21,
    VisitHomepage = 22,
    CheckForNewVersion = 23,
    About = 24,
    Preview = 25,         // the preview window beside the main window
    SaveProfile = 26,     // the settings as a console profile
    LoadProfile = 27,     // a console profile applied to the settings
    CopyCommandLine = 28, // a console command converting the list, to the clipboard
};

// One row of the command table: everything the menus, toolbars and shortcuts need to show a command.
struct CommandInfo {
    Command command;
    const char* labelKey; // "Menu/..." catalogue name of the item label; nullptr when nothing shows it
    const char* icon;     // name in the icon and toolbar image sets; nullptr when nothing shows it
    const char* shortcut; // portable key sequence text ("Ctrl+N"); nullptr for none
};

// Every command, in number order.
std::span<const CommandInfo> commandTable();
const CommandInfo& commandInfo(Command command);

// The command a raised number stands for; nothing for a number no command has.
std::optional<Command> commandFromNumber(int number);

// The item label from the catalogue, without shortcut text; empty when the command has no label.
QString commandLabel(Command command);
// Copy, Delete and Select All: they act on the file list, only while it has the keyboard focus,
// and their keys are caught only there.
bool actsOnFileList(Command command);

// The menu bar: menus in order, each a title key and its items; Command-less rows are separators.
struct MenuRow {
    std::optional<Command> command; // nothing: separator
};
struct MenuDefinition {
    const char* titleKey;
    std::span<const MenuRow> rows;
};
std::span<const MenuDefinition> menuBarDefinition();
// The file list's context menu: Copy, Delete, separator, Select All, separator, Preview.
std::span<const MenuRow> contextMenuDefinition();
// The main toolbar, buttons in order; Command-less rows are separators.
std::span<const MenuRow> mainToolbarDefinition();
