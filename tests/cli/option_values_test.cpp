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
    KeywordTable table;
    const char* keyword;
    std::int32_t value;
};

class Keywords : public testing::TestWithParam<KeywordCase> {};

TEST_P(Keywords, LookUpInAnyLetterCase)
{
    EXPECT_EQ(keywordValue(GetParam().table, QString::fromUtf8(GetParam().keyword)), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Tables, Keywords,
    testing::Values(KeywordCase{KeywordTable::Chroma, "high", 3}, KeywordCase{KeywordTable::Chroma, "HIGH", 3},
                    KeywordCase{KeywordTable::Chroma, "highest", 0}, KeywordCase{KeywordTable::RawLoad, "48HS", 4},
                    KeywordCase{KeywordTable::RawLoad, "48", 5}, KeywordCase{KeywordTable::Compression, "zlib9", 3},
                    KeywordCase{KeywordTable::Compression, "LZW", 6}, KeywordCase{KeywordTable::Compression, "rle", 1},
                    KeywordCase{KeywordTable::ColourModel, "lab", 2},
                    KeywordCase{KeywordTable::FontEffect, "strikethrought", 2},
                    KeywordCase{KeywordTable::Position, "BottomRight", 8},
                    KeywordCase{KeywordTable::Timestamp, "custom", 2}, KeywordCase{KeywordTable::SizeMode, "fixed", 0},
                    KeywordCase{KeywordTable::FrameSelection, " last", 0}));

struct TextCase {
    KeywordTable table;
    std::int32_t value;
    const char* format;
    const char* text;
};

class KeywordTexts : public testing::TestWithParam<TextCase> {};

TEST_P(KeywordTexts, NameAValueInLowerCase)
{
    EXPECT_EQ(keywordText(GetParam().table, GetParam().value, QString::fromUtf8(GetParam().format)),
              QString::fromUtf8(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(
    Tables, KeywordTexts,
    testing::Values(TextCase{KeywordTable::Compression, 1, "png", "zlib1"},
                    TextCase{KeywordTable::Compression, 4, "tiff", "deflate"},
                    TextCase{KeywordTable::Compression, 1, "tiff", "ccittfax3"},
                    TextCase{KeywordTable::Compression, 1, "bmp", "rle"},
                    TextCase{KeywordTable::Compression, 1, "tga", "rle"},
                    TextCase{KeywordTable::Compression, 2, "exr", "piz"},
                    TextCase{KeywordTable::Compression, 2, "bmp", ""},
                    TextCase{KeywordTable::Compression, 9, "tiff", ""}, TextCase{KeywordTable::Chroma, 3, "", "high"},
                    TextCase{KeywordTable::Frame, 1, "", "solid"}, TextCase{KeywordTable::Watermark, 2, "", "image"},
                    TextCase{KeywordTable::Watermark, 5, "", ""}, TextCase{KeywordTable::Unit, -1, "", ""}));

} // namespace
