// SPDX-License-Identifier: MIT
#include "imaging/picture.h"
#include "tests/support/pictures.h"

#include <gtest/gtest.h>

#include <array>

namespace pictora::imaging
{
namespace
{

using test::Rgb;

using test::patternPicture;

/// A picture whose every pixel is different, so any misplaced pixel shows.
Picture numbered(int width, int height)
{
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t *p = &pixels[(static_cast<std::size_t>(y) * width + x) * 3];
            p[0] = static_cast<std::uint8_t>(x * 7 + y);
            p[1] = static_cast<std::uint8_t>(y * 11 + x * 3);
            p[2] = static_cast<std::uint8_t>((x ^ y) * 5);
        }
    return Picture::fromPixels(width, height, 3, pixels.data());
}

Rgb colourAt(const Picture &picture, int x, int y)
{
    return { picture.sample(x, y, 0), picture.sample(x, y, 1), picture.sample(x, y, 2) };
}

/// Every pixel outside the region has exactly its value in `before`.
void expectOutsideUntouched(const Picture &before, const Picture &after, const Region &region)
{
    ASSERT_EQ(before.width(), after.width());
    ASSERT_EQ(before.height(), after.height());
    int differing = 0;
    for (int y = 0; y < before.height(); ++y)
        for (int x = 0; x < before.width(); ++x) {
            const bool inside = x >= region.x && x < region.x + region.width && y >= region.y
                && y < region.y + region.height;
            if (!inside)
                for (int c = 0; c < 4; ++c)
                    differing += before.sample(x, y, c) != after.sample(x, y, c);
        }
    EXPECT_EQ(differing, 0);
}

int differingInside(const Picture &before, const Picture &after, const Region &region)
{
    int differing = 0;
    for (int y = region.y; y < region.y + region.height; ++y)
        for (int x = region.x; x < region.x + region.width; ++x)
            for (int c = 0; c < 3; ++c)
                differing += before.sample(x, y, c) != after.sample(x, y, c);
    return differing;
}

TEST(FitInside, KeepsTheShapeNeverEnlargesAndRoundsToTheNearestPixel)
{
    auto fit = [](int width, int height, int boxWidth, int boxHeight) {
        const imaging::TargetSize size = imaging::fitInside({ width, height, 24 }, boxWidth, boxHeight);
        return std::array { size.width, size.height };
    };
    EXPECT_EQ(fit(4000, 3000, 320, 240), (std::array { 320, 240 }));
    EXPECT_EQ(fit(3000, 4000, 320, 240), (std::array { 180, 240 }));
    EXPECT_EQ(fit(200, 100, 640, 480), (std::array { 200, 100 })) << "never enlarged";
    // 1001 × 500 into 100 gives 49.95 for the height, 200 × 5 gives 2.5: both round up.
    EXPECT_EQ(fit(1001, 500, 100, 100), (std::array { 100, 50 }));
    EXPECT_EQ(fit(200, 5, 100, 100), (std::array { 100, 3 }));
    EXPECT_EQ(fit(10000, 1, 100, 100), (std::array { 100, 1 })) << "at least one pixel";
    EXPECT_EQ(fit(0, 100, 100, 100), (std::array { 0, 0 }));
    EXPECT_EQ(fit(100, 100, 0, 100), (std::array { 0, 0 }));
}

TEST(Resize, GivesExactlyTheRequestedSize)
{
    struct Case {
        int w0, h0, w, h;
    };
    for (const Case c : { Case { 1600, 1200, 640, 480 },
             Case { 1600, 1200, 853, 640 },
             Case { 320, 240, 640, 480 },
             Case { 1, 10000, 1, 64 },
             Case { 10000, 1, 64, 1 },
             Case { 333, 777, 160, 373 },
             Case { 7, 3, 1000, 2 },
             Case { 2, 2, 1, 1 } }) {
        SCOPED_TRACE(std::to_string(c.w0) + "x" + std::to_string(c.h0) + " -> " + std::to_string(c.w) + "x"
            + std::to_string(c.h));
        const Picture in = patternPicture(c.w0, c.h0);
        Picture out;
        ASSERT_TRUE(Resize(in, out, c.w, c.h));
        EXPECT_EQ(out.width(), c.w);
        EXPECT_EQ(out.height(), c.h);
        EXPECT_EQ(in.width(), c.w0) << "the input stays as it was";
        if (c.w >= 4 && c.h >= 4) {
            EXPECT_EQ(colourAt(out, 0, 0), test::kTopLeft);
            EXPECT_EQ(colourAt(out, c.w - 1, c.h - 1), test::kBottomRight);
        }
    }
}

TEST(Resize, TransparentPixelsDoNotDarkenTheirNeighbours)
{
    // Without premultiplied alpha the black of fully transparent pixels bleeds into the opaque ones.
    std::vector<std::uint8_t> pixels(64 * 64 * 4, 0);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 32; ++x) {
            std::uint8_t *p = &pixels[(static_cast<std::size_t>(y) * 64 + x) * 4];
            p[0] = p[1] = p[2] = p[3] = 255;
        }
    Picture out;
    ASSERT_TRUE(Resize(Picture::fromPixels(64, 64, 4, pixels.data()), out, 16, 16));
    ASSERT_EQ(out.bitsPerPixel(), 32);
    for (int x = 0; x < 16; ++x) {
        if (out.sample(x, 8, 3) > 32) {
            EXPECT_GE(out.sample(x, 8, 0), 250) << "at x " << x;
        }
    }
}

