// Converting several files at once must leave exactly what a sequential run leaves: the same
// names, the same bytes, the same debug lines in the same order.
#include "engine/formats/format_catalogue.h"
#include "support/run_tessaline.h"
#include "support/tiff_fixtures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

using fixtures::PageKind;

struct ParallelCase {
    const char* name;
    QStringList options;
};

void PrintTo(const ParallelCase& c, std::ostream* os)
{
    *os << c.name;
}

// Pages of very different sizes finish in a different order than they start; two files are
// broken; two subfolders hold files of the same name, which collide without subfolders.
void writeInputTree(const e2e::Sandbox& sandbox)
{
    const QString in = sandbox.makeFolder(QStringLiteral("in"));
    sandbox.makeFolder(QStringLiteral("in/a"));
    sandbox.makeFolder(QStringLiteral("in/b"));
    const int sizes[] = {900, 40, 600, 25, 300, 70, 500, 33};
    for (int i = 0; i < 8; ++i) {
        const QString name = in + QStringLiteral("/page-%1.tif").arg(i);
        ASSERT_TRUE(fixtures::writeTiff(name, PageKind::Rgb24, sizes[i], sizes[i] * 3 / 4));
    }
    ASSERT_TRUE(fixtures::writeTiff(in + QStringLiteral("/multi.tif"), PageKind::Rgb24, 200, 150, 3));
    ASSERT_TRUE(fixtures::writeTiff(in + QStringLiteral("/a/same.tif"), PageKind::Grey8, 400, 300));
    ASSERT_TRUE(fixtures::writeTiff(in + QStringLiteral("/b/same.tif"), PageKind::Rgb24, 50, 40));
    sandbox.writeFile(QStringLiteral("in/broken-1.tif"), QByteArray("II*\0garbage", 11));
    sandbox.writeFile(QStringLiteral("in/b/broken-2.tif"), QByteArray(5000, '\x5A'));
}

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class ParallelRun : public ::testing::TestWithParam<ParallelCase> {};

