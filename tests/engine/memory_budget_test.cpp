#include "engine/formats/format_catalogue.h"
#include "engine/run/conversion_run.h"
#include "engine/run/memory_budget.h"
#include "support/tiff_fixtures.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

constexpr std::uint64_t KiB = 1024;
constexpr std::uint64_t MiB = KiB * 1024;
constexpr std::uint64_t GiB = MiB * 1024;

struct SizeCase {
    const char* text;
    std::optional<std::uint64_t> bytes;
};

TEST(MemorySize, ReadsBytesAndBinaryUnits)
{
    const SizeCase cases[] = {
        {"512M", 512 * MiB},        {"2G", 2 * GiB},          {"2g", 2 * GiB},        {"1.5GiB", 3 * GiB / 2},
        {" 64kB ", 64 * KiB},       {"1T", 1024 * GiB},       {"4096", 4096},         {"0.5K", 512},
        {"0", std::nullopt},        {"", std::nullopt},       {"lots", std::nullopt}, {"2X", std::nullopt},
        {"-1G", std::nullopt},      {"1.2.3M", std::nullopt}, {"2GB2", std::nullopt}, {"0.1", std::nullopt},
        {"2000000T", std::nullopt}, {"G", std::nullopt},
    };
    for (const SizeCase& c : cases) {
        EXPECT_EQ(readMemorySize(QString::fromLatin1(c.text)), c.bytes) << c.text;
    }
}

TEST(MemorySize, DefaultIsHalfOfWhatTheProcessMayUse)
{
    EXPECT_EQ(halfOfUsableMemory(8 * GiB, std::nullopt), 4 * GiB);
    EXPECT_EQ(halfOfUsableMemory(8 * GiB, 2 * GiB), 1 * GiB) << "a lower control-group limit wins";
    EXPECT_EQ(halfOfUsableMemory(8 * GiB, 16 * GiB), 4 * GiB);
    EXPECT_EQ(readGroupLimit("max\n"), std::nullopt);
    EXPECT_EQ(readGroupLimit("2147483648\n"), 2 * GiB);
    EXPECT_EQ(readGroupLimit("9223372036854771712\n"), std::nullopt) << "version 1's way of saying no limit";
    EXPECT_EQ(readGroupLimit(""), std::nullopt);
    EXPECT_GT(defaultMemoryBudget(), 0U);
}

// Workers never hold more than the budget at once unless a single file needs more, which then runs
// alone. (The counters below go up after an admission and down before the release, so they never
// exceed what the gate itself holds.)
TEST(MemoryBudgetGate, HoldsNoMoreThanTheBudgetAndRunsLargerFilesAlone)
{
    const std::vector<std::uint64_t> needs = {40, 70, 10, 250, 30, 30, 30, 90, 5, 100, 60, 20, 120, 1, 99};
    constexpr std::uint64_t capacity = 100;
    MemoryBudget budget(capacity);
    std::atomic<int> next{0};
    std::atomic<std::uint64_t> held{0};
    std::atomic<int> running{0};
    std::atomic<bool> overBudget{false};
    std::atomic<bool> notAlone{false};

    const auto worker = [&] {
        for (int position = next++; position < static_cast<int>(needs.size()); position = next++) {
            const std::uint64_t need = needs[static_cast<std::size_t>(position)];
            MemoryBudget::Reservation reservation = budget.admit(position, need);
            const int alongside = ++running;
            const std::uint64_t now = held += need;
            notAlone = notAlone || (need > capacity && alongside > 1);
            overBudget = overBudget || (need <= capacity && now > capacity);
            std::this_thread::yield();
            held -= need;
            --running;
        }
    };
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back(worker);
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_FALSE(overBudget);
    EXPECT_FALSE(notAlone) << "a file larger than the budget runs alone";
    EXPECT_EQ(budget.peakHeld(), 250U);
}

