#pragma once

#include "engine/inputs/input_file_list.h"

#include <QString>

// An input file named on the command line is a list file, one path per line, when its extension is
// .txt or .lst (in any letter case); any other file is an image.
inline bool isListFile(const QString& path)
{
    const QString extension = inputExtensionOf(path).toLower();
    return extension == u"txt" || extension == u"lst";
}
