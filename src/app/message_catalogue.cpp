#include "app/message_catalogue.h"

#include <QStringList>

#include <algorithm>
#include <tuple>
#include <vector>

namespace {

// The built-in English table, in table order. Texts are reproduced exactly; "\r\n" is a real line
// break inside a message box text.

// Menu (32 entries)
constexpr MessageEntry menuMessages[] = {
    {"File", "File"},
    {"New", "New"},
    {"Open", "Open..."},
    {"Save As", "Save As..."},
    {"Select Input File", "Add Input File..."},
    {"Select Input Files", "Add Input Files..."},
    {"Select Input Folder", "Add Input Folder..."},
    {"Delete Input Files", "Delete Files From the List"},
    {"Select Output Folder", "Select Output Folder..."},
    {"Output Format Options", "Options..."},
    {"Import Input Files", "Import Files..."},
    {"Export Input Files", "Export Files..."},
    {"Exit", "Exit"},
    {"Edit", "Edit"},
    {"Copy", "Copy"},
    {"Delete", "Delete"},
    {"Select All", "Select All"},
    {"Converter", "Converter"},
    {"Convert", "Convert"},
    {"Batch Convert", "Batch Convert..."},
    {"Custom Converter", "Find a File Converter..."},
    {"Preferences", "Preferences..."},
    {"Help", "Help"},
    {"Manual", "User Manual..."},
    {"Send Feedback", "Send Feedback"},
    {"Visit Homepage", "Visit the Program's Homepage"},
    {"Check For New Version", "Check For a New Version"},
    {"About", "About..."},
    // The preview and the console's forms of the window's settings.
    {"Preview", "Preview..."},
    {"Save Profile", "Save Settings as Profile..."},
    {"Load Profile", "Load Profile..."},
    {"Copy Command Line", "Copy Command Line"},
};

// General (10 entries)
constexpr MessageEntry generalMessages[] = {
    {"Input File", "Input File:"},
    {"Input Files", "Input Files:"},
    {"Filename", "Filename"},
    {"Output Folder", "Output Folder:"},
    {"Output Format", "Output Format:"},
    {"Convert", "Convert"},
    {"Ready", "Ready"},
    {"Preparing", "Preparing..."},
    {"Importing", "Importing..."},
    {"Converting", "Converting..."},
};

// Msg (42 entries)
constexpr MessageEntry msgMessages[] = {
    {"Error", "Error"},
    {"Warning", "Warning"},
    {"Insufficient memory", "Insufficient Memory"},
    {"Unable to open file", "Unable to open the file: %s1%!"},
    {"Unable to save file", "Unable to save the file: %s1%!"},
    {"Empty input files", "No input file(s) found. Please, add valid file(s) and try again!"},
    {"Empty input folder", "The input folder's field is empty. Please, check the existed input folder and try again!"},
    {"Invalid input folder", "The following input folder is invalid or doesn't exist:\r\n%s1%\r\n\r\nPlease, correct "
                             "the input path and try again!"},
    {"Empty output folder", "The output folder's field is empty. Please, select existed output folder and try again!"},
    {"Invalid output folder", "The following output folder is invalid or doesn't exist:\r\n%s1%\r\n\r\nPlease, correct "
                              "the output path and try again!"},
    {"Invalid width", "Invalid resize width value!"},
    {"Invalid height", "Invalid resize height value!"},
    {"Invalid conversion type", "Invalid conversion type!"},
    {"Invalid watermark font", "Unable to load selected font for a watermark: %s1%"},
    {"Empty watermark image", "Selected watermark image is invalid/empty!"},
    {"Invalid watermark image", "Unable to load selected file as a watermark image: %s1%"},
    {"Invalid filename mask", "Invalid filename mask\r\n%s1%"},
    {"Import complete", "Import complete, new files added: %s1%"},
    {"Import is not complete", "Import stopped"},
    {"Export complete", "Export complete, entries saved: %s1%"},
    {"Export is not complete", "Export stopped"},
    {"Conversion complete", "Conversion complete"},
    {"Conversion is not complete", "Conversion stopped"},
    {"Progress", "(%s1%/%s2%)"},
    {"Files converted", "Files converted: %s1% of %s2%"},
    {"New Update", "New Update"},
    {"New Update Text", "A new version of Tessaline is available! Are you ready to download it right now?"},
    {"No Update", "No Update"},
    {"No Update Text", "There is no update of Tessaline yet. You're using the most recent version."},
    {"Check for Updates", "Check for Updates"},
    {"Ask check for updates", "Do you want to check for updates?"},
    {"Reset to Defaults", "Reset to Defaults"},
    {"Ask reset to defaults", "Are you sure you want to reset all your settings to the default values?"},
    {"Internet connection problems", "Internet connection problems!"},
    {"Ask overwrite file", "The file already exist. Do you want to overwrite it?"},
    {"Clean recent files", "Clean Recent Files"},
    {"Ask clean recent files", "Do you want to clean the recent files list?"},
    {"Ask continue to find", "No matches of %s1% found!\r\n\r\nDo you want to search from the start of the list?"},
    {"Ask break import", "Do you want to break the import?"},
    {"Ask break export", "Do you want to break the export?"},
    {"Ask break conversion", "Do you want to break the conversion?"},
    {"Empty extensions", "Please, fill all required fields and try again!"},
};

// Dialog (16 entries)
constexpr MessageEntry dialogMessages[] = {
    {"Select Input Files", "Select Input Files"},
    {"Select Input Folder", "Select Input Folder"},
    {"Select Output Folder", "Select Output Folder"},
    {"Import Input Files", "Import Input Files From A List"},
    {"Export Input Files", "Export Input Files"},
    {"Select Watermark Image", "Select Watermark Image"},
    {"All Supported Files", "All Supported Files"},
    {"Text Files", "Text Files"},
    {"All Files", "All Files"},
    {"Import Progress", "Importing"},
    {"Export Progress", "Exporting"},
    {"Convert Progress", "Converting"},
    {"OK", "OK"},
    {"Cancel", "Cancel"},
    {"Help", "Help"},
    {"Defaults", "Defaults"},
};

// Preferences (214 entries)
constexpr MessageEntry preferencesMessages[] = {
    // Texts equal to their keys.
    {"None", "None"},
    {"Auto", "Auto"},
    {"General", "General"},
    {"Every day", "Every day"},
    {"Every week", "Every week"},
    {"Every month", "Every month"},
    {"Every 3 months", "Every 3 months"},
    {"Every 6 months", "Every 6 months"},
    {"Never", "Never"},
    {"Interface", "Interface"},
    {"Small", "Small"},
    {"Medium", "Medium"},
    {"Large", "Large"},
    {"Extra Large", "Extra Large"},
    {"Huge", "Huge"},
    {"Input", "Input"},
    {"Linear", "Linear"},
    {"Adaptive Logarithmic", "Adaptive Logarithmic"},
    {"DR Reduction", "DR Reduction"},
    {"Gradient Domain", "Gradient Domain"},
    {"Output", "Output"},
    {"RLE", "RLE"},
    {"ZIP", "ZIP"},
    {"PXR24", "PXR24"},
    {"B44", "B44"},
    {"LZW", "LZW"},
    {"JPEG", "JPEG"},
    {"Exact", "Exact"},
    {"RGB", "RGB"},
    {"CMYK", "CMYK"},
    {"LAB", "LAB"},
    {"Low", "Low"},
    {"Medium", "Medium"},
    {"High", "High"},
    {"Baseline Standard", "Baseline Standard"},
    {"Baseline Simple", "Baseline Simple"},
    {"Baseline Optimized", "Baseline Optimized"},
    {"Progressive", "Progressive"},
    {"Transform", "Transform"},
    {"All Images", "All Images"},
    {"Large Images", "Large Images"},
    {"Box", "Box"},
    {"Bilinear", "Bilinear"},
    {"Bicubic", "Bicubic"},
    {"Lanczos", "Lanczos"},
    {"Adjustment", "Adjustment"},
    {"Frame", "Frame"},
    {"Watermark", "Watermark"},
    {"Color", "Color"},
    {"Black", "Black"},
    {"Silver", "Silver"},
    {"Gray", "Gray"},
    {"White", "White"},
    {"Maroon", "Maroon"},
    {"Red", "Red"},
    {"Purple", "Purple"},
    {"Fuchsia", "Fuchsia"},
    {"Green", "Green"},
    {"Lime", "Lime"},
    {"Olive", "Olive"},
    {"Yellow", "Yellow"},
    {"Navy", "Navy"},
    {"Blue", "Blue"},
    {"Teal", "Teal"},
    {"Aqua", "Aqua"},
    {"Orange", "Orange"},
    {"Brown", "Brown"},
    {"Violet", "Violet"},
    {"Regular", "Regular"},
    {"Bold", "Bold"},
    {"Italic", "Italic"},
    {"Bold Italic", "Bold Italic"},
    {"Underline", "Underline"},
    {"Top-Left", "Top-Left"},
    {"Top-Center", "Top-Center"},
    {"Top-Right", "Top-Right"},
    {"Middle-Left", "Middle-Left"},
    {"Middle-Center", "Middle-Center"},
    {"Middle-Right", "Middle-Right"},
    {"Bottom-Left", "Bottom-Left"},
    {"Bottom-Center", "Bottom-Center"},
    {"Bottom-Right", "Bottom-Right"},
    {"Fixed", "Fixed"},
    {"Proportional", "Proportional"},
    {"Fit", "Fit"},
    {"Fill", "Fill"},
    {"Advanced", "Advanced"},
    {"Current", "Current"},
    {"Original", "Original"},
    {"Custom", "Custom"},
    {"Export", "Export"},
    {"Privacy", "Privacy"},
    // Control labels: the key followed by a colon.
    {"Language", "Language:"},
    {"Check for Updates", "Check for Updates:"},
    {"Input Format", "Input Format:"},
    {"Header Size", "Header Size:"},
    {"Load As", "Load As:"},
    {"Frame Loading", "Frame Loading:"},
    {"Output Format", "Output Format:"},
    {"Bits Per Pixel", "Bits Per Pixel:"},
    {"Compression", "Compression:"},
    {"Color Table", "Color Table:"},
    {"Color Model", "Color Model:"},
    {"Image Quality", "Image Quality:"},
    {"Chroma Subsampling", "Chroma Subsampling:"},
    {"Save As", "Save As:"},
    {"Interlaced", "Interlaced:"},
    {"Image Rotation", "Image Rotation:"},
    {"Rotation Type", "Rotation Type:"},
    {"Rotation Angle", "Rotation Angle:"},
    {"Background Color", "Background Color:"},
    {"Image Resize", "Image Resize:"},
    {"Image Width", "Image Width:"},
    {"Image Height", "Image Height:"},
    {"Resize Type", "Resize Type:"},
    {"Resize Algorithm", "Resize Algorithm:"},
    {"Image Brightness", "Image Brightness:"},
    {"Image Contrast", "Image Contrast:"},
    {"Image Threshold", "Image Threshold:"},
    {"Threshold Level", "Threshold Level:"},
    {"Left", "Left:"},
    {"Right", "Right:"},
    {"Top", "Top:"},
    {"Bottom", "Bottom:"},
    {"Left Color", "Left Color:"},
    {"Right Color", "Right Color:"},
    {"Top Color", "Top Color:"},
    {"Bottom Color", "Bottom Color:"},
    {"Text", "Text:"},
    {"Image", "Image:"},
    {"Font", "Font:"},
    {"Font Size", "Font Size:"},
    {"Font Leading", "Font Leading:"},
    {"Font Color", "Font Color:"},
    {"Font Style", "Font Style:"},
    {"Font Effect", "Font Effect:"},
    {"Antialiasing", "Antialiasing:"},
    {"Text Alignment", "Text Alignment:"},
    {"Text Padding", "Text Padding:"},
    {"Text Opacity", "Text Opacity:"},
    {"Background Opacity", "Background Opacity:"},
    {"Opacity", "Opacity:"},
    {"Boundary", "Boundary:"},
    {"Position", "Position:"},
    {"X-Offset", "X-Offset:"},
    {"Y-Offset", "Y-Offset:"},
    {"Size", "Size:"},
    {"Scale", "Scale:"},
    {"Filename Mask", "Filename Mask:"},
    {"File Timestamp", "File Timestamp:"},
    {"Custom Timestamp", "Custom Timestamp:"},
    {"Keep Subfolders", "Keep Subfolders:"},
    // Texts of their own.
    {"Title", "Preferences..."},
    {"Save window position", "Save Window's Coords:"},
    {"UI Theme", "Theme:"},
    {"UI Size", "Icon Size:"},
    {"Bytes", "bytes"},
    {"RGB8", "RGB 8-bit"},
    {"RGB16", "RGB 16-bit"},
    {"RGB24", "RGB 24-bit"},
    {"RGB48HS", "RGB 48-bit (HS)"},
    {"RGB48", "RGB 48-bit"},
    {"BGRA", "BGR 32-bit"},
    {"RGBA", "RGB 32-bit"},
    {"All Frames", "All"},
    {"First Frame", "First"},
    {"Middle Frame", "Middle"},
    {"Last Frame", "Last"},
    {"Random Frame", "Random"},
    {"Tone Mapping", "HDR Tone Mapping:"},
    {"PIZ", "PIZ Wavelet"},
    {"ZLIB1", "ZLib Level 1"},
    {"ZLIB6", "ZLib Level 6"},
    {"ZLIB9", "ZLib Level 9"},
    {"CCITTFAX3", "CCITT Group 3 Fax"},
    {"CCITTFAX4", "CCITT Group 4 Fax"},
    {"PACKBITS", "PackBits"},
    {"DEFLATE", "Deflate (ZLib)"},
    {"ADOBEDEFLATE", "Adobe Deflate"},
    {"LOGLUV", "LogLuv"},
    {"Simple Rotation", "Simple"},
    {"Advanced Rotation", "Advanced"},
    {"Pixels", "pixels"},
    {"Percent", "percent"},
    {"Keep Aspect Ratio", "Keep Proportions:"},
    {"Bspline", "B-Spline"},
    {"Catmullrom", "Catmull-Rom Spline"},
    {"Image Flip Horizontal", "Flip Horizontal:"},
    {"Image Flip Vertical", "Flip Vertical:"},
    {"Image Gamma", "Gamma Correction:"},
    {"Image Invert", "Invert Image:"},
    {"Image Greyscale", "Greyscale Image:"},
    {"Frame Type", "Frame:"},
    {"Frame Solid", "Solid Color"},
    {"Watermark Type", "Watermark:"},
    {"Watermark Text", "Text"},
    {"Watermark Image", "Image"},
    {"Points", "points"},
    {"Strikeout", "Strikethrough"},
    {"Align Left", "Left"},
    {"Align Center", "Center"},
    {"Align Right", "Right"},
    {"Bound Image", "Image"},
    {"Bound Frame", "Frame"},
    {"Out Folders History", "Output Folders History:"},
    {"Clean On Exit", "Clean on Exit"},
    {"Keep Folders", "Keep Recent"},
    {"Out Folders Number", "Output Folders Number:"},
    {"Txt", "TXT"},
    {"Txt Export", "Export to TXT"},
    {"Csv Export", "Export to CSV"},
    {"Csv", "CSV"},
    {"Csv Delimiter", "CSV Delimiter:"},
    {"Clean Recent Files", "Clean Recent Files List on Exit"},
};

// About (4 entries)
constexpr MessageEntry aboutMessages[] = {
    {"Title", "About..."},
    {"Version", "Version:"},
    {"Website", "Web:"},
    {"Email", "E-mail:"},
};

// Custom-Converter (4 entries)
constexpr MessageEntry customConverterMessages[] = {
    {"Title", "Find a File Converter"},
    {"From", "From:"},
    {"To", "To:"},
    {"Search", "Search"},
};

// Uninstall (3 entries)
constexpr MessageEntry uninstallMessages[] = {
    {"Title", "Uninstall"},
    {"Uninstall Text", "Full Uninstall - Visit Uninstall Center"},
    {"Next", "Next"},
};

// Preview (26 entries): the preview window and the profile commands.
constexpr MessageEntry previewMessages[] = {
    {"Title", "Preview"},
    {"Page", "Page:"},
    {"Page Count", "of %s1%"},
    {"View", "View:"},
    {"Side By Side", "Side by side"},
    {"Split", "Split (drag the line)"},
    {"Fit", "Fit to Window"},
    {"Actual Size", "100 %"},
    {"Pictures", "Before and after"},
    {"Working", "Working on %s1%..."},
    {"First Look", "Scaled-down first look at a %s1% x %s2% page; the full page is being worked on..."},
    {"Reduced Look", "Reduced preview of a %s1% x %s2% page (one row and column in %s3%); the full preview is being "
                     "worked on... Frames, watermarks and sizes in pixels show larger here than on the page."},
    {"Reduced Copy Look", "Reduced preview of a %s1% x %s2% page from the file's own reduced copy; the full preview "
                          "is being worked on... Frames, watermarks and sizes in pixels show larger here than on the "
                          "page."},
    {"Output Size", "Output: %s1% x %s2% pixels, %s3% bits per pixel"},
    {"Output Bytes", "%s1% bytes, %s2% ms"},
    {"Output Name", "Output name: %s1%"},
    {"Shown Scaled",
     "The pictures here are copies reduced to %s1% % of the page's size; the file is written at full size."},
    {"Not Converted", "The current page selection (Preferences, Input) does not convert this page."},
    {"Cannot Show", "The written file cannot be shown here; it is written as shown above."},
    {"Empty List", "Add a file to the list to preview it."},
    {"Unreadable", "This file cannot be converted: %s1%"},
    {"Save Profile", "Save Settings as Profile"},
    {"Load Profile", "Load Profile"},
    {"Profile Files", "Profiles|*.ini;*.profile;*.txt|All Files|*"},
    {"Profile Not Written", "The profile could not be written to %s1%."},
    {"Command Copied", "Command line copied to the clipboard"},
};

constexpr MessageGroup builtInGroups[] = {
    {"Menu", menuMessages},
    {"General", generalMessages},
    {"Msg", msgMessages},
    {"Dialog", dialogMessages},
    {"Preferences", preferencesMessages},
    {"About", aboutMessages},
    {"Custom-Converter", customConverterMessages},
    {"Uninstall", uninstallMessages},
    {"Preview", previewMessages},
};

// One entry of the lookup index: group and key upper-cased, ordered by group, key and text in
// UTF-16 code-unit order, so a key that is a prefix of another sorts first and the first of two
// equal keys is the one with the lower text.
struct IndexedEntry {
    QString group;
    QString key;
    QString text;
};

bool indexOrder(const IndexedEntry& a, const IndexedEntry& b)
{
    return std::tie(a.group, a.key, a.text) < std::tie(b.group, b.key, b.text);
}

std::vector<IndexedEntry> makeIndex()
{
    std::vector<IndexedEntry> index;
    for (const MessageGroup& group : builtInGroups) {
        const QString groupName = QString::fromLatin1(group.name).toUpper();
        for (const MessageEntry& entry : group.entries) {
            index.push_back({groupName, QString::fromLatin1(entry.key).toUpper(), QString::fromLatin1(entry.text)});
        }
    }
    std::sort(index.begin(), index.end(), indexOrder);
    return index;
}

const std::vector<IndexedEntry>& catalogueIndex()
{
    static const std::vector<IndexedEntry> index = makeIndex();
    return index;
}

} // namespace

