#include "gui/preferences_dialog.h"

#include "app/config_file.h"
#include "app/message_catalogue.h"
#include "engine/formats/format_catalogue.h"
#include "gui/desktop_records.h"
#include "gui/preference_pages.h"

#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr QSize minimumDialogSize{600, 350};
constexpr int margin = 10;
constexpr int pageListWidth = 120;
constexpr int titleStripHeight = 30;
constexpr int titlePointSize = 10;
constexpr int pageAreaMinimumWidth = 450;
constexpr int pageAreaHeight = 255;
constexpr QSize buttonSize{80, 25};
// Room beside the rows for the vertical scroll bar of the scrolling areas.
constexpr int scrollBarRoom = 20;
constexpr int controlColumnWidth = 240;

QPushButton* dialogButton(const char* key, QWidget* parent)
{
    auto* button = new QPushButton(message(QLatin1String(key)), parent);
    button->setFixedSize(buttonSize);
    button->setAutoDefault(false);
    return button;
}

// What the main window rebuilds after a change of settings: the theme wins over the icon size.
InterfaceChange interfaceChange(const Settings& before, const Settings& after)
{
    if (before.interface.uiTheme != after.interface.uiTheme) {
        return InterfaceChange::Theme;
    }
    return before.interface.uiSize != after.interface.uiSize ? InterfaceChange::IconSize : InterfaceChange::None;
}

// Colour correction runs exactly when one of its four settings does something.
void deriveColourCorrection(AdjustmentSettings& adjustment)
{
    const bool active = adjustment.imageBrightness != 0 || adjustment.imageContrast != 0 ||
                        adjustment.imageGamma != 1.0F || adjustment.imageInvert != 0;
    adjustment.doImageColorCorrection = active ? 1 : 0;
}

void saveAndRebuild(const DesktopRecords& records, const PreferencesDialog::AppliedHook& applied)
{
    if (!records.configPath.isEmpty()) {
        saveConfiguration(records.settings, records.configPath);
    }
    if (applied) {
        applied(static_cast<int>(outputFormatList().indexOf(records.settings.output.format)));
    }
}

QSize primaryDesktopSize()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->size() : QSize();
}

} // namespace

PreferencesDialog::PreferencesDialog(DesktopRecords& records, PreferencePickers pickers, AppliedHook applied,
                                     QWidget* parent)
    : QDialog(parent), records_(records), pickers_(std::move(pickers)),
      applied_(std::move(applied)), context_{records.settings,
                                             records.themes,
                                             records.images,
                                             pickers_,
                                             PreferencePages::labelWidthFor(fontMetrics()),
                                             {},
                                             {}}
{
    setWindowTitle(message(QStringLiteral("Preferences/Title")));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    context_.find = [this](const QString& setting) { return pages_ ? pages_->find(setting) : nullptr; };
    context_.changed = [this] {
        if (filled_) {
            pages_->applyRules();
        }
    };
    pages_ = std::make_unique<PreferencePages>(context_);
    buildFrame();

    pages_->fill(records_.settings);
    filled_ = true;
    pages_->applyRules();
    showPage(records_.window.preferencesStartPage);
    records_.window.preferencesStartPage = 0;
    pageList_->setFocus();
}

PreferencesDialog::~PreferencesDialog()
{
    // The controls outlive the pages' binders by a moment; no change of theirs asks for the rules now.
    filled_ = false;
}

