#include "cli/keywords.h"
#include "cli/option_values.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

struct NameCase {
    const char* parameter;
    const char* name;
    const char* value;
};

class OptionNameAndValue : public testing::TestWithParam<NameCase> {};

TEST_P(OptionNameAndValue, SplitAsTheCommandLineReadsThem)
{
    const QStringList parameters{QString::fromUtf8(GetParam().parameter)};
    EXPECT_EQ(optionName(parameters, 0), QString::fromUtf8(GetParam().name));
    EXPECT_EQ(optionValue(parameters, 0), QString::fromUtf8(GetParam().value));
}

INSTANTIATE_TEST_SUITE_P(
    Parameters, OptionNameAndValue,
    testing::Values(NameCase{"--jpg-quality=95", "--JPG-QUALITY", "95"}, NameCase{"-i", "-I", "-i"},
                    NameCase{"  -o  ", "-O", "-o"}, NameCase{"--input=/a=b/x.tif", "--INPUT", "/a=b/x.tif"},
                    NameCase{"-i=x.tif", "-I=X.TIF", "-i=x.tif"}, NameCase{"--width", "--WIDTH", "--width"},
                    NameCase{"--width=", "--WIDTH", ""}, NameCase{"--brightness=-30", "--BRIGHTNESS", "-30"},
                    NameCase{"--brightness=--30", "--BRIGHTNESS", "--30"}, NameCase{"photo.tif", "", "photo.tif"},
                    NameCase{"--=x", "--", "x"}, NameCase{"--wm-text= two words ", "--WM-TEXT", " two words"}));

TEST(OptionValues, PositionOutsideTheListReadsEmpty)
{
    const QStringList parameters{QStringLiteral("-i")};
    EXPECT_EQ(optionName(parameters, 1), QString());
    EXPECT_EQ(optionValue(parameters, 1), QString());
    EXPECT_EQ(optionValue(parameters, -1), QString());
}

struct NumberCase {
    const char* text;
    std::int32_t value;
};

class NumberRule : public testing::TestWithParam<NumberCase> {};

TEST_P(NumberRule, ReadsThePrefix)
{
    EXPECT_EQ(readNumber(QString::fromUtf8(GetParam().text)), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(Texts, NumberRule,
                         testing::Values(NumberCase{"95", 95}, NumberCase{"-20", -20}, NumberCase{"+7", 7},
                                         NumberCase{" \t 12", 12}, NumberCase{"12abc", 12}, NumberCase{"abc", 0},
                                         NumberCase{"", 0}, NumberCase{"-", 0}, NumberCase{"$ff", 255},
                                         NumberCase{"$1A", 26}, NumberCase{"%101", 5}, NumberCase{"%102", 2},
                                         NumberCase{"-$10", -16}, NumberCase{"1.9", 1},
                                         NumberCase{"2147483647", 2147483647},
                                         // Wider numbers keep their low 32 bits.
                                         NumberCase{"4294967296", 0}, NumberCase{"4294967297", 1},
                                         NumberCase{"2147483648", INT32_MIN}, NumberCase{"٣", 0}));

TEST(NumberRule, AThousandDigitsNeitherOverflowNorHang)
{
    EXPECT_EQ(readNumber(QString(100000, u'0') + QStringLiteral("42")), 42);
}

struct RealCase {
    const char* text;
    double value;
};

class RealRule : public testing::TestWithParam<RealCase> {};

TEST_P(RealRule, ReadsADecimalNumber)
{
    EXPECT_DOUBLE_EQ(readReal(QString::fromUtf8(GetParam().text)), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(Texts, RealRule,
                         testing::Values(RealCase{"1.5", 1.5}, RealCase{"0.01", 0.01}, RealCase{"-2.25", -2.25},
                                         RealCase{"+3", 3.0}, RealCase{".5", 0.5}, RealCase{" 2.5x", 2.5},
                                         RealCase{"1,5", 1.0}, RealCase{"abc", 0.0}, RealCase{"", 0.0},
                                         RealCase{"1e2", 100.0}, RealCase{"inf", 0.0}, RealCase{"Infinity", 0.0}));

TEST(RealRule, InfinityAndNaNWords)
{
    EXPECT_EQ(readReal(u"+Infinity"), std::numeric_limits<double>::infinity());
    EXPECT_EQ(readReal(u"+INFINITY"), std::numeric_limits<double>::infinity());
    EXPECT_EQ(readReal(u"-infinity"), -std::numeric_limits<double>::infinity());
    EXPECT_TRUE(std::isnan(readReal(u"nan")));
    EXPECT_TRUE(std::isnan(readReal(u"NaN")));
}

struct KeywordCase {
    ChoiceList choices;
    const char* keyword;
    std::int32_t value;
};

class Keywords : public testing::TestWithParam<KeywordCase> {};

TEST_P(Keywords, LookUpInAnyLetterCase)
{
    EXPECT_EQ(keywordValue(GetParam().choices, QString::fromUtf8(GetParam().keyword)), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, Keywords,
    testing::Values(KeywordCase{chromaSubsamplings, "high", 3}, KeywordCase{chromaSubsamplings, "HIGH", 3},
                    KeywordCase{chromaSubsamplings, "highest", 0}, KeywordCase{rawDepths, "48HS", 4},
                    KeywordCase{rawDepths, "48", 5}, KeywordCase{pngCompressions, "zlib9", 3},
                    KeywordCase{tiffCompressions, "LZW", 6}, KeywordCase{bmpCompressions, "rle", 1},
                    // Another format's compression names nothing here.
                    KeywordCase{pngCompressions, "lzw", 0}, KeywordCase{exrCompressions, "rle", 0},
                    KeywordCase{tiffColourModels, "lab", 2}, KeywordCase{fontEffects, "strikethrought", 2},
                    KeywordCase{watermarkAnchors, "BottomRight", 8}, KeywordCase{timestampSources, "custom", 2},
                    KeywordCase{watermarkSizeModes, "fixed", 0}, KeywordCase{frameSelections, " last", 0},
                    // A list no option sets has no keywords, so not even an empty one matches.
                    KeywordCase{toolbarSizes, "", 0}));

struct TextCase {
    ChoiceList choices;
    std::int32_t value;
    const char* text;
};

class KeywordTexts : public testing::TestWithParam<TextCase> {};

TEST_P(KeywordTexts, NameAValueInLowerCase)
{
    EXPECT_EQ(keywordText(GetParam().choices, GetParam().value), QString::fromUtf8(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(Lists, KeywordTexts,
                         testing::Values(TextCase{pngCompressions, 1, "zlib1"},
                                         TextCase{tiffCompressions, 4, "deflate"},
                                         TextCase{tiffCompressions, 1, "ccittfax3"},
                                         TextCase{bmpCompressions, 1, "rle"}, TextCase{tgaCompressions, 1, "rle"},
                                         TextCase{exrCompressions, 2, "piz"}, TextCase{bmpCompressions, 2, ""},
                                         TextCase{tiffCompressions, 9, ""}, TextCase{chromaSubsamplings, 3, "high"},
                                         TextCase{frameTypes, 1, "solid"}, TextCase{watermarkTypes, 2, "image"},
                                         TextCase{watermarkTypes, 5, ""}, TextCase{sizeUnits, -1, ""}));

} // namespace
