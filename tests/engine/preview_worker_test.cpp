// The preview worker: a newer request replaces an older one, whose results are never delivered;
// a large page gets a scaled-down first look before the full preview.
#include "engine/run/preview_worker.h"
#include "support/malformed_tiffs.h"
#include "support/tiff_fixtures.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace {

struct Delivered {
    std::uint64_t number;
    bool firstLook;
    bool hasAfter;
    int sourceWidth;
    int reducedStep;
    QSize before; // of the display copy
    QString problem;
    bool fileFailed;
};

// Collects what the worker delivers, on its thread.
class Inbox {
  public:
    PreviewWorker::Delivery delivery()
    {
        return [this](std::uint64_t number, const PagePreview& preview) {
            const std::lock_guard guard(lock_);
            seen_.push_back({number, preview.firstLook, !preview.after.isNull(), preview.sourceWidth,
                             preview.reducedStep, preview.before.size(), preview.problem, preview.fileFailed});
            changed_.notify_all();
        };
    }

    // Waits until the complete preview of request `number` came; everything delivered so far.
    std::vector<Delivered> awaitComplete(std::uint64_t number)
    {
        std::unique_lock guard(lock_);
        changed_.wait_for(guard, std::chrono::seconds(60), [&] {
            for (const Delivered& one : seen_) {
                if (one.number == number && !one.firstLook) {
                    return true;
                }
            }
            return false;
        });
        return seen_;
    }

  private:
    std::mutex lock_;
    std::condition_variable changed_;
    std::vector<Delivered> seen_;
};

PreviewRequest requestFor(const QString& path)
{
    PreviewRequest request;
    resetToDefaults(request.settings, true, QSize());
    request.job.outputKey = QStringLiteral("png");
    request.inputPath = path;
    return request;
}

// A worker and its inbox, with pages in a folder of the test's own. The large page takes long
// enough to encode that a request made right after it always finds it in hand.
class PreviewWorkerTest : public testing::Test {
  protected:
    QString page(const char* name, int width, int height)
    {
        const QString path = dir.filePath(QLatin1String(name));
        EXPECT_TRUE(fixtures::writeTiff(path, fixtures::PageKind::Rgb24, width, height));
        return path;
    }
    QString largePage() { return page("large.tif", 800, 600); }

    QTemporaryDir dir;
    Inbox inbox;
    PreviewWorker worker{inbox.delivery()};
};

TEST_F(PreviewWorkerTest, NewerRequestReplacesTheOlder)
{
    EXPECT_EQ(worker.request(requestFor(largePage())), 1U);
    EXPECT_EQ(worker.request(requestFor(page("small.tif", 30, 20))), 2U);
    EXPECT_EQ(worker.newest(), 2U);
    const std::vector<Delivered> seen = inbox.awaitComplete(2);
    ASSERT_EQ(seen.size(), 1U);
    EXPECT_EQ(seen[0].number, 2U);
    EXPECT_EQ(seen[0].sourceWidth, 30);
    EXPECT_TRUE(seen[0].hasAfter);
}

// The first look at a large page is a reduced copy through the chain, labelled as such; the
// complete preview replaces it.
TEST_F(PreviewWorkerTest, LargePageGetsAReducedFirstLookBeforeTheFullPreview)
{
    PreviewRequest request = requestFor(page("page.tif", 60, 40));
    request.firstLookPixels = 1000;
    request.reducedSide = 20;
    const std::uint64_t number = worker.request(request);
    const std::vector<Delivered> seen = inbox.awaitComplete(number);
    ASSERT_EQ(seen.size(), 2U);
    EXPECT_TRUE(seen[0].firstLook);
    EXPECT_EQ(seen[0].reducedStep, 3);
    EXPECT_EQ(seen[0].before, QSize(20, 14));
    EXPECT_TRUE(seen[0].hasAfter);
    EXPECT_EQ(seen[0].sourceWidth, 60);
    EXPECT_FALSE(seen[1].firstLook);
    EXPECT_EQ(seen[1].reducedStep, 0);
    EXPECT_EQ(seen[1].before, QSize(60, 40));
    EXPECT_TRUE(seen[1].hasAfter);
}

