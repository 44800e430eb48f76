#pragma once

#include "app/settings.h"
#include "app/settings_table.h"
#include "cli/keywords.h"
#include "engine/formats/format_catalogue.h"

#include <QString>
#include <QStringView>

#include <cstdint>
#include <span>

// The one table of command-line options. It drives the option loop, the profile keys and the
// option reference of the README; an option is added by adding one row.

enum class OptionKind {
    Input,      // -i: sets the console run and the input; value may be the next parameter
    Output,     // -o: the output folder; value may be the next parameter
    Conversion, // -c: the output format key; value may be the next parameter
    Keyword,    // a keyword of the setting's list of choices
    Number,     // the integer rule
    Real,       // the real rule (--gamma)
    Text,       // free text (quoted values are joined)
    Switch,     // no value; anything after "=" is ignored
    Profile,    // --profile=FILE
    Debug,      // -d
    Quiet,      // -q
    Pause,      // -p
    Threads,    // --threads=N: how many files are converted at once
    Memory,     // --memory=SIZE: the memory the run's decoded pages may take at once
    DryRun,     // --dry-run: print the plan, convert nothing
    Report,     // --report=FILE: one record per input file after the run
    Update,     // --update: skip inputs whose outputs are up to date
    Shard,      // --shard=K/N: convert only the K-th of N shards of the list
    Strict,     // --strict: every warning ends the run as an error before anything is converted
};

// The reference groups of the README, in the order the option table lists them.
enum class OptionGroup { Main, Input, Output, Transform, Adjustment, Frame, Watermark, Advanced, Batches, Other };

struct OptionSpec {
    QString shortName = {}; // "-I", or empty
    QString longName = {};  // "--INPUT"; the profile key unless profileKey is set
    OptionKind kind = OptionKind::Switch;
    OptionGroup group = OptionGroup::Other;
    const SettingDescriptor* setting = nullptr; // the settings row the value goes to (a switch stores switchValue)
    std::int8_t switchValue = 1;
    const SettingDescriptor* enables = nullptr; // a "Do" setting the option also sets ...
    std::int8_t enableValue = 1;                // ... to this value
    QString profileKey = {};                    // the profile key when it differs from longName
    QString help = {};                          // one line for the reference; settings' meanings
    QString valueHint = {};                     // "NUM", "FILE", ... for the reference
    QString defaultText = {};                   // the reference's default of an option without a setting
    // The run reads the option's setting only while this setting has this value (the custom time
    // only with --file-timestamp=custom); a profile or command written otherwise leaves it out.
    const SettingDescriptor* readOnlyWhen = nullptr;
    std::int8_t readOnlyWhenValue = 0;

    // Whether the option takes a value (everything but the switches).
    bool takesValue() const;
    // The placeholder of the value in the reference and in hints: valueHint, or NUM, KEY or TEXT.
    QString valueName() const;
    // Whether the value of a Text option is joined across parameters when quoted.
    bool takesText() const { return kind == OptionKind::Text || kind == OptionKind::Profile; }
    // The options that only act on a Settings member (and so may appear in a profile).
    bool isSetting() const;
    // --threads, --memory and --strict: console values that a profile may also set.
    bool isRunLimit() const;
    const QString& profileName() const { return profileKey.isEmpty() ? longName : profileKey; }
};

// The console options that shape the run rather than its pages (--threads, --memory, --strict).
// They are not settings, but a profile may set them like one.
struct RunLimits {
    int threads = 0;                // files converted at once; 0 = one per core
    std::uint64_t memoryBudget = 0; // bytes; 0 = the default budget
    bool strict = false;            // warnings end the run before anything is converted
};

// An "Error: " line of the command line and the line written after it, which says where and why
// and what to do.
struct ConsoleError {
    QString text;   // after "Error: "; empty when there is no error
    QString detail; // the second line, indented by two blanks; may be empty

    bool isEmpty() const { return text.isEmpty(); }
};

// Stores the value of a Threads, Memory or Strict option. The error of a bad value ("Invalid
// threads value", "Invalid memory value"); empty when it was stored.
ConsoleError applyRunLimit(const OptionSpec& option, QStringView value, RunLimits& limits);

// Every option in reference order. The options of the output formats follow the format catalogue:
// each format's bit-depth option (named and described from its row), then its encoder options.
std::span<const OptionSpec> optionTable();

// The option of an upper-case name as optionName gives it ("-I", "--JPG-QUALITY"); the first
// match in table order, or nullptr.
const OptionSpec* findOption(QStringView upperName);

// The setting or run-limit option of an upper-case profile key ("--WM-SOLID-OPACITY"), or nullptr.
const OptionSpec* findProfileKey(QStringView upperKey);

// The output format whose bit depth or encoder setting the option sets ("png" for --png-bpp and
// --png-compression), or nullptr.
const OutputFormat* optionFormat(const OptionSpec& option);

// The list of choices a keyword option names (its setting's); empty for an option that takes no
// keyword.
ChoiceList optionChoices(const OptionSpec& option);

// The keywords the option accepts, in upper case and list order: a compression option's are its
// own format's ("NONE", "ZLIB1", ...); empty for an option that takes no keyword.
QStringList optionKeywords(const OptionSpec& option);

// The value a keyword stores for the option: its place among optionKeywords (in any letter case),
// or 0 for a keyword the option does not take. Another format's compression keyword
// ("--png-compression=lzw") is one it does not take: its number, outside the format's own range,
// would be written as the format's default and echoed as blank.
std::int32_t optionKeywordValue(const OptionSpec& option, QStringView keyword);

// Stores a value of a setting option (Keyword, Number, Real, Text, Switch) and the "Do" setting
// it implies. The value is taken as the caller prepared it.
void applySetting(const OptionSpec& option, const QString& value, Settings& settings);
