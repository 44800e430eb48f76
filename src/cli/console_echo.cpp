#include "cli/console_echo.h"

#include "app/settings_table.h"
#include "cli/keywords.h"
#include "engine/formats/format_catalogue.h"

#include <algorithm>
#include <initializer_list>
#include <vector>

namespace {

QString flag(std::int32_t value)
{
    return value != 0 ? QStringLiteral("1") : QStringLiteral("0");
}

QString number(std::int32_t value)
{
    return QString::number(value);
}

// An encoder setting's value as the echo shows it: a choice by its keyword.
QString echoValue(const Settings& settings, const SettingDescriptor& setting)
{
    const std::int32_t value = settingInteger(settings, setting);
    if (!setting.valid.choices.empty()) {
        return keywordText(setting.valid.choices, value);
    }
    return setting.kind == SettingKind::Flag ? flag(value) : number(value);
}

// Lines of the echo followed by the checks made on what they show.
struct EchoSection {
    QStringList lines;
    std::vector<RunProblemKind> checkedAfter;
};

QStringList frameEcho(const FrameSettings& frame)
{
    QStringList lines{QStringLiteral("Frame: ") + keywordText(frameTypes, frame.doFrame)};
    if (frame.doFrame == 1) {
        lines << QStringLiteral("Frame left: ") + number(frame.solidLeft)
              << QStringLiteral("Frame right: ") + number(frame.solidRight)
              << QStringLiteral("Frame top: ") + number(frame.solidTop)
              << QStringLiteral("Frame bottom: ") + number(frame.solidBottom)
              << QStringLiteral("Frame left color: ") + frame.solidLeftColor
              << QStringLiteral("Frame right color: ") + frame.solidRightColor
              << QStringLiteral("Frame top color: ") + frame.solidTopColor
              << QStringLiteral("Frame bottom color: ") + frame.solidBottomColor
              << QStringLiteral("Frame opacity: ") + number(frame.solidOpacity);
    }
    return lines;
}

QStringList textWatermarkEcho(const WatermarkSettings& w)
{
    return {
        QStringLiteral("Watermark text: ") + w.text,
        QStringLiteral("Watermark font: ") + w.font,
        QStringLiteral("Watermark font size: ") + number(w.fontSize),
        QStringLiteral("Watermark font leading: ") + number(w.fontLeading),
        QStringLiteral("Watermark font color: ") + w.fontColor,
        QStringLiteral("Watermark font style: ") + keywordText(fontStyles, w.fontStyle),
        QStringLiteral("Watermark font effect: ") + keywordText(fontEffects, w.fontEffect),
        QStringLiteral("Watermark text antialiasing: ") + flag(w.textAntialiasing),
        QStringLiteral("Watermark text alignment: ") + keywordText(textAlignments, w.textAlignment),
        QStringLiteral("Watermark text padding: ") + number(w.textPadding),
        QStringLiteral("Watermark text opacity: ") + number(w.textOpacity),
        QStringLiteral("Watermark background color: ") + w.backColor,
        QStringLiteral("Watermark background opacity: ") + number(w.backOpacity),
        QStringLiteral("Watermark boundary: ") + keywordText(watermarkBounds, w.textBoundary),
        QStringLiteral("Watermark position: ") + keywordText(watermarkAnchors, w.textPosition),
        QStringLiteral("Watermark offset (x/y): ") + number(w.textXOffset) + u'/' + number(w.textYOffset),
        QStringLiteral("Watermark rotation: ") + number(w.textRotation),
        QStringLiteral("Watermark size/mode: ") + keywordText(watermarkSizeModes, w.textSize),
    };
}

QStringList imageWatermarkEcho(const WatermarkSettings& w)
{
    return {
        QStringLiteral("Watermark image: ") + w.image,
        QStringLiteral("Watermark greyscale: ") + flag(w.imageGreyscale),
        QStringLiteral("Watermark opacity: ") + number(w.imageOpacity),
        QStringLiteral("Watermark boundary: ") + keywordText(watermarkBounds, w.imageBoundary),
        QStringLiteral("Watermark position: ") + keywordText(watermarkAnchors, w.imagePosition),
        QStringLiteral("Watermark offset (x/y): ") + number(w.imageXOffset) + u'/' + number(w.imageYOffset),
        QStringLiteral("Watermark rotation: ") + number(w.imageRotation),
        QStringLiteral("Watermark size/mode: ") + keywordText(watermarkSizeModes, w.imageSize),
    };
}

QStringList watermarkEcho(const WatermarkSettings& watermark)
{
    if (watermark.doWatermark == 1) {
        return textWatermarkEcho(watermark);
    }
    if (watermark.doWatermark == 2) {
        return imageWatermarkEcho(watermark);
    }
    return {};
}

// After the filename mask, which is checked right after its line.
QStringList advancedEcho(const AdvancedSettings& advanced)
{
    QStringList lines{QStringLiteral("File Timestamp: ") + keywordText(timestampSources, advanced.fileTimestamp)};
    if (advanced.fileTimestamp == 2) {
        lines << QStringLiteral("Custom Timestamp: ") + number(advanced.customTimestamp);
    }
    lines << QStringLiteral("Keep Subfolders: ") + flag(advanced.keepSubfolders);
    return lines;
}

// Rotation, resize and flips: the width and the height are each checked right after their line.
void appendTransformSections(std::vector<EchoSection>& sections, const TransformSettings& transform)
{
    QStringList lines;
    if (transform.doImageRotation != 0) {
        lines << QStringLiteral("Image Rotation Type: ") + keywordText(rotationTypes, transform.imageRotationType)
              << QStringLiteral("Image Rotation: ") + number(transform.imageRotation)
              << QStringLiteral("Image Rotation Back Color: ") + transform.imageRotationBackColor;
    }
    if (transform.doImageResize != 0) {
        lines << QStringLiteral("Width: ") + number(transform.imageWidth) + u' ' +
                     keywordText(sizeUnits, transform.imageWidthUnit);
        sections.push_back({lines, {RunProblemKind::InvalidWidth}});
        sections.push_back({{QStringLiteral("Height: ") + number(transform.imageHeight) + u' ' +
                             keywordText(sizeUnits, transform.imageHeightUnit)},
                            {RunProblemKind::InvalidHeight}});
        lines = {QStringLiteral("Keep Aspect Ratio: ") + flag(transform.keepAspectRatio),
                 QStringLiteral("Image Resize Type: ") + keywordText(resizeTypes, transform.imageResizeType),
                 QStringLiteral("Image Resize Algorithm: ") +
                     keywordText(resizeFilters, transform.imageResizeAlgorithm)};
    }
    lines << QStringLiteral("Flip Horizontal: ") + flag(transform.doImageFlipHorizontal)
          << QStringLiteral("Flip Vertical: ") + flag(transform.doImageFlipVertical);
    sections.push_back({lines, {}});
}

// Colour correction, greyscale, threshold, frame and the watermark type: brightness, contrast and
// gamma are each checked right after their line, the drawing facility after the watermark type.
void appendAdjustmentSections(std::vector<EchoSection>& sections, const Settings& settings)
{
    const AdjustmentSettings& adjustment = settings.adjustment;
    QStringList lines;
    if (adjustment.doImageColorCorrection != 0) {
        sections.push_back({{QStringLiteral("Brightness: ") + number(adjustment.imageBrightness)},
                            {RunProblemKind::InvalidBrightness}});
        sections.push_back(
            {{QStringLiteral("Contrast: ") + number(adjustment.imageContrast)}, {RunProblemKind::InvalidContrast}});
        sections.push_back({{QStringLiteral("Gamma: ") + QString::number(adjustment.imageGamma, 'f', 2)},
                            {RunProblemKind::InvalidGamma}});
        lines << QStringLiteral("Invert: ") + flag(adjustment.imageInvert);
    }
    lines << QStringLiteral("Greyscale: ") + flag(adjustment.doImageGreyscale);
    if (adjustment.doImageThreshold != 0) {
        lines << QStringLiteral("Image Threshold: ") + number(adjustment.imageThreshold);
    }
    lines << frameEcho(settings.frame)
          << QStringLiteral("Watermark: ") + keywordText(watermarkTypes, settings.watermark.doWatermark);
    sections.push_back({lines, {RunProblemKind::DrawingUnavailable}});
}

std::vector<EchoSection> echoSections(const Settings& settings, const JobState& job, const EchoFacts& facts)
{
    using enum RunProblemKind;
    std::vector<EchoSection> sections{
        {{QStringLiteral("Input: ") + facts.inputAsGiven},
         {InvalidInputFile, IncorrectInputFolder, InvalidInputFolder}},
        {{QStringLiteral("Output: ") + facts.outputAsChosen},
         {EmptyOutputFolder, IncorrectOutputFolder, InvalidOutputFolder}},
        {{QStringLiteral("Conversion: ") + job.outputKey}, {InvalidConversionType}},
        {QStringList{QStringLiteral("TIFF Frame Loading: ") +
                     keywordText(frameSelections, settings.input.tiffFrameLoading)}
             << outputFormatEcho(settings, job.outputKey),
         {InvalidBitDepth, InvalidJpgQuality}},
    };
    appendTransformSections(sections, settings.transform);
    appendAdjustmentSections(sections, settings);
    sections.push_back(
        {watermarkEcho(settings.watermark), {InvalidWatermarkFont, EmptyWatermarkImage, InvalidWatermarkImage}});
    sections.push_back({{QStringLiteral("Filename Mask: ") + settings.advanced.filenameMask}, {InvalidFilenameMask}});
    sections.push_back({advancedEcho(settings.advanced), {}});
    return sections;
}

} // namespace

QStringList outputFormatEcho(const Settings& settings, const QString& key)
{
    const OutputFormat* format = findOutputFormat(key);
    if (format == nullptr) {
        return {};
    }
    QStringList lines{key.toUpper() + QStringLiteral(" BPP: ") + number(format->bitDepthOf(settings))};
    for (const FormatSetting& setting : format->encoderSettings) {
        lines << setting.echoLabel + QStringLiteral(": ") + echoValue(settings, *setting.setting);
    }
    return lines;
}

QStringList consoleEcho(const Settings& settings, const JobState& job, const EchoFacts& facts, RunProblemKind failed)
{
    QStringList lines;
    for (const EchoSection& section : echoSections(settings, job, facts)) {
        lines << section.lines;
        if (std::find(section.checkedAfter.begin(), section.checkedAfter.end(), failed) != section.checkedAfter.end()) {
            break;
        }
    }
    return lines;
}