TEST_P(ParallelRun, LeavesWhatASequentialRunLeaves)
{
    const e2e::Sandbox sandbox;
    writeInputTree(sandbox);
    sandbox.makeFolder(QStringLiteral("out-one"));
    sandbox.makeFolder(QStringLiteral("out-four"));
    const QStringList common =
        QStringList{QStringLiteral("-i"), QStringLiteral("in"), QStringLiteral("-d")} + GetParam().options;

    const e2e::RunResult sequential = sandbox.run(
        common + QStringList{QStringLiteral("-o"), QStringLiteral("out-one"), QStringLiteral("--threads=1")});
    const e2e::RunResult parallel = sandbox.run(
        common + QStringList{QStringLiteral("-o"), QStringLiteral("out-four"), QStringLiteral("--threads=4")});

    // Two broken files: some converted, some not.
    EXPECT_EQ(sequential.exitCode, 3) << sequential.err.constData();
    EXPECT_EQ(parallel.exitCode, 3) << parallel.err.constData();
    // The debug lines name the output folder; apart from that they are the same, in the same order.
    EXPECT_EQ(QString::fromUtf8(sequential.out).replace(QStringLiteral("out-one"), QStringLiteral("OUT")),
              QString::fromUtf8(parallel.out).replace(QStringLiteral("out-four"), QStringLiteral("OUT")));
    const QString one = sandbox.path(QStringLiteral("out-one"));
    const QString four = sandbox.path(QStringLiteral("out-four"));

    const QStringList names = sandbox.filesBelow(QStringLiteral("out-one"));
    ASSERT_FALSE(names.isEmpty());
    EXPECT_EQ(names, sandbox.filesBelow(QStringLiteral("out-four")));
    for (const QString& name : names) {
        EXPECT_EQ(contentOf(one + u'/' + name), contentOf(four + u'/' + name)) << name.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Masks, ParallelRun,
    ::testing::Values(ParallelCase{"DefaultMask", {QStringLiteral("-c"), QStringLiteral("png")}},
                      ParallelCase{"CounterMask",
                                   {QStringLiteral("-c"), QStringLiteral("png"),
                                    QStringLiteral("--filename-mask=%n%-%filename%.%ext%")}},
                      // Without subfolders a/same.tif and b/same.tif write the same name: the later one wins.
                      ParallelCase{"CollidingNames",
                                   {QStringLiteral("-c"), QStringLiteral("bmp"), QStringLiteral("--no-subfolders")}},
                      // The watermark text of each file shows its own counter.
                      ParallelCase{"CounterInWatermark",
                                   {QStringLiteral("-c"), QStringLiteral("tiff"), QStringLiteral("--wm-text=No. %n%"),
                                    QStringLiteral("--wm-font=Arial")}},
                      // The watermark of each file shows its own size and depth.
                      ParallelCase{"PageValuesInWatermark",
                                   {QStringLiteral("-c"), QStringLiteral("png"),
                                    QStringLiteral("--wm-text=%width%x%height% %bpp%"),
                                    QStringLiteral("--wm-font=Arial")}},
                      // The DevIL writers share global state.
                      ParallelCase{"DevilWriter", {QStringLiteral("-c"), QStringLiteral("psd")}}),
    [](const ::testing::TestParamInfo<ParallelCase>& info) { return std::string(info.param.name); });

// Every writer, fed the same pages by four workers at once, writes what it writes alone, byte for
// byte, run after run: a writer that keeps state of its own between calls (a static buffer, a
// shared table) mixes two files up when two workers save at the same time. The bundled samples
// (photo, 16-bit scan, fax, three-page document) twice over, so that each run overlaps many saves.
class EveryWriter : public ::testing::TestWithParam<std::string> {};

TEST_P(EveryWriter, FourWorkersWriteWhatOneWrites)
{
    const e2e::Sandbox sandbox;
    const QDir samples(QStringLiteral(TESSALINE_SOURCE_DIR "/samples"));
    for (const QString& copy : {QStringLiteral("in/a"), QStringLiteral("in/b")}) {
        const QString folder = sandbox.makeFolder(copy);
        for (const QFileInfo& sample : samples.entryInfoList({QStringLiteral("*.tif")}, QDir::Files)) {
            ASSERT_TRUE(QFile::copy(sample.filePath(), folder + u'/' + sample.fileName()));
        }
    }
    const QString key = QString::fromStdString(GetParam());
    const auto convert = [&](const QString& out, int threads) {
        sandbox.makeFolder(out);
        return sandbox.run({QStringLiteral("-i"), QStringLiteral("in"), QStringLiteral("-o"), out,
                            QStringLiteral("-c"), key, QStringLiteral("--threads=%1").arg(threads)});
    };
    const e2e::RunResult alone = convert(QStringLiteral("one"), 1);
    ASSERT_EQ(alone.exitCode, 0) << alone.err.constData();
    const QStringList names = sandbox.filesBelow(QStringLiteral("one"));
    ASSERT_GE(names.size(), 12);
    for (int round = 0; round < 3; ++round) {
        const QString out = QStringLiteral("four-%1").arg(round);
        const e2e::RunResult together = convert(out, 4);
        ASSERT_EQ(together.exitCode, 0) << together.err.constData();
        ASSERT_EQ(sandbox.filesBelow(out), names);
        for (const QString& name : names) {
            EXPECT_EQ(contentOf(sandbox.path(out + u'/' + name)), contentOf(sandbox.path(QStringLiteral("one/") + name)))
                << key.toStdString() << ": " << name.toStdString() << " differs in round " << round;
        }
    }
}

std::vector<std::string> outputKeys()
{
    std::vector<std::string> keys;
    for (const QString& key : outputFormatList()) {
        keys.push_back(key.toStdString());
    }
    return keys;
}

INSTANTIATE_TEST_SUITE_P(Formats, EveryWriter, ::testing::ValuesIn(outputKeys()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

struct MarkedFile {
    const char* name;
    PageKind kind;
    int width;
    int height;
    const char* ownValues; // what "%width%x%height% %bpp%" reads for it as png at Auto
};

const MarkedFile kMarkedFiles[] = {
    {"a-wide", PageKind::Rgb24, 180, 60, "180x60 24"},
    {"b-grey", PageKind::Grey8, 110, 90, "110x90 8"},
    {"c-fax", PageKind::Bilevel, 140, 70, "140x70 1"},
    {"d-square", PageKind::Rgba32, 120, 120, "120x120 32"},
};

QStringList watermarkOptions(const QString& text)
{
    return {QStringLiteral("-c"),
            QStringLiteral("png"),
            QStringLiteral("--wm-text=") + text,
            QStringLiteral("--wm-font=Arial"),
            QStringLiteral("--wm-font-size=9"),
            QStringLiteral("--wm-back-opacity=255")};
}

// The page placeholders of a watermark describe the page being marked, from the first file on, and
// a parallel run marks each page as a sequential one does.
TEST(ParallelRun, WatermarkShowsEachFilesOwnSizeAndDepth)
{
    const e2e::Sandbox sandbox;
    const QString in = sandbox.makeFolder(QStringLiteral("in"));
    for (const MarkedFile& file : kMarkedFiles) {
        ASSERT_TRUE(fixtures::writeTiff(in + u'/' + QLatin1String(file.name) + QStringLiteral(".tif"), file.kind,
                                        file.width, file.height));
    }
    const QStringList placeholders = watermarkOptions(QStringLiteral("%width%x%height% %bpp%"));
    for (const char* folder : {"out-one", "out-four", "out-alone"}) {
        sandbox.makeFolder(QLatin1String(folder));
    }
    const e2e::RunResult sequential =
        sandbox.run(QStringList{"-i", "in", "-o", "out-one", "--threads=1"} + placeholders);
    const e2e::RunResult parallel =
        sandbox.run(QStringList{"-i", "in", "-o", "out-four", "--threads=4"} + placeholders);
    ASSERT_EQ(sequential.exitCode, 0) << sequential.err.constData();
    ASSERT_EQ(parallel.exitCode, 0) << parallel.err.constData();

    for (const MarkedFile& file : kMarkedFiles) {
        const QString output = QLatin1String(file.name) + QStringLiteral(".png");
        // The same file alone, marked with its values written out.
        const e2e::RunResult alone =
            sandbox.run(QStringList{"-i", "in/" + QLatin1String(file.name) + ".tif", "-o", "out-alone"} +
                        watermarkOptions(QLatin1String(file.ownValues)));
        ASSERT_EQ(alone.exitCode, 0) << alone.err.constData();
        const QByteArray expected = contentOf(sandbox.path(QStringLiteral("out-alone/") + output));
        ASSERT_FALSE(expected.isEmpty()) << file.name;
        EXPECT_TRUE(contentOf(sandbox.path(QStringLiteral("out-one/") + output)) == expected)
            << file.name << " with --threads=1 is not marked \"" << file.ownValues << "\"";
        EXPECT_TRUE(contentOf(sandbox.path(QStringLiteral("out-four/") + output)) == expected)
            << file.name << " with --threads=4 is not marked \"" << file.ownValues << "\"";
    }
}

TEST(ParallelRunOptions, RefusesAThreadCountBelowOne)
{
    const e2e::Sandbox sandbox;
    sandbox.writeTiff(QStringLiteral("a.tif"));
    for (const QString& option :
         {QStringLiteral("--threads=0"), QStringLiteral("--threads=-2"), QStringLiteral("--threads=x")}) {
        const e2e::RunResult result = sandbox.run({QStringLiteral("-i"), QStringLiteral("a.tif"), option});
        EXPECT_EQ(result.exitCode, 1) << option.toStdString();
        EXPECT_EQ(result.errLines(), (QStringList{QStringLiteral("Error: Invalid threads value"),
                                                  QStringLiteral("  %1: give a whole number from 1 up, as in "
                                                                 "--threads=4")
                                                      .arg(option)}))
            << option.toStdString();
    }
    const e2e::RunResult bare =
        sandbox.run({QStringLiteral("-i"), QStringLiteral("a.tif"), QStringLiteral("--threads")});
    EXPECT_EQ(bare.errLines(), (QStringList{QStringLiteral("Error: Incorrect number of parameters"),
                                            QStringLiteral("  --threads needs its value after \"=\": --threads=N")}));
}

} // namespace
