#pragma once

#include <QSize>
#include <QString>

#include <cstdint>

// The one record of every user setting. Members follow the configuration groups and keys in
// the order the configuration file lists them; the comment after a member is its "Group/Key"
// name when the member name alone would not make it obvious. Widths matter: 8-bit choices and
// flags wrap around on load exactly as the file format and the command line expect.
//
// Every setting is listed once more in the descriptor table of settings_table.h, which drives
// the reset, the configuration load and save.

using Flag = std::int8_t;     // 0 = off, anything else = on
using Choice8 = std::int8_t;  // index into the setting's list of meanings
using Int8 = std::int8_t;
using Colour = QString;       // six hex digits RRGGBB; any other length means black
using Date = std::int32_t;    // local wall-clock seconds since 1970-01-01, as if it were UTC
using Bpp = std::int32_t;     // bits per pixel, 0 = Auto

struct GeneralSettings {
    std::int32_t cfg = 0;  // General/CFG
    QString language;
    std::int32_t updateRange = 0;
    Date updateDate = 0;
    Flag saveWindowPosition = 0;
};

struct WindowSettings {
    Flag isMaximized = 0;
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    // Kept, reset and read; nothing uses them.
    Flag hidePasswords = 0;
    Flag showSinglePassword = 0;
    Flag showPasswordList = 0;
    Flag showCharacterSet = 0;
    Flag showAdvancedOptions = 0;
};

struct InterfaceSettings {
    QString uiTheme;
    std::int32_t uiSize = 0;
};

struct InputSettings {
    QString format;
    std::int32_t ddsLoadAs = 0;
    std::int32_t gifFrameLoading = 0;
    std::int32_t icoFrameLoading = 0;
    std::int32_t tiffFrameLoading = 0;  // 0 All, 1 First, 2 Middle, 3 Last, 4 Random
    std::int32_t rawLoadAs = 0;
    std::int32_t rawHeaderSize = 0;
    std::int32_t rawImageWidth = 0;
    std::int32_t rawImageHeight = 0;
    std::int32_t rawToneMapping = 0;
};

struct OutputSettings {
    QString format;
    Bpp bmpBpp = 0;
    std::int32_t bmpCompression = 0;
    std::int32_t bmpColorTable = 0;  // 0 Auto, 1 Exact
    Bpp ddsBpp = 0;
    Bpp exrBpp = 0;
    std::int32_t exrCompression = 0;
    Bpp gifBpp = 0;
    Bpp hdrBpp = 0;
    Bpp icoBpp = 0;
    Bpp j2kBpp = 0;
    Bpp jngBpp = 0;
    Bpp jp2Bpp = 0;
    Bpp jpgBpp = 0;
    std::int32_t jpgQuality = 0;
    std::int32_t jpgChroma = 0;
    std::int32_t jpgSaveAs = 0;
    Bpp jxrBpp = 0;
    Bpp pbmBpp = 0;
    Bpp pcxBpp = 0;
    Bpp pfmBpp = 0;
    Bpp pgmBpp = 0;
    Bpp pngBpp = 0;
    std::int32_t pngCompression = 0;
    Flag pngInterlaced = 0;
    Bpp ppmBpp = 0;
    Bpp psdBpp = 0;
    Bpp tgaBpp = 0;
    std::int32_t tgaCompression = 0;
    Bpp tiffBpp = 0;
    std::int32_t tiffCompression = 0;
    std::int32_t tiffColorModel = 0;  // 0 RGB, 1 CMYK, 2 LAB (command line only)
    Bpp wbmpBpp = 0;
    Bpp webpBpp = 0;
    Bpp xpmBpp = 0;
};

struct TransformSettings {
    Flag doImageRotation = 0;
    Choice8 imageRotationType = 0;  // 0 Simple, 1 Advanced
    std::int32_t imageRotation = 0;
    Colour imageRotationBackColor;
    Flag doImageResize = 0;
    std::int32_t imageWidth = 0;
    Choice8 imageWidthUnit = 0;  // 0 pixels, 1 percent
    std::int32_t imageHeight = 0;
    Choice8 imageHeightUnit = 0;
    Flag keepAspectRatio = 0;
    Choice8 imageResizeType = 0;       // 0 All Images, 1 Large Images
    Choice8 imageResizeAlgorithm = 0;  // 0 Box .. 5 Lanczos
    Flag doImageFlipHorizontal = 0;
    Flag doImageFlipVertical = 0;
};

