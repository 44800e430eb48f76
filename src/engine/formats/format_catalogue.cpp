#include "engine/formats/format_catalogue.h"

#include "app/message_catalogue.h"
#include "engine/formats/save_flags.h"

#include <FreeImage.h>
#include <IL/il.h>

#include <algorithm>

static_assert(devilDdsFormatId == IL_DDS && devilPcxFormatId == IL_PCX && devilPsdFormatId == IL_PSD);

namespace {

struct InputRow {
    const char* group;
    const char* extensions; // comma-separated, the row's principal extension first
    const char* description;
};

// One row per description; "apm" belongs to the group "wmf" but has a description of its own.
constexpr InputRow inputRows[] = {
    {"bmp", "bmp,rle,dib", "Windows or OS/2 Bitmap"},
    {"dds", "dds", "DirectDraw Surface File"},
    {"emf", "emf,emz", "Enhanced Metafile Format"},
    {"gif", "gif", "GIF File"},
    {"hdr", "hdr,hdri", "High Dynamic Range File"},
    {"ico", "ico", "Windows Icon"},
    {"jpg", "jpg,jpeg,jpe,jif", "JPEG File"},
    {"pcd", "pcd,pcd1,pcds,ppcd", "Kodak PhotoCD File"},
    {"pcx", "pcx", "ZSoft Paintbrush File"},
    {"pic", "pic,pict,pct", "Macintosh PICT"},
    {"png", "png", "Portable Network Graphics"},
    {"psd", "psd", "Adobe Photoshop File"},
    {"tga", "tga,targa", "Truevision Targa"},
    {"tiff", "tiff,tif", "Tagged Image File Format"},
    {"wmf", "wmf,wmz", "Windows Metafile Format"},
    {"wmf", "apm", "Aldus Placeable Metafile"},
    {"raw", "raw,raw1,raw2", "Camera RAW Image"},
    {"raw", "3fr", "Hasselblad Camera RAW Image"},
    {"raw", "arw,sr2,srf", "Sony Camera RAW Image"},
    {"raw", "bay", "Casio Camera RAW Image"},
    {"raw", "bmq", "NuCore RAW Image"},
    {"raw", "cap,iiq,eip", "Phase One Camera RAW Image"},
    {"raw", "cine", "Phantom RAW Image"},
    {"raw", "cr2,crw", "Canon Camera RAW Image"},
    {"raw", "cs1", "Capture Shop RAW Image"},
    {"raw", "dc2,dcr,drf,dsc,k25,kc2,kdc,dcs", "Kodak Camera RAW Image"},
    {"raw", "dng", "Adobe Digital Negative Image"},
    {"raw", "erf", "Epson Camera RAW Image"},
    {"raw", "fff", "Imacon Camera RAW Image"},
    {"raw", "ia,sti", "Sinar RAW Image"},
    {"raw", "mdc,mrw", "Minolta Camera RAW Image"},
    {"raw", "mef,mos", "Mamiya Camera RAW Image"},
    {"raw", "nef,nrw", "Nikon Camera RAW Image"},
    {"raw", "orf", "Olympus Camera RAW Image"},
    {"raw", "pef,ptx", "Pentax Camera RAW Image"},
    {"raw", "pxn", "Logitech Camera RAW Image"},
    {"raw", "qtk", "Apple Quicktake Camera RAW Image"},
    {"raw", "raf", "Fuji Camera RAW Image"},
    {"raw", "rdc", "Digital Foto Maker RAW Image"},
    {"raw", "rw2", "Panasonic Camera RAW Image"},
    {"raw", "rwz", "Rawzor Camera RAW Image"},
    {"raw", "x3f", "Sigma Camera RAW Image"},
    {"raw", "ari", "ARRI RAW Image"},
    {"raw", "r3d", "RED RAW Image"},
    {"raw", "rwl", "Leica Camera RAW Image"},
};

InputFormatTable makeInputFormatTable()
{
    InputFormatTable table;
    for (const InputRow& row : inputRows) {
        for (const QString& extension : QString::fromLatin1(row.extensions).split(QLatin1Char(','))) {
            table.emplace(extension, InputFormat{QString::fromLatin1(row.group), QString::fromLatin1(row.description)});
        }
    }
    return table;
}

struct SettingRow {
    const char* key; // in the Output group
    const char* echoLabel;
};

struct OutputRow {
    const char* key;
    std::int32_t formatId;
    const char* description;
    const char* bitDepths;
    OutputWriter writer = OutputWriter::FreeImage;
    int (*saveFlags)(const OutputSettings&) = nullptr;
    std::vector<SettingRow> encoderSettings = {};
    const char* fixedCompression = nullptr;
    bool devilMipmaps = false;
    const char* exactColourTable = nullptr; // Output key of the setting
    WriterLayout layout = {};
    int sizeCap = 0;
    double writerBytesPerPixel = 0;
    CarriedMetadata metadata = {};
    bool sixteenBitAlpha = false;
    RowWriterKind rowWriter = RowWriterKind::None;
    int cmykSaveFlag = 0;
    const char* checkedSetting = nullptr; // Output key of the setting
};

const SettingDescriptor* outputSetting(const QString& key)
{
    const SettingDescriptor* setting = findSetting(QStringLiteral("Output"), key);
    Q_ASSERT(setting != nullptr);
    return setting;
}

const SettingDescriptor* optionalOutputSetting(const char* key)
{
    return key != nullptr ? outputSetting(QString::fromLatin1(key)) : nullptr;
}

OutputFormat formatFromRow(const OutputRow& row)
{
    const QString key = QString::fromLatin1(row.key);
    OutputFormat format{key, row.formatId, key, QString::fromLatin1(row.description),
                        QString::fromLatin1(row.bitDepths)};
    format.writer = row.writer;
    format.bitDepthSetting = outputSetting(key.toUpper() + QStringLiteral(" BPP"));
    for (const SettingRow& setting : row.encoderSettings) {
        format.encoderSettings.push_back(
            {outputSetting(QString::fromLatin1(setting.key)), QString::fromLatin1(setting.echoLabel)});
    }
    format.saveFlags = row.saveFlags;
    format.fixedCompression = row.fixedCompression;
    format.devilMipmaps = row.devilMipmaps;
    format.exactColourTable = optionalOutputSetting(row.exactColourTable);
    format.layout = row.layout;
    format.sizeCap = row.sizeCap;
    format.writerBytesPerPixel = row.writerBytesPerPixel;
    format.metadata = row.metadata;
    format.sixteenBitAlpha = row.sixteenBitAlpha;
    format.rowWriter = row.rowWriter;
    format.cmykSaveFlag = row.cmykSaveFlag;
    format.checkedSetting = optionalOutputSetting(row.checkedSetting);
    return format;
}

OutputFormatTable makeOutputFormatTable()
{
    using enum OutputWriter;
    using enum TextTagCarrier;
    // Layouts of the writers that take 8 bits as grey levels and 1 bit as black and white.
    constexpr WriterLayout greyEight{.greyEight = true};
    // clang-format off
    const OutputRow rows[] = {
        {.key = "bmp", .formatId = FIF_BMP, .description = "Windows or OS/2 Bitmap", .bitDepths = "1,4,8,16,24,32",
         .saveFlags = bmpSaveFlags,
         .encoderSettings = {{"BMP Compression", "BMP Compression"},
                             {"BMP Color Table", "BMP Color Table"}},
         .exactColourTable = "BMP Color Table"},
        {.key = "dds", .formatId = devilDdsFormatId, .description = "DirectDraw Surface", .bitDepths = "32",
         .writer = Devil, .devilMipmaps = true, .writerBytesPerPixel = 17.3},
        {.key = "exr", .formatId = FIF_EXR, .description = "ILM OpenEXR", .bitDepths = "96",
         .saveFlags = exrSaveFlags, .encoderSettings = {{"EXR Compression", "EXR Compression"}},
         .writerBytesPerPixel = 6.0},
        {.key = "gif", .formatId = FIF_GIF, .description = "Graphics Interchange Format", .bitDepths = "8"},
        {.key = "hdr", .formatId = FIF_HDR, .description = "High Dynamic Range Image", .bitDepths = "96"},
        {.key = "ico", .formatId = FIF_ICO, .description = "Windows Icon", .bitDepths = "1,4,8,16,24,32",
         .writer = Icon, .layout = {.rgb555 = true}, .sizeCap = 128},
        {.key = "j2k", .formatId = FIF_J2K, .description = "JPEG-2000 Codestream", .bitDepths = "8,24,32,48",
         .writer = Jpeg2000, .layout = greyEight, .writerBytesPerPixel = 19.0, .sixteenBitAlpha = true},
        {.key = "jng", .formatId = FIF_JNG, .description = "JPEG Network Graphics", .bitDepths = "24,32"},
        {.key = "jp2", .formatId = FIF_JP2, .description = "JPEG-2000 File Format", .bitDepths = "8,24,32,48",
         .writer = Jpeg2000, .layout = greyEight, .writerBytesPerPixel = 19.0, .sixteenBitAlpha = true},
        {.key = "jpg", .formatId = FIF_JPEG, .description = "JPEG File Format", .bitDepths = "8,24",
         .saveFlags = jpegSaveFlags,
         .encoderSettings = {{"JPG Quality", "JPG Quality"}, {"JPG Chroma", "JPG Chroma Subsampling"},
                             {"JPG Save As", "JPG Save As"}},
         .layout = greyEight, .metadata = {.textTags = JpegComment}, .rowWriter = RowWriterKind::Jpeg, .checkedSetting = "JPG Quality"},
        {.key = "jxr", .formatId = FIF_JXR, .description = "JPEG XR Image Format", .bitDepths = "1,8,16,24,32,48,96",
         .writer = JpegXr, .saveFlags = jxrSaveFlags, .layout = {.greyEight = true, .bilevelOne = true},
         .writerBytesPerPixel = 3.7, .sixteenBitAlpha = true},
        {.key = "pbm", .formatId = FIF_PBM, .description = "Portable Bitmap", .bitDepths = "1",
         .layout = {.bilevelOne = true, .bilevelIndex = BilevelIndex::OneIsBlack}, .rowWriter = RowWriterKind::Pnm},
        {.key = "pcx", .formatId = devilPcxFormatId, .description = "ZSoft Paintbrush", .bitDepths = "24",
         .writer = Devil, .fixedCompression = "RLE", .writerBytesPerPixel = 12.0},
        {.key = "pfm", .formatId = FIF_PFM, .description = "Portable Floatmap", .bitDepths = "96"},
        {.key = "pgm", .formatId = FIF_PGM, .description = "Portable Greymap", .bitDepths = "8",
         .layout = {.greyEight = true, .greyOnly = true}, .rowWriter = RowWriterKind::Pnm},
        {.key = "png", .formatId = FIF_PNG, .description = "Portable Network Graphics", .bitDepths = "1,4,8,24,32,48",
         .saveFlags = pngSaveFlags,
         .encoderSettings = {{"PNG Compression", "PNG Compression"},
                             {"PNG Interlaced", "PNG Interlaced"}},
         .metadata = {.textTags = PngKeywords}, .sixteenBitAlpha = true, .rowWriter = RowWriterKind::Png},
        {.key = "ppm", .formatId = FIF_PPM, .description = "Portable Pixelmap", .bitDepths = "24,48",
         .rowWriter = RowWriterKind::Pnm},
        {.key = "psd", .formatId = devilPsdFormatId, .description = "Adobe Photoshop", .bitDepths = "32",
         .writer = Devil, .writerBytesPerPixel = 16.9},
        {.key = "tga", .formatId = FIF_TARGA, .description = "Truevision Targa", .bitDepths = "8,16,24,32",
         .saveFlags = tgaSaveFlags, .encoderSettings = {{"TGA Compression", "TGA Compression"}},
         .layout = {.rgb555 = true}},
        {.key = "tiff", .formatId = FIF_TIFF, .description = "Tagged Image File Format",
         .bitDepths = "1,4,8,24,32,48,96",
         .saveFlags = tiffSaveFlags,
         .encoderSettings = {{"TIFF Compression", "TIFF Compression"},
                             {"TIFF Color Model", "TIFF Color Model"}},
         .metadata = {.textTags = TiffTags, .cmykProfile = true}, .sixteenBitAlpha = true, .rowWriter = RowWriterKind::Tiff,
         .cmykSaveFlag = TIFF_CMYK},
        {.key = "wbmp", .formatId = FIF_WBMP, .description = "Wireless Bitmap", .bitDepths = "1",
         .layout = {.bilevelOne = true, .bilevelIndex = BilevelIndex::OneIsWhite}},
        {.key = "webp", .formatId = FIF_WEBP, .description = "Google WebP Image Format", .bitDepths = "24,32",
         .saveFlags = webpSaveFlags, .writerBytesPerPixel = 18.6},
        {.key = "xpm", .formatId = FIF_XPM, .description = "X11 Pixmap Format", .bitDepths = "24"},
    };
    // clang-format on
    OutputFormatTable table;
    table.reserve(std::size(rows));
    for (const OutputRow& row : rows) {
        table.push_back(formatFromRow(row));
    }
    return table;
}

} // namespace

