#include "cli/option_table.h"

#include "cli/option_values.h"

#include <array>
#include <type_traits>

namespace {

// A captureless accessor of one Settings member, usable as a plain function pointer.
#define FIELD(member) +[](Settings& s) -> decltype(auto) { return (s.member); }

constexpr QLatin1StringView operator""_n(const char* text, std::size_t size)
{
    return QLatin1StringView(text, static_cast<qsizetype>(size));
}

using K = OptionKind;
using G = OptionGroup;
using T = KeywordTable;

// clang-format off
const std::array options{
    OptionSpec{.shortName = "-I"_n, .longName = "--INPUT"_n, .kind = K::Input, .group = G::Main,
               .help = "Input: a TIFF file, a list file (.txt or .lst, one path per line) or a folder (converted with its subfolders)", .valueHint = "FILE"},
    OptionSpec{.shortName = "-O"_n, .longName = "--OUTPUT"_n, .kind = K::Output, .group = G::Main,
               .help = "Output folder (must exist); default: the folder of the input", .valueHint = "PATH"},
    OptionSpec{.shortName = "-C"_n, .longName = "--CONVERSION"_n, .kind = K::Conversion, .group = G::Main,
               .help = "Output format, in lower case: bmp dds exr gif hdr ico j2k jng jp2 jpg jxr pbm pcx pfm pgm png ppm psd tga tiff wbmp webp xpm; default bmp", .valueHint = "STR"},

    OptionSpec{.longName = "--DDS-LOAD-AS"_n, .kind = K::Keyword, .group = G::Input, .field = FIELD(input.ddsLoadAs), .keywords = T::DdsLoad,
               .help = "Channel order of DDS input"},
    OptionSpec{.longName = "--GIF-FRAME-LOADING"_n, .kind = K::Keyword, .group = G::Input, .field = FIELD(input.gifFrameLoading), .keywords = T::FrameSelection,
               .help = "Frames of GIF input to convert"},
    OptionSpec{.longName = "--ICO-FRAME-LOADING"_n, .kind = K::Keyword, .group = G::Input, .field = FIELD(input.icoFrameLoading), .keywords = T::FrameSelection,
               .help = "Frames of ICO input to convert"},
    OptionSpec{.longName = "--RAW-LOAD-AS"_n, .kind = K::Keyword, .group = G::Input, .field = FIELD(input.rawLoadAs), .keywords = T::RawLoad,
               .help = "Depth of camera RAW input"},
    OptionSpec{.longName = "--RAW-HEADER-SIZE"_n, .kind = K::Number, .group = G::Input, .field = FIELD(input.rawHeaderSize),
               .help = "Header size of RAW input in bytes"},
    OptionSpec{.longName = "--RAW-WIDTH"_n, .kind = K::Number, .group = G::Input, .field = FIELD(input.rawImageWidth),
               .help = "Width of RAW input in pixels"},
    OptionSpec{.longName = "--RAW-HEIGHT"_n, .kind = K::Number, .group = G::Input, .field = FIELD(input.rawImageHeight),
               .help = "Height of RAW input in pixels"},
    OptionSpec{.longName = "--RAW-TONE-MAPPING"_n, .kind = K::Keyword, .group = G::Input, .field = FIELD(input.rawToneMapping), .keywords = T::ToneMapping,
               .help = "Tone mapping of RAW input"},
    OptionSpec{.longName = "--TIFF-FRAME-LOADING"_n, .kind = K::Keyword, .group = G::Input, .field = FIELD(input.tiffFrameLoading), .keywords = T::FrameSelection,
               .help = "Pages of a multi-page TIFF to convert (each page becomes its own numbered file)"},

    OptionSpec{.longName = "--BMP-BPP"_n, .kind = K::Number, .group = G::Output, .field = FIELD(output.bmpBpp), .help = "BMP bit depth: 0 (auto), 1, 4, 8, 16, 24, 32"},
    OptionSpec{.longName = "--BMP-COMPRESSION"_n, .kind = K::Keyword, .group = G::Output, .field = FIELD(output.bmpCompression), .keywords = T::Compression,
               .help = "BMP compression: NONE or RLE"},
    OptionSpec{.longName = "--BMP-COLOR-TABLE"_n, .kind = K::Keyword, .group = G::Output, .field = FIELD(output.bmpColorTable), .keywords = T::ColourTable,
               .help = "BMP colour table"},
    OptionSpec{.longName = "--DDS-BPP"_n, .kind = K::Number, .group = G::Output, .field = FIELD(output.ddsBpp), .help = "DDS bit depth: 0 (auto), 32"},
    OptionSpec{.longName = "--EXR-BPP"_n, .kind = K::Number, .group = G::Output, .field = FIELD(output.exrBpp), .help = "EXR bit depth: 0 (auto), 96"},
    OptionSpec{.longName = "--EXR-COMPRESSION"_n, .kind = K::Keyword, .group = G::Output, .field = FIELD(output.exrCompression), .keywords = T::Compression,
               .help = "EXR compression: NONE, ZIP, PIZ, PXR24 or B44"},
    OptionSpec{.longName = "--GIF-BPP"_n, .kind = K::Number, .group = G::Output, .field = FIELD(output.gifBpp), .help = "GIF bit depth: 0 (auto), 8"},
    OptionSpec{.longName = "--HDR-BPP"_n, .kind = K::Number, .group = G::Output, .field = FIELD(output.hdrBpp), .help = "HDR bit depth: 0 (auto), 96"},
    OptionSpec{.longName = "--ICO-BPP"_n, .kind = K::Number, .group = G::Output, .field = FIELD(output.icoBpp), .help = "ICO bit depth: 0 (auto), 1, 4, 8, 16, 24, 32"},
    OptionSpec{.longName = "--J2K-BPP"_n, .kind = K::Number, .group = G::Output, .field = FIELD(output.j2kBpp), .help = "J2K bit depth: 0 (auto), 8, 24, 32, 48"},
    OptionSpec{.longName = "--JNG-BPP"_n, .kind = K::Number, .group = G::Output, .field = FIELD(output.jngBpp), .help = "JNG bit depth: 0 (auto), 24, 32"},
    OptionSpec{.longName = "--JP2-BPP"_n, .kind = K::Number, .group = G::Output, .field = FIELD(output.jp2Bpp), .help = "JP2 bit depth: 0 (auto), 8, 24, 32, 48"},
    OptionSpec{.longName = "--JPG-BPP"_n, .kind = K::Number, .group = G::Output, .field = FIELD(output.jpgBpp), .help = "JPG bit depth: 0 (auto), 8, 24"},
    OptionSpec{.longName = "--JPG-QUALITY"_n, .kind = K::Number, .group = G::Output, .field = FIELD(output.jpgQuality), .help = "JPG quality, 1..100"},
    OptionSpec{.longName = "--JPG-CHROMA"_n, .kind = K::Keyword, .group = G::Output, .field = FIELD(output.jpgChroma), .keywords = T::Chroma,
               .help = "JPG chroma subsampling"},
    OptionSpec{.longName = "--JPG-SAVE-AS"_n, .kind = K::Keyword, .group = G::Output, .field = FIELD(output.jpgSaveAs), .keywords = T::JpegSaveMode,
               .help = "JPG encoding"},
    OptionSpec{.longName = "--JXR-BPP"_n, .kind = K::Number, .group = G::Output, .field = FIELD(output.jxrBpp), .help = "JXR bit depth: 0 (auto), 1, 8, 16, 24, 32, 48, 96"},
    OptionSpec{.longName = "--PBM-BPP"_n, .kind = K::Number, .group = G::Output, .field = FIELD(output.pbmBpp), .help = "PBM bit depth: 0 (auto), 1"},
    OptionSpec{.longName = "--PCX-BPP"_n, .kind = K::Number, .group = G::Output, .field = FIELD(output.pcxBpp), .help = "PCX bit depth: 0 (auto), 24"},
    OptionSpec{.longName = "--PFM-BPP"_n, .kind = K::Number, .group = G::Output, .field = FIELD(output.pfmBpp), .help = "PFM bit depth: 0 (auto), 96"},
    OptionSpec{.longName = "--PGM-BPP"_n, .kind = K::Number, .group = G::Output, .field = FIELD(output.pgmBpp), .help = "PGM bit depth: 0 (auto), 8"},
    OptionSpec{.longName = "--PNG-BPP"_n, .kind = K::Number, .group = G::Output, .field = FIELD(output.pngBpp), .help = "PNG bit depth: 0 (auto), 1, 4, 8, 24, 32, 48"},
    OptionSpec{.longName = "--PNG-COMPRESSION"_n, .kind = K::Keyword, .group = G::Output, .field = FIELD(output.pngCompression), .keywords = T::Compression,
               .help = "PNG compression: NONE, ZLIB1, ZLIB6 or ZLIB9"},
    OptionSpec{.longName = "--PNG-INTERLACED"_n, .kind = K::Switch, .group = G::Output, .field = FIELD(output.pngInterlaced), .help = "Write interlaced PNG"},
    OptionSpec{.longName = "--PPM-BPP"_n, .kind = K::Number, .group = G::Output, .field = FIELD(output.ppmBpp), .help = "PPM bit depth: 0 (auto), 24, 48"},
    OptionSpec{.longName = "--PSD-BPP"_n, .kind = K::Number, .group = G::Output, .field = FIELD(output.psdBpp), .help = "PSD bit depth: 0 (auto), 32"},
    OptionSpec{.longName = "--TGA-BPP"_n, .kind = K::Number, .group = G::Output, .field = FIELD(output.tgaBpp), .help = "TGA bit depth: 0 (auto), 8, 16, 24, 32"},
    OptionSpec{.longName = "--TGA-COMPRESSION"_n, .kind = K::Keyword, .group = G::Output, .field = FIELD(output.tgaCompression), .keywords = T::Compression,
               .help = "TGA compression: NONE or RLE"},
    OptionSpec{.longName = "--TIFF-BPP"_n, .kind = K::Number, .group = G::Output, .field = FIELD(output.tiffBpp), .help = "TIFF bit depth: 0 (auto), 1, 4, 8, 24, 32, 48, 96"},
    OptionSpec{.longName = "--TIFF-COMPRESSION"_n, .kind = K::Keyword, .group = G::Output, .field = FIELD(output.tiffCompression), .keywords = T::Compression,
               .help = "TIFF compression: NONE, CCITTFAX3, CCITTFAX4, PACKBITS, DEFLATE, ADOBEDEFLATE, LZW, JPEG or LOGLUV"},
    OptionSpec{.longName = "--TIFF-COLOR-MODEL"_n, .kind = K::Keyword, .group = G::Output, .field = FIELD(output.tiffColorModel), .keywords = T::ColourModel,
               .help = "TIFF colour model (LAB is written as RGB)"},
    OptionSpec{.longName = "--WBMP-BPP"_n, .kind = K::Number, .group = G::Output, .field = FIELD(output.wbmpBpp), .help = "WBMP bit depth: 0 (auto), 1"},
    OptionSpec{.longName = "--WEBP-BPP"_n, .kind = K::Number, .group = G::Output, .field = FIELD(output.webpBpp), .help = "WEBP bit depth: 0 (auto), 24, 32"},
    OptionSpec{.longName = "--XPM-BPP"_n, .kind = K::Number, .group = G::Output, .field = FIELD(output.xpmBpp), .help = "XPM bit depth: 0 (auto), 24"},

    OptionSpec{.longName = "--ROTATION-TYPE"_n, .kind = K::Keyword, .group = G::Transform, .field = FIELD(transform.imageRotationType), .keywords = T::RotationType,
               .help = "Rotation method: SIMPLE (the page grows to hold the turned image) or ADVANCED (the page keeps its size, its corners filled from the image)"},
    OptionSpec{.longName = "--ROTATION"_n, .kind = K::Number, .group = G::Transform, .field = FIELD(transform.imageRotation),
               .enables = FIELD(transform.doImageRotation), .help = "Rotate by NUM degrees, 0..360 (turns rotation on)"},
    OptionSpec{.longName = "--ROTATION-BACK-COLOR"_n, .kind = K::Text, .group = G::Transform, .field = FIELD(transform.imageRotationBackColor),
               .help = "Background colour of the corners a simple rotation uncovers", .valueHint = "RRGGBB"},
    OptionSpec{.longName = "--WIDTH"_n, .kind = K::Number, .group = G::Transform, .field = FIELD(transform.imageWidth),
               .enables = FIELD(transform.doImageResize), .help = "Output width (turns resizing on; 0 is refused)"},
    OptionSpec{.longName = "--WIDTH-UNIT"_n, .kind = K::Keyword, .group = G::Transform, .field = FIELD(transform.imageWidthUnit), .keywords = T::Unit,
               .help = "Unit of --width"},
    OptionSpec{.longName = "--HEIGHT"_n, .kind = K::Number, .group = G::Transform, .field = FIELD(transform.imageHeight),
               .enables = FIELD(transform.doImageResize), .help = "Output height (turns resizing on; 0 is refused)"},
    OptionSpec{.longName = "--HEIGHT-UNIT"_n, .kind = K::Keyword, .group = G::Transform, .field = FIELD(transform.imageHeightUnit), .keywords = T::Unit,
               .help = "Unit of --height"},
    OptionSpec{.longName = "--KEEP-ASPECT-RATIO"_n, .kind = K::Switch, .group = G::Transform, .field = FIELD(transform.keepAspectRatio),
               .help = "Keep the aspect ratio when resizing"},
    OptionSpec{.longName = "--RESIZE-TYPE"_n, .kind = K::Keyword, .group = G::Transform, .field = FIELD(transform.imageResizeType), .keywords = T::ResizeType,
               .help = "Resize every image, or only images larger than the size given"},
    OptionSpec{.longName = "--RESIZE-ALGORITHM"_n, .kind = K::Keyword, .group = G::Transform, .field = FIELD(transform.imageResizeAlgorithm), .keywords = T::ResizeAlgorithm,
               .help = "Resampling filter"},
    OptionSpec{.longName = "--FLIP-HORIZONTAL"_n, .kind = K::Switch, .group = G::Transform, .field = FIELD(transform.doImageFlipHorizontal),
               .help = "Flip the output image horizontally"},
    OptionSpec{.longName = "--FLIP-VERTICAL"_n, .kind = K::Switch, .group = G::Transform, .field = FIELD(transform.doImageFlipVertical),
               .help = "Flip the output image vertically"},

    OptionSpec{.longName = "--BRIGHTNESS"_n, .kind = K::Number, .group = G::Adjustment, .field = FIELD(adjustment.imageBrightness),
               .enables = FIELD(adjustment.doImageColorCorrection), .help = "Brightness, -100..100 (turns colour correction on)"},
    OptionSpec{.longName = "--CONTRAST"_n, .kind = K::Number, .group = G::Adjustment, .field = FIELD(adjustment.imageContrast),
               .enables = FIELD(adjustment.doImageColorCorrection), .help = "Contrast, -100..100 (turns colour correction on)"},
    OptionSpec{.longName = "--GAMMA"_n, .kind = K::Real, .group = G::Adjustment, .field = FIELD(adjustment.imageGamma),
               .enables = FIELD(adjustment.doImageColorCorrection), .help = "Gamma, 0.01..9.99, with \".\" as decimal point (turns colour correction on)"},
    OptionSpec{.longName = "--INVERT"_n, .kind = K::Switch, .group = G::Adjustment, .field = FIELD(adjustment.imageInvert),
               .enables = FIELD(adjustment.doImageColorCorrection), .help = "Invert the colours (turns colour correction on)"},
    OptionSpec{.longName = "--GREYSCALE"_n, .kind = K::Switch, .group = G::Adjustment, .field = FIELD(adjustment.doImageGreyscale),
               .help = "Convert to greyscale"},
    OptionSpec{.longName = "--THRESHOLD"_n, .kind = K::Number, .group = G::Adjustment, .field = FIELD(adjustment.imageThreshold),
               .enables = FIELD(adjustment.doImageThreshold), .help = "Convert to black and white at threshold NUM, 0..255"},

    OptionSpec{.longName = "--FR-SOLID-LEFT"_n, .kind = K::Number, .group = G::Frame, .field = FIELD(frame.solidLeft),
               .enables = FIELD(frame.doFrame), .help = "Left frame width in pixels (turns the frame on)"},
    OptionSpec{.longName = "--FR-SOLID-RIGHT"_n, .kind = K::Number, .group = G::Frame, .field = FIELD(frame.solidRight),
               .enables = FIELD(frame.doFrame), .help = "Right frame width in pixels (turns the frame on)"},
    OptionSpec{.longName = "--FR-SOLID-TOP"_n, .kind = K::Number, .group = G::Frame, .field = FIELD(frame.solidTop),
               .enables = FIELD(frame.doFrame), .help = "Top frame height in pixels (turns the frame on)"},
    OptionSpec{.longName = "--FR-SOLID-BOTTOM"_n, .kind = K::Number, .group = G::Frame, .field = FIELD(frame.solidBottom),
               .enables = FIELD(frame.doFrame), .help = "Bottom frame height in pixels (turns the frame on)"},
    OptionSpec{.longName = "--FR-SOLID-LEFT-COLOR"_n, .kind = K::Text, .group = G::Frame, .field = FIELD(frame.solidLeftColor),
               .help = "Left frame colour", .valueHint = "RRGGBB"},
    OptionSpec{.longName = "--FR-SOLID-RIGHT-COLOR"_n, .kind = K::Text, .group = G::Frame, .field = FIELD(frame.solidRightColor),
               .help = "Right frame colour", .valueHint = "RRGGBB"},
    OptionSpec{.longName = "--FR-SOLID-TOP-COLOR"_n, .kind = K::Text, .group = G::Frame, .field = FIELD(frame.solidTopColor),
               .help = "Top frame colour", .valueHint = "RRGGBB"},
    OptionSpec{.longName = "--FR-SOLID-BOTTOM-COLOR"_n, .kind = K::Text, .group = G::Frame, .field = FIELD(frame.solidBottomColor),
               .help = "Bottom frame colour", .valueHint = "RRGGBB"},
    OptionSpec{.longName = "--FR-SOLID-OPACITY"_n, .kind = K::Number, .group = G::Frame, .field = FIELD(frame.solidOpacity),
               .profileKey = "--WM-SOLID-OPACITY"_n, .help = "Frame opacity, 1..255 (255 = opaque)"},

    OptionSpec{.longName = "--WM-TEXT"_n, .kind = K::Text, .group = G::Watermark, .field = FIELD(watermark.text),
               .enables = FIELD(watermark.doWatermark), .help = "Text watermark (turns the text watermark on)", .valueHint = "TEXT"},
    OptionSpec{.longName = "--WM-FONT"_n, .kind = K::Text, .group = G::Watermark, .field = FIELD(watermark.font),
               .help = "Font family of the text watermark", .valueHint = "NAME"},
    OptionSpec{.longName = "--WM-FONT-SIZE"_n, .kind = K::Number, .group = G::Watermark, .field = FIELD(watermark.fontSize), .help = "Font size in points"},
    OptionSpec{.longName = "--WM-FONT-LEADING"_n, .kind = K::Number, .group = G::Watermark, .field = FIELD(watermark.fontLeading), .help = "Extra space between lines in pixels"},
    OptionSpec{.longName = "--WM-FONT-COLOR"_n, .kind = K::Text, .group = G::Watermark, .field = FIELD(watermark.fontColor),
               .help = "Text colour", .valueHint = "RRGGBB"},
    OptionSpec{.longName = "--WM-FONT-STYLE"_n, .kind = K::Keyword, .group = G::Watermark, .field = FIELD(watermark.fontStyle), .keywords = T::FontStyle,
               .help = "Font style"},
    OptionSpec{.longName = "--WM-FONT-EFFECT"_n, .kind = K::Keyword, .group = G::Watermark, .field = FIELD(watermark.fontEffect), .keywords = T::FontEffect,
               .help = "Font effect"},
    OptionSpec{.longName = "--WM-TEXT-ANTIALIASING"_n, .kind = K::Switch, .group = G::Watermark, .field = FIELD(watermark.textAntialiasing),
               .help = "Draw the text anti-aliased"},
    OptionSpec{.longName = "--WM-TEXT-ALIGNMENT"_n, .kind = K::Keyword, .group = G::Watermark, .field = FIELD(watermark.textAlignment), .keywords = T::Alignment,
               .help = "Alignment of the text lines"},
    OptionSpec{.longName = "--WM-TEXT-PADDING"_n, .kind = K::Number, .group = G::Watermark, .field = FIELD(watermark.textPadding), .help = "Padding around the text in pixels"},
    OptionSpec{.longName = "--WM-TEXT-OPACITY"_n, .kind = K::Number, .group = G::Watermark, .field = FIELD(watermark.textOpacity), .help = "Text opacity, 1..255 (255 = opaque)"},
    OptionSpec{.longName = "--WM-BACK-COLOR"_n, .kind = K::Text, .group = G::Watermark, .field = FIELD(watermark.backColor),
               .help = "Background colour behind the text", .valueHint = "RRGGBB"},
    OptionSpec{.longName = "--WM-BACK-OPACITY"_n, .kind = K::Number, .group = G::Watermark, .field = FIELD(watermark.backOpacity), .help = "Opacity of the box behind the text, 1..255"},
    OptionSpec{.longName = "--WM-TEXT-BOUNDARY"_n, .kind = K::Keyword, .group = G::Watermark, .field = FIELD(watermark.textBoundary), .keywords = T::Boundary,
               .help = "Place the text within the image or within the frame"},
    OptionSpec{.longName = "--WM-TEXT-POSITION"_n, .kind = K::Keyword, .group = G::Watermark, .field = FIELD(watermark.textPosition), .keywords = T::Position,
               .help = "Position of the text"},
    OptionSpec{.longName = "--WM-TEXT-X-OFFSET"_n, .kind = K::Number, .group = G::Watermark, .field = FIELD(watermark.textXOffset), .help = "Horizontal offset of the text in pixels"},
    OptionSpec{.longName = "--WM-TEXT-Y-OFFSET"_n, .kind = K::Number, .group = G::Watermark, .field = FIELD(watermark.textYOffset), .help = "Vertical offset of the text in pixels"},
    OptionSpec{.longName = "--WM-TEXT-ROTATION"_n, .kind = K::Number, .group = G::Watermark, .field = FIELD(watermark.textRotation), .help = "Rotation of the text in degrees"},
    OptionSpec{.longName = "--WM-TEXT-SIZE"_n, .kind = K::Keyword, .group = G::Watermark, .field = FIELD(watermark.textSize), .keywords = T::SizeMode,
               .help = "Size mode of the text"},
    OptionSpec{.longName = "--WM-IMAGE"_n, .kind = K::Text, .group = G::Watermark, .field = FIELD(watermark.image),
               .enables = FIELD(watermark.doWatermark), .enableValue = 2, .help = "Picture watermark, a PNG or JPEG file (turns the picture watermark on)", .valueHint = "FILE"},
    OptionSpec{.longName = "--WM-IMAGE-GREYSCALE"_n, .kind = K::Switch, .group = G::Watermark, .field = FIELD(watermark.imageGreyscale),
               .help = "Draw the picture in greyscale"},
    OptionSpec{.longName = "--WM-IMAGE-OPACITY"_n, .kind = K::Number, .group = G::Watermark, .field = FIELD(watermark.imageOpacity), .help = "Picture opacity, 1..255 (255 = opaque)"},
    OptionSpec{.longName = "--WM-IMAGE-BOUNDARY"_n, .kind = K::Keyword, .group = G::Watermark, .field = FIELD(watermark.imageBoundary), .keywords = T::Boundary,
               .help = "Place the picture within the image or within the frame"},
    OptionSpec{.longName = "--WM-IMAGE-POSITION"_n, .kind = K::Keyword, .group = G::Watermark, .field = FIELD(watermark.imagePosition), .keywords = T::Position,
               .help = "Position of the picture"},
    OptionSpec{.longName = "--WM-IMAGE-X-OFFSET"_n, .kind = K::Number, .group = G::Watermark, .field = FIELD(watermark.imageXOffset), .help = "Horizontal offset of the picture in pixels"},
    OptionSpec{.longName = "--WM-IMAGE-Y-OFFSET"_n, .kind = K::Number, .group = G::Watermark, .field = FIELD(watermark.imageYOffset), .help = "Vertical offset of the picture in pixels"},
    OptionSpec{.longName = "--WM-IMAGE-ROTATION"_n, .kind = K::Number, .group = G::Watermark, .field = FIELD(watermark.imageRotation), .help = "Rotation of the picture in degrees"},
    OptionSpec{.longName = "--WM-IMAGE-SIZE"_n, .kind = K::Keyword, .group = G::Watermark, .field = FIELD(watermark.imageSize), .keywords = T::SizeMode,
               .help = "Size mode of the picture"},

    OptionSpec{.longName = "--FILENAME-MASK"_n, .kind = K::Text, .group = G::Advanced, .field = FIELD(advanced.filenameMask),
               .help = "Output file name, with placeholders such as %filename% and %ext%", .valueHint = "STR"},
    OptionSpec{.longName = "--FILE-TIMESTAMP"_n, .kind = K::Keyword, .group = G::Advanced, .field = FIELD(advanced.fileTimestamp), .keywords = T::Timestamp,
               .help = "Modification time of the output files"},
    OptionSpec{.longName = "--FILE-TIMESTAMP-CUSTOM"_n, .kind = K::Number, .group = G::Advanced, .field = FIELD(advanced.customTimestamp),
               .help = "The time for --file-timestamp=custom: local time as seconds since 1970-01-01 00:00:00"},
    OptionSpec{.longName = "--NO-SUBFOLDERS"_n, .kind = K::Switch, .group = G::Advanced, .field = FIELD(advanced.keepSubfolders), .switchValue = 0,
               .help = "Write every output file into the output folder itself, not into subfolders mirroring the input folder"},
    OptionSpec{.longName = "--PROFILE"_n, .kind = K::Profile, .group = G::Advanced,
               .help = "Apply the [CLI] group of a profile file at this place of the command line", .valueHint = "FILE"},

    OptionSpec{.shortName = "-D"_n, .longName = "--DEBUG"_n, .kind = K::Debug, .group = G::Other, .help = "Print every effective setting and each file's result"},
    OptionSpec{.shortName = "-Q"_n, .longName = "--QUIET"_n, .kind = K::Quiet, .group = G::Other, .help = "Print only errors, the debug lines and the stop messages"},
    OptionSpec{.longName = "--THREADS"_n, .kind = K::Threads, .group = G::Other,
               .help = "How many files are converted at once (default: one per core; 1 converts one after the other)", .valueHint = "N"},
    OptionSpec{.shortName = "-P"_n, .longName = "--PAUSE"_n, .kind = K::Pause, .group = G::Other, .help = "Wait for a key at exit (only when run from a terminal)"},
};
// clang-format on

template <typename FieldPointer, typename Value> void store(const SettingField& field, Settings& settings, Value value)
{
    if (const auto* accessor = std::get_if<FieldPointer>(&field)) {
        (*accessor)(settings) = static_cast<std::remove_reference_t<decltype((*accessor)(settings))>>(value);
    }
}

void storeNumber(const SettingField& field, Settings& settings, std::int32_t value)
{
    store<IntField>(field, settings, value);
    // 8-bit settings keep the low 8 bits, as they always have.
    store<Int8Field>(field, settings, static_cast<std::int8_t>(static_cast<std::uint8_t>(value & 0xFF)));
}

} // namespace

