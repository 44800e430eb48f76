#include "gui/main_window.h"

#include "app/folder_history.h"
#include "app/local_time.h"
#include "app/message_catalogue.h"
#include "app/program_info.h"
#include "engine/formats/format_catalogue.h"
#include "gui/about_window.h"
#include "gui/add_chooser.h"
#include "gui/command_bars.h"
#include "gui/converter_finder.h"
#include "gui/desktop_records.h"
#include "gui/file_list_commands.h"
#include "gui/file_list_model.h"
#include "gui/gui_conversion.h"
#include "gui/list_commands.h"
#include "gui/main_window_layout.h"
#include "gui/message_boxes.h"
#include "gui/output_choosers.h"
#include "gui/preferences_dialog.h"
#include "gui/preview_window.h"
#include "gui/profile_commands.h"
#include "gui/theme_icons.h"
#include "gui/update_dialogs.h"
#include "gui/web_links.h"

#include <QComboBox>
#include <QDropEvent>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QThread>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>

#include <algorithm>
#include <atomic>
#include <memory>

namespace {

constexpr int convertImagePixels = 64;

QString chooseFolderWithSystemDialog(QWidget* parent, const QString& title, const QString& start)
{
    return QFileDialog::getExistingDirectory(parent, title, start);
}

QString withTrailingSlash(const QString& folder)
{
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

// The stored size, but no larger than the primary screen's free area (a hand-edited file, a
// smaller monitor than last time); never below the minimum.
QSize visibleSize(QSize stored)
{
    const QScreen* primary = QGuiApplication::primaryScreen();
    const QSize room = primary != nullptr ? primary->availableGeometry().size() : stored;
    return stored.boundedTo(room).expandedTo(mainWindowMinimumSize);
}

// The stored position, unless it would put the title bar on no screen (a monitor that has been
// unplugged since, a hand-edited file): then the window is centred on the primary screen.
QPoint visiblePosition(QPoint stored, QSize size)
{
    const QPoint titleBar = stored + QPoint(std::min(size.width() / 2, 100), 10);
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (QGuiApplication::screenAt(titleBar) != nullptr || primary == nullptr) {
        return stored;
    }
    const QRect available = primary->availableGeometry();
    return available.topLeft() + QPoint(std::max(0, (available.width() - size.width()) / 2),
                                        std::max(0, (available.height() - size.height()) / 2));
}

// Label texts end in ":"; a screen reader names the control without it.
QString accessibleNameOf(const QString& label)
{
    return label.endsWith(QLatin1Char(':')) ? label.chopped(1) : label;
}

} // namespace

MainWindow::MainWindow(DesktopRecords& records, QWidget* parent)
    : QMainWindow(parent), records_(records), chooseFolder_(chooseFolderWithSystemDialog),
      preferencePickers_(systemPickers()), requesters_(systemRequesters()),
      listCommands_(std::make_unique<ListCommands>(*this, records_, requesters_))
{
    const WindowSettings& window = records_.settings.window;
    setWindowTitle(programTitle());
    setMinimumSize(mainWindowMinimumSize);
    resize(visibleSize(QSize(window.width, window.height)));
    move(visiblePosition(QPoint(window.x, window.y), size()));
    buildMenus();
    buildToolbar();
    statusText_ = new QLabel(this);
    statusBar()->addWidget(statusText_, 1);
    buildPanel();
    buildShortcuts();
    refreshControlImages();
    setAcceptDrops(true);
}

MainWindow::~MainWindow() = default;

void MainWindow::buildMenus()
{
    const CommandSink raise = [this](Command command) { dispatch(command); };
    fillMenuBar(*menuBar(), records_.images, raise);
    if (contextMenu_ == nullptr) {
        contextMenu_ = new QMenu(this);
        const QString name = accessibleNameOf(message(QStringLiteral("General/Input Files")));
        contextMenu_->setTitle(name);
        contextMenu_->setAccessibleName(name);
    }
    fillContextMenu(*contextMenu_, records_.images, raise);
    // Assistive tools find a popup menu only below a menu item: the file list's menu hangs, never
    // shown there, below the menu of the menu bar that holds the same commands.
    for (QAction* title : menuBar()->actions()) {
        QMenu* menu = title->menu();
        const QList<QAction*> items = menu != nullptr ? menu->actions() : QList<QAction*>();
        if (std::any_of(items.begin(), items.end(),
                        [](const QAction* item) { return item->data().toInt() == static_cast<int>(Command::Copy); })) {
            menu->addMenu(contextMenu_)->setVisible(false);
            break;
        }
    }
}

void MainWindow::buildToolbar()
{
    if (toolbar_ == nullptr) {
        toolbar_ = new QToolBar(this);
        toolbar_->setMovable(false);
        toolbar_->setFloatable(false);
        toolbar_->toggleViewAction()->setEnabled(false);
        addToolBar(Qt::TopToolBarArea, toolbar_);
    }
    fillMainToolbar(*toolbar_, records_.images, iconPixels(), [this](Command command) { dispatch(command); });
}

void MainWindow::buildPanel()
{
    panel_ = new QWidget(this);
    setCentralWidget(panel_);
    panel_->installEventFilter(this);

    rows_ = new FileListModel(this);
    fileList_ = new QTreeView(panel_);
    fileList_->setModel(rows_);
    fileList_->setRootIsDecorated(false);
    fileList_->setItemsExpandable(false);
    fileList_->setUniformRowHeights(true);
    fileList_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    fileList_->setSelectionBehavior(QAbstractItemView::SelectRows);
    fileList_->setAllColumnsShowFocus(true);
    fileList_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    fileList_->header()->setStretchLastSection(false);
    fileList_->header()->setSectionsMovable(false);
    fileList_->setAccessibleName(accessibleNameOf(message(QStringLiteral("General/Input Files"))));
    // The selection stays visible when the list loses the focus.
    QPalette palette = fileList_->palette();
    palette.setColor(QPalette::Inactive, QPalette::Highlight, palette.color(QPalette::Active, QPalette::Highlight));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     palette.color(QPalette::Active, QPalette::HighlightedText));
    fileList_->setPalette(palette);
    fileList_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(fileList_, &QWidget::customContextMenuRequested, this, &MainWindow::showFileListMenu);
    fileList_->viewport()->installEventFilter(this);

