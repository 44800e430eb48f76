#pragma once

#include "app/settings.h"
#include "themes/image_sets.h"

#include <QString>

#include <map>

// Theme packs: ZIP archives in the folder gfx/ beside the program, each with a "theme.cfg" that
// names the pictures replacing built-in ones. Nothing about themes is ever an error for the user:
// a pack that cannot be used leaves the pictures as they are.

// Pack names compare without regard to letter case; names equal that way are ordered exactly.
struct PackNameLess {
    bool operator()(const QString& left, const QString& right) const;
};

// Installed themes: pack name (file name without ".zip") -> display name.
using ThemeTable = std::map<QString, QString, PackNameLess>;

// gfxFolder is the program's folder + "gfx/". A missing folder gives an empty table.
ThemeTable discoverThemes(const QString& gfxFolder);

// The [Theme] Name of the pack's theme.cfg (only its first 255 bytes are read), which may be
// empty; the pack name itself when the pack is missing, empty, not a ZIP or has no theme.cfg.
QString themeDisplayName(const QString& gfxFolder, const QString& packName);

// The small INI reader used on theme.cfg. Sections, keys and lines follow the pack format, with
// its quirks: a key is only found after a CR LF (never on the first line), it also matches a
// longer key that begins with it, and a last line without CR LF gives no value.
QString iniValue(const QString& text, const QString& section, const QString& key);

// The file in the pack for a value of theme.cfg: the value itself when it contains ".png" in any
// letter case, otherwise value + "_" + pixels + ".png".
QString pictureFileName(const QString& value, int pixels);

struct ThemeImageChoice {
    bool large = true;
    bool icons = true;
    bool toolbar = true;
};

// Loads the chosen sets from the pack named by `Interface/UI Theme`, the toolbar pictures at the
// size of `Interface/UI Size`. When that pack is missing and themes are installed, the theme
// becomes the last installed one. Names the pack does not supply keep their pictures.
void loadThemeImages(ImageSets& images, Settings& settings, const ThemeTable& themes, const QString& gfxFolder,
                     ThemeImageChoice which);