TEST(Resize, RefusesEmptyInputAndSillySizes)
{
    Picture out = patternPicture(4, 4);
    EXPECT_FALSE(Resize(Picture(), out, 10, 10));
    EXPECT_TRUE(out.empty()) << "a failure leaves out empty";
    EXPECT_FALSE(Resize(patternPicture(10, 10), out, 0, 5));
    EXPECT_FALSE(Resize(patternPicture(10, 10), out, 5, -3));
    EXPECT_FALSE(Resize(patternPicture(10, 10), out, 100000, 100000));
}

TEST(ConvertColor, FlattensAlphaOntoWhiteAndWidensGrey)
{
    Picture out;
    ASSERT_TRUE(ConvertColor(patternPicture(20, 20, 4), out));
    EXPECT_EQ(out.bitsPerPixel(), 24);
    EXPECT_EQ(colourAt(out, 0, 0), test::kTopLeft);
    EXPECT_EQ(colourAt(out, 19, 19), (Rgb { 255, 255, 255 })) << "fully transparent becomes white";

    const std::vector<std::uint8_t> half = { 100, 0, 200, 128 };
    ASSERT_TRUE(ConvertColor(Picture::fromPixels(1, 1, 4, half.data()), out));
    // 100·128/255 + 255·127/255 = 177.2; 200·128/255 + 127 = 227.4
    EXPECT_EQ(colourAt(out, 0, 0), (Rgb { 177, 127, 227 }));

    ASSERT_TRUE(ConvertColor(patternPicture(20, 20, 1), out));
    EXPECT_EQ(out.bitsPerPixel(), 24);
    EXPECT_EQ(colourAt(out, 0, 0), (Rgb { test::kGreyTopLeft, test::kGreyTopLeft, test::kGreyTopLeft }));
}

TEST(Rotation, QuarterTurnLeftMovesTheTopRightCornerToTheTopLeft)
{
    const Picture in = numbered(30, 20);
    Picture out;
    ASSERT_TRUE(Rotation(in, out, 9000));
    ASSERT_EQ(out.width(), 20);
    ASSERT_EQ(out.height(), 30);
    // Turned left: the old right edge is the new top edge.
    EXPECT_EQ(colourAt(out, 0, 0), colourAt(in, 29, 0));
    EXPECT_EQ(colourAt(out, 0, 29), colourAt(in, 0, 0));
    EXPECT_EQ(colourAt(out, 19, 29), colourAt(in, 0, 19));
    EXPECT_EQ(colourAt(out, 5, 7), colourAt(in, 29 - 7, 5));

    ASSERT_TRUE(Rotation(in, out, -9000));
    EXPECT_EQ(colourAt(out, 0, 0), colourAt(in, 0, 19)) << "turned right: the old left edge is the top";
    EXPECT_EQ(colourAt(out, 19, 0), colourAt(in, 0, 0));

    ASSERT_TRUE(Rotation(in, out, 18000));
    ASSERT_EQ(out.width(), 30);
    EXPECT_EQ(colourAt(out, 0, 0), colourAt(in, 29, 19));
}

TEST(Rotation, FourLeftTurnsAndTheStoredAnglesGiveTheOriginal)
{
    const Picture in = numbered(17, 9);
    Picture turned = in;
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(Rotation(turned, turned, 9000)) << "in and out may be one picture";
    EXPECT_EQ(turned.pixels(), in.pixels());

    Picture left, right;
    ASSERT_TRUE(Rotation(in, left, 27000));
    ASSERT_TRUE(Rotation(in, right, -9000));
    EXPECT_EQ(left.pixels(), right.pixels());
    ASSERT_TRUE(Rotation(in, left, 0));
    EXPECT_EQ(left.pixels(), in.pixels());
}

