#include "cli/command_line.h"

#include "app/message_catalogue.h"
#include "app/program_info.h"
#include "cli/console_output.h"
#include "cli/console_run.h"
#include "cli/option_table.h"
#include "cli/option_values.h"
#include "cli/option_warnings.h"
#include "cli/profile.h"
#include "engine/formats/format_catalogue.h"
#include "engine/inputs/input_file_list.h"
#include "engine/run/run_report.h"
#include "engine/steps/draw/gui_app.h"

#include <QFileInfo>

#include <memory>

namespace {

const QString incorrectNumberOfParameters = QStringLiteral("Incorrect number of parameters");

QString withoutQuotes(QString value)
{
    while (value.startsWith(u'"')) {
        value.remove(0, 1);
    }
    while (value.endsWith(u'"')) {
        value.chop(1);
    }
    return value;
}

// A value the shell left beginning with a double quote but not ending with one continues in
// the following parameters, each joined with one blank, up to the one that ends with a quote.
QString joinQuoted(const QStringList& parameters, int& position, QString value)
{
    if (value.startsWith(u'"') && !value.endsWith(u'"')) {
        while (position < parameters.size() - 1) {
            ++position;
            value += u' ' + optionValue(parameters, position);
            if (value.endsWith(u'"')) {
                break;
            }
        }
    }
    return withoutQuotes(value);
}

void fail(ParseOutcome& outcome, const ConsoleError& error)
{
    outcome.error = error.text;
    outcome.errorDetail = error.detail;
}

// A parameter that names no option. After -i, one that names an existing file or folder is a
// further input (a shell glob expands to several); anything else is a typing mistake to warn of.
void noteUnknownParameter(const QString& parameter, const JobState& job, ParseOutcome& outcome)
{
    const QString text = stripBlanks(parameter);
    if (text.startsWith(u'-')) {
        outcome.warnings.push_back(unknownOptionWarning(text));
    } else if (job.consoleRun != 0 && !text.isEmpty() && QFileInfo::exists(text)) {
        outcome.furtherInputs << text;
    } else {
        outcome.warnings.push_back(strayParameterWarning(text));
    }
}

// The name of the program file without its extension, for the usage text.
QString programFileName()
{
    const QString executable = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    const QString name = QFileInfo(executable).completeBaseName();
    return name.isEmpty() ? QStringLiteral("tessaline") : name;
}

} // namespace

FirstSwitch firstParameterSwitch(const QStringList& parameters)
{
    const QString name = optionName(parameters, 0);
    if (name == u"-U") {
        return FirstSwitch::Uninstall;
    }
    if (name == u"-T") {
        return FirstSwitch::Screenshot;
    }
    if (name == u"-V" || name == u"--VERSION") {
        return FirstSwitch::Version;
    }
    if (name == u"-H" || name == u"-?" || name == u"--HELP") {
        return FirstSwitch::Help;
    }
    return FirstSwitch::None;
}

QStringList usageLines(const QString& programName)
{
    static const char* const lines[] = {
        " ",
        "Usage: %s1% -i <filename> [options]",
        " ",
        "  %s1% -i example.%s2%",
        "  %s1% -i /tmp/example.%s2%",
        "  %s1% -i /tmp/example.%s2% -o /data/converted",
        "  %s1% -i /tmp/filelist.txt",
        "  %s1% -i /tmp/ -o /data/converted --jpg-quality=95",
        "  %s1% -i /tmp/ -o /data/converted -c %s2% --jpg-quality=95",
        " ",
        "Options:",
        " ",
        "  -h, -?, --help            Display this help and exit",
        "  -i FILE, --input=FILE     Set input file/list/folder",
        "  -o PATH, --output=PATH    Set output folder",
        "  -c STR, --conversion=STR  Set output extension, STR = (jpg | bmp | ...)",
        " ",
        "Advanced options:",
        " ",
        "  --width=NUM               Set output image width",
        "  --height=NUM              Set output image height",
        "  --filename-mask=STR       Define output filename format",
        "  --flip-horizontal         Flip output image horizontally",
        "  --flip-vertical           Flip output image vertically",
        "  --brightness=NUM          Set output image brightness, NUM = -100..100",
        "  --contrast=NUM            Set output image contrast, NUM = -100..100",
        "  --gamma=NUM               Set output image gamma, NUM = 0.01..9.99",
        "  --invert                  Invert output image",
        "  --greyscale               Greyscale output image",
        "  --strip-metadata          Write no colour profile or metadata",
        "  --profile=FILE            Set configuration file with required settings",
        "    ...                     Refer documentation for all available options",
        " ",
        "Other options:",
        " ",
        "  -q, --quiet               Don't print status messages to stdout",
        "  -d, --debug               Print debug information to stdout",
        "  -p, --pause               Pause at exit",
        "  -v, --version             Display version information and exit",
    };
    // The input list has the single entry "tiff", so the "random" input example is always it.
    const QString inputExample = inputFormatList().value(0);
    const QString outputExample = outputFormatList().value(0);
    QStringList result;
    for (std::size_t i = 0; i < std::size(lines); ++i) {
        const QString example = i == 8 ? outputExample : inputExample;
        result << substituteMessage(QString::fromLatin1(lines[i]), programName, example);
    }
    return result;
}