void buildFormatTables()
{
    inputFormatTable();
    outputFormatTable();
    inputFormatList();
    outputFormatList();
    inputExtensionList();
}

const InputFormatTable& inputFormatTable()
{
    static const InputFormatTable table = makeInputFormatTable();
    return table;
}

const OutputFormatTable& outputFormatTable()
{
    static const OutputFormatTable table = makeOutputFormatTable();
    return table;
}

const QStringList& inputFormatList()
{
    static const QStringList list{QStringLiteral("tiff")};
    return list;
}

const QStringList& outputFormatList()
{
    static const QStringList list = [] {
        QStringList keys;
        for (const OutputFormat& format : outputFormatTable()) {
            keys.append(format.key);
        }
        return keys;
    }();
    return list;
}

QStringList rebuildInputExtensionList(const QStringList& groups, const InputFormatTable& table)
{
    QStringList extensions;
    for (const QString& group : groups) {
        for (const auto& [extension, entry] : table) {
            if (entry.group == group) {
                extensions.append(extension);
            }
        }
    }
    return extensions;
}

const QStringList& inputExtensionList()
{
    static const QStringList list = rebuildInputExtensionList(inputFormatList(), inputFormatTable());
    return list;
}

const InputFormat* findInputFormat(const QString& extension)
{
    const InputFormatTable& table = inputFormatTable();
    const auto found = table.find(extension);
    return found == table.end() ? nullptr : &found->second;
}

