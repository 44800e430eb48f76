// The preview's "after" picture is the file a console run writes: for the same page and settings
// its pixels, its size in bytes and its output name are those of the console's output file.
#include "app/settings_table.h"
#include "cli/option_table.h"
#include "engine/run/page_preview.h"
#include "engine/run/run_checks.h"
#include "support/converted_page.h"
#include "support/gui_app.h"

#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

using e2e::Sandbox;

struct PreviewCase {
    const char* name;
    const char* format;
    QStringList options; // console options, applied to the preview's settings by the option table
    fixtures::PageKind page = fixtures::PageKind::Rgb24;
};

// The settings a console run with these options starts its conversion with.
Settings consoleSettings(const QStringList& options)
{
    Settings settings;
    resetToDefaults(settings, true, QSize());
    for (const QString& option : options) {
        const qsizetype equals = option.indexOf(u'=');
        const OptionSpec* known = findOption(option.left(equals).toUpper());
        EXPECT_NE(known, nullptr) << option.toStdString();
        if (known != nullptr) {
            applySetting(*known, equals < 0 ? QString() : option.mid(equals + 1), settings);
        }
    }
    return settings;
}

class PreviewMatchesConsole : public testing::TestWithParam<PreviewCase> {};

TEST_P(PreviewMatchesConsole, AfterPictureIsTheWrittenFile)
{
    const PreviewCase& c = GetParam();
    testsupport::ensureGuiApplication();
    Sandbox box;
    const QString input = e2e::writePage(box, QStringLiteral("page"), fixtures::makePage(c.page, 67, 45));
    const QString out = box.makeFolder(QStringLiteral("out"));
    QStringList arguments{QStringLiteral("-i"), input, QStringLiteral("-o"), out, QStringLiteral("-c"),
                          QLatin1String(c.format)};
    const e2e::RunResult run = box.run(arguments + c.options);
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QStringList written = box.filesBelow(QStringLiteral("out"));
    ASSERT_EQ(written.size(), 1);
    const QString console = out + QLatin1Char('/') + written.first();

    PreviewRequest request;
    request.settings = consoleSettings(c.options);
    request.job.outputKey = QLatin1String(c.format);
    request.job.outputFolder = out + QLatin1Char('/');
    request.inputPath = input;
    const PagePreview preview = previewPage(request);

    ASSERT_TRUE(preview.problem.isEmpty()) << preview.problem.toStdString();
    EXPECT_EQ(preview.outputPath, console);
    EXPECT_EQ(preview.bytes, QFileInfo(console).size());
    const Bitmap consolePage = loadWrittenFile(console);
    ASSERT_TRUE(consolePage);
    EXPECT_EQ(preview.depth, static_cast<int>(consolePage.bpp()));
    EXPECT_EQ(preview.width, static_cast<int>(consolePage.width()));
    const QImage expected = displayImage(consolePage.get());
    ASSERT_FALSE(preview.after.isNull());
    EXPECT_EQ(preview.after, expected);
    // Nothing but the console's own file is in the output folder.
    EXPECT_EQ(box.filesBelow(QStringLiteral("out")), written);
    // The "before" picture is the page as loaded.
    EXPECT_EQ(preview.before.size(), QSize(67, 45));
}

INSTANTIATE_TEST_SUITE_P(
    Formats, PreviewMatchesConsole,
    testing::Values(PreviewCase{"png", "png", {}},
                    PreviewCase{"jpgQuality40", "jpg", {QStringLiteral("--jpg-quality=40")}},
                    PreviewCase{"oneBit", "png", {QStringLiteral("--png-bpp=1")}},
                    PreviewCase{"palette256", "gif", {}},
                    PreviewCase{"frameAndWatermark",
                                "png",
                                {QStringLiteral("--fr-solid-left=6"), QStringLiteral("--fr-solid-top=4"),
                                 QStringLiteral("--fr-solid-top-color=FF0000"), QStringLiteral("--wm-text=Proof"),
                                 QStringLiteral("--wm-font=Liberation Sans"), QStringLiteral("--width=50"), QStringLiteral("--height=50"),
                                 QStringLiteral("--keep-aspect-ratio")}},
                    PreviewCase{"sixteenBitToPalette", "bmp", {QStringLiteral("--bmp-bpp=8")},
                                fixtures::PageKind::Rgb48}),
    [](const testing::TestParamInfo<PreviewCase>& info) { return std::string(info.param.name); });