    const auto makeChooser = [this](QLabel*& label, QComboBox*& combo, const char* labelKey) {
        label = new QLabel(message(QLatin1String(labelKey)), panel_);
        combo = new QComboBox(panel_);
        combo->setEditable(false);
        combo->setAccessibleName(accessibleNameOf(label->text()));
        label->setBuddy(combo);
    };
    makeChooser(folderLabel_, folderCombo_, "General/Output Folder");
    makeChooser(formatLabel_, formatCombo_, "General/Output Format");
    connect(folderCombo_, &QComboBox::activated, this,
            [this] { records_.job.outputFolder = folderCombo_->currentText(); });
    connect(formatCombo_, &QComboBox::activated, this, [this] {
        if (const QString key = selectedOutputFormat(*formatCombo_); !key.isEmpty()) {
            records_.settings.output.format = key;
        }
    });
    const CommandSink raise = [this](Command command) { dispatch(command); };
    folderButton_ = makeCommandButton(Command::SelectOutputFolder, records_.images, panel_, raise);
    optionsButton_ = makeCommandButton(Command::OutputFormatOptions, records_.images, panel_, raise);

    convertButton_ = new QPushButton(panel_);
    convertButton_->setIconSize(QSize(convertImagePixels, convertImagePixels));
    convertButton_->setAccessibleName(commandLabel(Command::Convert));
    convertButton_->setToolTip(commandLabel(Command::Convert));
    connect(convertButton_, &QPushButton::clicked, this, [this] { dispatch(Command::Convert); });