QStringList inputGroupExtensions(const QString& group)
{
    QStringList extensions;
    for (const InputRow& row : inputRows) {
        if (group == QLatin1String(row.group)) {
            extensions << QString::fromLatin1(row.extensions).split(QLatin1Char(','));
        }
    }
    return extensions;
}

const QStringList& watermarkPictureGroups()
{
    static const QStringList groups{QStringLiteral("png"), QStringLiteral("bmp"), QStringLiteral("jpg")};
    return groups;
}

bool isWatermarkPictureFormat(const QString& readerFormat)
{
    // The reader's names are extensions of the groups ("jpeg" is one of "jpg"'s).
    const InputFormat* format = findInputFormat(readerFormat);
    return format != nullptr && watermarkPictureGroups().contains(format->group);
}

bool isInputExtension(const QString& extension)
{
    return inputExtensionList().contains(extension, Qt::CaseSensitive);
}

const OutputFormat* findOutputFormat(const QString& key)
{
    const OutputFormatTable& table = outputFormatTable();
    const auto found =
        std::find_if(table.begin(), table.end(), [&key](const OutputFormat& format) { return format.key == key; });
    return found == table.end() ? nullptr : &*found;
}

const OutputFormat& outputFormatFor(const QString& key)
{
    static const OutputFormat none{};
    const OutputFormat* format = findOutputFormat(key);
    return format != nullptr ? *format : none;
}