void PreferencesDialog::buildFrame()
{
    pageList_ = new QListWidget(this);
    pageList_->setFixedWidth(pageListWidth);
    pageList_->setAccessibleName(message(QStringLiteral("Preferences/Title")));
    pageArea_ = new QStackedWidget(this);
    for (const PreferencePage& page : preferencePages()) {
        pageList_->addItem(preferenceText(QLatin1String(page.titleKey)));
    }
    for (QWidget* page : pages_->pages()) {
        pageArea_->addWidget(page);
    }
    pageArea_->setMinimumSize(
        std::max(pageAreaMinimumWidth, context_.labelWidth + controlColumnWidth + 2 * margin + scrollBarRoom),
        pageAreaHeight);
    connect(pageList_, &QListWidget::currentRowChanged, this, [this](int row) {
        // A change that leaves no entry selected changes nothing.
        if (row >= 0) {
            showPage(row);
        }
    });

    auto* right = new QVBoxLayout;
    right->setSpacing(margin);
    right->addWidget(buildTitleStrip());
    right->addWidget(pageArea_, 1);
    auto* top = new QHBoxLayout;
    top->setSpacing(margin);
    top->addWidget(pageList_);
    top->addLayout(right, 1);

    defaults_ = dialogButton("Dialog/Defaults", this);
    ok_ = dialogButton("Dialog/OK", this);
    cancel_ = dialogButton("Dialog/Cancel", this);
    connect(defaults_, &QPushButton::clicked, this, &PreferencesDialog::resetToDefaultsAsked);
    connect(ok_, &QPushButton::clicked, this, &PreferencesDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &PreferencesDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(defaults_);
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->setSpacing(margin);
    layout->addLayout(top, 1);
    layout->addLayout(buttons);
    // The taller pages scroll: the dialog keeps its size whatever the longest page would like.
    setFixedSize(minimumDialogSize.expandedTo(minimumSizeHint()));
}

QWidget* PreferencesDialog::buildTitleStrip()
{
    auto* strip = new QFrame(this);
    strip->setFrameShape(QFrame::Box);
    strip->setFixedHeight(titleStripHeight);
    strip->setAutoFillBackground(true);
    QPalette palette = strip->palette();
    palette.setColor(QPalette::Window, Qt::white);
    palette.setColor(QPalette::WindowText, Qt::black);
    strip->setPalette(palette);
    title_ = new QLabel(strip);
    QFont font = title_->font();
    font.setBold(true);
    font.setPointSize(titlePointSize);
    title_->setFont(font);
    auto* layout = new QHBoxLayout(strip);
    layout->setContentsMargins(margin, 0, margin, 0);
    layout->addWidget(title_);
    return strip;
}

void PreferencesDialog::showPage(int page)
{
    const int shown = page >= 0 && page < pageArea_->count() ? page : 0;
    title_->setText(pageList_->item(shown)->text());
    pageArea_->setCurrentIndex(shown);
    if (pageList_->currentRow() != shown) {
        pageList_->setCurrentRow(shown);
    }
}

int PreferencesDialog::currentPage() const
{
    return pageArea_->currentIndex();
}

PreferenceBinder* PreferencesDialog::binder(const QString& settingName) const
{
    return pages_->find(settingName);
}

void PreferencesDialog::accept()
{
    // The record as the controls show it; the pickers' list additions are in it already.
    Settings chosen = records_.settings;
    pages_->store(chosen);
    applyChosenSettings(records_, std::move(chosen), applied_);
    QDialog::accept();
}

void PreferencesDialog::resetToDefaultsAsked()
{
    if (!pickers_.askYesNo(message(QStringLiteral("Msg/Reset to Defaults")),
                           message(QStringLiteral("Msg/Ask reset to defaults")))) {
        return;
    }
    // The rebuild follows what the window shows now, which is what the settings held before.
    const Settings before = records_.settings;
    resetToDefaults(records_.settings, false, primaryDesktopSize());
    records_.window.interfaceChange = interfaceChange(before, records_.settings);
    saveAndRebuild(records_, applied_);
    QDialog::accept();
}

void applyChosenSettings(DesktopRecords& records, Settings chosen, const PreferencesDialog::AppliedHook& applied)
{
    deriveColourCorrection(chosen.adjustment);
    records.window.interfaceChange = interfaceChange(records.settings, chosen);
    records.settings = std::move(chosen);
    saveAndRebuild(records, applied);
}

PreferencesDialog* openPreferences(DesktopRecords& records, const PreferencePickers& pickers,
                                   PreferencesDialog::AppliedHook applied, QWidget* mainWindow)
{
    auto* dialog = new PreferencesDialog(records, pickers, std::move(applied), mainWindow);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    QObject::connect(dialog, &QDialog::finished, mainWindow, [mainWindow] { mainWindow->activateWindow(); });
    dialog->open();
    dialog->pageList().setFocus();
    return dialog;
}