    setTabOrder(fileList_, folderCombo_);
    setTabOrder(folderCombo_, folderButton_);
    setTabOrder(folderButton_, formatCombo_);
    setTabOrder(formatCombo_, optionsButton_);
    setTabOrder(optionsButton_, convertButton_);
}

void MainWindow::buildShortcuts()
{
    for (const CommandInfo& info : commandTable()) {
        if (info.shortcut == nullptr) {
            continue;
        }
        // The Edit keys belong to the file list: elsewhere they keep their usual meaning.
        const bool onList = actsOnFileList(info.command);
        QWidget* owner = onList ? static_cast<QWidget*>(fileList_) : this;
        auto* shortcut = new QShortcut(QKeySequence(QLatin1String(info.shortcut)), owner);
        shortcut->setContext(onList ? Qt::WidgetShortcut : Qt::WindowShortcut);
        const Command command = info.command;
        connect(shortcut, &QShortcut::activated, this, [this, command] { dispatch(command); });
    }
}

void MainWindow::completeWindowedStart()
{
    buildFormatTables();
    if (records_.settings.window.isMaximized != 0) {
        setWindowState(windowState() | Qt::WindowMaximized);
    }
    if (records_.settings.file.recentOutFolders.isEmpty()) {
        folderCombo_->insertItem(0, QString());
    }
    fillOutputFormats(*formatCombo_, true, records_.settings.output.format,
                      smallIcon(records_.images, QStringLiteral("New")));
    newList();
    show();
    layoutMainWindow();
    // The screenshot mode shows the window as a new user would see it, without questions.
    if (records_.job.mode != QLatin1String("T")) {
        autoUpdateCheck(records_.settings.general, localSecondsNow(), updateCheckDialogs(), updateSource_);
    }
}

void MainWindow::dispatch(Command command)
{
    emit commandDispatched(command);
    switch (command) {
    case Command::New:
        newList();
        return;
    case Command::Exit:
        close();
        return;
    case Command::AddChooser:
        showAddDialog();
        return;
    case Command::SelectOutputFolder:
        selectOutputFolder();
        return;
    case Command::OutputFormatOptions:
        records_.window.preferencesStartPage = outputPreferencesPage;
        openPreferences();
        return;
    case Command::Preferences:
        openPreferences();
        return;
    case Command::Copy:
        if (fileListHasFocus()) {
            copySelection(*fileList_, *rows_);
        }
        return;
    case Command::Delete:
        if (fileListHasFocus()) {
            deleteSelection(*fileList_, *rows_, records_.inputFiles);
        }
        return;
    case Command::SelectAll:
        if (fileListHasFocus()) {
            selectAllRows(*fileList_, *rows_);
        }
        return;
    case Command::CustomConverter:
        showConverterFinder(this, showWarning);
        return;
    case Command::Manual:
        openManual();
        return;
    case Command::SendFeedback:
        openFeedbackMail();
        return;
    case Command::VisitHomepage:
        openProductPage();
        return;
    case Command::CheckForNewVersion:
        checkForUpdates(updateCheckDialogs(), updateSource_);
        return;
    case Command::About:
        showAbout(this, records_.images.aboutBanner());
        return;
    case Command::SelectInputFiles:
        listCommands_->selectInputFiles();
        return;
    case Command::SelectInputFolder:
        listCommands_->selectInputFolder();
        return;
    case Command::ImportList:
        listCommands_->importList();
        return;
    case Command::ExportList:
        listCommands_->exportList();
        return;
    case Command::Convert:
        startGuiConversion(*this, records_, requesters_);
        return;
    case Command::Preview:
        showPreview();
        return;
    case Command::SaveProfile:
        saveSettingsAsProfile(this, records_, requesters_, consoleForms_);
        return;
    case Command::LoadProfile:
        loadProfileIntoSettings(this, records_, requesters_, consoleForms_,
                                [this](int formatPosition) { rebuildAfterPreferences(formatPosition); });
        return;
    case Command::CopyCommandLine:
        copyListCommand();
        return;
    }
}

void MainWindow::dispatchNumber(int number)
{
    if (const std::optional<Command> command = commandFromNumber(number)) {
        dispatch(*command);
    }
}

