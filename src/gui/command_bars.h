#pragma once

#include "gui/commands.h"
#include "themes/image_sets.h"

#include <QIcon>

#include <functional>

class QMenu;
class QMenuBar;
class QToolBar;
class QToolButton;
class QWidget;

// Menus, toolbars and buttons built from the command table. Every item raises its command through
// `raise`; items of commands that are not available yet are shown disabled. Each item carries its
// command number as its data.
using CommandSink = std::function<void(Command)>;

// Replaces the menus of the bar; items show their 16-pixel icon and their shortcut text.
void fillMenuBar(QMenuBar& bar, const ImageSets& images, const CommandSink& raise);
// Replaces the items of the file list's context menu (Copy, Delete, Select All).
void fillContextMenu(QMenu& menu, const ImageSets& images, const CommandSink& raise);
// Replaces the buttons of the main toolbar; pictures from the toolbar set at `pixels` square.
void fillMainToolbar(QToolBar& toolbar, const ImageSets& images, int pixels, const CommandSink& raise);

// A flat 24-pixel button with the command's 16-pixel icon and its label as tooltip and name.
QToolButton* makeCommandButton(Command command, const ImageSets& images, QWidget* parent, const CommandSink& raise);
// Gives such a button its current icon again.
void refreshCommandButton(QToolButton& button, Command command, const ImageSets& images);

// The 16-pixel icon of a name.
QIcon smallIcon(const ImageSets& images, const QString& name);
