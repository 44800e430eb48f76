#include "themes/image_sets.h"

#include "app/setting_choices.h"

namespace {

std::size_t setIndex(ImageSet set)
{
    return static_cast<std::size_t>(set);
}

} // namespace

ImageSets::ImageSets()
{
    for (ImageSet set : allImageSets) {
        slots_[setIndex(set)].resize(static_cast<std::size_t>(imageNames(set).size()));
    }
}

QImage ImageSets::image(ImageSet set, const QString& name) const
{
    const qsizetype slot = imageNames(set).indexOf(name);
    return slot < 0 ? QImage() : slots_[setIndex(set)][static_cast<std::size_t>(slot)];
}

void ImageSets::setImage(ImageSet set, const QString& name, const QImage& picture)
{
    const qsizetype slot = imageNames(set).indexOf(name);
    if (slot >= 0) {
        slots_[setIndex(set)][static_cast<std::size_t>(slot)] = picture;
    }
}

namespace {

// The built-in pictures live in the resource folder ":/builtin/": large images as
// large/<name>.png, icons as icons/<name>.png (the toolbar starts with the same pictures).
QImage builtInPicture(const QString& path)
{
    return QImage(QStringLiteral(":/builtin/") + path);
}

} // namespace

// The resources sit in a static library; nothing else references them, so the linker would drop
// their registration without this call (which must not stand inside a namespace).
static void initialiseBuiltInResources()
{
    Q_INIT_RESOURCE(builtin_images);
}

void loadBuiltInImages(ImageSets& images)
{
    initialiseBuiltInResources();
    for (const QString& name : imageNames(ImageSet::Large)) {
        images.setImage(ImageSet::Large, name, builtInPicture("large/" + name + ".png"));
    }
    for (const QString& name : imageNames(ImageSet::Icons)) {
        const QImage icon = builtInPicture("icons/" + name + ".png");
        images.setImage(ImageSet::Icons, name, icon);
        images.setImage(ImageSet::Toolbar, name, icon);
    }
    images.setAboutBanner(builtInPicture("about_banner.png"));
}

int iconPixels(int uiSize)
{
    // An unknown size (a hand-edited file) shows the smallest icons.
    return choiceValue(toolbarSizes, uiSize, toolbarSizes.front().value);
}
