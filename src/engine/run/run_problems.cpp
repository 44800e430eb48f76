#include "engine/run/run_problems.h"

#include "app/message_catalogue.h"

#include <array>

namespace {

using enum RunProblemKind;
using enum StatusAfterProblem;

// clang-format off
constexpr std::array<RunProblemRow, 21> rows{{
    {None,                  "",                                     "",                        ConversionStopped},
    {EmptyInputList,        "Invalid input file",                   "Empty input files",       ConversionStopped},
    {InvalidInputFile,      "Invalid input file",                   "",                        ConversionStopped},
    {IncorrectInputFolder,  "Incorrect input folder",               "",                        ConversionStopped},
    {InvalidInputFolder,    "Invalid input folder",                 "",                        ConversionStopped},
    {EmptyOutputFolder,     "Invalid output folder",                "Empty output folder",     ConversionStopped},
    {IncorrectOutputFolder, "Incorrect output folder",              "Invalid output folder",   ConversionStopped},
    {InvalidOutputFolder,   "Invalid output folder",                "Invalid output folder",   ConversionStopped},
    {InvalidConversionType, "Invalid conversion type",              "",                        ConversionStopped},
    {InvalidBitDepth,       "Invalid %s1%-bpp value",               "",                        ConversionStopped},
    {InvalidJpgQuality,     "Invalid jpg-quality value",            "",                        ConversionStopped},
    {InvalidWidth,          "Invalid width value",                  "Invalid width",           ConversionStopped},
    {InvalidHeight,         "Invalid height value",                 "Invalid height",          ConversionStopped},
    {InvalidBrightness,     "Invalid brightness value",             "",                        ConversionStopped},
    {InvalidContrast,       "Invalid contrast value",               "",                        ConversionStopped},
    {InvalidGamma,          "Invalid gamma value",                  "",                        ConversionStopped},
    {DrawingUnavailable,    "Unable to start the drawing facility", "",                        ConversionStopped},
    {InvalidWatermarkFont,  "Invalid watermark font",               "Invalid watermark font",  Unchanged},
    {EmptyWatermarkImage,   "Invalid watermark image",              "Empty watermark image",   Unchanged},
    {InvalidWatermarkImage, "Invalid watermark image",              "Invalid watermark image", Unchanged},
    {InvalidFilenameMask,   "Invalid filename mask",                "Invalid filename mask",   ConversionStopped},
}};
// clang-format on

constexpr bool rowsFollowTheKinds()
{
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (static_cast<std::size_t>(rows[i].kind) != i) {
            return false;
        }
    }
    return true;
}
static_assert(rowsFollowTheKinds() && rows.back().kind == InvalidFilenameMask);

} // namespace

const RunProblemRow& runProblemRow(RunProblemKind kind)
{
    const auto index = static_cast<std::size_t>(kind);
    return index < rows.size() ? rows[index] : rows.front();
}

QString runProblemConsoleText(const RunProblem& problem)
{
    return substituteMessage(QString::fromLatin1(runProblemRow(problem.kind).consoleText), problem.argument);
}

QString runProblemMessageKey(RunProblemKind kind)
{
    return QString::fromLatin1(runProblemRow(kind).messageKey);
}

QString runProblemMessage(const RunProblem& problem)
{
    const QString key = runProblemMessageKey(problem.kind);
    return key.isEmpty() ? QString() : substituteMessage(message(QStringLiteral("Msg"), key), problem.argument);
}
