#include "gui/command_bars.h"

#include "app/message_catalogue.h"
#include "gui/theme_icons.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>

#include <span>

namespace {

constexpr int smallIconPixels = 16;
constexpr int commandButtonSize = 24;

QAction* makeAction(Command command, const QIcon& icon, const QString& text, QObject* parent, const CommandSink& raise)
{
    auto* action = new QAction(icon, text, parent);
    action->setData(static_cast<int>(command));
    action->setToolTip(commandLabel(command));
    // Toolbar buttons and screen readers name the button by this; the label exactly, dots included.
    action->setIconText(commandLabel(command));
    QObject::connect(action, &QAction::triggered, parent, [raise, command] { raise(command); });
    return action;
}

void fillMenu(QMenu& menu, std::span<const MenuRow> rows, const ImageSets& images, const CommandSink& raise)
{
    menu.clear();
    for (const MenuRow& row : rows) {
        if (!row.command) {
            menu.addSeparator();
            continue;
        }
        const CommandInfo& info = commandInfo(*row.command);
        QAction* action = makeAction(info.command, smallIcon(images, QLatin1String(info.icon)),
                                     commandLabel(info.command), &menu, raise);
        if (info.shortcut != nullptr) {
            // Shown beside the label only: the window's own shortcuts raise the command, so that
            // the Edit keys can be limited to the file list.
            action->setShortcut(QKeySequence(QLatin1String(info.shortcut)));
            action->setShortcutContext(Qt::WidgetShortcut);
        }
        menu.addAction(action);
    }
}

} // namespace

QIcon smallIcon(const ImageSets& images, const QString& name)
{
    return themeIcon(images, ImageSet::Icons, name, smallIconPixels);
}

void fillMenuBar(QMenuBar& bar, const ImageSets& images, const CommandSink& raise)
{
    // clear() leaves the menus the bar created alive; a rebuild must not pile them up.
    for (QAction* action : bar.actions()) {
        if (QMenu* menu = action->menu(); menu != nullptr && menu->parent() == &bar) {
            menu->deleteLater();
        }
    }
    bar.clear();
    for (const MenuDefinition& definition : menuBarDefinition()) {
        QMenu* menu = bar.addMenu(message(QLatin1String(definition.titleKey)));
        fillMenu(*menu, definition.rows, images, raise);
    }
}

void fillContextMenu(QMenu& menu, const ImageSets& images, const CommandSink& raise)
{
    fillMenu(menu, contextMenuDefinition(), images, raise);
}

void fillMainToolbar(QToolBar& toolbar, const ImageSets& images, int pixels, const CommandSink& raise)
{
    const QList<QAction*> previous = toolbar.actions();
    toolbar.clear();
    for (QAction* action : previous) {
        if (action->parent() == &toolbar) {
            action->deleteLater();
        }
    }
    for (const MenuRow& row : mainToolbarDefinition()) {
        if (!row.command) {
            toolbar.addSeparator();
            continue;
        }
        const CommandInfo& info = commandInfo(*row.command);
        const QIcon icon = themeIcon(images, ImageSet::Toolbar, QLatin1String(info.icon), pixels);
        toolbar.addAction(makeAction(info.command, icon, commandLabel(info.command), &toolbar, raise));
    }
    toolbar.setIconSize(QSize(pixels, pixels));
}

QToolButton* makeCommandButton(Command command, const ImageSets& images, QWidget* parent, const CommandSink& raise)
{
    auto* button = new QToolButton(parent);
    button->setAutoRaise(true);
    button->setFixedSize(commandButtonSize, commandButtonSize);
    button->setIconSize(QSize(smallIconPixels, smallIconPixels));
    button->setToolTip(commandLabel(command));
    button->setAccessibleName(commandLabel(command));
    button->setFocusPolicy(Qt::StrongFocus);
    button->setProperty("command", static_cast<int>(command));
    refreshCommandButton(*button, command, images);
    QObject::connect(button, &QToolButton::clicked, parent, [raise, command] { raise(command); });
    return button;
}

void refreshCommandButton(QToolButton& button, Command command, const ImageSets& images)
{
    button.setIcon(smallIcon(images, QLatin1String(commandInfo(command).icon)));
}
