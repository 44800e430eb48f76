#pragma once

#include <FreeImage.h>
#include <tiffio.h>

#include <QDir>
#include <QString>

#include <cstdio>

// The frame of every generator in tools/: "<name> FOLDER", the folder created, FreeImage set up
// with libtiff kept quiet (it complains about every EXIF tag FreeImage registers), and
// writeInto(folder) -> bool doing the work. Returns the process exit status.
template <typename WriteInto> int runGenerator(int argc, char** argv, const char* name, WriteInto writeInto)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", name);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    FreeImage_Initialise();
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
    const bool written = writeInto(folder);
    FreeImage_DeInitialise();
    return written ? 0 : 1;
}
