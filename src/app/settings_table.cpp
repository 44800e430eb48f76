#include "app/settings_table.h"

#include "app/local_time.h"

#include <QByteArray>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>

namespace {

// One accessor per member: a captureless lambda turned into a function pointer whose return type
// names the member's width.
#define SETTING(member)                                                                                                \
    +[](Settings & s) -> auto&                                                                                         \
    {                                                                                                                  \
        return s.member;                                                                                               \
    }

using enum SettingKind;
using Rule = DefaultRule;
using Missing = MissingRule;
using Write = WriteRule;

const char* const standardColours = "000000,FFFFFF,FF0000,FF8000,FFFF00,008000,00FFFF,0000FF,8000FF";

// Built on first use, after the choice lists it reads the ranges from.
std::span<const SettingDescriptor> rows()
{
    // clang-format off
    static const SettingDescriptor table[] = {
        {"General", "CFG", Int, SETTING(general.cfg), currentConfigurationLayout, {}, "", Rule::Value, Missing::Zero, Write::LayoutVersion},
        {"General", "Language", Text, SETTING(general.language), 0, {}, "en"},
        {"General", "Update Range", Choice, SETTING(general.updateRange), 2, choiceRange(updateIntervals)},
        {"General", "Update Date", Date, SETTING(general.updateDate), 0, {}, "", Rule::Now},
        {"General", "Save Window Position", Flag, SETTING(general.saveWindowPosition), 1},

        {"Window", "IsMaximized", Flag, SETTING(window.isMaximized), 0, {}, "", Rule::Value, Missing::AsReset, Write::WithWindowPosition},
        {"Window", "Width", Int, SETTING(window.width), 510, {}, "", Rule::Value, Missing::AsReset, Write::WithWindowPosition},
        {"Window", "Height", Int, SETTING(window.height), 330, {}, "", Rule::Value, Missing::AsReset, Write::WithWindowPosition},
        {"Window", "X", Int, SETTING(window.x), 0, {}, "", Rule::CentredX, Missing::Hundred, Write::WithWindowPosition},
        {"Window", "Y", Int, SETTING(window.y), 0, {}, "", Rule::CentredY, Missing::Hundred, Write::WithWindowPosition},
        {"Window", "Hide Passwords", Flag, SETTING(window.hidePasswords), 0, {}, "", Rule::Value, Missing::AsReset, Write::Never},
        {"Window", "Show Single Password", Flag, SETTING(window.showSinglePassword), 1, {}, "", Rule::Value, Missing::AsReset, Write::Never},
        {"Window", "Show Password List", Flag, SETTING(window.showPasswordList), 1, {}, "", Rule::Value, Missing::AsReset, Write::Never},
        {"Window", "Show Character Set", Flag, SETTING(window.showCharacterSet), 1, {}, "", Rule::Value, Missing::AsReset, Write::Never},
        {"Window", "Show Advanced Options", Flag, SETTING(window.showAdvancedOptions), 1, {}, "", Rule::Value, Missing::AsReset, Write::Never},

        {"Interface", "UI Theme", Text, SETTING(interface.uiTheme), 0, {}, "handdrawn"},
        {"Interface", "UI Size", Choice, SETTING(interface.uiSize), 2, choiceRange(toolbarSizes)},

        // Only the formats of the input format list ("tiff") are written.
        {"Input", "Format", Text, SETTING(input.format), 0, {}, "", Rule::FirstInputFormat},
        {"Input", "DDS Load As", Choice, SETTING(input.ddsLoadAs), 0, choiceRange(ddsChannelOrders), "", Rule::Value, Missing::AsReset, Write::Never},
        {"Input", "GIF Frame Loading", Choice, SETTING(input.gifFrameLoading), 0, choiceRange(frameSelections), "", Rule::Value, Missing::AsReset, Write::Never},
        {"Input", "ICO Frame Loading", Choice, SETTING(input.icoFrameLoading), 0, choiceRange(frameSelections), "", Rule::Value, Missing::AsReset, Write::Never},
        {"Input", "TIFF Frame Loading", Choice, SETTING(input.tiffFrameLoading), 0, choiceRange(frameSelections)},
        {"Input", "RAW Load As", Choice, SETTING(input.rawLoadAs), 0, choiceRange(rawDepths), "", Rule::Value, Missing::AsReset, Write::Never},
        {"Input", "RAW Header Size", Int, SETTING(input.rawHeaderSize), 0, {}, "", Rule::Value, Missing::AsReset, Write::Never},
        {"Input", "RAW Image Width", Int, SETTING(input.rawImageWidth), 0, {}, "", Rule::Value, Missing::AsReset, Write::Never},
        {"Input", "RAW Image Height", Int, SETTING(input.rawImageHeight), 0, {}, "", Rule::Value, Missing::AsReset, Write::Never},
        {"Input", "RAW Tone Mapping", Choice, SETTING(input.rawToneMapping), 2, choiceRange(toneMappings), "", Rule::Value, Missing::AsReset, Write::Never},

        // In the order of the output format list.
        {"Output", "Format", Text, SETTING(output.format), 0, {}, "", Rule::FirstOutputFormat},
        {"Output", "BMP BPP", Bpp, SETTING(output.bmpBpp), 0},
        {"Output", "BMP Compression", Choice, SETTING(output.bmpCompression), 0, choiceRange(bmpCompressions)},
        {"Output", "BMP Color Table", Choice, SETTING(output.bmpColorTable), 0, choiceRange(colourTables)},
        {"Output", "DDS BPP", Bpp, SETTING(output.ddsBpp), 0},
        {"Output", "EXR BPP", Bpp, SETTING(output.exrBpp), 0},
        {"Output", "EXR Compression", Choice, SETTING(output.exrCompression), 0, choiceRange(exrCompressions)},
        {"Output", "GIF BPP", Bpp, SETTING(output.gifBpp), 0},
        {"Output", "HDR BPP", Bpp, SETTING(output.hdrBpp), 0},
        {"Output", "ICO BPP", Bpp, SETTING(output.icoBpp), 0},
        {"Output", "J2K BPP", Bpp, SETTING(output.j2kBpp), 0},
        {"Output", "JNG BPP", Bpp, SETTING(output.jngBpp), 0},
        {"Output", "JP2 BPP", Bpp, SETTING(output.jp2Bpp), 0},
        {"Output", "JPG BPP", Bpp, SETTING(output.jpgBpp), 0},
        {"Output", "JPG Quality", Int, SETTING(output.jpgQuality), 95, validRange(1, 100)},
        {"Output", "JPG Chroma", Choice, SETTING(output.jpgChroma), 0, choiceRange(chromaSubsamplings)},
        {"Output", "JPG Save As", Choice, SETTING(output.jpgSaveAs), 0, choiceRange(jpegEncodings)},
        {"Output", "JXR BPP", Bpp, SETTING(output.jxrBpp), 0},
        {"Output", "PBM BPP", Bpp, SETTING(output.pbmBpp), 0},
        {"Output", "PCX BPP", Bpp, SETTING(output.pcxBpp), 0},
        {"Output", "PFM BPP", Bpp, SETTING(output.pfmBpp), 0},
        {"Output", "PGM BPP", Bpp, SETTING(output.pgmBpp), 0},
        {"Output", "PNG BPP", Bpp, SETTING(output.pngBpp), 0},
        {"Output", "PNG Compression", Choice, SETTING(output.pngCompression), 0, choiceRange(pngCompressions)},
        {"Output", "PNG Interlaced", Flag, SETTING(output.pngInterlaced), 0},
        {"Output", "PPM BPP", Bpp, SETTING(output.ppmBpp), 0},
        {"Output", "PSD BPP", Bpp, SETTING(output.psdBpp), 0},
        {"Output", "TGA BPP", Bpp, SETTING(output.tgaBpp), 0},
        {"Output", "TGA Compression", Choice, SETTING(output.tgaCompression), 0, choiceRange(tgaCompressions)},
        {"Output", "TIFF BPP", Bpp, SETTING(output.tiffBpp), 0},
        {"Output", "TIFF Compression", Choice, SETTING(output.tiffCompression), 0, choiceRange(tiffCompressions)},
        {"Output", "TIFF Color Model", Choice, SETTING(output.tiffColorModel), 0, choiceRange(tiffColourModels)},
        {"Output", "WBMP BPP", Bpp, SETTING(output.wbmpBpp), 0},
        {"Output", "WEBP BPP", Bpp, SETTING(output.webpBpp), 0},
        {"Output", "XPM BPP", Bpp, SETTING(output.xpmBpp), 0},

        {"Transform", "Do Image Rotation", Flag, SETTING(transform.doImageRotation), 0},
        {"Transform", "Image Rotation Type", Choice8, SETTING(transform.imageRotationType), 0, choiceRange(rotationTypes)},
        {"Transform", "Image Rotation", Int, SETTING(transform.imageRotation), 0, validRange(0, 360)},
        {"Transform", "Image Rotation Back Color", Colour, SETTING(transform.imageRotationBackColor), 0, {}, "000000"},
        {"Transform", "Do Image Resize", Flag, SETTING(transform.doImageResize), 0},
        {"Transform", "Image Width", Int, SETTING(transform.imageWidth), 0},
        {"Transform", "Image Width Unit", Choice8, SETTING(transform.imageWidthUnit), 0, choiceRange(sizeUnits)},
        {"Transform", "Image Height", Int, SETTING(transform.imageHeight), 0},
        {"Transform", "Image Height Unit", Choice8, SETTING(transform.imageHeightUnit), 0, choiceRange(sizeUnits)},
        {"Transform", "Keep Aspect Ratio", Flag, SETTING(transform.keepAspectRatio), 1, {}, "", Rule::WindowedOnly},
        {"Transform", "Image Resize Type", Choice8, SETTING(transform.imageResizeType), 0, choiceRange(resizeTypes)},
        {"Transform", "Image Resize Algorithm", Choice8, SETTING(transform.imageResizeAlgorithm), 3, choiceRange(resizeFilters)},
        {"Transform", "Do Image Flip Horizontal", Flag, SETTING(transform.doImageFlipHorizontal), 0},
        {"Transform", "Do Image Flip Vertical", Flag, SETTING(transform.doImageFlipVertical), 0},

        {"Adjustment", "Do Image Color Correction", Flag, SETTING(adjustment.doImageColorCorrection), 0},
        {"Adjustment", "Image Brightness", Int, SETTING(adjustment.imageBrightness), 0, validRange(-100, 100)},
        {"Adjustment", "Image Contrast", Int, SETTING(adjustment.imageContrast), 0, validRange(-100, 100)},
        {"Adjustment", "Image Gamma", Real, SETTING(adjustment.imageGamma), 1.0, validRange(0.01, 9.99, 0.01)},
        {"Adjustment", "Image Invert", Flag, SETTING(adjustment.imageInvert), 0},
        {"Adjustment", "Do Image Greyscale", Flag, SETTING(adjustment.doImageGreyscale), 0},
        {"Adjustment", "Do Image Threshold", Flag, SETTING(adjustment.doImageThreshold), 0},
        {"Adjustment", "Image Threshold", Int, SETTING(adjustment.imageThreshold), 0, validRange(0, 255)},

        {"Frame", "Do Frame", Choice8, SETTING(frame.doFrame), 0, choiceRange(frameTypes)},
        {"Frame", "Solid Left", Int, SETTING(frame.solidLeft), 0},
        {"Frame", "Solid Right", Int, SETTING(frame.solidRight), 0},
        {"Frame", "Solid Top", Int, SETTING(frame.solidTop), 0},
        {"Frame", "Solid Bottom", Int, SETTING(frame.solidBottom), 0},
        {"Frame", "Solid Left Color", Colour, SETTING(frame.solidLeftColor), 0, {}, "000000"},
        {"Frame", "Solid Right Color", Colour, SETTING(frame.solidRightColor), 0, {}, "000000"},
        {"Frame", "Solid Top Color", Colour, SETTING(frame.solidTopColor), 0, {}, "000000"},
        {"Frame", "Solid Bottom Color", Colour, SETTING(frame.solidBottomColor), 0, {}, "000000"},
        {"Frame", "Solid Opacity", Int, SETTING(frame.solidOpacity), 255, validRange(1, 255)},

        {"Watermark", "Do Watermark", Choice8, SETTING(watermark.doWatermark), 0, choiceRange(watermarkTypes)},
        {"Watermark", "Text", Text, SETTING(watermark.text), 0, {}, "Copyright \u00A9 2025-2026 Morvane"},
        {"Watermark", "Fonts", Text, SETTING(watermark.fonts), 0, {}, "Arial,Tahoma,Verdana"},
        {"Watermark", "Font", Text, SETTING(watermark.font), 0, {}, "Arial"},
        {"Watermark", "Font Size", Int, SETTING(watermark.fontSize), 14},
        {"Watermark", "Font Leading", Int, SETTING(watermark.fontLeading), 0},
        {"Watermark", "Font Colors", Text, SETTING(watermark.fontColors), 0, {}, standardColours},
        {"Watermark", "Font Color", Colour, SETTING(watermark.fontColor), 0, {}, "FFFFFF"},
        {"Watermark", "Font Style", Choice8, SETTING(watermark.fontStyle), 0, choiceRange(fontStyles)},
        {"Watermark", "Font Effect", Choice8, SETTING(watermark.fontEffect), 0, choiceRange(fontEffects)},
        {"Watermark", "Text Antialiasing", Flag, SETTING(watermark.textAntialiasing), 0},
        {"Watermark", "Text Alignment", Choice8, SETTING(watermark.textAlignment), 0, choiceRange(textAlignments)},
        {"Watermark", "Text Padding", Int, SETTING(watermark.textPadding), 0},
        {"Watermark", "Text Opacity", Int, SETTING(watermark.textOpacity), 255, validRange(1, 255)},
        {"Watermark", "Back Colors", Text, SETTING(watermark.backColors), 0, {}, standardColours},
        {"Watermark", "Back Color", Colour, SETTING(watermark.backColor), 0, {}, "000000"},
        // 1, not 0: the box behind the text stays all but invisible until the user raises it.
        {"Watermark", "Back Opacity", Int, SETTING(watermark.backOpacity), 1, validRange(1, 255)},
        {"Watermark", "Text Boundary", Choice8, SETTING(watermark.textBoundary), 0, choiceRange(watermarkBounds)},
        {"Watermark", "Text Position", Choice8, SETTING(watermark.textPosition), 8, choiceRange(watermarkAnchors)},
        {"Watermark", "Text X Offset", Int, SETTING(watermark.textXOffset), 10},
        {"Watermark", "Text Y Offset", Int, SETTING(watermark.textYOffset), 10},
        {"Watermark", "Text Rotation", Int, SETTING(watermark.textRotation), 0, validRange(0, 360)},
        {"Watermark", "Text Size", Choice8, SETTING(watermark.textSize), 0, choiceRange(watermarkSizeModes)},
        {"Watermark", "Text Scale", Int, SETTING(watermark.textScale), 10, validRange(1, 200)},
        {"Watermark", "Image", Text, SETTING(watermark.image), 0, {}, ""},
        {"Watermark", "Image Greyscale", Flag, SETTING(watermark.imageGreyscale), 0},
        {"Watermark", "Image Opacity", Int, SETTING(watermark.imageOpacity), 255, validRange(1, 255)},
        {"Watermark", "Image Boundary", Choice8, SETTING(watermark.imageBoundary), 0, choiceRange(watermarkBounds)},
        {"Watermark", "Image Position", Choice8, SETTING(watermark.imagePosition), 8, choiceRange(watermarkAnchors)},
        {"Watermark", "Image X Offset", Int, SETTING(watermark.imageXOffset), 10},
        {"Watermark", "Image Y Offset", Int, SETTING(watermark.imageYOffset), 10},
        {"Watermark", "Image Rotation", Int, SETTING(watermark.imageRotation), 0, validRange(0, 360)},
        {"Watermark", "Image Size", Choice8, SETTING(watermark.imageSize), 0, choiceRange(watermarkSizeModes)},
        {"Watermark", "Image Scale", Int, SETTING(watermark.imageScale), 10, validRange(1, 200)},

        {"Advanced", "Filename Mask", Text, SETTING(advanced.filenameMask), 0, {}, "%filename%.%ext%"},
        {"Advanced", "File Timestamp", Choice8, SETTING(advanced.fileTimestamp), 0, choiceRange(timestampSources)},
        {"Advanced", "Custom Timestamp", Date, SETTING(advanced.customTimestamp), 0, {}, "", Rule::Now},
        {"Advanced", "Out Folders History", Choice8, SETTING(advanced.outFoldersHistory), 1, choiceRange(folderHistoryModes)},
        {"Advanced", "Out Folders Number", Int8, SETTING(advanced.outFoldersNumber), 5, validRange(1, 50)},
        {"Advanced", "Keep Subfolders", Flag, SETTING(advanced.keepSubfolders), 1},
        {"Advanced", "Strip Metadata", Flag, SETTING(advanced.stripMetadata), 0, {}, "", Rule::Value, Missing::AsReset, Write::Never},

        {"File", "TxtFields", Text, SETTING(file.txtFields), 0, {}, "username,password,firstname,lastname,title,sex,notes", Rule::Value, Missing::AsReset, Write::Never},
        {"File", "CsvDelimiter", Text, SETTING(file.csvDelimiter), 0, {}, ",", Rule::Value, Missing::AsReset, Write::Never},
        {"File", "Recent Out Folders", Text, SETTING(file.recentOutFolders), 0, {}, ""},
        {"File", "Recent Files", Text, SETTING(file.recentFiles), 0, {}, ""},

        {"Privacy", "Clean Recent Files", Flag, SETTING(privacy.cleanRecentFiles), 0},
    };
    // clang-format on
    return table;
}

#undef SETTING

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

QChar asciiLower(QChar c)
{
    return (c >= u'A' && c <= u'Z') ? QChar(c.unicode() + (u'a' - u'A')) : c;
}

bool equalsIgnoringAsciiCase(const QString& a, const char* b)
{
    const QString other = QString::fromUtf8(b);
    if (a.size() != other.size()) {
        return false;
    }
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(other[i])) {
            return false;
        }
    }
    return true;
}