TEST(Rotation, RefusesAnglesThatAreNotQuarterTurns)
{
    Picture out;
    EXPECT_FALSE(Rotation(numbered(4, 4), out, 4500));
    EXPECT_FALSE(Rotation(numbered(4, 4), out, 1));
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(Rotation(Picture(), out, 9000));
}

TEST(Mosaic, BlocksAreUniformInsideTheRegionAndTheOutsideIsUntouched)
{
    const Picture in = numbered(64, 48);
    const Region region { 7, 5, 34, 23 }; // blocks of 10 from (7, 5); the last ones are cut to 4 × 3
    Picture out;
    ASSERT_TRUE(Mosaic(in, out, region));
    expectOutsideUntouched(in, out, region);
    for (int by = region.y; by < region.y + region.height; by += 10)
        for (int bx = region.x; bx < region.x + region.width; bx += 10) {
            const int bw = std::min(10, region.x + region.width - bx);
            const int bh = std::min(10, region.y + region.height - by);
            std::array<long, 3> sum {};
            for (int y = by; y < by + bh; ++y)
                for (int x = bx; x < bx + bw; ++x) {
                    EXPECT_EQ(colourAt(out, x, y), colourAt(out, bx, by)) << x << "," << y;
                    for (int c = 0; c < 3; ++c)
                        sum[c] += in.sample(x, y, c);
                }
            for (int c = 0; c < 3; ++c)
                EXPECT_NEAR(out.sample(bx, by, c), static_cast<double>(sum[c]) / (bw * bh), 0.5);
        }
}

TEST(RegionEffects, AreClippedToThePictureAndFailWhenNothingIsLeft)
{
    const Picture in = numbered(30, 30);
    Picture out;
    ASSERT_TRUE(Mosaic(in, out, { 20, 20, 100, 100 }));
    expectOutsideUntouched(in, out, { 20, 20, 10, 10 });
    EXPECT_GT(differingInside(in, out, { 20, 20, 10, 10 }), 0);

    ASSERT_TRUE(SetGray(in, out, { -5, -5, 10, 10 }));
    expectOutsideUntouched(in, out, { 0, 0, 5, 5 });

    EXPECT_FALSE(Mosaic(in, out, { 0, 0, 0, 0 })) << "no selection";
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(Emboss(in, out, { 40, 0, 10, 10 }));
    EXPECT_FALSE(RemoveNoise(in, out, { 0, 0, -3, 5 }, 3));
    EXPECT_FALSE(RGBLevel(in, out, { 30, 30, 5, 5 }, 10, 10, 10));
    EXPECT_FALSE(SetGray(Picture(), out, { 0, 0, 5, 5 }));
}

TEST(RemoveNoise, TakesTheMedianInsideTheRegionOnly)
{
    // Grey 100 with isolated white specks, one inside the region and one outside.
    std::vector<std::uint8_t> pixels(40 * 40 * 3, 100);
    auto speck
        = [&](int x, int y) { std::fill_n(&pixels[(static_cast<std::size_t>(y) * 40 + x) * 3], 3, 255); };
    speck(10, 10);
    speck(30, 30);
    const Picture in = Picture::fromPixels(40, 40, 3, pixels.data());
    const Region region { 0, 0, 20, 20 };
    Picture out;
    ASSERT_TRUE(RemoveNoise(in, out, region, 3));
    EXPECT_EQ(colourAt(out, 10, 10), (Rgb { 100, 100, 100 }));
    EXPECT_EQ(colourAt(out, 30, 30), (Rgb { 255, 255, 255 }));
    expectOutsideUntouched(in, out, region);

    // A speck at the region's edge is judged with its real neighbours outside the region.
    speck(19, 5);
    ASSERT_TRUE(RemoveNoise(Picture::fromPixels(40, 40, 3, pixels.data()), out, region, 3));
    EXPECT_EQ(colourAt(out, 19, 5), (Rgb { 100, 100, 100 }));

    EXPECT_FALSE(RemoveNoise(in, out, region, 0));
}

