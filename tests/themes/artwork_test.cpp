#include "app/settings.h"
#include "themes/image_sets.h"
#include "themes/theme_pack.h"

#include <gtest/gtest.h>

#include <QFileInfo>

namespace {

// The gfx/ folder beside the executable in the build tree, where the build puts the default pack.
QString buildGfxFolder()
{
    return QFileInfo(QStringLiteral(TESSALINE_EXECUTABLE)).path() + "/gfx/";
}

// Opaque somewhere, transparent somewhere else: a drawn shape, not an empty or filled square.
bool isDrawnShape(const QImage& image)
{
    bool opaque = false;
    bool transparent = false;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            opaque = opaque || qAlpha(image.pixel(x, y)) == 255;
            transparent = transparent || qAlpha(image.pixel(x, y)) == 0;
        }
    }
    return opaque && transparent;
}

TEST(BuiltInImages, EveryNameHasItsPictureAtItsSize)
{
    ImageSets images;
    loadBuiltInImages(images);
    for (const QString& name : imageNames(ImageSet::Large)) {
        const QImage image = images.image(ImageSet::Large, name);
        const int pixels = name == "Convert" ? 64 : 48;
        EXPECT_EQ(image.size(), QSize(pixels, pixels)) << qPrintable(name);
    }
    for (ImageSet set : {ImageSet::Icons, ImageSet::Toolbar}) {
        for (const QString& name : imageNames(set)) {
            const QImage image = images.image(set, name);
            EXPECT_EQ(image.size(), QSize(16, 16)) << qPrintable(name);
            EXPECT_TRUE(image.hasAlphaChannel()) << qPrintable(name);
            EXPECT_TRUE(isDrawnShape(image)) << qPrintable(name);
        }
    }
    EXPECT_EQ(images.aboutBanner().size(), QSize(360, 40));
}

TEST(BuiltInImages, IconsAreDistinct)
{
    ImageSets images;
    loadBuiltInImages(images);
    const QStringList& names = imageNames(ImageSet::Icons);
    for (qsizetype i = 0; i < names.size(); ++i) {
        for (qsizetype j = i + 1; j < names.size(); ++j) {
            EXPECT_NE(images.image(ImageSet::Icons, names[i]), images.image(ImageSet::Icons, names[j]))
                << qPrintable(names[i]) << " and " << qPrintable(names[j]);
        }
    }
}

TEST(DefaultThemePack, IsInstalledBesideTheProgram)
{
    const ThemeTable themes = discoverThemes(buildGfxFolder());
    ASSERT_EQ(themes.count("handdrawn"), 1u);
    EXPECT_FALSE(themes.at("handdrawn").isEmpty());
    EXPECT_NE(themes.at("handdrawn"), "handdrawn"); // the display name comes from theme.cfg
}

// Every toolbar size is drawn at that size, not scaled from a smaller picture; the menu icons
// and large images come from the pack at their own sizes too.
TEST(DefaultThemePack, SuppliesEveryPictureAtEveryToolbarSize)
{
    const QString gfx = buildGfxFolder();
    const ThemeTable themes = discoverThemes(gfx);
    for (int uiSize = 0; uiSize <= 4; ++uiSize) {
        ImageSets images;
        Settings settings;
        settings.interface.uiTheme = "handdrawn";
        settings.interface.uiSize = uiSize;
        loadThemeImages(images, settings, themes, gfx, {});
        const int pixels = iconPixels(uiSize);
        for (const QString& name : imageNames(ImageSet::Toolbar)) {
            EXPECT_EQ(images.image(ImageSet::Toolbar, name).size(), QSize(pixels, pixels)) << qPrintable(name);
            EXPECT_EQ(images.image(ImageSet::Icons, name).size(), QSize(16, 16)) << qPrintable(name);
        }
        for (const QString& name : imageNames(ImageSet::Large)) {
            const int large = name == "Convert" ? 64 : 48;
            EXPECT_EQ(images.image(ImageSet::Large, name).size(), QSize(large, large)) << qPrintable(name);
        }
    }
}

} // namespace