std::int32_t centred(int desktopExtent, int windowExtent)
{
    return desktopExtent > windowExtent ? (desktopExtent - windowExtent) / 2 : 100;
}

std::int32_t numericDefault(const SettingDescriptor& setting, bool consoleMode, QSize desktop)
{
    switch (setting.rule) {
    case DefaultRule::Now:
        return localSecondsNow();
    case DefaultRule::CentredX:
        return centred(desktop.isValid() ? desktop.width() : 0, 510);
    case DefaultRule::CentredY:
        return centred(desktop.isValid() ? desktop.height() : 0, 330);
    case DefaultRule::WindowedOnly:
        return consoleMode ? 0 : static_cast<std::int32_t>(setting.number);
    default:
        return static_cast<std::int32_t>(setting.number);
    }
}

QString textDefault(const SettingDescriptor& setting)
{
    switch (setting.rule) {
    case DefaultRule::FirstInputFormat:
        return QString::fromLatin1(firstInputFormatKey);
    case DefaultRule::FirstOutputFormat:
        return QString::fromLatin1(firstOutputFormatKey);
    default:
        return QString::fromUtf8(setting.text);
    }
}

QString trimmedBlanks(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin])) {
        ++begin;
    }
    while (end > begin && isBlank(text[end - 1])) {
        --end;
    }
    return text.mid(begin, end - begin);
}

