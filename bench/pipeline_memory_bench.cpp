// Peak memory of converting one large multi-page TIFF: the pipeline holds one decoded page at a
// time, so the peak resident size should stay near two pages' worth of pixels whatever the page
// count. Run it under /usr/bin/time -v and read "Maximum resident set size":
//
//   pipeline_memory_bench --make /tmp/big.tif [pages] [width] [height] [kind]   (writes the input;
//                                         kind: rgb24 (default), rgb48, grey16 or bilevel)
//   /usr/bin/time -v pipeline_memory_bench /tmp/big.tif /tmp/out/ [png]  (converts it)
#include "app/settings.h"
#include "engine/run/conversion_run.h"
#include "engine/run/pipeline.h"
#include "support/tiff_fixtures.h"

#include <QDir>
#include <QFile>
#include <QString>

#include <cstdio>
#include <cstdlib>

namespace {

fixtures::PageKind pageKind(const QString& name)
{
    if (name == QLatin1String("rgb48")) {
        return fixtures::PageKind::Rgb48;
    }
    if (name == QLatin1String("grey16")) {
        return fixtures::PageKind::Grey16;
    }
    if (name == QLatin1String("bilevel")) {
        return fixtures::PageKind::Bilevel;
    }
    return fixtures::PageKind::Rgb24;
}

// Pages are appended one at a time, so writing the input does not hold them all either.
int makeInput(const QString& path, int pages, int width, int height, fixtures::PageKind kind)
{
    QFile::remove(path);
    FIMULTIBITMAP* container =
        FreeImage_OpenMultiBitmap(FIF_TIFF, QFile::encodeName(path).constData(), TRUE, FALSE, FALSE, 0);
    if (container == nullptr) {
        return 1;
    }
    for (int i = 0; i < pages; ++i) {
        const Bitmap page = fixtures::makePage(kind, width, height);
        FreeImage_AppendPage(container, page.get());
    }
    return FreeImage_CloseMultiBitmap(container, TIFF_NONE) != 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 3 && QString::fromLocal8Bit(argv[1]) == QLatin1String("--make")) {
        const int pages = argc > 3 ? std::atoi(argv[3]) : 10;
        const int width = argc > 4 ? std::atoi(argv[4]) : 4000;
        const int height = argc > 5 ? std::atoi(argv[5]) : 3000;
        const fixtures::PageKind kind = pageKind(argc > 6 ? QString::fromLocal8Bit(argv[6]) : QString());
        return makeInput(QString::fromLocal8Bit(argv[2]), pages, width, height, kind);
    }
    if (argc < 3) {
        std::fprintf(stderr, "usage: pipeline_memory_bench --make file.tif [pages] [width] [height] [kind]\n"
                             "       pipeline_memory_bench file.tif outfolder/ [key]\n");
        return 2;
    }
    Settings settings;
    resetToDefaults(settings, true);
    JobState job;
    job.consoleRun = 1;
    job.file.inputPath = QString::fromLocal8Bit(argv[1]);
    job.outputFolder = QDir(QString::fromLocal8Bit(argv[2])).absolutePath() + QLatin1Char('/');
    job.outputKey = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QStringLiteral("png");
    QDir().mkpath(job.outputFolder);
    if (!prepareRun(settings, job)) {
        std::fprintf(stderr, "unknown output format\n");
        return 2;
    }
    RunContext context{settings, job};
    int written = 0;
    context.onSaved = [&written](const QString&) { ++written; };
    const bool ok = processCurrentFile(context);
    std::printf("%s: %d file(s) written\n", ok ? "converted" : "failed", written);
    return ok ? 0 : 1;
}