struct AdjustmentSettings {
    Flag doImageColorCorrection = 0;
    std::int32_t imageBrightness = 0;
    std::int32_t imageContrast = 0;
    float imageGamma = 1.0F;
    Flag imageInvert = 0;
    Flag doImageGreyscale = 0;
    Flag doImageThreshold = 0;
    std::int32_t imageThreshold = 0;
};

struct FrameSettings {
    Choice8 doFrame = 0;  // 0 None, 1 Solid Color
    std::int32_t solidLeft = 0;
    std::int32_t solidRight = 0;
    std::int32_t solidTop = 0;
    std::int32_t solidBottom = 0;
    Colour solidLeftColor;
    Colour solidRightColor;
    Colour solidTopColor;
    Colour solidBottomColor;
    std::int32_t solidOpacity = 0;
};

struct WatermarkSettings {
    Choice8 doWatermark = 0;  // 0 None, 1 Text, 2 Image
    QString text;
    QString fonts;
    QString font;
    std::int32_t fontSize = 0;
    std::int32_t fontLeading = 0;
    QString fontColors;
    Colour fontColor;
    Choice8 fontStyle = 0;   // 0 Regular, 1 Bold, 2 Italic, 3 Bold Italic
    Choice8 fontEffect = 0;  // 0 None, 1 Underline, 2 Strikethrough
    Flag textAntialiasing = 0;
    Choice8 textAlignment = 0;  // 0 Left, 1 Center, 2 Right
    std::int32_t textPadding = 0;
    std::int32_t textOpacity = 0;
    QString backColors;
    Colour backColor;
    std::int32_t backOpacity = 0;
    Choice8 textBoundary = 0;  // 0 Image, 1 Frame
    Choice8 textPosition = 0;  // 0 Top-Left .. 8 Bottom-Right
    std::int32_t textXOffset = 0;
    std::int32_t textYOffset = 0;
    std::int32_t textRotation = 0;
    Choice8 textSize = 0;
    std::int32_t textScale = 0;
    QString image;
    Flag imageGreyscale = 0;
    std::int32_t imageOpacity = 0;
    Choice8 imageBoundary = 0;
    Choice8 imagePosition = 0;
    std::int32_t imageXOffset = 0;
    std::int32_t imageYOffset = 0;
    std::int32_t imageRotation = 0;
    Choice8 imageSize = 0;
    std::int32_t imageScale = 0;
};

struct AdvancedSettings {
    QString filenameMask;
    Choice8 fileTimestamp = 0;  // 0 Current, 1 Original, 2 Custom
    Date customTimestamp = 0;
    Choice8 outFoldersHistory = 0;  // 0 Clean on Exit, 1 Keep Recent
    Int8 outFoldersNumber = 0;
    Flag keepSubfolders = 0;
    Flag stripMetadata = 0; // write no colour profile, XMP, EXIF or text tags (command line only)
};

struct FileSettings {
    QString txtFields;
    QString csvDelimiter;
    QString recentOutFolders;
    QString recentFiles;
};

struct PrivacySettings {
    Flag cleanRecentFiles = 0;
};

struct Settings {
    GeneralSettings general;
    WindowSettings window;
    InterfaceSettings interface;
    InputSettings input;
    OutputSettings output;
    TransformSettings transform;
    AdjustmentSettings adjustment;
    FrameSettings frame;
    WatermarkSettings watermark;
    AdvancedSettings advanced;
    FileSettings file;
    PrivacySettings privacy;
};

// Sets every setting to its default (walking the descriptor table, app/settings_table.cpp, which
// defines these two). consoleMode differs in one value only:
// Transform/Keep Aspect Ratio is 0 for the command line and 1 for the windowed mode.
void resetToDefaults(Settings& settings, bool consoleMode);
// The same, centring the main window on a primary screen of the given size; an invalid size
// means there is no screen and the window position becomes 100, 100.
void resetToDefaults(Settings& settings, bool consoleMode, QSize desktop);

// "FF8000" -> red + green * 256 + blue * 65536; a text of any other length is black (0).
std::uint32_t colourFromHex(const QString& hex);
// The inverse: two upper-case hex digits each for red, green, blue.
QString hexFromColour(std::uint32_t colour);
