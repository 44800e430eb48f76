#pragma once

#include "themes/image_sets.h"
#include "themes/theme_pack.h"

#include <QIcon>
#include <QString>

// A picture of the image sets as an icon of exactly `pixels` square. Theme packs may supply a
// picture of another size (the built-in toolbar pictures are all 16 pixels); it is scaled smoothly,
// so a toolbar at 64 pixels shows its pictures at 64 pixels. A name without a picture gives a null icon.
QIcon themeIcon(const ImageSets& images, ImageSet set, const QString& name, int pixels);

// Loads the chosen sets afresh: their built-in pictures first, then what the configured theme pack
// supplies, so that a theme change never leaves pictures of the previous theme behind.
void reloadThemeImages(ImageSets& images, Settings& settings, const ThemeTable& themes, const QString& gfxFolder,
                       ThemeImageChoice choice);
