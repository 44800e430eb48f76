#include "themes/image_sets.h"

// Kept apart from the image sets so that the artwork generator, which renders a picture for every
// name, shares the one list.
const QStringList& imageNames(ImageSet set)
{
    static const QStringList large{"Convert", "InFiles", "InFolder"};
    static const QStringList icons{"New",
                                   "Add",
                                   "InFiles",
                                   "InFolder",
                                   "OutFolder",
                                   "OutFormat",
                                   "FavFolder",
                                   "ImportFiles",
                                   "ExportFiles",
                                   "Exit",
                                   "Copy",
                                   "Delete",
                                   "SelectAll",
                                   "Convert",
                                   "Error",
                                   "Preferences",
                                   "CustomConverter",
                                   "Help",
                                   "Email",
                                   "Web",
                                   "Updates",
                                   "About"};
    return set == ImageSet::Large ? large : icons;
}

int builtInLargePixels(const QString& name)
{
    return name == QLatin1String("Convert") ? 64 : 48;
}