// Calls read with the setting's member, read-only. The accessors hand out references for writing;
// reading through them changes nothing.
template <typename Read> auto readSetting(const Settings& settings, const SettingDescriptor& setting, Read read)
{
    Settings& record = const_cast<Settings&>(settings);
    return std::visit([&](auto access) { return read(std::as_const(access(record))); }, setting.access);
}

} // namespace

std::span<const SettingDescriptor> settingsTable()
{
    return rows();
}

const SettingDescriptor* findSetting(const QString& group, const QString& key)
{
    for (const SettingDescriptor& setting : rows()) {
        if (equalsIgnoringAsciiCase(group, setting.group) && equalsIgnoringAsciiCase(key, setting.key)) {
            return &setting;
        }
    }
    return nullptr;
}

void resetSetting(Settings& settings, const SettingDescriptor& setting, bool consoleMode, QSize desktop)
{
    std::visit(
        [&](auto access) {
            auto& member = access(settings);
            using Member = std::remove_reference_t<decltype(member)>;
            if constexpr (std::is_same_v<Member, QString>) {
                member = textDefault(setting);
            } else if constexpr (std::is_same_v<Member, float>) {
                member = static_cast<float>(setting.number);
            } else {
                member = static_cast<Member>(numericDefault(setting, consoleMode, desktop));
            }
        },
        setting.access);
}

