#include "engine/formats/save_flags.h"

#include "app/setting_choices.h"
#include "app/settings_table.h"

#include <FreeImage.h>

int bmpSaveFlags(const OutputSettings& output)
{
    return choiceValue(bmpCompressions, output.bmpCompression);
}

int exrSaveFlags(const OutputSettings& output)
{
    return choiceValue(exrCompressions, output.exrCompression);
}

int jpegSaveFlags(const OutputSettings& output)
{
    // A quality outside its declared range adds nothing, so the library's default quality applies.
    static const SettingRange& qualities = findSetting(QStringLiteral("Output"), QStringLiteral("JPG Quality"))->valid;
    const int quality =
        output.jpgQuality >= qualities.minimum && output.jpgQuality <= qualities.maximum ? output.jpgQuality : 0;
    return quality | choiceValue(chromaSubsamplings, output.jpgChroma) | choiceValue(jpegEncodings, output.jpgSaveAs);
}

int jxrSaveFlags(const OutputSettings& /*output*/)
{
    return JXR_LOSSLESS;
}

int pngSaveFlags(const OutputSettings& output)
{
    return choiceValue(pngCompressions, output.pngCompression) | (output.pngInterlaced != 0 ? PNG_INTERLACED : 0);
}

int tgaSaveFlags(const OutputSettings& output)
{
    return choiceValue(tgaCompressions, output.tgaCompression);
}

int tiffSaveFlags(const OutputSettings& output)
{
    return choiceValue(tiffCompressions, output.tiffCompression) | choiceValue(tiffColourModels, output.tiffColorModel);
}

int webpSaveFlags(const OutputSettings& /*output*/)
{
    return WEBP_LOSSLESS;
}