void MainWindow::showPreview()
{
    if (!preview_) {
        preview_ = std::make_unique<PreviewWindow>(
            *this, PreviewSources{*fileList_, *rows_, *formatCombo_, *folderCombo_}, records_);
    }
    preview_->open();
}

void MainWindow::copyListCommand()
{
    const ListAtHand list{*rows_, folderCombo_->currentText().trimmed(), selectedOutputFormat(*formatCombo_),
                          [this] { return listCommands_->exportList(); }};
    if (copyCommandLine(list, records_, consoleForms_)) {
        setStatusText(message(QStringLiteral("Preview/Command Copied")));
    }
}

void MainWindow::newList()
{
    refillFolderHistory();
    resetJobState(records_.job);
    records_.window = {};
    records_.inputFiles.clear();
    rows_->clear();
    folderCombo_->setCurrentIndex(-1);
    setStatusText(message(QStringLiteral("General/Ready")));
    fileList_->setFocus();
}

void MainWindow::selectOutputFolder()
{
    const QString selected = folderCombo_->currentText();
    const QString start = selected.left(selected.lastIndexOf(QLatin1Char('/')) + 1);
    const QString chosen = chooseFolder_(this, message(QStringLiteral("Dialog/Select Output Folder")), start);
    if (!chosen.isEmpty() && QFileInfo(chosen).isDir()) {
        useOutputFolder(withTrailingSlash(chosen));
    }
    layoutMainWindow();
}

void MainWindow::showAddDialog()
{
    AddChooser chooser(records_.images, this);
    chooser.exec();
    activateWindow();
    if (const std::optional<Command> chosen = chooser.chosenCommand()) {
        dispatch(*chosen);
    }
}

void MainWindow::openPreferences()
{
    // One Preferences window at a time.
    for (PreferencesDialog* open : findChildren<PreferencesDialog*>()) {
        if (open->isVisible()) {
            open->activateWindow();
            return;
        }
    }
    ::openPreferences(
        records_, preferencePickers_, [this](int formatPosition) { rebuildAfterPreferences(formatPosition); }, this);
}

void MainWindow::rebuildAfterPreferences(int preferencesFormatIndex)
{
    InterfaceChange& change = records_.window.interfaceChange;
    if (change == InterfaceChange::IconSize) {
        reloadThemeImages(records_.images, records_.settings, records_.themes, records_.gfxFolder,
                          {.large = false, .icons = false, .toolbar = true});
        buildToolbar();
        layoutMainWindow();
    }
    if (change == InterfaceChange::Theme) {
        reloadThemeImages(records_.images, records_.settings, records_.themes, records_.gfxFolder, {});
        buildMenus();
        buildToolbar();
        refreshControlImages();
        layoutMainWindow();
    }
    change = InterfaceChange::None;
    if (preferencesFormatIndex >= 0 && preferencesFormatIndex < formatCombo_->count()) {
        formatCombo_->setCurrentIndex(preferencesFormatIndex);
    }
    if (folderCombo_->count() != records_.settings.advanced.outFoldersNumber) {
        refillFolderHistory();
    }
    if (preview_) {
        preview_->refresh();
    }
}

void MainWindow::refreshControlImages()
{
    refreshCommandButton(*folderButton_, Command::SelectOutputFolder, records_.images);
    refreshCommandButton(*optionsButton_, Command::OutputFormatOptions, records_.images);
    const QImage convert = records_.images.image(ImageSet::Large, QStringLiteral("Convert"));
    convertButton_->setIcon(themeIcon(records_.images, ImageSet::Large, QStringLiteral("Convert"),
                                      convert.isNull() ? convertImagePixels : convert.width()));
    setWindowIcon(convertButton_->icon());
    const QIcon favourite = smallIcon(records_.images, QStringLiteral("FavFolder"));
    for (int i = 0; i < folderCombo_->count(); ++i) {
        if (!folderCombo_->itemText(i).isEmpty()) {
            folderCombo_->setItemIcon(i, favourite);
        }
    }
    const QIcon format = smallIcon(records_.images, QStringLiteral("New"));
    for (int i = 0; i < formatCombo_->count(); ++i) {
        formatCombo_->setItemIcon(i, format);
    }
}

