#include "gui/theme_icons.h"

#include <QPixmap>

QIcon themeIcon(const ImageSets& images, ImageSet set, const QString& name, int pixels)
{
    QImage picture = images.image(set, name);
    if (picture.isNull()) {
        return {};
    }
    if (picture.size() != QSize(pixels, pixels)) {
        picture = picture.scaled(pixels, pixels, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    return QIcon(QPixmap::fromImage(picture));
}

void reloadThemeImages(ImageSets& images, Settings& settings, const ThemeTable& themes, const QString& gfxFolder,
                       ThemeImageChoice choice)
{
    ImageSets builtIn;
    loadBuiltInImages(builtIn);
    const auto restore = [&](bool wanted, ImageSet set) {
        if (!wanted) {
            return;
        }
        for (const QString& name : imageNames(set)) {
            images.setImage(set, name, builtIn.image(set, name));
        }
    };
    restore(choice.large, ImageSet::Large);
    restore(choice.icons, ImageSet::Icons);
    restore(choice.toolbar, ImageSet::Toolbar);
    loadThemeImages(images, settings, themes, gfxFolder, choice);
}