void resetToDefaults(Settings& settings, bool consoleMode)
{
    resetToDefaults(settings, consoleMode, QSize());
}

void resetToDefaults(Settings& settings, bool consoleMode, QSize desktop)
{
    for (const SettingDescriptor& setting : settingsTable()) {
        resetSetting(settings, setting, consoleMode, desktop);
    }
}

void setSettingFromText(Settings& settings, const SettingDescriptor& setting, const QString& value)
{
    std::visit(
        [&](auto access) {
            auto& member = access(settings);
            using Member = std::remove_reference_t<decltype(member)>;
            if constexpr (std::is_same_v<Member, QString>) {
                member = trimmedBlanks(value);
            } else if constexpr (std::is_same_v<Member, float>) {
                member = parseReal(value);
            } else {
                // 8-bit settings keep the low 8 bits as a signed number: 300 becomes 44.
                member = static_cast<Member>(parseInteger(value));
            }
        },
        setting.access);
}

QString settingToText(const Settings& settings, const SettingDescriptor& setting)
{
    return readSetting(settings, setting, [](const auto& member) -> QString {
        using Member = std::remove_cvref_t<decltype(member)>;
        if constexpr (std::is_same_v<Member, QString>) {
            return member;
        } else if constexpr (std::is_same_v<Member, float>) {
            return formatReal(member);
        } else {
            return QString::number(static_cast<int>(member));
        }
    });
}