namespace {

// Stores the value of a run option (--report, --shard); false with the error set when the value
// is refused.
bool applyRunValue(OptionKind kind, const QString& value, ParseOutcome& outcome)
{
    switch (kind) {
    case OptionKind::Report:
        outcome.batch.reportPath = withoutQuotes(value);
        if (!reportFormatFor(outcome.batch.reportPath)) {
            fail(outcome, {QStringLiteral("Invalid report file name (it must end in .jsonl, .json or .csv)"),
                           QStringLiteral("  --report=%1: name a file such as report.jsonl or report.csv")
                               .arg(outcome.batch.reportPath)});
        }
        break;
    case OptionKind::Shard:
        if (const std::optional<ShardSelection> shard = readShard(value)) {
            outcome.batch.shard = *shard;
        } else {
            fail(outcome,
                 {QStringLiteral("Invalid shard value (K/N with 1 <= K <= N)"),
                  QStringLiteral("  --shard=%1: K counts from 1, as in --shard=1/4 ... --shard=4/4").arg(value)});
        }
        break;
    default:
        break;
    }
    return outcome.error.isEmpty();
}

// The second line of "Incorrect number of parameters": which option lacks its value and how it is
// given. position is the option's own parameter.
QString missingValueDetail(const OptionSpec& option, const QStringList& parameters, int position)
{
    const QString typed = stripBlanks(parameters.at(position));
    const QString next = position + 1 < parameters.size() ? stripBlanks(parameters.at(position + 1)) : QString();
    if (!typed.startsWith(QLatin1StringView("--"))) {
        // -i, -o and -c take the next parameter.
        const QString name = option.shortName.toLower();
        const QString form = name + u' ' + option.valueName();
        if (next.isEmpty()) {
            return QStringLiteral("  %1 needs a value after it: %2").arg(name, form);
        }
        return QStringLiteral("  %1 takes the next parameter as its value, and \"%2\" begins with \"-\": %3")
            .arg(name, next, form);
    }
    const QString name = option.longName.toLower();
    const qsizetype equals = typed.indexOf(u'=');
    const QString value = equals < 0 ? QString() : typed.mid(equals + 1);
    if (value.startsWith(QLatin1StringView("--"))) {
        return QStringLiteral("  the value of %1 may not begin with \"--\": %1=%2").arg(name, value.mid(1));
    }
    const QString example = !next.isEmpty() && !next.startsWith(u'-') ? next : option.valueName();
    return QStringLiteral("  %1 needs its value after \"=\": %1=%2").arg(name, example);
}

} // namespace

ParseOutcome parseOptions(const QStringList& parameters, Settings& settings, JobState& job)
{
    ParseOutcome outcome;
    const int count = static_cast<int>(parameters.size());
    // Positions were once 8-bit numbers; a longer list is refused rather than cut silently, so
    // that an option beyond the limit is never dropped unnoticed.
    if (count > maxParameterCount) {
        fail(outcome, {QStringLiteral("Too many parameters (at most %1)").arg(maxParameterCount),
                       QStringLiteral("  %1 parameters were given; name the files in a list file (-i files.lst, one "
                                      "path per line) or give their folder")
                           .arg(count)});
        return outcome;
    }
    for (int position = 0; position < count; ++position) {
        const OptionSpec* option = findOption(optionName(parameters, position));
        if (option == nullptr) {
            noteUnknownParameter(parameters.at(position), job, outcome);
            continue;
        }
        switch (option->kind) {
        case OptionKind::Input:
        case OptionKind::Output:
        case OptionKind::Conversion: {
            if (option->kind == OptionKind::Input) {
                job.consoleRun = 1;
            }
            const int optionPosition = position;
            if (!stripBlanks(parameters.at(position)).startsWith(QLatin1StringView("--"))) {
                ++position;
            }
            QString value = optionValue(parameters, position);
            if (value.isEmpty() || value.startsWith(u'-')) {
                fail(outcome, {incorrectNumberOfParameters, missingValueDetail(*option, parameters, optionPosition)});
                return outcome;
            }
            if (option->kind == OptionKind::Input) {
                job.inputFolder = joinQuoted(parameters, position, value);
            } else if (option->kind == OptionKind::Output) {
                job.outputFolder = joinQuoted(parameters, position, value);
            } else {
                job.outputKey = withoutQuotes(value);
            }
            break;
        }
        case OptionKind::Keyword:
        case OptionKind::Number:
        case OptionKind::Real:
        case OptionKind::Text:
        case OptionKind::Profile: {
            QString value = optionValue(parameters, position);
            if (value.isEmpty() || value.startsWith(QLatin1StringView("--"))) {
                fail(outcome, {incorrectNumberOfParameters, missingValueDetail(*option, parameters, position)});
                return outcome;
            }
            if (option->takesText()) {
                value = joinQuoted(parameters, position, value);
            }
            if (option->kind == OptionKind::Profile) {
                if (const ConsoleError error = loadProfile(value, settings, outcome.limits, &outcome.warnings);
                    !error.isEmpty()) {
                    fail(outcome, error);
                    return outcome;
                }
            } else {
                if (const auto warning = valueWarning(*option, value, stripBlanks(parameters.at(position)))) {
                    outcome.warnings.push_back(*warning);
                }
                applySetting(*option, value, settings);
            }
            break;
        }
        case OptionKind::Switch:
            applySetting(*option, QString(), settings);
            break;
        case OptionKind::Debug:
            job.mode = QStringLiteral("DEBUG");
            break;
        case OptionKind::Quiet:
            outcome.quiet = true;
            break;
        case OptionKind::Pause:
            outcome.pause = true;
            break;
        case OptionKind::Threads:
        case OptionKind::Memory:
        case OptionKind::Report:
        case OptionKind::Shard: {
            const QString value = optionValue(parameters, position);
            if (value.isEmpty() || value.startsWith(QLatin1StringView("--"))) {
                fail(outcome, {incorrectNumberOfParameters, missingValueDetail(*option, parameters, position)});
                return outcome;
            }
            const bool runLimit = option->kind == OptionKind::Threads || option->kind == OptionKind::Memory;
            if (runLimit) {
                fail(outcome, applyRunLimit(*option, value, outcome.limits));
            }
            if (!outcome.error.isEmpty() ||
                !applyRunValue(option->kind, option->takesText() ? joinQuoted(parameters, position, value) : value,
                               outcome)) {
                return outcome;
            }
            break;
        }
        case OptionKind::DryRun:
            outcome.batch.dryRun = true;
            break;
        case OptionKind::Update:
            outcome.batch.update = true;
            break;
        case OptionKind::Strict:
            outcome.limits.strict = true;
            break;
        }
    }
    const std::vector<Warning> batchWarnings = batchOptionWarnings(outcome.batch, settings);
    outcome.warnings.insert(outcome.warnings.end(), batchWarnings.begin(), batchWarnings.end());
    return outcome;
}