TEST(Emboss, FlatAreasTurnMidGreyEdgesStandOut)
{
    const Picture in = patternPicture(40, 40);
    const Region region { 0, 0, 40, 20 };
    Picture out;
    ASSERT_TRUE(Emboss(in, out, region));
    EXPECT_EQ(colourAt(out, 5, 5), (Rgb { 128, 128, 128 }));
    EXPECT_NE(colourAt(out, 20, 5), (Rgb { 128, 128, 128 })) << "the edge between the top quadrants";
    expectOutsideUntouched(in, out, region);
}

TEST(SetGray, MakesEqualChannelsWithTheLuma)
{
    const Picture in = patternPicture(20, 20);
    Picture out;
    ASSERT_TRUE(SetGray(in, out, wholeRegion(in)));
    EXPECT_EQ(out.bitsPerPixel(), 24) << "kept as three channels";
    // 0.299·200 + 0.587·30 + 0.114·30 = 80.83
    EXPECT_EQ(colourAt(out, 0, 0), (Rgb { 81, 81, 81 }));
}

TEST(RGBLevel, AddsAndClampsInsideTheRegion)
{
    const std::vector<std::uint8_t> pixels = { 250, 5, 100, 0, 255, 30 };
    const Picture in = Picture::fromPixels(2, 1, 3, pixels.data());
    Picture out;
    ASSERT_TRUE(RGBLevel(in, out, { 0, 0, 1, 1 }, 10, -10, -35));
    EXPECT_EQ(colourAt(out, 0, 0), (Rgb { 255, 0, 65 }));
    EXPECT_EQ(colourAt(out, 1, 0), (Rgb { 0, 255, 30 }));
}

TEST(Sepia, MovesAGreyPixelTowardsRedAndWorksOnGreyPictures)
{
    const std::vector<std::uint8_t> grey = { 128, 128, 128 };
    Picture gray, tinted, sepia;
    const Picture in = Picture::fromPixels(1, 1, 3, grey.data());
    ASSERT_TRUE(SetGray(in, gray, wholeRegion(in)));
    ASSERT_TRUE(RGBLevel(gray, tinted, wholeRegion(in), 10, -10, -35));
    EXPECT_EQ(colourAt(tinted, 0, 0), (Rgb { 138, 118, 93 }));
    ASSERT_TRUE(Sepia(in, sepia, wholeRegion(in)));
    EXPECT_EQ(sepia.pixels(), tinted.pixels());

    const Picture greyPicture = patternPicture(10, 10, 1);
    ASSERT_TRUE(Sepia(greyPicture, sepia, { 0, 0, 5, 5 }));
    EXPECT_EQ(sepia.bitsPerPixel(), 24);
    EXPECT_EQ(colourAt(sepia, 0, 0),
        (Rgb { test::kGreyTopLeft + 10, test::kGreyTopLeft - 10, test::kGreyTopLeft - 35 }));
    EXPECT_EQ(colourAt(sepia, 9, 9),
        (Rgb { test::kGreyBottomRight, test::kGreyBottomRight, test::kGreyBottomRight }));
}

TEST(Effects, LeaveAlphaAloneAndTheInputUnchanged)
{
    const Picture in = patternPicture(20, 20, 4);
    const std::vector<std::uint8_t> before = in.pixels();
    Picture out;
    ASSERT_TRUE(Emboss(in, out, wholeRegion(in)));
    EXPECT_EQ(out.sample(19, 19, 3), test::kBottomRightAlpha);
    ASSERT_TRUE(Sepia(in, out, wholeRegion(in)));
    EXPECT_EQ(out.sample(19, 19, 3), test::kBottomRightAlpha);
    EXPECT_EQ(out.sample(0, 0, 3), 255);
    EXPECT_EQ(in.pixels(), before);
}

TEST(Picture, SampleAndPixelsAgree)
{
    const Picture grey = patternPicture(4, 2, 1);
    EXPECT_EQ(grey.pixels().size(), 8u);
    EXPECT_EQ(grey.sample(3, 1, 2), test::kGreyBottomRight) << "grey answers for every colour channel";
    EXPECT_EQ(grey.sample(4, 0, 0), 0) << "outside";
    EXPECT_EQ(grey.rgbPixels().size(), 24u);
    EXPECT_TRUE(Picture::fromPixels(0, 5, 3, grey.pixels().data()).empty());
    EXPECT_TRUE(Picture::fromPixels(2, 2, 2, grey.pixels().data()).empty());
    EXPECT_TRUE(Picture().empty());
    EXPECT_EQ(Picture().width(), 0);
}

} // namespace
} // namespace pictora::imaging