// A page chosen in a multi-page file is named as the run names it; a page the run's selection
// leaves out is said to be left out.
TEST(PreviewPages, ChosenPageIsNamedAsTheRunNamesIt)
{
    Sandbox box;
    const QString input = box.writeTiff(QStringLiteral("in/pages.tif"), 3);
    const QString out = box.makeFolder(QStringLiteral("out"));
    const e2e::RunResult run = box.run({QStringLiteral("-i"), input, QStringLiteral("-o"), out, QStringLiteral("-c"),
                                        QStringLiteral("png"), QStringLiteral("--tiff-frame-loading=all")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    ASSERT_EQ(box.filesBelow(QStringLiteral("out")).size(), 3);

    PreviewRequest request;
    request.settings = consoleSettings({QStringLiteral("--tiff-frame-loading=all")});
    request.job.outputKey = QStringLiteral("png");
    request.job.outputFolder = out + QLatin1Char('/');
    request.inputPath = input;
    request.pageIndex = 2;
    const PagePreview all = previewPage(request);
    EXPECT_EQ(all.pageCount, 3);
    EXPECT_EQ(all.pageIndex, 2);
    EXPECT_TRUE(all.pageConverted);
    EXPECT_EQ(all.outputPath, out + QStringLiteral("/pages[3].png"));
    EXPECT_EQ(all.after, displayImage(loadWrittenFile(all.outputPath).get()));

    request.settings = consoleSettings({QStringLiteral("--tiff-frame-loading=first")});
    const PagePreview first = previewPage(request);
    EXPECT_FALSE(first.pageConverted);
    EXPECT_EQ(first.outputPath, out + QStringLiteral("/pages.png"));
    request.pageIndex = -1;
    EXPECT_EQ(previewPage(request).pageIndex, 0);
}

TEST(PreviewProblems, UnreadableFileGivesTheConsolesReason)
{
    Sandbox box;
    const QString notTiff = box.writeFile(QStringLiteral("in/notes.tif"), "plain text, not an image\n");
    const QString truncated = box.writeFile(QStringLiteral("in/cut.tif"), QByteArray("II*\0\x08\0\0\0", 8));
    const QString out = box.makeFolder(QStringLiteral("out"));
    for (const QString& input : {notTiff, truncated}) {
        const e2e::RunResult run = box.run({QStringLiteral("-i"), input, QStringLiteral("-o"), out});
        PreviewRequest request;
        resetToDefaults(request.settings, true, QSize());
        request.job.outputKey = QStringLiteral("png");
        request.job.outputFolder = out + QLatin1Char('/');
        request.inputPath = input;
        const PagePreview preview = previewPage(request);
        EXPECT_TRUE(preview.fileFailed);
        EXPECT_FALSE(preview.problem.isEmpty());
        // The console's error line for the file is "<path>: <reason>".
        EXPECT_TRUE(run.err.contains((input + QStringLiteral(": ") + preview.problem).toUtf8()))
            << run.err.toStdString() << " / " << preview.problem.toStdString();
        EXPECT_TRUE(preview.after.isNull());
    }
    EXPECT_TRUE(box.filesBelow(QStringLiteral("out")).isEmpty());
}

TEST(PreviewProblems, SettingsTheRunRefusesGiveItsMessage)
{
    Sandbox box;
    const QString input = box.writeTiff(QStringLiteral("in/page.tif"));
    PreviewRequest request;
    request.settings = consoleSettings({QStringLiteral("--jpg-quality=0")});
    request.job.outputKey = QStringLiteral("jpg");
    request.inputPath = input;
    const PagePreview preview = previewPage(request);
    EXPECT_FALSE(preview.fileFailed);
    EXPECT_EQ(preview.problem, runProblemMessage({RunProblemKind::InvalidJpgQuality, QString()}));
    EXPECT_TRUE(preview.after.isNull());
}

} // namespace