std::span<const MessageGroup> builtInMessageGroups()
{
    return builtInGroups;
}

void loadMessageCatalogue()
{
    catalogueIndex();
}

QString message(const QString& group, const QString& key)
{
    const IndexedEntry wanted{group.toUpper(), key.toUpper(), QString()};
    const std::vector<IndexedEntry>& index = catalogueIndex();
    // An empty text sorts before every text, so lower_bound lands on the first entry of an equal key.
    const auto found = std::lower_bound(index.begin(), index.end(), wanted, indexOrder);
    if (found != index.end() && found->group == wanted.group && found->key == wanted.key) {
        return found->text;
    }
    return QStringLiteral("%NO_STRING_ERROR%");
}

QString message(const QString& groupAndKey)
{
    const qsizetype slash = groupAndKey.indexOf(QLatin1Char('/'));
    if (slash < 0) {
        return QStringLiteral("%NO_STRING_ERROR%");
    }
    return message(groupAndKey.left(slash), groupAndKey.mid(slash + 1));
}

QString substituteMessage(const QString& text, const QString& s1, const QString& s2, const QString& s3,
                          const QString& s4)
{
    QString result = text;
    const QString* values[] = {&s1, &s2, &s3, &s4};
    const QLatin1StringView placeholders[] = {QLatin1StringView("%s1%"), QLatin1StringView("%s2%"),
                                              QLatin1StringView("%s3%"), QLatin1StringView("%s4%")};
    for (int n = 0; n < 4; ++n) {
        if (!values[n]->isEmpty()) {
            // Each step works on the result of the one before: a value inserted for %s1% that
            // itself holds "%s2%" is replaced in turn.
            result.replace(placeholders[n], *values[n], Qt::CaseInsensitive);
        }
    }
    return result;
}