bool isDevilOutputFormat(const QString& key)
{
    const OutputFormat* format = findOutputFormat(key);
    return format != nullptr && format->writer == OutputWriter::Devil;
}

int OutputFormat::bitDepthOf(const Settings& settings) const
{
    return settingInteger(settings, *bitDepthSetting);
}

int formatBitDepthSetting(const Settings& settings, const QString& outputKey)
{
    const OutputFormat* format = findOutputFormat(outputKey);
    return format != nullptr ? format->bitDepthOf(settings) : 0;
}

std::vector<int> readBitDepths(const QString& bitDepths)
{
    std::vector<int> values;
    for (const QStringView field : QStringView(bitDepths).split(QLatin1Char(','))) {
        values.push_back(field.trimmed().toInt());
    }
    return values;
}

std::vector<int> permittedBitDepths(const QString& key)
{
    const OutputFormat* format = findOutputFormat(key);
    return format ? readBitDepths(format->bitDepths) : std::vector<int>{};
}

int autoBitDepth(const QString& outputKey, int sourceBpp, SourceSamples samples)
{
    constexpr int sixteenBitRgba = 64;
    constexpr int sixteenBitColour = 16;
    if (samples == SourceSamples::SixteenRgba && outputFormatFor(outputKey).sixteenBitAlpha) {
        return sixteenBitRgba;
    }
    const std::vector<int> depths = permittedBitDepths(outputKey);
    for (const int depth : depths) {
        if (samples == SourceSamples::SixteenGrey && depth == sixteenBitColour) {
            continue;
        }
        if (depth >= sourceBpp) {
            return depth;
        }
    }
    return depths.empty() ? 0 : depths.back();
}

