// SPDX-License-Identifier: MIT
#include "generate/memory_budget.h"
#include "generate/ordered_pool.h"
#include "generate/picture_conversion.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <mutex>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace pictora::generate;

namespace
{

SizeRow truncatedMain(double w0, double h0, double mx, double my, bool longSide)
{
    const FittedSize s = fitSize(w0, h0, mx, my, longSide);
    return { static_cast<int>(s.width), static_cast<int>(s.height), 0, 0 };
}

} // namespace

TEST(FitSize, LongSideFitsLandscapeByWidthAndPortraitOrSquareByHeight)
{
    EXPECT_EQ(truncatedMain(1600, 1200, 640, 640, true), (SizeRow { 640, 480, 0, 0 }));
    EXPECT_EQ(truncatedMain(1200, 1600, 640, 640, true), (SizeRow { 480, 640, 0, 0 }));
    EXPECT_EQ(truncatedMain(1000, 1000, 640, 640, true), (SizeRow { 640, 640, 0, 0 }));
    // A square counts as portrait: in a box that is not square it fits the height, not the width.
    EXPECT_EQ(truncatedMain(1000, 1000, 300, 200, true), (SizeRow { 200, 200, 0, 0 }));
    EXPECT_EQ(truncatedMain(1000, 1000, 200, 300, true), (SizeRow { 300, 300, 0, 0 }));
    EXPECT_EQ(truncatedMain(1200, 1600, 640, 480, true), (SizeRow { 360, 480, 0, 0 }));
    EXPECT_EQ(truncatedMain(320, 240, 640, 640, true), (SizeRow { 640, 480, 0, 0 })); // enlarged
    EXPECT_EQ(truncatedMain(640, 480, 160, 160, true), (SizeRow { 160, 120, 0, 0 }));
}

TEST(FitSize, ShortSideFitsLandscapeOrSquareByHeightAndTruncates)
{
    EXPECT_EQ(truncatedMain(1600, 1200, 640, 640, false), (SizeRow { 853, 640, 0, 0 }));
    EXPECT_EQ(truncatedMain(1200, 1600, 640, 640, false), (SizeRow { 640, 853, 0, 0 }));
    EXPECT_EQ(truncatedMain(1000, 1000, 300, 200, false), (SizeRow { 200, 200, 0, 0 }));
}

TEST(FitSize, ThumbnailIsFittedFromTheUntruncatedMainSize)
{
    // 1000 × 333 → 640 × 213.12; the thumbnail uses 213.12, not 213.
    const FittedSize main = fitSize(1000, 333, 640, 640, true);
    const FittedSize thumb = fitSize(main.width, main.height, 160, 160, true);
    EXPECT_EQ(static_cast<int>(thumb.height), 53); // 213.12 × 160 ÷ 640 = 53.28
}

TEST(UnreadableMessage, NamesTheMainPictureAndTheWorkingSize)
{
    PictureOutcome outcome;
    outcome.workingWidth = 0;
    outcome.workingHeight = 0;
    EXPECT_EQ(unreadableMessage(3, outcome), "img0003.jpg\nimageX : 0\nimageY : 0");
    EXPECT_EQ(unreadableMessage(10000, outcome), "img10000.jpg\nimageX : 0\nimageY : 0");
}

TEST(OrderedPool, ResultsAreConsumedInIndexOrderWhateverOrderWorkersFinish)
{
    for (int workers : { 1, 2, 4, 7 }) {
        std::vector<std::size_t> seen;
        runInOrder<std::size_t>(
            50,
            workers,
            [](std::size_t i) {
                // Early items take longest, so later ones finish first.
                std::this_thread::sleep_for(std::chrono::microseconds((50 - i) * 40));
                return i * 10;
            },
            [&](std::size_t i, std::size_t &r) {
                EXPECT_EQ(r, i * 10);
                seen.push_back(i);
            });
        ASSERT_EQ(seen.size(), 50u) << workers;
        for (std::size_t i = 0; i < seen.size(); ++i)
            EXPECT_EQ(seen[i], i);
    }
}

TEST(OrderedPool, NoMoreThanTwoResultsPerWorkerRunAheadOfTheConsumer)
{
    std::atomic<int> started { 0 };
    int maxAhead = 0;
    runInOrder<int>(
        40,
        3,
        [&](std::size_t) {
            started++;
            return 0;
        },
        [&](std::size_t i, int &) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            maxAhead = std::max(maxAhead, started.load() - static_cast<int>(i) - 1);
        });
    EXPECT_LE(maxAhead, 6);
}

TEST(OrderedPool, AConsumerFailureStopsTheWorkersAndReachesTheCaller)
{
    std::atomic<int> done { 0 };
    EXPECT_THROW(runInOrder<int>(
                     1000,
                     2,
                     [&](std::size_t) {
                         done++;
                         return 0;
                     },
                     [](std::size_t i, int &) {
                         if (i == 5)
                             throw std::runtime_error("stop");
                     }),
        std::runtime_error);
    EXPECT_LT(done.load(), 20);
}

TEST(MemoryBudget, PicturesInFlightFitTheBudgetAndOneTooLargeGoesAlone)
{
    // Bytes each picture holds against a budget of 1000; the fifth needs more than all of it.
    const std::vector<std::size_t> weights { 600, 600, 300, 300, 1500, 100, 100, 100, 400, 700 };
    MemoryBudget budget(1000);
    std::mutex mutex;
    std::size_t held = 0;
    bool overdrawn = false;
    bool largeWithOthers = false;
    runInOrder<int>(
        weights.size(),
        8,
        [&](std::size_t i) {
            const MemoryBudget::Lease lease = budget.take(i, weights[i]);
            {
                std::lock_guard lock(mutex);
                held += weights[i];
                overdrawn = overdrawn || (held > 1000 && held != weights[i]);
                largeWithOthers = largeWithOthers || (weights[i] > 1000 && held != weights[i]);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            std::lock_guard lock(mutex);
            held -= weights[i];
            return 0;
        },
        [](std::size_t, int &) {});
    EXPECT_FALSE(overdrawn);
    EXPECT_FALSE(largeWithOthers);
    EXPECT_EQ(held, 0u);
}

TEST(MemoryBudget, TheAddressSpaceLimitBoundsTheBudget)
{
    // In a child, so that the limit does not reach the other tests.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const std::size_t before = pictureMemoryBudget();
        struct rlimit limit {
        };
        ::getrlimit(RLIMIT_AS, &limit);
        // Room for 400 MB beside what is mapped now.
        std::size_t mapped = 0;
        std::ifstream status("/proc/self/status");
        for (std::string line; std::getline(status, line);) {
            if (line.starts_with("VmSize:"))
                mapped = std::stoul(line.substr(7)) * 1024;
        }
        limit.rlim_cur = mapped + (400u << 20);
        if (mapped == 0 || ::setrlimit(RLIMIT_AS, &limit) != 0)
            ::_exit(2);
        const std::size_t after = pictureMemoryBudget();
        ::_exit(after <= (300u << 20) && after >= (200u << 20) && after < before ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}
