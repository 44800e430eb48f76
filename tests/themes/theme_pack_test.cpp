#include "app/settings.h"
#include "themes/image_sets.h"
#include "themes/theme_pack.h"
#include "themes/zip_archive.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <vector>

namespace {

QImage solid(QColor colour, int pixels)
{
    QImage image(pixels, pixels, QImage::Format_ARGB32);
    image.fill(colour);
    return image;
}

QByteArray png(QColor colour, int pixels)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    solid(colour, pixels).save(&buffer, "PNG");
    return bytes;
}

QColor colourOf(const QImage& image)
{
    return image.isNull() ? QColor() : image.pixelColor(0, 0);
}

// A gfx/ folder of its own, theme packs written into it with libarchive, and image sets that
// start with grey "built-in" pictures so that replaced and kept pictures can be told apart.
class ThemePackTest : public testing::Test {
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(root_.isValid());
        gfx_ = root_.path() + "/gfx/";
        ASSERT_TRUE(QDir().mkpath(gfx_));
        for (ImageSet set : allImageSets) {
            for (const QString& name : imageNames(set)) {
                images_.setImage(set, name, solid(Qt::gray, 16));
            }
        }
        settings_.interface.uiTheme = "paper";
        settings_.interface.uiSize = 0;
    }

    void writePack(const QString& fileName, std::vector<ZipEntry> entries)
    {
        ASSERT_EQ(writeZipArchive(gfx_ + fileName, entries), std::nullopt);
    }

    void writeFile(const QString& fileName, const QByteArray& bytes)
    {
        QFile file(gfx_ + fileName);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    void load(ThemeImageChoice which = {}) { loadThemeImages(images_, settings_, discoverThemes(gfx_), gfx_, which); }

    QColor colour(ImageSet set, const QString& name) const { return colourOf(images_.image(set, name)); }

    bool allGrey() const
    {
        for (ImageSet set : allImageSets) {
            for (const QString& name : imageNames(set)) {
                if (colour(set, name) != QColor(Qt::gray)) {
                    return false;
                }
            }
        }
        return true;
    }

    QTemporaryDir root_;
    QString gfx_;
    ImageSets images_;
    Settings settings_;
};

// The pack of the examples: New by the size rule, About by a full file name, Convert as a button.
std::vector<ZipEntry> paperPack()
{
    return {
        {"theme.cfg", "[Theme]\r\nName=Paper Cut\r\n[Buttons]\r\nConvert=big/convert.png\r\n"
                      "[Icons]\r\nNew=new\r\nAbout=icons/About.PNG\r\nHelp=help\r\n"},
        {"big/convert.png", png(Qt::red, 64)},
        {"new_16.png", png(Qt::green, 16)},
        {"new_48.png", png(Qt::blue, 48)},
        {"icons/About.PNG", png(Qt::yellow, 16)},
        // help_16.png is missing: Help keeps its picture
    };
}

TEST_F(ThemePackTest, PackReplacesTheNamesItSuppliesAndKeepsTheRest)
{
    writePack("paper.zip", paperPack());
    settings_.interface.uiSize = 3;
    load();

    EXPECT_EQ(colour(ImageSet::Large, "Convert"), QColor(Qt::red));
    EXPECT_EQ(images_.image(ImageSet::Large, "Convert").width(), 64);
    EXPECT_EQ(colour(ImageSet::Icons, "New"), QColor(Qt::green));  // new_16.png
    EXPECT_EQ(colour(ImageSet::Toolbar, "New"), QColor(Qt::blue)); // new_48.png at size 3
    EXPECT_EQ(images_.image(ImageSet::Toolbar, "New").width(), 48);
    EXPECT_EQ(colour(ImageSet::Icons, "About"), QColor(Qt::yellow)); // the value is the file name
    EXPECT_EQ(colour(ImageSet::Toolbar, "About"), QColor(Qt::yellow));
    for (const char* kept : {"Help", "Add", "Exit"}) {
        EXPECT_EQ(colour(ImageSet::Icons, kept), QColor(Qt::gray)) << kept;
        EXPECT_EQ(colour(ImageSet::Toolbar, kept), QColor(Qt::gray)) << kept;
    }
    EXPECT_EQ(colour(ImageSet::Large, "InFiles"), QColor(Qt::gray));
    EXPECT_EQ(settings_.interface.uiTheme, "paper");
}

