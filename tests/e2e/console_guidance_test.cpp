// The console tool telling a user where and why: every "Error: " line with the line after it,
// warnings that --strict turns into errors, the exit status of incremental runs, the names -d
// shows for multi-page files and the answer to a first Ctrl+C.
#include "support/run_tessaline.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

using e2e::RunResult;
using e2e::Sandbox;

// "%W" in an expected line stands for the sandbox's work folder (the runs' current folder), "%R"
// for the folder above it.
QString expand(const Sandbox& box, const char* text)
{
    return QString::fromUtf8(text)
        .replace(QStringLiteral("%W"), box.workFolder())
        .replace(QStringLiteral("%R"), QDir::cleanPath(box.workFolder() + QStringLiteral("/..")));
}

QStringList withoutWarnings(const QStringList& lines)
{
    QStringList kept;
    for (const QString& line : lines) {
        if (!line.startsWith(u"Warning: ")) {
            kept << line;
        }
    }
    return kept;
}

void writeInputs(const Sandbox& box)
{
    box.writeTiff(QStringLiteral("in/a.tif"));
    box.writeFile(QStringLiteral("empty.tif"), "");
    box.makeFolder(QStringLiteral("photos.2019"));
    box.makeFolder(QStringLiteral("out"));
    box.writeFile(QStringLiteral("file"), "x");
}

struct DetailCase {
    const char* name;
    QStringList arguments;
    const char* error;
    const char* detail;
};

class ErrorLines : public testing::TestWithParam<DetailCase> {};

TEST_P(ErrorLines, SayWhereAndWhyOnTheNextLine)
{
    Sandbox box;
    writeInputs(box);
    const RunResult run = box.run(GetParam().arguments);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(
        withoutWarnings(run.errLines()),
        (QStringList{QStringLiteral("Error: ") + QString::fromUtf8(GetParam().error), expand(box, GetParam().detail)}));
    EXPECT_EQ(box.filesBelow(QStringLiteral("out")), QStringList());
}

QStringList tooManyParameters()
{
    QStringList arguments{"-i", "in"};
    for (int i = 0; i < 130; ++i) {
        arguments << QStringLiteral("-q");
    }
    return arguments;
}

const char* const inputExpected = "  %W/in/b.tif does not exist";

