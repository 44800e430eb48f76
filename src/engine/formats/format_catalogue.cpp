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

InputFormatTable makeInputFormatTable()
{
    // One row per description; "apm" belongs to the group "wmf" but has a description of its own.
    static const InputRow rows[] = {
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
    InputFormatTable table;
    for (const InputRow& row : rows) {
        for (const QString& extension : QString::fromLatin1(row.extensions).split(QLatin1Char(','))) {
            table.emplace(extension, InputFormat{QString::fromLatin1(row.group), QString::fromLatin1(row.description)});
        }
    }
    return table;
}

struct SettingRow {
    const char* key; // in the Output group
    const char* echoLabel;
    EchoStyle echo;
};

struct OutputRow {
    const char* key;
    std::int32_t formatId;
    const char* description;
    const char* bitDepths;
    OutputWriter writer = OutputWriter::FreeImage;
    int (*saveFlags)(const OutputSettings&) = nullptr;
    std::vector<SettingRow> encoderSettings = {};
    const char* compressionKeywords = "";
};

const SettingDescriptor* outputSetting(const QString& key)
{
    const SettingDescriptor* setting = findSetting(QStringLiteral("Output"), key);
    Q_ASSERT(setting != nullptr);
    return setting;
}

OutputFormat outputFormatOf(const OutputRow& row)
{
    const QString key = QString::fromLatin1(row.key);
    OutputFormat format{key, row.formatId, key, QString::fromLatin1(row.description),
                        QString::fromLatin1(row.bitDepths)};
    format.writer = row.writer;
    format.bitDepthSetting = outputSetting(key.toUpper() + QStringLiteral(" BPP"));
    for (const SettingRow& setting : row.encoderSettings) {
        format.encoderSettings.push_back(
            {outputSetting(QString::fromLatin1(setting.key)), QString::fromLatin1(setting.echoLabel), setting.echo});
    }
    if (row.compressionKeywords[0] != '\0') {
        format.compressionKeywords = QString::fromLatin1(row.compressionKeywords).split(u',');
    }
    format.saveFlags = row.saveFlags;
    return format;
}

OutputFormatTable makeOutputFormatTable()
{
    using enum EchoStyle;
    constexpr OutputWriter devil = OutputWriter::Devil;
    constexpr OutputWriter freeImage = OutputWriter::FreeImage;
    const OutputRow rows[] = {
        {"bmp",
         FIF_BMP,
         "Windows or OS/2 Bitmap",
         "1,4,8,16,24,32",
         freeImage,
         bmpSaveFlags,
         {{"BMP Compression", "BMP Compression", Keyword}, {"BMP Color Table", "BMP Color Table", Keyword}},
         "NONE,RLE"},
        {"dds", devilDdsFormatId, "DirectDraw Surface", "32", devil},
        {"exr",
         FIF_EXR,
         "ILM OpenEXR",
         "96",
         freeImage,
         exrSaveFlags,
         {{"EXR Compression", "EXR Compression", Keyword}},
         "NONE,ZIP,PIZ,PXR24,B44"},
        {"gif", FIF_GIF, "Graphics Interchange Format", "8"},
        {"hdr", FIF_HDR, "High Dynamic Range Image", "96"},
        {"ico", FIF_ICO, "Windows Icon", "1,4,8,16,24,32"},
        {"j2k", FIF_J2K, "JPEG-2000 Codestream", "8,24,32,48"},
        {"jng", FIF_JNG, "JPEG Network Graphics", "24,32"},
        {"jp2", FIF_JP2, "JPEG-2000 File Format", "8,24,32,48"},
        {"jpg",
         FIF_JPEG,
         "JPEG File Format",
         "8,24",
         freeImage,
         jpegSaveFlags,
         {{"JPG Quality", "JPG Quality", Number},
          {"JPG Chroma", "JPG Chroma Subsampling", Keyword},
          {"JPG Save As", "JPG Save As", Keyword}}},
        {"jxr", FIF_JXR, "JPEG XR Image Format", "1,8,16,24,32,48,96", freeImage, jxrSaveFlags},
        {"pbm", FIF_PBM, "Portable Bitmap", "1"},
        {"pcx", devilPcxFormatId, "ZSoft Paintbrush", "24", devil},
        {"pfm", FIF_PFM, "Portable Floatmap", "96"},
        {"pgm", FIF_PGM, "Portable Greymap", "8"},
        {"png",
         FIF_PNG,
         "Portable Network Graphics",
         "1,4,8,24,32,48",
         freeImage,
         pngSaveFlags,
         {{"PNG Compression", "PNG Compression", Keyword}, {"PNG Interlaced", "PNG Interlaced", Flag}},
         "NONE,ZLIB1,ZLIB6,ZLIB9"},
        {"ppm", FIF_PPM, "Portable Pixelmap", "24,48"},
        {"psd", devilPsdFormatId, "Adobe Photoshop", "32", devil},
        {"tga",
         FIF_TARGA,
         "Truevision Targa",
         "8,16,24,32",
         freeImage,
         tgaSaveFlags,
         {{"TGA Compression", "TGA Compression", Keyword}},
         "NONE,RLE"},
        {"tiff",
         FIF_TIFF,
         "Tagged Image File Format",
         "1,4,8,24,32,48,96",
         freeImage,
         tiffSaveFlags,
         {{"TIFF Compression", "TIFF Compression", Keyword}, {"TIFF Color Model", "TIFF Color Model", Keyword}},
         "NONE,CCITTFAX3,CCITTFAX4,PACKBITS,DEFLATE,ADOBEDEFLATE,LZW,JPEG,LOGLUV"},
        {"wbmp", FIF_WBMP, "Wireless Bitmap", "1"},
        {"webp", FIF_WEBP, "Google WebP Image Format", "24,32", freeImage, webpSaveFlags},
        {"xpm", FIF_XPM, "X11 Pixmap Format", "24"},
    };
    OutputFormatTable table;
    table.reserve(std::size(rows));
    for (const OutputRow& row : rows) {
        table.push_back(outputFormatOf(row));
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
