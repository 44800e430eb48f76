#pragma once

#include "gui/preference_binders.h"

#include <QDialog>

#include <functional>
#include <memory>

struct DesktopRecords;
class PreferencePages;
class QLabel;
class QListWidget;
class QPushButton;
class QStackedWidget;

// The page the output format options open: Output.
inline constexpr int outputPreferencesPage = 3;

// The Preferences dialog: the page list, the title strip, the page area and Defaults, OK and
// Cancel. The controls hold the edited values until OK; only the colour and font pickers change
// three list settings at once. Escape and the close box cancel.
class PreferencesDialog : public QDialog {
    Q_OBJECT

  public:
    // Called after OK or Defaults applied and saved the settings, with the position of
    // Output/Format in the output format list, for the main window's rebuild.
    using AppliedHook = std::function<void(int outputFormatPosition)>;

    // Builds and fills every page from records.settings and shows the page
    // records.window.preferencesStartPage, which becomes 0 again.
    PreferencesDialog(DesktopRecords& records, PreferencePickers pickers, AppliedHook applied, QWidget* parent);
    ~PreferencesDialog() override;

    void showPage(int page);
    int currentPage() const;

    // For tests and the screenshot script: the parts of the dialog and the binder of a setting.
    QListWidget& pageList() const { return *pageList_; }
    QLabel& titleText() const { return *title_; }
    QStackedWidget& pageArea() const { return *pageArea_; }
    QPushButton& defaultsButton() const { return *defaults_; }
    QPushButton& okButton() const { return *ok_; }
    QPushButton& cancelButton() const { return *cancel_; }
    PreferenceBinder* binder(const QString& settingName) const;

  public slots:
    void accept() override;
    // Asks first; on Yes resets every setting, saves and closes.
    void resetToDefaultsAsked();

  private:
    void buildFrame();
    QWidget* buildTitleStrip();
    DesktopRecords& records_;
    PreferencePickers pickers_;
    AppliedHook applied_;
    BinderContext context_;
    std::unique_ptr<PreferencePages> pages_;
    bool filled_ = false;
    QListWidget* pageList_ = nullptr;
    QLabel* title_ = nullptr;
    QStackedWidget* pageArea_ = nullptr;
    QPushButton* defaults_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

// Makes `chosen` the window's settings as OK does: colour correction follows its values, the
// interface change flags are set, the configuration file is saved and `applied` rebuilds the
// main window.
void applyChosenSettings(DesktopRecords& records, Settings chosen, const PreferencesDialog::AppliedHook& applied);

// Opens the dialog over the main window, window-modal, and returns at once; the dialog deletes
// itself when it closes.
PreferencesDialog* openPreferences(DesktopRecords& records, const PreferencePickers& pickers,
                                   PreferencesDialog::AppliedHook applied, QWidget* mainWindow);