// A file is admitted only after every file before it, even when it would fit: this is what lets the
// file in turn always get in.
TEST(MemoryBudgetGate, AdmitsInListOrder)
{
    MemoryBudget budget(100);
    std::atomic<bool> secondAdmitted{false};
    std::thread second([&] {
        const MemoryBudget::Reservation reservation = budget.admit(1, 1);
        secondAdmitted = true;
    });
    for (int i = 0; i < 100; ++i) {
        std::this_thread::yield();
    }
    EXPECT_FALSE(secondAdmitted) << "position 1 got in before position 0";
    MemoryBudget::Reservation first = budget.admit(0, 1);
    second.join();
    EXPECT_TRUE(secondAdmitted);
}

TEST(MemoryBudgetGate, ReservationsGiveTheirMemoryBackOnce)
{
    MemoryBudget budget(10);
    {
        MemoryBudget::Reservation first = budget.admit(0, 6);
        MemoryBudget::Reservation moved = std::move(first);
        first.release();
        moved.release();
        moved.release();
    }
    // Both fit only when the first six bytes came back exactly once.
    MemoryBudget::Reservation second = budget.admit(1, 10);
    EXPECT_EQ(budget.peakHeld(), 10U);
}

class PageEstimate : public testing::Test {
  protected:
    void SetUp() override
    {
        buildFormatTables();
        resetToDefaults(settings, true);
        job.outputKey = QStringLiteral("jpg");
        ASSERT_TRUE(prepareRun(settings, job));
    }

    std::uint64_t estimate() { return pageMemoryEstimate(page, settings, job); }

    Settings settings;
    JobState job;
    TiffPageHeader page{.width = 1000, .height = 800, .bitsPerPixel = 24};
    const std::uint64_t decoded = 1000 * 800 * 3;
};

// The estimate follows the page: a plain conversion holds about the decoded page, and every step
// that makes page-sized copies raises it by at least those copies.
TEST_F(PageEstimate, CountsTheCopiesOfTheEnabledSteps)
{
    EXPECT_GE(estimate(), decoded);
    EXPECT_LT(estimate(), decoded * 11 / 10) << "JPEG is written line by line";

    settings.transform.doImageResize = 1;
    settings.transform.imageWidth = settings.transform.imageHeight = 200;
    settings.transform.imageWidthUnit = settings.transform.imageHeightUnit = 1;
    EXPECT_GE(estimate(), decoded * 7) << "page, the wide working image and the 4x result";
    settings.transform.doImageResize = 0;

    settings.frame.doFrame = 1;
    EXPECT_GE(estimate(), decoded + 800 * 1000 * 8) << "two 32-bit layers beside the page";
    settings.frame.doFrame = 0;

    job.outputKey = QStringLiteral("jp2");
    ASSERT_TRUE(prepareRun(settings, job));
    EXPECT_GT(estimate(), decoded * 5) << "the JPEG 2000 writer copies the pixels into 32-bit samples";

    page.width = 0;
    EXPECT_EQ(estimate(), 0U) << "an empty page is skipped, not decoded";
}

TEST_F(PageEstimate, AFileNeedsItsLargestSelectedPage)
{
    const std::vector<TiffPageHeader> pages = {
        {.width = 100, .height = 100, .bitsPerPixel = 24},
        {.width = 2000, .height = 1000, .bitsPerPixel = 24},
        {.width = 300, .height = 100, .bitsPerPixel = 8},
    };
    const std::uint64_t largest = pageMemoryEstimate(pages[1], settings, job);
    EXPECT_EQ(fileMemoryEstimate(pages, settings, job), largest);
    settings.input.tiffFrameLoading = 3; // Last
    EXPECT_EQ(fileMemoryEstimate(pages, settings, job), pageMemoryEstimate(pages[2], settings, job));
    settings.input.tiffFrameLoading = 4; // Random: any page may be the one
    EXPECT_EQ(fileMemoryEstimate(pages, settings, job), largest);
    EXPECT_EQ(fileMemoryEstimate(std::vector<TiffPageHeader>{}, settings, job), 0U);
}

} // namespace
