#pragma once

#include "app/settings.h"
#include "app/settings_table.h"
#include "gui/preference_rows.h"
#include "themes/image_sets.h"
#include "themes/theme_pack.h"

#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class QHBoxLayout;
class QLabel;
class QWidget;
struct OutputFormat;

// The system dialogs the Preferences dialog opens. Tests put their own answers in.
struct PreferencePickers {
    std::function<std::optional<QColor>(QWidget* parent, const QColor& initial)> pickColour;
    std::function<std::optional<QFont>(QWidget* parent, const QFont& initial)> pickFont;
    // Title, start path and the filters ("Name (patterns)"); the chosen file or empty.
    std::function<QString(QWidget* parent, const QString& title, const QString& start, const QStringList& filters)>
        pickFile;
    std::function<bool(const QString& title, const QString& text)> askYesNo;
};

// QColorDialog, QFontDialog, QFileDialog and the program's question box.
PreferencePickers systemPickers();

class PreferenceBinder;

// What binders share: the live settings (the colour and font pickers grow three list settings at
// once, whatever the dialog's outcome), the installed themes and pictures, the pickers, the other
// binders by the setting they edit, and the notice that a control changed.
struct BinderContext {
    Settings& settings;
    const ThemeTable& themes;
    const ImageSets& images;
    const PreferencePickers& pickers;
    int labelWidth = 160;
    std::function<PreferenceBinder*(const QString& setting)> find;
    std::function<void()> changed;
};

// One row of a page: its label and controls in a row widget of its own, bound to one setting.
// fill() shows the setting, store() writes the control's value back; the widgets belong to the
// row widget, which the page owns.
class PreferenceBinder {
  public:
    // `setting` may be null for a row that stores nothing.
    PreferenceBinder(const QString& labelKey, const SettingDescriptor* setting, BinderContext& context);
    // The label and setting of a table row.
    PreferenceBinder(const PreferenceRow& row, BinderContext& context);
    virtual ~PreferenceBinder() = default;
    PreferenceBinder(const PreferenceBinder&) = delete;
    PreferenceBinder& operator=(const PreferenceBinder&) = delete;

    QWidget* rowWidget() const { return row_; }
    const SettingDescriptor* setting() const { return setting_; }
    QString settingName() const;

    virtual void fill(const Settings& settings) = 0;
    virtual void store(Settings& settings) const = 0;
    // What enabling and visibility rules look at: a list's selected index, a check box's 0 or 1.
    virtual int shownValue() const { return 0; }
    // Shows a value the way fill() would (a picker changing a neighbouring row).
    virtual void showValue(int) {}

  protected:
    // Appends a control of a fixed width to the row, `gap` pixels after the previous one.
    template <typename Widget> Widget* addControl(Widget* widget, int width, int gap = 0)
    {
        placeControl(widget, width, gap);
        return widget;
    }
    QWidget* row() const { return row_; }
    BinderContext& context() const { return context_; }
    QString labelText() const;

  private:
    void placeControl(QWidget* widget, int width, int gap);

    BinderContext& context_;
    const SettingDescriptor* setting_;
    QWidget* row_;
    QLabel* label_;
    QHBoxLayout* layout_;
};

// The binder of a table row; nullptr for a kind this builds elsewhere.
std::unique_ptr<PreferenceBinder> makeBinder(const PreferenceRow& row, BinderContext& context);
// The "Bits Per Pixel" row of an output format's sub-page.
std::unique_ptr<PreferenceBinder> makeBitDepthBinder(const OutputFormat& format, BinderContext& context);
// The format list heading the Input or Output page; its shownValue() is the position of the
// selected format in the input or output format list.
std::unique_ptr<PreferenceBinder> makeFormatListBinder(FormatSubPages which, BinderContext& context);

// Binders of the kinds that open a picker (preference_picker_binders.cpp).
std::unique_ptr<PreferenceBinder> makeSliderSpinBinder(const PreferenceRow& row, BinderContext& context);
std::unique_ptr<PreferenceBinder> makeColourButtonBinder(const PreferenceRow& row, BinderContext& context);
std::unique_ptr<PreferenceBinder> makeColourListBinder(const PreferenceRow& row, BinderContext& context);
std::unique_ptr<PreferenceBinder> makeFontListBinder(const PreferenceRow& row, BinderContext& context);
std::unique_ptr<PreferenceBinder> makeImageFileBinder(const PreferenceRow& row, BinderContext& context);

// A number typed into a field: the number its text begins with (blanks, a sign, digits; no
// digits read 0), clamped to minimum..maximum however many digits were typed, so that a long
// number never wraps around into the range.
int typedNumberInRange(const QString& text, int minimum, int maximum);

// The setting named "Group/Key"; asserts that it exists.
const SettingDescriptor& settingNamed(const QString& name);

// A text as a text row stores it: tabs, carriage returns and line feeds deleted, then blanks at
// both ends removed.
QString cleanedText(const QString& text);

// The catalogue text of a Preferences key.
QString preferenceText(const QString& key);
