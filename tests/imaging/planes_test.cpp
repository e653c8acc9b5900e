// SPDX-License-Identifier: MIT
#include "imaging/picture.h"
#include "tests/support/pictures.h"
#include "tests/support/temp_dir.h"

#include <vips/vips8>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <tuple>

namespace pictora::imaging
{
namespace
{

using test::PictureFormat;
using test::Rgb;

using test::expectUpright;

double meanDifference(const Picture &a, const Picture &b)
{
    const std::vector<std::uint8_t> pa = a.rgbPixels();
    const std::vector<std::uint8_t> pb = b.rgbPixels();
    if (pa.size() != pb.size() || pa.empty())
        return 1e9;
    double sum = 0;
    for (std::size_t i = 0; i < pa.size(); ++i)
        sum += std::abs(pa[i] - pb[i]);
    return sum / static_cast<double>(pa.size());
}

const TargetFor kHalf = [](const PictureInfo &header) {
    return TargetSize { header.width / 2, header.height / 2 };
};

TEST(JpegPlanes, WriteWhatTheGeneralWayWritesForEveryOrientationAndSampling)
{
    test::TempDir dir;
    const vips::VImage upright = test::imageOf(test::patternPixels(240, 160, 3), 240, 160, 3);
    const struct {
        Sampling sampling;
        const char *text;
    } samplings[] = { { Sampling::S411, "4:1:1" }, { Sampling::S422, "4:2:2" }, { Sampling::S444, "4:4:4" } };
    for (int orientation = 1; orientation <= 8; ++orientation) {
        const std::string path = dir.file("o" + std::to_string(orientation) + ".jpg");
        test::writeFile(path,
            test::withFirstSegment(test::jpegBytes(test::storedForOrientation(orientation, upright), 95),
                test::exifSegment(std::nullopt, orientation)));
        for (const auto &s : samplings) {
            SCOPED_TRACE(std::to_string(orientation) + " " + s.text);
            PictureInfo header;
            const JpegPlanes planes = loadPlanesFitted(path, kHalf, s.sampling, &header);
            ASSERT_FALSE(planes.empty());
            EXPECT_EQ(header.width, 240);
            EXPECT_EQ(header.height, 160);
            ASSERT_EQ(planes.width(), 120);
            ASSERT_EQ(planes.height(), 80);

            const std::string ours = dir.file("planes.jpg");
            ASSERT_TRUE(saveJpeg(planes, ours, 90));
            const std::optional<test::JpegFrame> frame = test::readJpegFrame(test::readFile(ours));
            ASSERT_TRUE(frame);
            EXPECT_EQ(frame->sampling(), s.text);
            const Picture written = load(ours);
            ASSERT_EQ(written.width(), 120);
            ASSERT_EQ(written.height(), 80);
            expectUpright(written);

            const std::string general = dir.file("general.jpg");
            ASSERT_TRUE(saveJpeg(loadFitted(path, kHalf), general, 90, s.sampling));
            // Only the resampler differs: on this pattern, edges between quadrants.
            EXPECT_LT(meanDifference(written, load(general)), 3.0);

            // Odd sizes leave the luma plane padded for the chroma; the thumbnail still fits exactly.
            JpegPlanes thumbnail;
            ASSERT_TRUE(Resize(planes, thumbnail, 31, 21));
            ASSERT_TRUE(saveJpeg(thumbnail, ours, 90));
            const Picture small = load(ours);
            ASSERT_EQ(small.width(), 31);
            ASSERT_EQ(small.height(), 21);
            expectUpright(small);
        }
    }
}

TEST(JpegPlanes, GreyJpegIsWrittenInColourWithNeutralChroma)
{
    test::TempDir dir;
    const std::string path = dir.file("grey.jpg");
    test::writeTestPicture(path, PictureFormat::GreyJpeg, 128, 96);
    const JpegPlanes planes = loadPlanesFitted(path, kHalf, Sampling::S422);
    ASSERT_FALSE(planes.empty());
    const std::string out = dir.file("out.jpg");
    ASSERT_TRUE(saveJpeg(planes, out, 90));
    const std::optional<test::JpegFrame> frame = test::readJpegFrame(test::readFile(out));
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->components.size(), 3u);
    const Picture written = load(out);
    ASSERT_EQ(written.bitsPerPixel(), 24);
    for (const auto &[x, y, grey] :
        { std::tuple { 2, 2, test::kGreyTopLeft }, { 61, 45, test::kGreyBottomRight } }) {
        EXPECT_NEAR(written.sample(x, y, 0), grey, 4);
        EXPECT_NEAR(written.sample(x, y, 1), written.sample(x, y, 0), 1);
        EXPECT_NEAR(written.sample(x, y, 2), written.sample(x, y, 0), 1);
    }
}

TEST(JpegPlanes, OnlyPlainJpegsTakeThisWayAndEveryOtherSourceIsLeftToTheGeneralOne)
{
    test::TempDir dir;
    const std::string png = dir.file("picture.png");
    test::writeTestPicture(png, PictureFormat::Png, 64, 48);
    const std::string jpeg = test::encodeTestPicture(PictureFormat::Jpeg, 300, 200);
    const std::string truncated = dir.file("truncated.jpg");
    test::writeFile(truncated, jpeg.substr(0, jpeg.size() / 2));
    const std::string profiled = dir.file("p3.jpg");
    test::imageOf(test::patternPixels(64, 48, 3), 64, 48, 3)
        .icc_transform("p3", vips::VImage::option()->set("input_profile", "srgb")->set("embedded", false))
        .jpegsave(profiled.c_str(), vips::VImage::option()->set("Q", 95));
    const std::string cmyk = dir.file("cmyk.jpg");
    test::imageOf(test::patternPixels(64, 48, 3), 64, 48, 3)
        .icc_transform("cmyk", vips::VImage::option()->set("input_profile", "srgb"))
        .jpegsave(cmyk.c_str(), vips::VImage::option()->set("Q", 95)->set("strip", true));

    for (const std::string &path : { png, truncated, profiled, cmyk, dir.file("missing.jpg") }) {
        SCOPED_TRACE(path);
        EXPECT_TRUE(loadPlanesFitted(path, kHalf, Sampling::S422).empty());
    }
    // The general way still decides: a profile or CMYK loads, a truncated file does not.
    EXPECT_FALSE(loadFitted(profiled, kHalf).empty());
    EXPECT_FALSE(loadFitted(cmyk, kHalf).empty());
    EXPECT_TRUE(loadFitted(truncated, kHalf).empty());
    EXPECT_FALSE(saveJpeg(JpegPlanes {}, dir.file("nothing.jpg"), 90));
    EXPECT_FALSE(std::filesystem::exists(dir.file("nothing.jpg")));
}

} // namespace
} // namespace pictora::imaging