std::int32_t settingInteger(const Settings& settings, const SettingDescriptor& setting)
{
    return readSetting(settings, setting, [](const auto& member) -> std::int32_t {
        using Member = std::remove_cvref_t<decltype(member)>;
        if constexpr (std::is_same_v<Member, QString> || std::is_same_v<Member, float>) {
            return 0;
        } else {
            return member;
        }
    });
}

void setSettingNumber(Settings& settings, const SettingDescriptor& setting, std::int32_t value)
{
    std::visit(
        [&](auto access) {
            auto& member = access(settings);
            using Member = std::remove_reference_t<decltype(member)>;
            if constexpr (std::is_same_v<Member, float>) {
                member = static_cast<float>(value);
            } else if constexpr (!std::is_same_v<Member, QString>) {
                // 8-bit settings keep the low 8 bits as a signed number: 300 becomes 44.
                member = static_cast<Member>(value);
            }
        },
        setting.access);
}

void setSettingReal(Settings& settings, const SettingDescriptor& setting, double value)
{
    if (auto* access = std::get_if<float& (*)(Settings&)>(&setting.access)) {
        // A double beyond the float range has no float value; it becomes infinite explicitly.
        if (value > std::numeric_limits<float>::max()) {
            (*access)(settings) = std::numeric_limits<float>::infinity();
        } else if (value < std::numeric_limits<float>::lowest()) {
            (*access)(settings) = -std::numeric_limits<float>::infinity();
        } else {
            (*access)(settings) = static_cast<float>(value);
        }
    }
}

