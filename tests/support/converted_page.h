#pragma once

#include "engine/core/bitmap.h"
#include "support/run_tessaline.h"
#include "support/tiff_fixtures.h"

#include <QString>
#include <QStringList>

#include <string>
#include <vector>

// Console runs that convert one page and read the written image back, for tests that check
// what an option does to the pixels.
namespace e2e {

// Any image FreeImage reads; empty when the file is missing or unreadable.
Bitmap loadImage(const QString& path);

// Writes `page` as in/<name>.tif below the sandbox (once per name).
QString writePage(const Sandbox& box, const QString& name, const Bitmap& page);

struct ConvertedPage {
    RunResult run;
    QStringList written; // files below the run's own output folder
    Bitmap image;        // the one PNG written, read back
};

// Converts in/<name>.tif to PNG into a fresh output folder out/<tag> with the options given.
ConvertedPage convertPage(const Sandbox& box, const QString& name, const QString& tag, const QStringList& options);

// Every pixel of the image as RGB, row by row from the top-left corner (palette pages through
// their palette).
std::vector<fixtures::Rgb> pixelsOf(const Bitmap& image);

// "(r,g,b)", for failure messages.
std::string describe(const fixtures::Rgb& colour);

// Every channel within `tolerance` levels.
bool near(const fixtures::Rgb& a, const fixtures::Rgb& b, int tolerance);

} // namespace e2e