TEST_F(ThemePackTest, LoadsOnlyTheChosenSets)
{
    writePack("paper.zip", paperPack());
    settings_.interface.uiSize = 3;
    load({.large = false, .icons = false, .toolbar = true});

    EXPECT_EQ(colour(ImageSet::Toolbar, "New"), QColor(Qt::blue));
    EXPECT_EQ(colour(ImageSet::Icons, "New"), QColor(Qt::gray));
    EXPECT_EQ(colour(ImageSet::Large, "Convert"), QColor(Qt::gray));
}

TEST_F(ThemePackTest, ToolbarSizeWithoutItsPictureKeepsThePresentOne)
{
    writePack("paper.zip", paperPack());
    settings_.interface.uiSize = 2; // new_32.png is not in the pack
    load();
    EXPECT_EQ(colour(ImageSet::Toolbar, "New"), QColor(Qt::gray));
    EXPECT_EQ(colour(ImageSet::Icons, "New"), QColor(Qt::green));
}

TEST_F(ThemePackTest, MissingKeyLoadsTheBareSizeFileWhenThePackHasOne)
{
    writePack("paper.zip",
              {{"theme.cfg", "[Theme]\r\nName=x\r\n[Icons]\r\nNew=new\r\n"}, {"_16.png", png(Qt::cyan, 16)}});
    load({.large = false, .icons = true, .toolbar = false});
    EXPECT_EQ(colour(ImageSet::Icons, "Add"), QColor(Qt::cyan));
    EXPECT_EQ(colour(ImageSet::Icons, "New"), QColor(Qt::gray)); // new_16.png is missing
}

TEST_F(ThemePackTest, UnusablePacksLeaveEveryPicture)
{
    QByteArray truncated;
    {
        const QString whole = root_.path() + "/whole.zip";
        ASSERT_EQ(writeZipArchive(whole, paperPack()), std::nullopt);
        QFile file(whole);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        truncated = file.readAll();
        truncated.chop(40); // the central directory's end is gone
    }
    const struct {
        const char* what;
        QByteArray bytes;
    } cases[] = {
        {"empty file", QByteArray()},
        {"ZIP signature, then nonsense", QByteArray("PK\x03\x04") + QByteArray(500, 'x')},
        {"plain text", QByteArray(2000, 'x')},
        {"truncated ZIP", truncated},
    };
    for (const auto& c : cases) {
        writeFile("paper.zip", c.bytes);
        load();
        EXPECT_TRUE(allGrey()) << c.what;
        EXPECT_EQ(settings_.interface.uiTheme, "paper") << c.what;
    }
}

TEST_F(ThemePackTest, PackWithoutThemeConfigLoadsNothing)
{
    writePack("paper.zip", {{"_16.png", png(Qt::cyan, 16)}, {"new_16.png", png(Qt::green, 16)}});
    load();
    EXPECT_TRUE(allGrey());
    EXPECT_EQ(themeDisplayName(gfx_, "paper"), "paper");
}

TEST_F(ThemePackTest, PictureThatDoesNotDecodeKeepsThePresentOne)
{
    writePack("paper.zip", {{"theme.cfg", "[Theme]\r\nName=x\r\n[Icons]\r\nNew=new\r\nAdd=add\r\n"},
                            {"new_16.png", "not a png"},
                            {"add_16.png", png(Qt::green, 16)}});
    load();
    EXPECT_EQ(colour(ImageSet::Icons, "New"), QColor(Qt::gray));
    EXPECT_EQ(colour(ImageSet::Icons, "Add"), QColor(Qt::green));
}

