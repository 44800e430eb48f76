// The same input and settings give the same file, byte for byte, whatever the process's memory held
// before: a writer that copies bits the decoder never set (the bits past the last pixel of a
// bilevel row) makes files that differ from run to run. glibc's MALLOC_PERTURB_ fills fresh memory
// with a byte of our choosing, so two runs show such bits at once.
#include "support/run_tessaline.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

using e2e::RunResult;
using e2e::Sandbox;

QByteArray contentsOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class RepeatableOutput : public testing::TestWithParam<const char*> {};

// A G4 fax page (its codec writes rows bit by bit) to the writers that store bilevel rows as they are.
TEST_P(RepeatableOutput, FaxPageGivesTheSameBytesWhateverMemoryHeld)
{
    Sandbox box;
    const QString input = QStringLiteral(TESSALINE_SOURCE_DIR "/samples/fax-bilevel.tif");
    const QString format = QString::fromLatin1(GetParam());
    QList<QByteArray> files;
    for (const char* fill : {"90", "165"}) {
        const QString out = box.makeFolder(QStringLiteral("out-") + QLatin1String(fill));
        const RunResult run = box.run({"-q", "-i", input, "-o", out, "-c", format},
                                      {.environment = {QStringLiteral("MALLOC_PERTURB_=") + QLatin1String(fill)}});
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        const QStringList written = box.filesBelow(QStringLiteral("out-") + QLatin1String(fill));
        ASSERT_EQ(written.size(), 1);
        files << contentsOf(out + u'/' + written.first());
        ASSERT_FALSE(files.last().isEmpty());
    }
    EXPECT_EQ(files[0], files[1]);
}

INSTANTIATE_TEST_SUITE_P(Writers, RepeatableOutput, testing::Values("bmp", "tiff", "pbm", "wbmp", "png"));

} // namespace