// A damaged large page ends with its problem. Where the reduced copy reads the damage there is no
// first look at all; where it reads only whole rows, the labelled first look is followed by the
// problem, never by a complete preview.
TEST_F(PreviewWorkerTest, DamagedLargePageEndsWithItsProblem)
{
    struct Case {
        int keptStrips; // of 40 one-row strips
        bool firstLook;
    };
    for (const Case& one : {Case{20, false}, Case{39, true}}) {
        SCOPED_TRACE(one.keptStrips);
        const QString path = dir.filePath(QStringLiteral("cut%1.tif").arg(one.keptStrips));
        ASSERT_TRUE(fixtures::writeCutShortTiff(path, 60, 1, 40, one.keptStrips));
        PreviewRequest request = requestFor(path);
        request.firstLookPixels = 1000;
        request.reducedSide = 30; // every 2nd row: row 39 is never read
        const std::uint64_t number = worker.request(request);
        std::vector<Delivered> seen = inbox.awaitComplete(number);
        std::erase_if(seen, [number](const Delivered& one) { return one.number != number; });
        ASSERT_EQ(seen.size(), one.firstLook ? 2U : 1U);
        EXPECT_EQ(seen.front().firstLook, one.firstLook);
        const Delivered& last = seen.back();
        EXPECT_FALSE(last.firstLook);
        EXPECT_FALSE(last.problem.isEmpty());
        EXPECT_TRUE(last.fileFailed);
        EXPECT_TRUE(last.before.isEmpty());
        EXPECT_FALSE(last.hasAfter);
    }
}

TEST_F(PreviewWorkerTest, AbandonedRequestDeliversNothing)
{
    const QString large = largePage();
    worker.request(requestFor(large));
    worker.abandon();
    const std::uint64_t later = worker.request(requestFor(large));
    const std::vector<Delivered> seen = inbox.awaitComplete(later);
    ASSERT_EQ(seen.size(), 1U);
    EXPECT_EQ(seen[0].number, later);
}

// Display copies of pages beyond the display limit are scaled down and say by how much.
TEST(PreviewDisplay, LargePagesAreShownScaledDown)
{
    const Bitmap wide = fixtures::makePage(fixtures::PageKind::Bilevel, previewDisplaySide * 2, 10);
    double scale = 0;
    const QImage shown = displayImage(wide.get(), &scale);
    EXPECT_EQ(shown.width(), previewDisplaySide);
    EXPECT_DOUBLE_EQ(scale, 0.5);
    const Bitmap grey16 = fixtures::makePage(fixtures::PageKind::Grey16, 20, 10);
    EXPECT_EQ(displayImage(grey16.get(), &scale).size(), QSize(20, 10));
    EXPECT_DOUBLE_EQ(scale, 1.0);
}

// A written JPEG larger than the display side is decoded at the smallest of 1/2, 1/4 and 1/8 of
// its size still at least that side; other files and smaller JPEGs at their own size.
TEST(PreviewDisplay, LargeJpegFilesAreReadBackScaledByTheirDecoder)
{
    QTemporaryDir dir;
    const QString jpeg = dir.filePath(QStringLiteral("page.jpg"));
    const QString png = dir.filePath(QStringLiteral("page.png"));
    const Bitmap page = fixtures::makePage(fixtures::PageKind::Rgb24, 400, 300);
    ASSERT_TRUE(FreeImage_Save(FIF_JPEG, page.get(), QFile::encodeName(jpeg).constData(), 90));
    ASSERT_TRUE(FreeImage_Save(FIF_PNG, page.get(), QFile::encodeName(png).constData(), 0));
    struct Case {
        const QString& path;
        int side;
        unsigned width;
    };
    for (const Case& one : {Case{jpeg, 0, 400}, Case{jpeg, 500, 400}, Case{jpeg, 150, 200}, Case{jpeg, 100, 100},
                            Case{jpeg, 10, 50}, Case{png, 100, 400}}) {
        SCOPED_TRACE(one.side);
        EXPECT_EQ(loadWrittenFile(one.path, one.side).width(), one.width);
    }
}

} // namespace