int computeSaveFlags(const QString& outputKey, const Settings& settings)
{
    const OutputFormat* format = findOutputFormat(outputKey);
    return format != nullptr && format->saveFlags != nullptr ? format->saveFlags(settings.output) : 0;
}

QString inputFileFilter(const QStringList& extensions, const InputFormatTable& table)
{
    QStringList combined;
    // Description -> patterns, kept in the order a description first appears.
    std::vector<std::pair<QString, QString>> byDescription;
    for (const QString& extension : extensions) {
        const QString pattern = QStringLiteral("*.") + extension;
        combined.append(pattern);
        const auto entry = table.find(extension);
        const QString description = entry == table.end() ? QString() : entry->second.description;
        auto slot = std::find_if(byDescription.begin(), byDescription.end(),
                                 [&description](const auto& pair) { return pair.first == description; });
        if (slot == byDescription.end()) {
            byDescription.emplace_back(description, pattern);
        } else {
            // Patterns of one description are joined newest first.
            slot->second = pattern + QLatin1Char(';') + slot->second;
        }
    }
    QString filter = message(QStringLiteral("Dialog"), QStringLiteral("All Supported Files")) + QLatin1Char('|') +
                     combined.join(QLatin1Char(';')) + QLatin1Char('|');
    for (const auto& [description, patterns] : byDescription) {
        filter += description + QLatin1Char('|') + patterns + QLatin1Char('|');
    }
    filter += message(QStringLiteral("Dialog"), QStringLiteral("All Files")) + QStringLiteral(" (*.*)|*.*");
    return filter;
}

QString inputFileFilter()
{
    return inputFileFilter(inputExtensionList(), inputFormatTable());
}

QString outputFormatLabel(const QString& key, bool withDescription)
{
    QString label = key.toUpper();
    const OutputFormat* format = findOutputFormat(key);
    if (withDescription && format) {
        label += QStringLiteral(" (") + format->description + QLatin1Char(')');
    }
    return label;
}
