#include "cli/option_table.h"
#include "cli/option_warnings.h"

#include <gtest/gtest.h>

namespace {

TEST(OptionWarnings, EditDistanceCountsASwapOnce)
{
    EXPECT_EQ(editDistance(u"--width", u"--width"), 0);
    EXPECT_EQ(editDistance(u"--widht", u"--width"), 1);
    EXPECT_EQ(editDistance(u"--with", u"--width"), 1);
    EXPECT_EQ(editDistance(u"kitten", u"sitting"), 3);
    EXPECT_EQ(editDistance(u"", u"abc"), 3);
}

TEST(OptionWarnings, NearestOptionComesFromTheTable)
{
    const std::pair<const char16_t*, const char*> cases[] = {
        {u"--widht", "--width"},
        {u"--JPG-QUALTY", "--jpg-quality"},
        {u"--greyscal", "--greyscale"},
        {u"--tiff-compresion", "--tiff-compression"},
        {u"--no-subfolder", "--no-subfolders"},
        {u"--completely-else", ""},
        {u"-x", ""},
    };
    for (const auto& [typed, expected] : cases) {
        EXPECT_EQ(nearestOptionName(typed), QString::fromLatin1(expected)) << QString::fromUtf16(typed).toStdString();
    }
}

TEST(OptionWarnings, ValuesThatAreNotWhatTheOptionTakes)
{
    struct Case {
        const char* option;
        const char* value;
        const char* warning; // empty: no warning
    };
    const Case cases[] = {
        {"--WIDTH", "100", ""},
        {"--WIDTH", "1k", "--width=1k is not a number; using 1"},
        {"--WIDTH", "$ff", ""},
        {"--BRIGHTNESS", "-30", ""},
        // Values the checks before the run refuse get their error line there, not a warning here.
        {"--BRIGHTNESS", "-130", ""},
        {"--JPG-QUALITY", "150", ""},
        {"--ROTATION", "400", "--rotation=400 is outside 0..360; used as given"},
        {"--THRESHOLD", "255", ""},
        {"--GAMMA", "2.5", ""},
        {"--GAMMA", "nan", ""},
        {"--GAMMA", "2,5", "--gamma=2,5 is not a number; using 2"},
        // Text is named as text even where the number read from it is refused before the run.
        {"--GAMMA", "abc", "--gamma=abc is not a number; using 0"},
        {"--JPG-QUALITY", "abc", "--jpg-quality=abc is not a number; using 0"},
        {"--CONTRAST", "lots", "--contrast=lots is not a number; using 0"},
        {"--PNG-BPP", "32bit", "--png-bpp=32bit is not a number; using 32"},
        {"--JPG-CHROMA", "HIGH", ""},
        {"--JPG-CHROMA", "hgih",
         "--jpg-chroma=hgih is not one of none, low, medium, high (did you mean high?); using none"},
        {"--WM-FONT-COLOR", "ff8000", ""},
        {"--WM-FONT-COLOR", "#ff8000",
         "--wm-font-color=#ff8000 is not a colour of six hexadecimal digits RRGGBB; using black (000000)"},
        {"--WM-TEXT", "anything at all", ""},
        {"--PNG-COMPRESSION", "zlib9", ""},
        // Only the format's own compression keywords are taken.
        {"--PNG-COMPRESSION", "lzw", "--png-compression=lzw is not one of none, zlib1, zlib6, zlib9; using none"},
        {"--BMP-COMPRESSION", "zip", "--bmp-compression=zip is not one of none, rle; using none"},
        {"--TIFF-COMPRESSION", "LZW", ""},
        {"--PNG-BPP", "24", ""},
        {"--PNG-BPP", "0", ""},
        {"--PNG-BPP", "12", ""},
    };
    for (const Case& c : cases) {
        const OptionSpec* option = findOption(QString::fromLatin1(c.option));
        ASSERT_NE(option, nullptr) << c.option;
        const QString subject = QString::fromLatin1(c.option).toLower() + u'=' + QString::fromLatin1(c.value);
        const auto warning = valueWarning(*option, QString::fromLatin1(c.value), subject);
        EXPECT_EQ(warning.value_or(Warning{}).text(), QString::fromLatin1(c.warning)) << c.option << "=" << c.value;
    }
}

TEST(OptionWarnings, UnknownOptionsGetAHint)
{
    EXPECT_EQ(unknownOptionWarning(QStringLiteral("--widht=100")).text(),
              QStringLiteral("unknown option --widht (did you mean --width?)"));
    EXPECT_EQ(unknownOptionWarning(QStringLiteral("-c=jpg")).text(),
              QStringLiteral("unknown option -c=jpg (did you mean -c jpg?)"));
    EXPECT_EQ(unknownOptionWarning(QStringLiteral("--help")).text(),
              QStringLiteral("--help acts only as the first parameter; ignored"));
    EXPECT_EQ(unknownOptionWarning(QStringLiteral("--frobnicate")).text(),
              QStringLiteral("unknown option --frobnicate"));
}

} // namespace