INSTANTIATE_TEST_SUITE_P(
    EveryError, ErrorLines,
    testing::Values(
        DetailCase{
            "InputLast", {"-o", "out", "-i"}, "Incorrect number of parameters", "  -i needs a value after it: -i FILE"},
        DetailCase{"InputThenOption",
                   {"-i", "-x"},
                   "Incorrect number of parameters",
                   "  -i takes the next parameter as its value, and \"-x\" begins with \"-\": -i FILE"},
        DetailCase{"ValueAsNextParameter",
                   {"-i", "in", "--jpg-quality", "80"},
                   "Incorrect number of parameters",
                   "  --jpg-quality needs its value after \"=\": --jpg-quality=80"},
        DetailCase{"EmptyValue",
                   {"-i", "in", "--width="},
                   "Incorrect number of parameters",
                   "  --width needs its value after \"=\": --width=NUM"},
        DetailCase{"DoubleMinus",
                   {"-i", "in", "--brightness=--30"},
                   "Incorrect number of parameters",
                   "  the value of --brightness may not begin with \"--\": --brightness=-30"},
        DetailCase{"MissingProfile",
                   {"-i", "in", "--profile=none.ini"},
                   "Invalid profile file",
                   "  %W/none.ini does not exist; --profile names a text file with a [CLI] group of options"},
        DetailCase{"FolderAsProfile",
                   {"-i", "in", "--profile=out"},
                   "Invalid profile file",
                   "  %W/out is a folder; --profile names a text file with a [CLI] group of options"},
        DetailCase{"TooManyParameters", tooManyParameters(), "Too many parameters (at most 128)",
                   "  132 parameters were given; name the files in a list file (-i files.lst, one path per line) or "
                   "give their folder"},
        DetailCase{"Threads",
                   {"-i", "in", "--threads=0"},
                   "Invalid threads value",
                   "  --threads=0: give a whole number from 1 up, as in --threads=4"},
        DetailCase{"Memory",
                   {"-i", "in", "--memory=lots"},
                   "Invalid memory value",
                   "  --memory=lots: give a size in bytes or with K, M, G or T, as in --memory=512M or --memory=2G"},
        DetailCase{"ReportName",
                   {"-i", "in", "--report=r.txt"},
                   "Invalid report file name (it must end in .jsonl, .json or .csv)",
                   "  --report=r.txt: name a file such as report.jsonl or report.csv"},
        DetailCase{"Shard",
                   {"-i", "in", "--shard=0/2"},
                   "Invalid shard value (K/N with 1 <= K <= N)",
                   "  --shard=0/2: K counts from 1, as in --shard=1/4 ... --shard=4/4"},
        DetailCase{"MissingFile", {"-i", "in/b.tif", "-o", "out"}, "Invalid input file", inputExpected},
        DetailCase{"GlobThatMatchedNothing",
                   {"-i", "in/*.png", "-o", "out"},
                   "Invalid input file",
                   "  no file matches in/*.png"},
        DetailCase{
            "EmptyFile", {"-i", "empty.tif", "-o", "out"}, "Invalid input file", "  %W/empty.tif is empty (0 bytes)"},
        DetailCase{"FolderWithADot",
                   {"-i", "photos.2019", "-o", "out"},
                   "Invalid input file",
                   "  %W/photos.2019 is a folder; a name with a dot is taken for a file, so end it with \"/\": -i "
                   "photos.2019/"},
        DetailCase{"ParentInput",
                   {"-i", "../in", "-o", "out"},
                   "Incorrect input folder",
                   "  ../in begins with \"..\", which is refused; give its full path: -i %R/in"},
        DetailCase{"MissingInputFolder",
                   {"-i", "nothere", "-o", "out"},
                   "Invalid input folder",
                   "  %W/nothere does not exist"},
        DetailCase{"ParentOutput",
                   {"-i", "in", "-o", "../out"},
                   "Incorrect output folder",
                   "  ../out begins with \"..\", which is refused; give its full path: -o %R/out"},
        DetailCase{"MissingOutput",
                   {"-i", "in", "-o", "nothere"},
                   "Invalid output folder",
                   "  %W/nothere does not exist; create it first (Tessaline never creates the output folder)"},
        DetailCase{
            "FileAsOutput", {"-i", "in", "-o", "file"}, "Invalid output folder", "  %W/file is a file, not a folder"},
        DetailCase{"UpperCaseFormat",
                   {"-i", "in", "-o", "out", "-c", "JPG"},
                   "Invalid conversion type",
                   "  -c JPG is not one of bmp, dds, exr, gif, hdr, ico, j2k, jng, jp2, jpg, jxr, pbm, pcx, pfm, pgm, "
                   "png, ppm, psd, tga, tiff, wbmp, webp, xpm (in lower case; did you mean jpg?)"},
        DetailCase{"Depth",
                   {"-i", "in", "-o", "out", "-c", "png", "--png-bpp=16"},
                   "Invalid png-bpp value",
                   "  --png-bpp=16: PNG is written with 1, 4, 8, 24, 32, 48 bits, or 0 for the automatic depth"},
        DetailCase{"JpgQuality",
                   {"-i", "in", "-o", "out", "-c", "jpg", "--jpg-quality=150"},
                   "Invalid jpg-quality value",
                   "  --jpg-quality=150 is outside 1..100"},
        DetailCase{"Width",
                   {"-i", "in", "-o", "out", "--width=0"},
                   "Invalid width value",
                   "  --width is 0 or missing: resizing needs both sizes, as in --width=800 --height=800 (with "
                   "--keep-aspect-ratio the page fits within them)"},
        DetailCase{"HeightMissing",
                   {"-i", "in", "-o", "out", "--width=640", "--keep-aspect-ratio"},
                   "Invalid height value",
                   "  --height is 0 or missing: resizing needs both sizes, as in --width=640 --height=640 (with "
                   "--keep-aspect-ratio the page fits within them)"},
        DetailCase{"Brightness",
                   {"-i", "in", "-o", "out", "--brightness=150"},
                   "Invalid brightness value",
                   "  --brightness=150 is outside -100..100"},
        DetailCase{"Contrast",
                   {"-i", "in", "-o", "out", "--contrast=-101"},
                   "Invalid contrast value",
                   "  --contrast=-101 is outside -100..100"},
        DetailCase{"Gamma",
                   {"-i", "in", "-o", "out", "--gamma=10"},
                   "Invalid gamma value",
                   "  --gamma=10 is outside 0.01..9.99 (1 leaves the page as it is)"},
        DetailCase{"WatermarkFont",
                   {"-i", "in", "-o", "out", "--wm-text=x", "--wm-font=NoSuchFont123"},
                   "Invalid watermark font",
                   "  no font family \"NoSuchFont123\" is installed; name one that fc-list : family lists, as in "
                   "--wm-font=\"Liberation Sans\""},
        DetailCase{"WatermarkImage",
                   {"-i", "in", "-o", "out", "--wm-image=none.png"},
                   "Invalid watermark image",
                   "  %W/none.png does not exist"},
        DetailCase{"WatermarkImageEmpty",
                   {"-i", "in", "-o", "out", "--wm-image=empty.tif"},
                   "Invalid watermark image",
                   "  %W/empty.tif is empty (0 bytes)"}),
    [](const testing::TestParamInfo<DetailCase>& info) { return std::string(info.param.name); });

