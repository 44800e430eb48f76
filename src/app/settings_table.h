#pragma once

#include "app/setting_choices.h"
#include "app/settings.h"

#include <QSize>
#include <QString>

#include <cstdint>
#include <span>
#include <variant>

// The descriptor table: every setting of `Settings` once, with its configuration group and key,
// its kind, where it lives in the record, its default and whether the configuration file writes
// it. Reset, configuration load and save, and the command line's option mapping all walk this
// one table, so adding a setting is one line there.

enum class SettingKind : std::uint8_t { Flag, Choice8, Choice, Int, Int8, Real, Text, Colour, Date, Bpp };

// Defaults that are not a plain constant.
enum class DefaultRule : std::uint8_t {
    Value,             // the number or text of the descriptor
    Now,               // the current local date and time
    CentredX,          // (desktop width - 510) / 2, or 100 without a wide enough desktop
    CentredY,          // (desktop height - 330) / 2, or 100
    FirstInputFormat,  // first entry of the input format list
    FirstOutputFormat, // first entry of the output format list
    WindowedOnly,      // the number in the windowed mode, 0 in the console mode
};

// What a key missing from the configuration file reads as.
enum class MissingRule : std::uint8_t {
    AsReset, // the windowed reset default
    Zero,    // General/CFG: a file without it is the oldest layout
    Hundred, // Window/X and Window/Y: not centred
};

enum class WriteRule : std::uint8_t {
    Always,
    Never,              // read and reset only
    WithWindowPosition, // only while General/Save Window Position is on
    LayoutVersion,      // General/CFG: always the current layout number, whatever was read
};

// Accessors are captureless lambdas turned into function pointers; the alternative held tells
// the storage width.
using SettingAccessor = std::variant<std::int8_t& (*)(Settings&), std::int32_t& (*)(Settings&), float& (*)(Settings&),
                                     QString& (*)(Settings&)>;

// The values a setting accepts: what the Preferences controls offer and what the run checks test.
// Settings without a declared range take any value of their width (sizes, offsets, texts); a bit
// depth's values are its format's permitted depths.
struct SettingRange {
    double minimum = 0;
    double maximum = 0;
    double step = 0;      // 0: no range declared
    ChoiceList choices{}; // a choice setting's list; its range is the places the dialog offers

    constexpr bool declared() const { return step > 0; }
};

constexpr SettingRange validRange(double minimum, double maximum, double step = 1)
{
    return {minimum, maximum, step};
}

// The range of a choice setting, read from its list.
inline SettingRange choiceRange(ChoiceList choices)
{
    return {0, static_cast<double>(offeredChoices(choices) - 1), 1, choices};
}

struct SettingDescriptor {
    const char* group;
    const char* key;
    SettingKind kind;
    SettingAccessor access;
    double number = 0;     // default of a numeric setting (DefaultRule::Value / WindowedOnly)
    SettingRange valid{};  // the values the setting accepts
    const char* text = ""; // default of a text or colour setting, UTF-8
    DefaultRule rule = DefaultRule::Value;
    MissingRule missing = MissingRule::AsReset;
    WriteRule write = WriteRule::Always;
};

// Every setting, grouped, in the order the configuration file writes them (settings that are
// never written sit in their group in record order).
std::span<const SettingDescriptor> settingsTable();

// Finds a setting by group and key, ignoring ASCII letter case; nullptr when there is none.
const SettingDescriptor* findSetting(const QString& group, const QString& key);

// The first entries of the input and output format lists, the defaults of Input/Format and
// Output/Format. The lists themselves are constant, so their heads are too.
inline constexpr const char* firstInputFormatKey = "tiff";
inline constexpr const char* firstOutputFormatKey = "bmp";

// The configuration layout this program writes; older layouts are upgraded on load.
inline constexpr std::int32_t currentConfigurationLayout = 17;

// Sets one setting to its reset default. desktop is the primary screen size; an invalid size
// means no screen.
void resetSetting(Settings& settings, const SettingDescriptor& setting, bool consoleMode, QSize desktop);

// Stores a value text the way the configuration file reads it: integers take the leading
// decimal digits (none read 0) and 8-bit settings keep the low 8 bits; reals accept
// "+Infinity", "-Infinity" and "NaN" in any letter case; texts lose blanks and tabs at both ends.
void setSettingFromText(Settings& settings, const SettingDescriptor& setting, const QString& value);

// The value as the configuration file writes it: "%d" for integers, "%f" for reals, texts as
// they are.
QString settingToText(const Settings& settings, const SettingDescriptor& setting);

// The value of an integer setting of any width (flags, choices, numbers, dates, depths); 0 for a
// real or a text.
std::int32_t settingInteger(const Settings& settings, const SettingDescriptor& setting);

// Store a value as given into a setting of the matching kind; a setting of another kind is left
// alone. Integers wrap to the setting's width (8-bit settings keep the low 8 bits); a real beyond
// the 32-bit range becomes infinite.
void setSettingNumber(Settings& settings, const SettingDescriptor& setting, std::int32_t value);
void setSettingReal(Settings& settings, const SettingDescriptor& setting, double value);
void setSettingText(Settings& settings, const SettingDescriptor& setting, const QString& value);

// Whether the setting's value lies in its declared range (always, without one). A real is
// compared at its own 32-bit precision, so 0.01 typed as gamma is in 0.01..9.99; NaN is in no
// range.
bool settingInRange(const Settings& settings, const SettingDescriptor& setting);

// The numeric readers behind setSettingFromText, for other code that parses the same way.
std::int32_t parseInteger(const QString& text);
// The same number without the wrap: its sign kept, anything beyond 2^40 read as 2^40, so that a
// number field can clamp what was typed to its range.
std::int64_t parseIntegerUnwrapped(const QString& text);
float parseReal(const QString& text);
QString formatReal(float value);
