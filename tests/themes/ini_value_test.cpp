#include "themes/image_sets.h"
#include "themes/theme_pack.h"

#include <gtest/gtest.h>

namespace {

struct IniCase {
    const char* what;
    const char* text;
    const char* section;
    const char* key;
    const char* value;
};

void PrintTo(const IniCase& c, std::ostream* out)
{
    *out << c.what;
}

class IniValueTest : public testing::TestWithParam<IniCase> {};

TEST_P(IniValueTest, ReadsTheValueTheThemeFormatDefines)
{
    const IniCase& c = GetParam();
    EXPECT_EQ(iniValue(QString::fromLatin1(c.text), c.section, c.key), QString::fromLatin1(c.value)) << c.what;
}

const IniCase iniCases[] = {
    {"plain value", "[Theme]\r\nName=Paper\r\n", "Theme", "Name", "Paper"},
    {"section and key ignore case", "[THEME]\r\nNAME=Paper\r\n", "theme", "name", "Paper"},
    {"blanks around the value go", "[Theme]\r\nName =  Paper Cut  \r\n", "Theme", "Name", "Paper Cut"},
    {"blanks first, then tabs: a blank that was inside them stays", "[Theme]\r\nName= \t x\t \r\n", "Theme", "Name",
     " x"},
    {"blanks inside tabs stay", "[Theme]\r\nName=\t x \t\r\n", "Theme", "Name", " x "},
    {"value ends at a second equals sign", "[Icons]\r\nNew=a=b\r\n", "Icons", "New", "a"},
    {"no equals sign gives nothing", "[Icons]\r\nNew\r\n", "Icons", "New", ""},
    {"empty value", "[Theme]\r\nName=\r\n", "Theme", "Name", ""},
    {"missing section", "[Icons]\r\nNew=new\r\n", "Buttons", "New", ""},
    {"missing key", "[Icons]\r\nAdd=add\r\n", "Icons", "New", ""},
    {"key in a later section only", "[Icons]\r\nAdd=add\r\n[Buttons]\r\nNew=big\r\n", "Icons", "New", ""},
    {"key before the section", "x\r\nNew=early\r\n[Icons]\r\nAdd=add\r\n", "Icons", "New", ""},
    {"first matching line after the header wins", "[Icons]\r\nNew=one\r\nNew=two\r\n", "Icons", "New", "one"},
    {"a longer key that begins with the key matches", "[Icons]\r\nNewer=newer\r\n", "Icons", "New", "newer"},
    {"the first line never holds a key", "Name=top\r\n[Theme]\r\n", "Theme", "Name", ""},
    {"last line without CR LF gives nothing", "[Theme]\r\nName=Paper", "Theme", "Name", ""},
    {"the theme section as first line, name as unterminated last line", "[Theme]\r\nName=Paper", "Theme", "Name", ""},
    {"LF alone is no line break", "[Theme]\nName=Paper\n", "Theme", "Name", ""},
    {"a bracket in a value ends the section", "[Theme]\r\nTitle=a [b]\r\nName=Paper\r\n", "Theme", "Name", ""},
    {"the section runs to the end of the text", "[Icons]\r\nAdd=add\r\nNew=new\r\n", "Icons", "New", "new"},
    {"empty text", "", "Theme", "Name", ""},
};

INSTANTIATE_TEST_SUITE_P(Cases, IniValueTest, testing::ValuesIn(iniCases));

TEST(PictureFileName, AddsTheSizeUnlessTheValueNamesAPng)
{
    const struct {
        const char* value;
        int pixels;
        const char* file;
    } cases[] = {
        {"new", 16, "new_16.png"},          {"new", 48, "new_48.png"}, {"icons/New.PNG", 48, "icons/New.PNG"},
        {"new.png.bak", 32, "new.png.bak"}, // contains ".png", so it is taken as it stands
        {"new.gif", 24, "new.gif_24.png"},  {"", 16, "_16.png"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(pictureFileName(c.value, c.pixels), QString::fromLatin1(c.file)) << c.value;
    }
}

TEST(IconPixels, MapsTheFiveSizesAndFallsBackTo16)
{
    const std::pair<int, int> cases[] = {{0, 16}, {1, 24}, {2, 32}, {3, 48}, {4, 64}, {5, 16}, {-1, 16}, {255, 16}};
    for (const auto& [uiSize, pixels] : cases) {
        EXPECT_EQ(iconPixels(uiSize), pixels) << uiSize;
    }
}

TEST(ImageSets, KnowsOnlyTheNamesOfEachSet)
{
    ASSERT_EQ(imageNames(ImageSet::Large), QStringList({"Convert", "InFiles", "InFolder"}));
    ASSERT_EQ(imageNames(ImageSet::Icons).size(), 22);
    EXPECT_EQ(imageNames(ImageSet::Toolbar), imageNames(ImageSet::Icons));

    QImage red(4, 4, QImage::Format_ARGB32);
    red.fill(Qt::red);
    ImageSets images;
    images.setImage(ImageSet::Icons, "About", red);
    images.setImage(ImageSet::Large, "About", red); // not a large image: ignored
    EXPECT_EQ(images.image(ImageSet::Icons, "About"), red);
    EXPECT_TRUE(images.image(ImageSet::Toolbar, "About").isNull());
    EXPECT_TRUE(images.image(ImageSet::Large, "About").isNull());
    EXPECT_TRUE(images.image(ImageSet::Icons, "about").isNull()); // names are exact
}

} // namespace
