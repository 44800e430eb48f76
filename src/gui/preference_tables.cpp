#include "gui/preference_rows.h"

#include "app/settings_table.h"
#include "engine/formats/format_catalogue.h"

#include <string>
#include <vector>

namespace {

using enum ControlKind;
using enum SliderScale;

// clang-format off
constexpr const char* framePlacement = "Frame Loading";

constexpr PreferenceRow generalRows[] = {
    {"Language", Language, "General/Language"},
    {"Check For Updates", Combo, "General/Update Range"},
    {"Save window position", Check, "General/Save Window Position"},
};

constexpr PreferenceRow interfaceRows[] = {
    {"UI Theme", Theme, "Interface/UI Theme"},
    {"UI Size", Combo, "Interface/UI Size"},
};

constexpr RowRule rawSizeRule{"Input/RAW Load As", whenShowing({1, 2})};   // RGB8, RGB16
constexpr RowRule rawToneRule{"Input/RAW Load As", whenShowing({4, 5})};   // RGB48HS, RGB48

constexpr PreferenceRow tiffRows[] = {{framePlacement, Combo, "Input/TIFF Frame Loading"}};
constexpr PreferenceRow gifRows[] = {{framePlacement, Combo, "Input/GIF Frame Loading"}};
constexpr PreferenceRow icoRows[] = {{framePlacement, Combo, "Input/ICO Frame Loading"}};
constexpr PreferenceRow ddsRows[] = {{"Load As", Combo, "Input/DDS Load As"}};
constexpr PreferenceRow rawRows[] = {
    {"Load As", Combo, "Input/RAW Load As"},
    {"Header Size", Number, "Input/RAW Header Size", "Bytes", nullptr, Plain, rawSizeRule},
    {"Image Width", Number, "Input/RAW Image Width", "Pixels", nullptr, Plain, rawSizeRule},
    {"Image Height", Number, "Input/RAW Image Height", "Pixels", nullptr, Plain, rawSizeRule},
    {"Tone Mapping", Combo, "Input/RAW Tone Mapping", "", nullptr, Plain, rawToneRule},
};

constexpr InputSubPage inputPages[] = {
    {"tiff", tiffRows}, {"gif", gifRows}, {"ico", icoRows}, {"dds", ddsRows}, {"raw", rawRows},
};

// The rows of the output formats' encoder settings; each sub-page lists them in the order of its
// format's catalogue row.
constexpr PreferenceRow encoderRows[] = {
    {"Compression", Combo, "Output/BMP Compression"},
    {"Color Table", Combo, "Output/BMP Color Table"},
    {"Compression", Combo, "Output/EXR Compression"},
    {"Image Quality", SliderSpin, "Output/JPG Quality"},
    {"Chroma Subsampling", Combo, "Output/JPG Chroma"},
    {"Save As", Combo, "Output/JPG Save As"},
    {"Compression", Combo, "Output/PNG Compression"},
    {"Interlaced", Check, "Output/PNG Interlaced"},
    {"Compression", Combo, "Output/TGA Compression"},
    {"Compression", Combo, "Output/TIFF Compression"},
    {"Color Model", Combo, "Output/TIFF Color Model"},
};

constexpr RowRule whenRotating{"Transform/Do Image Rotation", whenChecked};
constexpr RowRule whenResizing{"Transform/Do Image Resize", whenChecked};

constexpr PreferenceRow transformRows[] = {
    {"Image Rotation", Check, "Transform/Do Image Rotation"},
    {"Rotation Type", Combo, "Transform/Image Rotation Type", "", nullptr, Plain, whenRotating},
    {"Rotation Angle", SliderSpin, "Transform/Image Rotation", "", nullptr, Plain, whenRotating},
    {"Background Color", ColourButton, "Transform/Image Rotation Back Color", "", nullptr, Plain, whenRotating},
    {"Image Resize", Check, "Transform/Do Image Resize"},
    {"Image Width", Number, "Transform/Image Width", "", "Transform/Image Width Unit", Plain, whenResizing},
    {"Image Height", Number, "Transform/Image Height", "", "Transform/Image Height Unit", Plain, whenResizing},
    {"Keep Aspect Ratio", Check, "Transform/Keep Aspect Ratio", "", nullptr, Plain, whenResizing},
    {"Resize Type", Combo, "Transform/Image Resize Type", "", nullptr, Plain, whenResizing},
    {"Resize Algorithm", Combo, "Transform/Image Resize Algorithm", "", nullptr, Plain, whenResizing},
    {"Image Flip Horizontal", Check, "Transform/Do Image Flip Horizontal"},
    {"Image Flip Vertical", Check, "Transform/Do Image Flip Vertical"},
};
constexpr PreferenceArea transformAreas[] = {{transformRows}};

constexpr PreferenceRow adjustmentRows[] = {
    {"Image Brightness", SliderSpin, "Adjustment/Image Brightness", "", nullptr, Centred},
    {"Image Contrast", SliderSpin, "Adjustment/Image Contrast", "", nullptr, Centred},
    {"Image Gamma", SliderSpin, "Adjustment/Image Gamma", "", nullptr, Hundredths},
    {"Image Invert", Check, "Adjustment/Image Invert"},
    {"Image Greyscale", Check, "Adjustment/Do Image Greyscale"},
    {"Image Threshold", Check, "Adjustment/Do Image Threshold"},
    {"Threshold Level", SliderSpin, "Adjustment/Image Threshold", "", nullptr, Plain,
     {"Adjustment/Do Image Threshold", whenChecked}},
};

constexpr PreferenceRow frameRows[] = {{"Frame Type", Combo, "Frame/Do Frame"}};
constexpr PreferenceRow solidFrameRows[] = {
    {"Left", Number, "Frame/Solid Left", "Pixels"},
    {"Right", Number, "Frame/Solid Right", "Pixels"},
    {"Top", Number, "Frame/Solid Top", "Pixels"},
    {"Bottom", Number, "Frame/Solid Bottom", "Pixels"},
    {"Left Color", ColourButton, "Frame/Solid Left Color"},
    {"Right Color", ColourButton, "Frame/Solid Right Color"},
    {"Top Color", ColourButton, "Frame/Solid Top Color"},
    {"Bottom Color", ColourButton, "Frame/Solid Bottom Color"},
    {"Opacity", SliderSpin, "Frame/Solid Opacity"},
};
constexpr PreferenceArea frameAreas[] = {{solidFrameRows, {"Frame/Do Frame", whenShowing({1})}}};

constexpr PreferenceRow watermarkRows[] = {
    {"Watermark Type", Combo, "Watermark/Do Watermark"},
};
// "Scale" belongs to a second Size entry that the lists do not offer, so it stays hidden.
constexpr PreferenceRow watermarkTextRows[] = {
    {"Text", Text, "Watermark/Text"},
    {"Font", FontList, "Watermark/Font", "", "Watermark/Fonts"},
    {"Font Size", Number, "Watermark/Font Size", "Points"},
    {"Font Leading", Number, "Watermark/Font Leading", "Pixels"},
    {"Font Color", ColourList, "Watermark/Font Color", "", "Watermark/Font Colors"},
    {"Font Style", Combo, "Watermark/Font Style"},
    {"Font Effect", Combo, "Watermark/Font Effect"},
    {"Antialiasing", Check, "Watermark/Text Antialiasing"},
    {"Text Alignment", Combo, "Watermark/Text Alignment"},
    {"Text Padding", Number, "Watermark/Text Padding", "Pixels"},
    {"Text Opacity", SliderSpin, "Watermark/Text Opacity"},
    {"Background Color", ColourList, "Watermark/Back Color", "", "Watermark/Back Colors"},
    {"Background Opacity", SliderSpin, "Watermark/Back Opacity"},
    {"Boundary", Combo, "Watermark/Text Boundary"},
    {"Position", Combo, "Watermark/Text Position"},
    {"X-Offset", Number, "Watermark/Text X Offset", "Pixels"},
    {"Y-Offset", Number, "Watermark/Text Y Offset", "Pixels"},
    {"Rotation Angle", SliderSpin, "Watermark/Text Rotation"},
    {"Size", Combo, "Watermark/Text Size"},
    {"Scale", SliderSpin, "Watermark/Text Scale", "", nullptr, Plain, {}, {"Watermark/Text Size", whenShowing({1})}},
};
constexpr PreferenceRow watermarkImageRows[] = {
    {"Image", ImageFile, "Watermark/Image"},
    {"Image Greyscale", Check, "Watermark/Image Greyscale"},
    {"Opacity", SliderSpin, "Watermark/Image Opacity"},
    {"Boundary", Combo, "Watermark/Image Boundary"},
    {"Position", Combo, "Watermark/Image Position"},
    {"X-Offset", Number, "Watermark/Image X Offset", "Pixels"},
    {"Y-Offset", Number, "Watermark/Image Y Offset", "Pixels"},
    {"Rotation Angle", SliderSpin, "Watermark/Image Rotation"},
    {"Size", Combo, "Watermark/Image Size"},
    {"Scale", SliderSpin, "Watermark/Image Scale", "", nullptr, Plain, {}, {"Watermark/Image Size", whenShowing({1})}},
};
constexpr PreferenceArea watermarkAreas[] = {
    {watermarkTextRows, {"Watermark/Do Watermark", whenShowing({1})}},
    {watermarkImageRows, {"Watermark/Do Watermark", whenShowing({2})}},
};

constexpr PreferenceRow advancedRows[] = {
    {"Filename Mask", Text, "Advanced/Filename Mask"},
    {"File Timestamp", Combo, "Advanced/File Timestamp"},
    {"Custom Timestamp", DateTime, "Advanced/Custom Timestamp", "", nullptr, Plain,
     {"Advanced/File Timestamp", whenShowing({2})}},
    {"Out Folders History", Combo, "Advanced/Out Folders History"},
    {"Out Folders Number", SliderSpin, "Advanced/Out Folders Number"},
    {"Keep Subfolders", Check, "Advanced/Keep Subfolders"},
};

constexpr PreferencePage pages[] = {
    {"General", generalRows},
    {"Interface", interfaceRows},
    {"Input", {}, {}, FormatSubPages::Input},
    {"Output", {}, {}, FormatSubPages::Output},
    {"Transform", {}, transformAreas},
    {"Adjustment", adjustmentRows},
    {"Frame", frameRows, frameAreas},
    {"Watermark", watermarkRows, watermarkAreas},
    {"Advanced", advancedRows},
};
// clang-format on

} // namespace

std::span<const PreferencePage> preferencePages()
{
    return pages;
}

std::span<const InputSubPage> inputSubPages()
{
    return inputPages;
}

const PreferenceRow* encoderRow(const SettingDescriptor& setting)
{
    const std::string name = std::string(setting.group) + '/' + setting.key;
    for (const PreferenceRow& row : encoderRows) {
        if (name == row.setting) {
            return &row;
        }
    }
    return nullptr;
}

std::span<const PreferenceRow> fixedOutputRows(const OutputFormat& format)
{
    // Built once: binders keep a reference to their row.
    static const std::vector<PreferenceRow> compressionRows = [] {
        std::vector<PreferenceRow> rows;
        for (const OutputFormat& each : outputFormatTable()) {
            const char* entry = each.fixedCompression != nullptr ? each.fixedCompression : "";
            rows.push_back({"Compression", FixedCombo, nullptr, entry});
        }
        return rows;
    }();
    if (format.fixedCompression == nullptr) {
        return {};
    }
    const auto index = static_cast<std::size_t>(&format - outputFormatTable().data());
    return std::span(compressionRows).subspan(index, 1);
}