void setSettingText(Settings& settings, const SettingDescriptor& setting, const QString& value)
{
    if (auto* access = std::get_if<QString& (*)(Settings&)>(&setting.access)) {
        (*access)(settings) = value;
    }
}

bool settingInRange(const Settings& settings, const SettingDescriptor& setting)
{
    if (!setting.valid.declared()) {
        return true;
    }
    return readSetting(settings, setting, [&](const auto& member) {
        using Member = std::remove_cvref_t<decltype(member)>;
        if constexpr (std::is_same_v<Member, QString>) {
            return true;
        } else if constexpr (std::is_same_v<Member, float>) {
            // Written so that NaN fails too.
            return member >= static_cast<float>(setting.valid.minimum) &&
                   member <= static_cast<float>(setting.valid.maximum);
        } else {
            return member >= setting.valid.minimum && member <= setting.valid.maximum;
        }
    });
}

namespace {

// The number a text begins with: blanks, a sign, digits. Its low 32 bits, and its value held
// exactly up to 2^40 (anything longer stays there).
struct LeadingInteger {
    bool negative = false;
    std::uint32_t low32 = 0;
    std::int64_t saturated = 0;
};

LeadingInteger scanInteger(const QString& text)
{
    constexpr std::int64_t saturation = std::int64_t{1} << 40;
    LeadingInteger number;
    qsizetype i = 0;
    while (i < text.size() && isBlank(text[i])) {
        ++i;
    }
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        number.negative = text[i] == u'-';
        ++i;
    }
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        const int digit = text[i].unicode() - u'0';
        // Unsigned arithmetic wraps instead of overflowing.
        number.low32 = number.low32 * 10U + static_cast<std::uint32_t>(digit);
        number.saturated = std::min(saturation, number.saturated * 10 + digit);
    }
    return number;
}

} // namespace