void MainWindow::layoutMainWindow()
{
    const MainPanelGeometry geometry = mainPanelGeometry(panel_->size());
    fileList_->setGeometry(geometry.fileList);
    fileList_->header()->resizeSection(0, geometry.fileColumnWidth);
    folderLabel_->setGeometry(geometry.outputFolderLabel);
    folderCombo_->setGeometry(geometry.outputFolderCombo);
    folderButton_->setGeometry(geometry.folderButton);
    formatLabel_->setGeometry(geometry.outputFormatLabel);
    formatCombo_->setGeometry(geometry.outputFormatCombo);
    optionsButton_->setGeometry(geometry.optionsButton);
    convertButton_->setGeometry(geometry.convertButton);
    panel_->update();
}

void MainWindow::setStatusText(const QString& text)
{
    statusText_->setText(text);
}

QString MainWindow::statusText() const
{
    return statusText_->text();
}

InputListHooks MainWindow::inputListHooks()
{
    // A worker never waits for the interface thread: its rows are queued and drawn in batches,
    // and of its proposed output folders only the first can matter (once it is taken, a folder is
    // selected and the others are ignored), so only that one is handed over.
    InputListHooks hooks;
    hooks.rowAppended = [this](const QString& path) {
        if (QThread::currentThread() == thread()) {
            rows_->appendRow(path);
        } else {
            rows_->queueRow(path);
        }
    };
    auto proposed = std::make_shared<std::atomic<bool>>(false);
    hooks.outputFolderProposed = [this, proposed](const QString& folder) {
        if (QThread::currentThread() == thread()) {
            acceptProposedOutputFolder(folder);
        } else if (!proposed->exchange(true)) {
            QMetaObject::invokeMethod(
                this, [this, folder] { acceptProposedOutputFolder(folder); }, Qt::QueuedConnection);
        }
    };
    return hooks;
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == panel_ && event->type() == QEvent::Resize) {
        layoutMainWindow();
    } else if (fileList_ != nullptr && watched == fileList_->viewport() &&
               event->type() == QEvent::MouseButtonDblClick) {
        // Anywhere in the list, rows or empty space: the user wants to add files.
        dispatch(Command::AddChooser);
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    // Only files: dropped text or pictures are not taken.
    if (event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    }
}

void MainWindow::dropEvent(QDropEvent* event)
{
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            paths.append(url.toLocalFile());
        }
    }
    if (paths.isEmpty()) {
        return;
    }
    event->acceptProposedAction();
    // The drop ends first, so the program the files came from is not kept waiting by an import.
    QMetaObject::invokeMethod(
        this, [this, paths] { listCommands_->addDroppedPaths(paths); }, Qt::QueuedConnection);
}

bool MainWindow::fileListHasFocus() const
{
    return focusWidget() == fileList_;
}

void MainWindow::showFileListMenu(const QPoint& position)
{
    if (fileList_->selectionModel()->hasSelection()) {
        contextMenu_->popup(fileList_->viewport()->mapToGlobal(position));
    }
}

void MainWindow::acceptProposedOutputFolder(const QString& folder)
{
    if (folderCombo_->currentText().isEmpty()) {
        useOutputFolder(folder);
    }
}

void MainWindow::useOutputFolder(const QString& folder)
{
    addToFolderHistory(records_.settings, folder);
    records_.job.outputFolder = folder;
    refillFolderHistory();
}

void MainWindow::refillFolderHistory()
{
    fillFolderHistory(*folderCombo_, records_.settings, records_.job.outputFolder,
                      smallIcon(records_.images, QStringLiteral("FavFolder")));
}

int MainWindow::iconPixels() const
{
    return ::iconPixels(records_.settings.interface.uiSize);
}