// --- warnings and --strict ----------------------------------------------------------------------

struct MistakeCase {
    const char* name;
    QStringList arguments; // besides -i in -o out -c png
    const char* warning;   // the "Warning: " line of a run that goes on
    const char* error;     // the "Error: " line of the same run with --strict
};

class StrictMode : public testing::TestWithParam<MistakeCase> {};

// Each kind of mistake is a warning and the run converts; with --strict (an option, or a key of a
// profile) it is an error, exit 1, and nothing is written.
TEST_P(StrictMode, TurnsEveryWarningIntoAnError)
{
    Sandbox box;
    box.writeTiff(QStringLiteral("in/a.tif"));
    box.writeFile(QStringLiteral("flat.ini"), "--JPG-QUALITY = 80\n");
    box.writeFile(QStringLiteral("typo.ini"), "[CLI]\n--JPG-QUALTY = 80\n");
    box.writeFile(QStringLiteral("strict.ini"), "[CLI]\n--STRICT = 1\n");
    box.writeFile(QStringLiteral("list.lst"), "in/a.tif\nin/gone.tif\n");
    const QStringList run{"-q", "-o", "out", "-c", "png"};
    const QStringList input = GetParam().arguments.contains(QStringLiteral("-i"))
                                  ? QStringList{}
                                  : QStringList{QStringLiteral("-i"), QStringLiteral("in")};

    box.makeFolder(QStringLiteral("out"));
    const RunResult lenient = box.run(run + input + GetParam().arguments);
    EXPECT_EQ(lenient.exitCode, 0) << lenient.err.constData();
    EXPECT_EQ(lenient.errLines(), QStringList{QStringLiteral("Warning: ") + QString::fromUtf8(GetParam().warning)});
    EXPECT_FALSE(box.filesBelow(QStringLiteral("out")).isEmpty());

    const QString strictClosing = QStringLiteral("  --strict ends the run at a warning: nothing was converted; correct "
                                                 "what the lines above name, or leave out --strict to go on as warned");
    for (const QStringList& strict : {QStringList{"--strict"}, QStringList{"--profile=strict.ini"}}) {
        QDir(box.path(QStringLiteral("out"))).removeRecursively();
        box.makeFolder(QStringLiteral("out"));
        const RunResult refused = box.run(run + input + GetParam().arguments + strict);
        EXPECT_EQ(refused.exitCode, 1) << strict.first().toStdString();
        EXPECT_EQ(refused.errLines(),
                  (QStringList{QStringLiteral("Error: ") + QString::fromUtf8(GetParam().error), strictClosing}));
        EXPECT_EQ(box.filesBelow(QStringLiteral("out")), QStringList()) << strict.first().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    EveryKind, StrictMode,
    testing::Values(
        MistakeCase{"UnknownOption",
                    {"--jpg-qualty=80"},
                    "unknown option --jpg-qualty (did you mean --jpg-quality?)",
                    "unknown option --jpg-qualty (did you mean --jpg-quality?)"},
        MistakeCase{"Keyword",
                    {"--wm-text-position=bottom-right"},
                    "--wm-text-position=bottom-right is not one of topleft, topcenter, topright, middleleft, "
                    "middlecenter, middleright, bottomleft, bottomcenter, bottomright (did you mean bottomright?); "
                    "using topleft",
                    "--wm-text-position=bottom-right is not one of topleft, topcenter, topright, middleleft, "
                    "middlecenter, middleright, bottomleft, bottomcenter, bottomright (did you mean bottomright?)"},
        MistakeCase{"NotANumber",
                    {"--wm-font-size=12pt"},
                    "--wm-font-size=12pt is not a number; using 12",
                    "--wm-font-size=12pt is not a number"},
        MistakeCase{"OutOfRange",
                    {"--threshold=300"},
                    "--threshold=300 is outside 0..255; used as given",
                    "--threshold=300 is outside 0..255"},
        MistakeCase{"Colour",
                    {"--rotation-back-color=red"},
                    "--rotation-back-color=red is not a colour of six hexadecimal digits RRGGBB; using black (000000)",
                    "--rotation-back-color=red is not a colour of six hexadecimal digits RRGGBB"},
        MistakeCase{"StrayName",
                    {"nothing.tif"},
                    "nothing.tif is not an option, and no such file or folder; ignored",
                    "nothing.tif is not an option, and no such file or folder"},
        MistakeCase{"FirstOnlySwitch",
                    {"-v"},
                    "-v acts only as the first parameter; ignored",
                    "-v acts only as the first parameter"},
        MistakeCase{"ProfileKey",
                    {"--profile=typo.ini"},
                    "unknown key --JPG-QUALTY in profile typo.ini (did you mean --jpg-quality?)",
                    "unknown key --JPG-QUALTY in profile typo.ini (did you mean --jpg-quality?)"},
        MistakeCase{"ProfileWithoutGroup",
                    {"--profile=flat.ini"},
                    "profile flat.ini holds no [CLI] group; nothing was read from it (put the options below a line "
                    "[CLI])",
                    "profile flat.ini holds no [CLI] group"},
        MistakeCase{"ShardCounter",
                    {"--shard=1/2", "--filename-mask=%n%.%ext%"},
                    "the filename mask uses %n% or %rnd%: output names are not shard-stable (each shard counts its "
                    "own files)",
                    "the filename mask uses %n% or %rnd%: output names are not shard-stable (each shard counts its "
                    "own files)"},
        MistakeCase{"ListLine",
                    {"-i", "list.lst"},
                    "list line names no file or folder: in/gone.tif; skipped",
                    "list line names no file or folder: in/gone.tif"}),
    [](const testing::TestParamInfo<MistakeCase>& info) { return std::string(info.param.name); });

// --- warnings that agree with the checks ---------------------------------------------------------

struct HonestCase {
    const char* name;
    QStringList arguments; // besides -q -d -i in -o out
    int exitCode;
    QStringList errors; // standard error, line by line
    const char* echo;   // a line the echo must show; empty: none asked
};

class HonestWarnings : public testing::TestWithParam<HonestCase> {};

// A value the checks refuse gets their error line alone, no warning that it is "used as given";
// a compression option takes its own format's keywords only, so what the echo shows is what is
// written.
TEST_P(HonestWarnings, AgreeWithTheChecksAndTheEcho)
{
    Sandbox box;
    box.writeTiff(QStringLiteral("in/a.tif"));
    box.makeFolder(QStringLiteral("out"));
    const RunResult run = box.run(QStringList{"-q", "-d", "-i", "in", "-o", "out"} + GetParam().arguments);
    EXPECT_EQ(run.exitCode, GetParam().exitCode);
    EXPECT_EQ(run.errLines(), GetParam().errors);
    if (*GetParam().echo != '\0') {
        EXPECT_TRUE(run.outLines().contains(QString::fromUtf8(GetParam().echo))) << run.out.constData();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HonestWarnings,
    testing::Values(
        HonestCase{"QualityRefused",
                   {"-c", "jpg", "--jpg-quality=150"},
                   1,
                   {"Error: Invalid jpg-quality value", "  --jpg-quality=150 is outside 1..100"},
                   ""},
        HonestCase{"BrightnessRefused",
                   {"-c", "png", "--brightness=150"},
                   1,
                   {"Error: Invalid brightness value", "  --brightness=150 is outside -100..100"},
                   ""},
        HonestCase{"DepthRefused",
                   {"-c", "png", "--png-bpp=16"},
                   1,
                   {"Error: Invalid png-bpp value",
                    "  --png-bpp=16: PNG is written with 1, 4, 8, 24, 32, 48 bits, or 0 for the automatic depth"},
                   ""},
        // Text where a number belongs is named as typed, before the check refuses what was read from it.
        HonestCase{"GammaText",
                   {"-c", "png", "--gamma=abc"},
                   1,
                   {"Warning: --gamma=abc is not a number; using 0", "Error: Invalid gamma value",
                    "  --gamma=0 is outside 0.01..9.99 (1 leaves the page as it is)"},
                   ""},
        HonestCase{"MaskLeavesTheOutputFolder",
                   {"-c", "png", "--filename-mask=../../x_%filename%.%ext%"},
                   1,
                   {"Error: Invalid filename mask",
                    "  the mask ../../x_%filename%.%ext% has a \"..\" component: names made from it would leave the "
                    "output folder"},
                   "Filename Mask: ../../x_%filename%.%ext%"},
        HonestCase{"UnknownCompression",
                   {"-c", "png", "--png-compression=default"},
                   0,
                   {"Warning: --png-compression=default is not one of none, zlib1, zlib6, zlib9; using none"},
                   "PNG Compression: none"},
        HonestCase{"CompressionOfAnotherFormat",
                   {"-c", "png", "--png-compression=lzw"},
                   0,
                   {"Warning: --png-compression=lzw is not one of none, zlib1, zlib6, zlib9; using none"},
                   "PNG Compression: none"},
        HonestCase{"OwnCompression", {"-c", "png", "--png-compression=ZLIB9"}, 0, {}, "PNG Compression: zlib9"},
        HonestCase{"TiffCompression", {"-c", "tiff", "--tiff-compression=lzw"}, 0, {}, "TIFF Compression: lzw"}),
    [](const testing::TestParamInfo<HonestCase>& info) { return std::string(info.param.name); });

// --- exit status of incremental runs ------------------------------------------------------------

TEST(UpdateRun, UpToDateFilesAndFailuresArePartial)
{
    Sandbox box;
    box.writeTiff(QStringLiteral("in/a.tif"));
    box.writeTiff(QStringLiteral("in/b.tif"));
    box.makeFolder(QStringLiteral("out"));
    const QStringList run{"-q", "-i", "in", "-o", "out", "-c", "png", "--update"};
    ASSERT_EQ(box.run(run).exitCode, 0);
    // A file that fails every night beside files that stay up to date.
    box.writeFile(QStringLiteral("in/broken.tif"), "II*\0 not a tiff at all");

    struct Step {
        const char* name;
        QStringList extra;
        int exitCode;
    };
    const Step steps[] = {
        {"up to date and one failure", {}, 3},
        {"everything up to date", {"--shard=1/3"}, 0},
        {"nothing in place", {"--shard=3/3"}, 2},
    };
    for (const Step& step : steps) {
        const RunResult result = box.run(run + step.extra);
        EXPECT_EQ(result.exitCode, step.exitCode) << step.name << "\n" << result.out.constData();
    }
}

// --- the names -d shows -------------------------------------------------------------------------

TEST(DebugEcho, SavingAsNamesEveryPageWritten)
{
    Sandbox box;
    box.writeTiff(QStringLiteral("doc.tif"), 3);
    box.writeTiff(QStringLiteral("one.tif"));
    box.writeFile(QStringLiteral("list.lst"), "doc.tif\none.tif\n");
    const RunResult run = box.run({"-q", "-d", "-i", "list.lst", "-c", "png"});
    ASSERT_EQ(run.exitCode, 0) << run.err.constData();
    QStringList saved;
    for (const QString& line : run.outLines()) {
        if (line.startsWith(u"Saving As: ")) {
            saved << QFileInfo(line.mid(11)).fileName();
        }
    }
    EXPECT_EQ(saved, (QStringList{"doc[1].png", "doc[2].png", "doc[3].png", "one.png"}));
    for (const QString& name : saved) {
        EXPECT_TRUE(QFileInfo::exists(box.path(name))) << name.toStdString();
    }
}

// --- the first Ctrl+C ---------------------------------------------------------------------------

struct InterruptCase {
    const char* name;
    bool terminal; // standard output and error on a terminal; else both redirected
    bool quiet;
    bool announced;
};

class FirstInterrupt : public testing::TestWithParam<InterruptCase> {};

// On a terminal the first Ctrl+C is answered at once, before the files in hand are finished and
// the summary written; a quiet run and a redirected standard error stay silent.
TEST_P(FirstInterrupt, IsAnsweredAtOnceOnATerminal)
{
    Sandbox box;
    for (int i = 0; i < 8; ++i) {
        box.writeTiff(QStringLiteral("in/page%1.tif").arg(i));
    }
    box.makeFolder(QStringLiteral("out"));
    QStringList arguments{"-d",
                          "-i",
                          "in",
                          "-o",
                          "out",
                          "-c",
                          "png",
                          "--width=2000",
                          "--height=2000",
                          "--resize-algorithm=lanczos",
                          "--threads=1"};
    if (GetParam().quiet) {
        arguments.prepend(QStringLiteral("-q"));
    }
    auto running = box.start(arguments, {.terminal = GetParam().terminal});
    ASSERT_TRUE(running->waitForOutput("Processing: "));
    if (GetParam().terminal) {
        running->pressKey('\x03');
    } else {
        running->interrupt();
    }
    const RunResult run = running->finish();
    EXPECT_EQ(run.exitCode, 130);
    const QByteArray everything = run.out + run.err;
    const QByteArray notice("Stopping after the files in hand; press Ctrl+C again to stop at once.");
    const qsizetype said = everything.indexOf(notice);
    EXPECT_EQ(said >= 0, GetParam().announced) << everything.constData();
    if (GetParam().announced) {
        const qsizetype stopped = everything.indexOf("Conversion stopped");
        ASSERT_GE(stopped, 0) << everything.constData();
        EXPECT_LT(said, stopped) << "the answer comes before the files in hand are finished";
    }
    EXPECT_LT(box.filesBelow(QStringLiteral("out")).size(), 8);
}

INSTANTIATE_TEST_SUITE_P(Terminals, FirstInterrupt,
                         testing::Values(InterruptCase{"Terminal", true, false, true},
                                         InterruptCase{"TerminalQuiet", true, true, false},
                                         InterruptCase{"Redirected", false, false, false}),
                         [](const testing::TestParamInfo<InterruptCase>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