std::int32_t parseInteger(const QString& text)
{
    // An over-long number keeps its low 32 bits, as the 8-bit settings keep their low 8.
    const LeadingInteger number = scanInteger(text);
    return static_cast<std::int32_t>(number.negative ? 0U - number.low32 : number.low32);
}

std::int64_t parseIntegerUnwrapped(const QString& text)
{
    const LeadingInteger number = scanInteger(text);
    return number.negative ? -number.saturated : number.saturated;
}

float parseReal(const QString& text)
{
    const QString value = trimmedBlanks(text);
    if (equalsIgnoringAsciiCase(value, "+Infinity")) {
        return std::numeric_limits<float>::infinity();
    }
    if (equalsIgnoringAsciiCase(value, "-Infinity")) {
        return -std::numeric_limits<float>::infinity();
    }
    if (equalsIgnoringAsciiCase(value, "NaN")) {
        return std::numeric_limits<float>::quiet_NaN();
    }

    // The longest prefix that is a decimal number; anything after it is ignored.
    auto isDigit = [&](qsizetype at) { return at < value.size() && value[at] >= u'0' && value[at] <= u'9'; };
    qsizetype end = 0;
    if (end < value.size() && (value[end] == u'-' || value[end] == u'+')) {
        ++end;
    }
    qsizetype digits = 0;
    for (; isDigit(end); ++end) {
        ++digits;
    }
    if (end < value.size() && value[end] == u'.') {
        ++end;
        for (; isDigit(end); ++end) {
            ++digits;
        }
    }
    if (digits == 0) {
        return 0.0F;
    }
    bool negativeExponent = false;
    if (end < value.size() && (value[end] == u'e' || value[end] == u'E')) {
        qsizetype exponent = end + 1;
        if (exponent < value.size() && (value[exponent] == u'-' || value[exponent] == u'+')) {
            negativeExponent = value[exponent] == u'-';
            ++exponent;
        }
        if (isDigit(exponent)) {
            for (end = exponent; isDigit(end); ++end) {
            }
        } else {
            negativeExponent = false;
        }
    }
    bool ok = false;
    double number = value.left(end).toLatin1().toDouble(&ok);
    if (!ok) {
        // Out of the double range: too small is zero, too large is infinite.
        const bool negative = value.front() == u'-';
        if (negativeExponent) {
            return negative ? -0.0F : 0.0F;
        }
        number = negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
    }
    // A double beyond the float range has no float value; say so explicitly instead of
    // relying on the conversion.
    if (number > std::numeric_limits<float>::max()) {
        return std::numeric_limits<float>::infinity();
    }
    if (number < std::numeric_limits<float>::lowest()) {
        return -std::numeric_limits<float>::infinity();
    }
    return static_cast<float>(number);
}

QString formatReal(float value)
{
    if (std::isnan(value)) {
        return QStringLiteral("NaN");
    }
    if (std::isinf(value)) {
        return value > 0 ? QStringLiteral("+Infinity") : QStringLiteral("-Infinity");
    }
    // Locale-independent "%f": always a point and six decimals.
    return QString::number(static_cast<double>(value), 'f', 6);
}
