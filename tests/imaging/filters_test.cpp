// SPDX-License-Identifier: MIT
// The noise removal's own median filter: the samples libvips' rank filter gives, on any band
// count, region and number of threads.
#include "imaging/filters.h"
#include "imaging/picture.h"

#include <vips/vips8>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <vector>

namespace pictora::imaging
{
namespace
{

/// Noise with flat patches, so that both ties and spread values meet the median.
std::vector<std::uint8_t> noisyPixels(int width, int height, int bands, unsigned seed)
{
    std::mt19937 random(seed);
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * bands);
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = (i / 97) % 3 == 0 ? 128 : static_cast<std::uint8_t>(random() & 0xff);
    return pixels;
}

/// libvips' rank filter, median of 3 × 3, on the whole picture.
std::vector<std::uint8_t> vipsMedian(
    const std::vector<std::uint8_t> &pixels, int width, int height, int bands)
{
    initialise();
    vips::VImage image = vips::VImage::new_from_memory(
        const_cast<std::uint8_t *>(pixels.data()), pixels.size(), width, height, bands, VIPS_FORMAT_UCHAR);
    std::size_t size = 0;
    void *raw = image.rank(3, 3, 4).write_to_memory(&size);
    std::vector<std::uint8_t> out(static_cast<std::uint8_t *>(raw), static_cast<std::uint8_t *>(raw) + size);
    g_free(raw);
    return out;
}

/// The median written out plainly: nine samples sorted, the picture's edge repeated beyond it.
std::vector<std::uint8_t> plainMedian(
    const std::vector<std::uint8_t> &pixels, int width, int height, int bands)
{
    std::vector<std::uint8_t> out(pixels.size());
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            for (int b = 0; b < bands; ++b) {
                std::array<std::uint8_t, 9> nine {};
                std::size_t n = 0;
                for (int dy = -1; dy <= 1; ++dy) {
                    for (int dx = -1; dx <= 1; ++dx) {
                        const int sx = std::clamp(x + dx, 0, width - 1);
                        const int sy = std::clamp(y + dy, 0, height - 1);
                        nine[n++] = pixels[(static_cast<std::size_t>(sy) * width + sx) * bands + b];
                    }
                }
                std::sort(nine.begin(), nine.end());
                out[(static_cast<std::size_t>(y) * width + x) * bands + b] = nine[4];
            }
        }
    }
    return out;
}

TEST(Median3x3, GivesLibvipsRankSamplesOnEveryBandCountAndEdge)
{
    for (const int bands : { 1, 3, 4 }) {
        // libvips refuses pictures narrower than the window: those are checked against the plain median.
        for (const std::array<int, 2> size :
            { std::array { 37, 23 }, std::array { 1, 5 }, std::array { 6, 1 } }) {
            const auto [width, height] = size;
            const std::vector<std::uint8_t> in = noisyPixels(width, height, bands, 7u + bands);
            const std::vector<std::uint8_t> expected = width >= 3 && height >= 3
                ? vipsMedian(in, width, height, bands)
                : plainMedian(in, width, height, bands);
            if (width >= 3 && height >= 3) {
                ASSERT_EQ(plainMedian(in, width, height, bands), expected) << "the plain median is libvips'";
            }
            for (const int threads : { 1, 2, 5 }) {
                std::vector<std::uint8_t> out(in.size(), 0);
                detail::median3x3(
                    in.data(), out.data(), width, height, bands, { 0, 0, width, height }, threads);
                EXPECT_EQ(out, expected)
                    << bands << " bands, " << width << " x " << height << ", " << threads << " threads";
            }
        }
    }
}

TEST(Median3x3, WritesOnlyTheRegionAndReadsNeighboursBeyondIt)
{
    const int width = 30, height = 20, bands = 3;
    const std::vector<std::uint8_t> in = noisyPixels(width, height, bands, 3);
    const std::vector<std::uint8_t> whole = vipsMedian(in, width, height, bands);
    const Region region { 5, 4, 11, 9 };
    std::vector<std::uint8_t> out(in.size(), 1);
    detail::median3x3(in.data(), out.data(), width, height, bands, region, 2);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const bool inside = x >= region.x && x < region.x + region.width && y >= region.y
                && y < region.y + region.height;
            for (int b = 0; b < bands; ++b) {
                const std::size_t i = (static_cast<std::size_t>(y) * width + x) * bands + b;
                ASSERT_EQ(out[i], inside ? whole[i] : 1) << x << "," << y << " band " << b;
            }
        }
    }
}

TEST(RemoveNoise, LevelThreeIsTheMedianOfLibvipsOnAWholeFourBandPicture)
{
    const int width = 64, height = 48;
    const std::vector<std::uint8_t> pixels = noisyPixels(width, height, 4, 11);
    const Picture in = Picture::fromPixels(width, height, 4, pixels.data());
    Picture out;
    ASSERT_TRUE(RemoveNoise(in, out, wholeRegion(in), 3));
    EXPECT_EQ(out.pixels(), vipsMedian(pixels, width, height, 4));
}

TEST(ForEachRowShare, CoversEveryRowOnceAndPassesAFailureOn)
{
    std::vector<int> seen(100, 0);
    detail::forEachRowShare(3, 97, 4, [&](int first, int last) {
        for (int y = first; y < last; ++y)
            ++seen[static_cast<std::size_t>(y)];
    });
    for (int y = 0; y < 100; ++y)
        EXPECT_EQ(seen[static_cast<std::size_t>(y)], y >= 3 && y < 97 ? 1 : 0) << y;
    EXPECT_THROW(detail::forEachRowShare(0,
                     10,
                     3,
                     [](int first, int) {
                         if (first > 0)
                             throw std::runtime_error("share failed");
                     }),
        std::runtime_error);
}

} // namespace
} // namespace pictora::imaging