bool OptionSpec::isSetting() const
{
    switch (kind) {
    case OptionKind::Keyword:
    case OptionKind::Number:
    case OptionKind::Real:
    case OptionKind::Text:
    case OptionKind::Switch:
        return true;
    default:
        return false;
    }
}

std::span<const OptionSpec> optionTable()
{
    return options;
}

const OptionSpec* findOption(QStringView upperName)
{
    if (upperName.isEmpty()) {
        return nullptr;
    }
    for (const OptionSpec& option : options) {
        if (upperName == option.longName || (!option.shortName.isEmpty() && upperName == option.shortName)) {
            return &option;
        }
    }
    return nullptr;
}

const OptionSpec* findProfileKey(QStringView upperKey)
{
    for (const OptionSpec& option : options) {
        if (option.isSetting() && upperKey == option.profileName()) {
            return &option;
        }
    }
    return nullptr;
}

void applySetting(const OptionSpec& option, const QString& value, Settings& settings)
{
    switch (option.kind) {
    case OptionKind::Keyword:
        storeNumber(option.field, settings, keywordValue(option.keywords, value));
        break;
    case OptionKind::Number:
        storeNumber(option.field, settings, readNumber(value));
        break;
    case OptionKind::Real:
        store<RealField>(option.field, settings, readReal(value));
        break;
    case OptionKind::Text:
        store<TextField>(option.field, settings, value);
        break;
    case OptionKind::Switch:
        storeNumber(option.field, settings, option.switchValue);
        break;
    default:
        return;
    }
    if (option.enables != nullptr) {
        option.enables(settings) = option.enableValue;
    }
}
