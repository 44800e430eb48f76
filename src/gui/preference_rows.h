#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>

// The Preferences pages as data. A page is a list of rows, each naming its label, its control
// kind and the setting it edits; the dialog builds one binder per row. A list shows its setting's
// choices (app/setting_choices.h). Enabling
// and visibility rules are data too: a row (or an area of rows) names the check box or list that
// rules it and the values of that control for which it is on. Adding a row is one line in
// preference_tables.cpp.

enum class ControlKind : std::uint8_t {
    Combo,        // drop-down list of the setting's choices; the setting stores the selected index
    FixedCombo,   // one entry, always selected; stores nothing
    Language,     // the one entry "English"; stores "en"
    Theme,        // installed themes by display name; stores the pack name
    Check,        // check box without caption; stores 1 or 0
    Number,       // digits-only field followed by a unit list: one fixed unit, or a unit setting's choices
    SliderSpin,   // slider and spin box showing one value
    ColourButton, // swatch button and the hexadecimal text
    ColourList,   // named colours of a list setting, with a colour picker that grows the list
    Text,         // free text, cleaned of surrounding blanks, tabs and line breaks
    FontList,     // font names of Watermark/Fonts, with a font picker that grows the list
    ImageFile,    // a file name with an open-file requester
    DateTime,     // date and time to the minute
};

// How a slider and its spin box show the setting.
enum class SliderScale : std::uint8_t {
    Plain,      // both show the value
    Centred,    // the slider starts at 0: it shows the value minus the range's minimum
    Hundredths, // both hold the value x 100; the spin box shows the value with two decimals
};

// A rule over another control of the dialog, named by the setting that control edits. The rule
// holds while that control shows one of the values whose bit is set (check boxes show 0 or 1,
// lists their selected index). A rule without a controller always holds.
struct RowRule {
    const char* controller = nullptr;
    std::uint32_t values = 0;

    constexpr bool always() const { return controller == nullptr; }
};

constexpr std::uint32_t whenShowing(std::initializer_list<int> values)
{
    std::uint32_t bits = 0;
    for (const int value : values) {
        bits |= 1U << value;
    }
    return bits;
}

inline constexpr std::uint32_t whenChecked = 1U << 1;

struct PreferenceRow {
    const char* label; // Preferences catalogue key
    ControlKind kind;
    const char* setting = nullptr; // "Group/Key"; none for a row that stores nothing
    // The one entry of a list that stores nothing, or a number field's fixed unit, as a Preferences
    // catalogue key.
    const char* entry = "";
    // A second setting the row edits: the unit list of a number field, the list setting a colour or
    // font list offers and grows.
    const char* companion = nullptr;
    SliderScale scale = SliderScale::Plain;
    RowRule enabledWhen{};
    RowRule shownWhen{};
};

// Rows below the head rows of a page, shown while their rule holds. Areas share one place.
struct PreferenceArea {
    std::span<const PreferenceRow> rows;
    RowRule shownWhen{};
};

// Pages whose lower part is one sub-page per format, switched by the page's format list.
enum class FormatSubPages : std::uint8_t { None, Input, Output };

struct PreferencePage {
    const char* titleKey; // Preferences catalogue key of the page name
    std::span<const PreferenceRow> rows;
    std::span<const PreferenceArea> areas{};
    FormatSubPages subPages = FormatSubPages::None;
};

// The nine pages in order: General, Interface, Input, Output, Transform, Adjustment, Frame,
// Watermark, Advanced.
std::span<const PreferencePage> preferencePages();

// The sub-page of one input format: its key in the input format table and its rows.
struct InputSubPage {
    const char* format;
    std::span<const PreferenceRow> rows;
};
std::span<const InputSubPage> inputSubPages();

struct SettingDescriptor;

// The row that edits an output format's encoder setting (Output/JPG Quality); nullptr when there is none.
const PreferenceRow* encoderRow(const SettingDescriptor& setting);
struct OutputFormat;

// Rows of an output sub-page that store nothing (a compression the format's writer always uses),
// after the encoder rows. `format` is a row of the output format table.
std::span<const PreferenceRow> fixedOutputRows(const OutputFormat& format);