TEST_F(ThemePackTest, MissingConfiguredPackFallsBackToTheLastInstalledTheme)
{
    writePack("Alpha.zip",
              {{"theme.cfg", "[Theme]\r\nName=A\r\n[Icons]\r\nNew=new\r\n"}, {"new_16.png", png(Qt::red, 16)}});
    writePack("beta.zip",
              {{"theme.cfg", "[Theme]\r\nName=B\r\n[Icons]\r\nNew=new\r\n"}, {"new_16.png", png(Qt::blue, 16)}});
    settings_.interface.uiTheme = "gone";
    load();
    EXPECT_EQ(settings_.interface.uiTheme, "beta");
    EXPECT_EQ(colour(ImageSet::Icons, "New"), QColor(Qt::blue));
}

TEST_F(ThemePackTest, MissingPackWithoutInstalledThemesChangesNothing)
{
    settings_.interface.uiTheme = "gone";
    loadThemeImages(images_, settings_, discoverThemes(gfx_ + "nothing-here/"), gfx_ + "nothing-here/", {});
    EXPECT_EQ(settings_.interface.uiTheme, "gone");
    EXPECT_TRUE(allGrey());
}

TEST_F(ThemePackTest, DiscoversPacksInCaseInsensitiveOrder)
{
    writePack("paper.zip", paperPack());
    writePack("Chalk.ZIP", {{"theme.cfg", "[Theme]\r\nName=Chalk Board\r\n"}});
    writePack("apple.zip", {{"theme.cfg", "[Theme]\r\nName=Apple\r\n"}});
    writePack("Apple.zip", {{"theme.cfg", "[Theme]\r\nName=Big Apple\r\n"}});
    writeFile("notes.txt", "not a pack");
    writeFile("broken.zip", "not a zip");
    ASSERT_TRUE(QDir().mkpath(gfx_ + "folder.zip"));

    const ThemeTable themes = discoverThemes(gfx_);
    using Entries = std::vector<std::pair<QString, QString>>;
    const Entries expected{{"Apple", "Big Apple"},
                           {"apple", "Apple"},
                           {"broken", "broken"},
                           {"Chalk", "Chalk Board"},
                           {"paper", "Paper Cut"}};
    EXPECT_EQ(Entries(themes.begin(), themes.end()), expected);
}

TEST_F(ThemePackTest, UpperCaseExtensionPackLoads)
{
    writePack("Chalk.ZIP",
              {{"theme.cfg", "[Theme]\r\nName=Chalk\r\n[Icons]\r\nNew=new\r\n"}, {"new_16.png", png(Qt::white, 16)}});
    settings_.interface.uiTheme = "Chalk";
    load();
    EXPECT_EQ(settings_.interface.uiTheme, "Chalk");
    EXPECT_EQ(colour(ImageSet::Icons, "New"), QColor(Qt::white));
}

TEST_F(ThemePackTest, DisplayNameReadsOnlyTheStartOfThemeConfig)
{
    const QByteArray padding(300, ';');
    const struct {
        const char* what;
        QByteArray config;
        const char* name;
    } cases[] = {
        {"name line", "[Theme]\r\nName=Paper Cut\r\n", "Paper Cut"},
        {"name as the unterminated last line", "[Theme]\r\nName=Paper Cut", ""},
        {"no name key", "[Theme]\r\nAuthor=me\r\n", ""},
        {"name beyond byte 255", "[Theme]\r\n" + padding + "\r\nName=Late\r\n", ""},
        {"text ends at a zero byte", QByteArray("[Theme]\r\nName=A\r\n\0Name=B\r\n", 26), "A"},
        {"UTF-8 name", "[Theme]\r\nName=Caf\xc3\xa9\r\n", "Caf\u00e9"},
        {"8-bit name", "[Theme]\r\nName=Caf\xe9\r\n", "Caf\u00e9"},
    };
    for (const auto& c : cases) {
        writePack("paper.zip", {{"theme.cfg", c.config}});
        EXPECT_EQ(themeDisplayName(gfx_, "paper"), QString::fromUtf8(c.name)) << c.what;
    }
    EXPECT_EQ(themeDisplayName(gfx_, "absent"), "absent");
}

} // namespace