namespace {

CommandLineOutcome exitWith(int status)
{
    return {CommandLineOutcome::Next::Exit, status, {}};
}

} // namespace

CommandLineOutcome runCommandLine(int& argc, char** argv, const QStringList& parameters)
{
    // The console start: constant tables ready, a fresh job, console defaults. The configuration
    // file is neither read nor written in this mode.
    buildFormatTables();
    InputFileList inputFiles;
    JobState job;
    resetJobState(job);
    Settings settings;
    resetToDefaults(settings, true);
    loadMessageCatalogue();

    switch (firstParameterSwitch(parameters)) {
    case FirstSwitch::Version: {
        ConsoleOutput console;
        console.setTitle(programTitle());
        console.line(versionText(programVersion));
        return exitWith(exitSuccess);
    }
    case FirstSwitch::Help: {
        ConsoleOutput console;
        console.setTitle(programTitle());
        for (const QString& line : usageLines(programFileName())) {
            console.line(line);
        }
        return exitWith(exitSuccess);
    }
    case FirstSwitch::Uninstall:
        return {CommandLineOutcome::Next::StartUninstallPage, exitSuccess, {}};
    case FirstSwitch::Screenshot:
        return {CommandLineOutcome::Next::StartScreenshots, exitSuccess, optionValue(parameters, 1)};
    case FirstSwitch::None:
        break;
    }

    const ParseOutcome outcome = parseOptions(parameters, settings, job);
    if (!outcome.error.isEmpty()) {
        ConsoleOutput console;
        console.setTitle(programTitle());
        writeWarnings(console, outcome.warnings, outcome.limits.strict);
        console.errorLine(outcome.error);
        if (!outcome.errorDetail.isEmpty()) {
            console.errorDetail(outcome.errorDetail);
        }
        if (outcome.pause) {
            console.waitForKey();
        }
        return exitWith(exitError);
    }
    if (job.consoleRun == 0) {
        return {CommandLineOutcome::Next::StartWindowed, exitSuccess, {}};
    }

    ConsoleOutput console;
    console.setTitle(programTitle());
    if (writeWarnings(console, outcome.warnings, outcome.limits.strict)) {
        if (outcome.pause) {
            console.waitForKey();
        }
        return exitWith(exitError);
    }
    if (!outcome.quiet) {
        for (const QString& line : bannerLines()) {
            console.line(line);
        }
    }
    // Declared before the run's own objects, so the drawing application outlives the fonts the
    // run loads with it.
    std::unique_ptr<draw::OffscreenGuiApplication> drawing;
    ConsoleRunOptions options;
    options.quiet = outcome.quiet;
    options.limits = outcome.limits;
    options.batch = outcome.batch;
    options.furtherInputs = outcome.furtherInputs;
    options.startDrawing = [&]() {
        if (!drawing) {
            drawing = std::make_unique<draw::OffscreenGuiApplication>(argc, argv);
        }
        return drawing->ready();
    };
    const int status = runConsole(settings, job, inputFiles, console, options);
    if (outcome.pause) {
        console.line(QStringLiteral("Press any key to exit."));
        console.waitForKey();
    }
    return exitWith(status);
}
