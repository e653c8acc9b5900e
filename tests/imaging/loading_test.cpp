// SPDX-License-Identifier: MIT
#include "imaging/picture.h"
#include "tests/support/pictures.h"
#include "tests/support/temp_dir.h"

#include <vips/vips8>

#include <gtest/gtest.h>

#include <cstdlib>

namespace pictora::imaging
{
namespace
{

using test::PictureFormat;
using test::Rgb;

using test::expectColour;
using test::expectUpright;

struct FormatCase {
    PictureFormat format;
    const char *name;
    int bitsPerPixel;
};

void PrintTo(const FormatCase &c, std::ostream *os)
{
    *os << c.name;
}

class EveryFormat : public testing::TestWithParam<FormatCase>
{
protected:
    test::TempDir dir;
};

TEST_P(EveryFormat, LoadsWithSizeDepthAndCornersAndProbeAgrees)
{
    const std::string path = dir.file(std::string("picture.") + GetParam().name);
    test::writeTestPicture(path, GetParam().format, 96, 64);
    const std::string before = test::readFile(path);

    std::string reason;
    const Picture picture = load(path, &reason);
    ASSERT_FALSE(picture.empty()) << reason;
    EXPECT_EQ(picture.width(), 96);
    EXPECT_EQ(picture.height(), 64);
    EXPECT_EQ(picture.bitsPerPixel(), GetParam().bitsPerPixel);
    if (GetParam().bitsPerPixel != 8)
        expectUpright(picture);

    const PictureInfo info = probe(path);
    EXPECT_EQ(info.width, 96);
    EXPECT_EQ(info.height, 64);
    EXPECT_EQ(info.bitsPerPixel, GetParam().bitsPerPixel);

    EXPECT_EQ(test::readFile(path), before) << "loading must never touch the source";
}

INSTANTIATE_TEST_SUITE_P(Formats,
    EveryFormat,
    testing::Values(FormatCase { PictureFormat::Jpeg, "jpg", 24 },
        FormatCase { PictureFormat::ProgressiveJpeg, "progressive.jpg", 24 },
        FormatCase { PictureFormat::GreyJpeg, "grey.jpg", 8 },
        FormatCase { PictureFormat::Png, "png", 24 },
        FormatCase { PictureFormat::PngAlpha, "alpha.png", 32 },
        FormatCase { PictureFormat::GreyPng, "grey.png", 8 },
        FormatCase { PictureFormat::Png16, "16bit.png", 24 },
        FormatCase { PictureFormat::Tiff, "tif", 24 },
        FormatCase { PictureFormat::Gif, "gif", 32 },
        FormatCase { PictureFormat::Bmp, "bmp", 24 },
        FormatCase { PictureFormat::Pcx, "pcx", 24 }),
    [](const testing::TestParamInfo<FormatCase> &param) {
        std::string name = param.param.name;
        for (char &c : name)
            if (c == '.')
                c = '_';
        return name;
    });

TEST(Loading, GreyPictureKeepsItsGreyValues)
{
    test::TempDir dir;
    const std::string path = dir.file("grey.png");
    test::writeTestPicture(path, PictureFormat::GreyPng, 40, 20);
    const Picture picture = load(path);
    ASSERT_EQ(picture.bitsPerPixel(), 8);
    EXPECT_EQ(picture.sample(0, 0, 0), test::kGreyTopLeft);
    EXPECT_EQ(picture.sample(39, 19, 1), test::kGreyBottomRight);
    EXPECT_EQ(picture.sample(39, 19, 3), 255) << "a picture without alpha reads as opaque";
}

TEST(Loading, AlphaIsKept)
{
    test::TempDir dir;
    const std::string path = dir.file("alpha.png");
    test::writeTestPng(path, 40, 20, true);
    const Picture picture = load(path);
    EXPECT_EQ(picture.sample(0, 0, 3), 255);
    EXPECT_EQ(picture.sample(39, 19, 3), test::kBottomRightAlpha);
}

TEST(Loading, OrientationSixLoadsTurnedWithSwappedSides)
{
    test::TempDir dir;
    const std::string path = dir.file("orientation_6.jpg");
    test::writeTestJpeg(path, 80, 48, 95, std::nullopt, 6);
    const Picture picture = load(path);
    ASSERT_EQ(picture.width(), 48);
    ASSERT_EQ(picture.height(), 80);
    // Orientation 6: the stored top-left corner is shown at the top right.
    expectColour(picture, 47, 0, test::kTopLeft, "stored top left");
    expectColour(picture, 0, 0, test::kBottomLeft, "stored bottom left");
    expectColour(picture, 47, 79, test::kTopRight, "stored top right");

    const PictureInfo info = probe(path);
    EXPECT_EQ(info.width, 48);
    EXPECT_EQ(info.height, 80);
}

TEST(Loading, EveryOrientationEndsUpright)
{
    // Each orientation's stored pixels are the upright pattern turned or mirrored the other way.
    test::TempDir dir;
    const std::vector<std::uint8_t> upright = test::patternPixels(60, 40, 3);
    for (int orientation = 1; orientation <= 8; ++orientation) {
        SCOPED_TRACE(orientation);
        // Stored as a camera stores it: the inverse of the turn the orientation asks for.
        const vips::VImage image = test::storedForOrientation(orientation, test::imageOf(upright, 60, 40, 3));
        const std::string path
            = dir.file(std::string("o").append(std::to_string(orientation)).append(".jpg"));
        test::writeFile(path,
            test::withFirstSegment(test::jpegBytes(image, 95), test::exifSegment(std::nullopt, orientation)));

        const Picture picture = load(path);
        ASSERT_EQ(picture.width(), 60);
        ASSERT_EQ(picture.height(), 40);
        expectUpright(picture);
        const Picture small = loadResized(path, 30, 20);
        ASSERT_EQ(small.width(), 30);
        ASSERT_EQ(small.height(), 20);
        expectUpright(small);
    }
}

TEST(Loading, EmbeddedProfileIsConvertedToSrgb)
{
    // A saturated red stored in Display P3 with its profile must come back near the sRGB red it was.
    test::TempDir dir;
    const std::string path = dir.file("p3.jpg");
    std::vector<std::uint8_t> red(64 * 64 * 3);
    for (std::size_t i = 0; i < red.size(); i += 3) {
        red[i] = 220;
        red[i + 1] = 40;
        red[i + 2] = 30;
    }
    vips::VImage p3 = test::imageOf(red, 64, 64, 3)
                          .icc_transform("p3",
                              vips::VImage::option()->set("input_profile", "srgb")->set("embedded", false));
    ASSERT_NE(p3.get_typeof(VIPS_META_ICC_NAME), 0u);
    ASSERT_GT(std::abs(p3.getpoint(5, 5)[0] - 220.0) + std::abs(p3.getpoint(5, 5)[1] - 40.0), 20.0)
        << "the stored values must differ, or the test proves nothing";
    p3.jpegsave(path.c_str(), vips::VImage::option()->set("Q", 95));

    const Picture picture = load(path);
    ASSERT_EQ(picture.bitsPerPixel(), 24);
    EXPECT_NEAR(picture.sample(5, 5, 0), 220, 6);
    EXPECT_NEAR(picture.sample(5, 5, 1), 40, 6);
    EXPECT_NEAR(picture.sample(5, 5, 2), 30, 6);
    const Picture small = loadResized(path, 16, 16); // decoded at a reduced scale
    EXPECT_NEAR(small.sample(5, 5, 0), 220, 6);
    EXPECT_NEAR(small.sample(5, 5, 1), 40, 6);
    EXPECT_NEAR(small.sample(5, 5, 2), 30, 6);
}

TEST(Loading, CmykJpegBecomesRgb)
{
    test::TempDir dir;
    const std::string path = dir.file("cmyk.jpg");
    const vips::VImage rgb = test::imageOf(test::patternPixels(64, 48, 3), 64, 48, 3);
    rgb.icc_transform("cmyk", vips::VImage::option()->set("input_profile", "srgb"))
        .jpegsave(path.c_str(), vips::VImage::option()->set("Q", 95)->set("strip", true));
    for (const Picture &picture : { load(path), loadResized(path, 32, 24) }) {
        ASSERT_EQ(picture.bitsPerPixel(), 24);
        // Saturated blue lies outside the generic CMYK gamut, so only the dominant channel is certain.
        const int r = picture.width() - 1;
        const int b = picture.height() - 1;
        EXPECT_GT(picture.sample(0, 0, 0), picture.sample(0, 0, 1) + 80) << "top left is red";
        EXPECT_GT(picture.sample(r, 0, 1), picture.sample(r, 0, 0) + 80) << "top right is green";
        EXPECT_GT(picture.sample(0, b, 2), picture.sample(0, b, 0) + 50) << "bottom left is blue";
        EXPECT_GT(picture.sample(r, b, 1), 200) << "bottom right is light";
    }
}

TEST(Loading, BadFilesAreNoPicture)
{
    test::TempDir dir;
    const std::string jpeg = test::encodeTestPicture(PictureFormat::Jpeg, 300, 200);
    const std::string png = test::encodeTestPicture(PictureFormat::Png, 300, 200);
    std::string bmpHuge = test::encodeTestPicture(PictureFormat::Bmp, 8, 8);
    bmpHuge[18] = '\xFF'; // width 65535 + ...
    bmpHuge[19] = '\xFF';
    bmpHuge[20] = '\x01';

    struct Bad {
        const char *name;
        std::string bytes;
    };
    const std::vector<Bad> cases = {
        { "zero_bytes.jpg", "" },
        { "truncated_jpeg.jpg", jpeg.substr(0, jpeg.size() / 2) },
        { "truncated_png.png", png.substr(0, png.size() / 2) },
        { "text_named.jpg", "This is not a picture at all.\n" },
        { "png_claiming_100000x100000.png", test::pngClaimingSize(100000, 100000) },
        { "png_claiming_70000x10.png", test::pngClaimingSize(70000, 10) },
        { "bmp_claiming_huge.bmp", bmpHuge },
        { "flashpix.fpx", std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(600, '\0') },
    };
    for (const Bad &bad : cases) {
        SCOPED_TRACE(bad.name);
        const std::string path = dir.file(bad.name);
        test::writeFile(path, bad.bytes);
        std::string reason;
        const Picture picture = load(path, &reason);
        EXPECT_TRUE(picture.empty());
        EXPECT_EQ(picture.width(), 0);
        EXPECT_EQ(picture.height(), 0);
        EXPECT_NE(reason.find(path), std::string::npos) << reason;
        EXPECT_TRUE(loadResized(path, 32, 32).empty());
        EXPECT_EQ(test::readFile(path), bad.bytes);
    }
    const PictureInfo huge = probe(dir.file("png_claiming_100000x100000.png"));
    EXPECT_FALSE(sizeCanBeHeld(huge.width, huge.height));
    EXPECT_FALSE(probe(dir.file("text_named.jpg")).valid());

    const std::string missing = dir.file("missing.jpg");
    EXPECT_TRUE(load(missing).empty());
    EXPECT_TRUE(loadResized(missing, 10, 10).empty());
    EXPECT_FALSE(probe(missing).valid());
    EXPECT_TRUE(load(dir.path().string()).empty()) << "a folder is no picture";
}

TEST(Loading, StrayBytesBetweenJpegMarkersStillLoad)
{
    // Some cameras leave padding before a marker; decoders warn and go on, and so do we.
    test::TempDir dir;
    std::string jpeg = test::encodeTestPicture(PictureFormat::Jpeg, 64, 48);
    const std::size_t huffman = jpeg.find("\xFF\xC4");
    ASSERT_NE(huffman, std::string::npos);
    jpeg.insert(huffman, std::string(3, '\0'));
    const std::string path = dir.file("padded.jpg");
    test::writeFile(path, jpeg);
    EXPECT_EQ(load(path).width(), 64);
}

TEST(Loading, OddFileNamesAreTakenLiterally)
{
    // libvips and ImageMagick read options or frame numbers out of names like these.
    test::TempDir dir;
    const std::string jpeg = dir.file("photo[shrink=2].jpg");
    test::writeTestPicture(jpeg, PictureFormat::Jpeg, 64, 48);
    EXPECT_EQ(load(jpeg).width(), 64);
    const std::string bmp = dir.file("scan[1].bmp");
    test::writeTestPicture(bmp, PictureFormat::Bmp, 64, 48);
    EXPECT_EQ(load(bmp).width(), 64);
}

struct ResizeCase {
    int sourceWidth, sourceHeight, width, height;
};

class LoadResized : public testing::TestWithParam<ResizeCase>
{
};

TEST_P(LoadResized, GivesExactlyTheTargetSizeFromJpegAndPng)
{
    const ResizeCase c = GetParam();
    test::TempDir dir;
    for (PictureFormat format : { PictureFormat::Jpeg, PictureFormat::Png }) {
        const std::string path = dir.file(format == PictureFormat::Jpeg ? "s.jpg" : "s.png");
        test::writeTestPicture(path, format, c.sourceWidth, c.sourceHeight);
        const Picture picture = loadResized(path, c.width, c.height);
        ASSERT_EQ(picture.width(), c.width);
        ASSERT_EQ(picture.height(), c.height);
        if (c.width >= 4 && c.height >= 4)
            expectUpright(picture);
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes,
    LoadResized,
    testing::Values(ResizeCase { 4000, 3000, 640, 480 },
        ResizeCase { 1600, 1200, 853, 640 },
        ResizeCase { 320, 240, 640, 480 },
        ResizeCase { 1, 10000, 1, 64 },
        ResizeCase { 10000, 1, 64, 1 },
        ResizeCase { 1201, 799, 160, 106 },
        ResizeCase { 640, 480, 639, 479 },
        ResizeCase { 100, 100, 1000, 7 },
        ResizeCase { 3000, 2000, 2, 2 }));

TEST(LoadResized, ShrinkOnLoadLooksLikeAWholeLoadResized)
{
    // A picture with fine detail: decoding at 1/8 scale must not change what the thumbnail shows.
    test::TempDir dir;
    const int w = 1600, h = 1200;
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c)
                pixels[(static_cast<std::size_t>(y) * w + x) * 3 + c]
                    = static_cast<std::uint8_t>((x * (c + 1) + y * 3 + ((x / 7 + y / 5) % 2) * 60) % 256);
    const Picture source = Picture::fromPixels(w, h, 3, pixels.data());
    const std::string path = dir.file("detail.jpg");
    ASSERT_TRUE(saveJpeg(source, path, 95, Sampling::S444));

    Picture whole;
    ASSERT_TRUE(Resize(load(path), whole, 160, 120));
    const Picture shrunk = loadResized(path, 160, 120);
    ASSERT_EQ(shrunk.width(), 160);
    double difference = 0;
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 160; ++x)
            for (int c = 0; c < 3; ++c)
                difference += std::abs(whole.sample(x, y, c) - shrunk.sample(x, y, c));
    EXPECT_LT(difference / (160 * 120 * 3), 4.0);
}

TEST(LoadResized, RefusesSillyTargets)
{
    test::TempDir dir;
    const std::string path = dir.file("s.png");
    test::writeTestPng(path, 20, 20);
    EXPECT_TRUE(loadResized(path, 0, 10).empty());
    EXPECT_TRUE(loadResized(path, 10, -1).empty());
    EXPECT_TRUE(loadResized(path, 70000, 10).empty());
}

} // namespace
} // namespace pictora::imaging

namespace pictora::imaging
{

TEST(LoadFitted, TargetIsWorkedOutFromTheUprightHeader)
{
    test::TempDir dir;
    const std::string path = dir.file("orientation_6_large.jpg");
    test::writeTestJpeg(path, 800, 480, 90, std::nullopt, 6);
    PictureInfo seen;
    PictureInfo header;
    const Picture picture = loadFitted(
        path,
        [&](const PictureInfo &h) {
            seen = h;
            return TargetSize { h.width / 4, h.height / 4 };
        },
        &header);
    EXPECT_EQ(seen.width, 480);
    EXPECT_EQ(seen.height, 800);
    EXPECT_EQ(header.bitsPerPixel, 24);
    EXPECT_EQ(picture.width(), 120);
    EXPECT_EQ(picture.height(), 200);
}

TEST(LoadFitted, UnreadableFileGivesNoPictureAndAnEmptyHeader)
{
    test::TempDir dir;
    test::writeFile(dir.file("text.jpg"), "not a picture");
    bool asked = false;
    PictureInfo header { 1, 1, 1 };
    const Picture picture = loadFitted(
        dir.file("text.jpg"),
        [&](const PictureInfo &) {
            asked = true;
            return TargetSize { 10, 10 };
        },
        &header);
    EXPECT_TRUE(picture.empty());
    EXPECT_FALSE(asked);
    EXPECT_FALSE(header.valid());
}

TEST(Loading, CheckAgreesWithDecodingForIntactAndDamagedJpegs)
{
    // A check may prove a JPEG sound from its markers alone; whatever it says must be what decoding says.
    test::TempDir dir;
    const std::string jpeg = test::encodeTestPicture(PictureFormat::Jpeg, 640, 480);
    const std::size_t scan = jpeg.find("\xFF\xDA");
    ASSERT_NE(scan, std::string::npos);
    const std::size_t middle = scan + (jpeg.size() - scan) / 2;
    std::string flipped = jpeg;
    flipped[middle] = static_cast<char>(flipped[middle] ^ 0x5A);
    std::string early = jpeg;
    early.insert(middle, "\xFF\xD9");
    std::string strayMarker = jpeg;
    strayMarker.insert(middle, "\xFF\xC4\x00\x02");
    const std::vector<std::pair<const char *, std::string>> cases = {
        { "intact", jpeg },
        { "progressive", test::encodeTestPicture(PictureFormat::ProgressiveJpeg, 640, 480) },
        { "cut in the scan", jpeg.substr(0, middle) },
        { "without its end marker", jpeg.substr(0, jpeg.size() - 2) },
        { "cut, then an end marker", jpeg.substr(0, middle) + "\xFF\xD9" },
        { "a damaged byte", flipped },
        { "an early end marker", early },
        { "a table marker inside the scan", strayMarker },
        { "bytes after the end", jpeg + "trailing" },
    };
    const TargetFor small = [](const PictureInfo &) { return TargetSize { 64, 48 }; };
    for (const auto &[name, bytes] : cases) {
        SCOPED_TRACE(name);
        const std::string path = dir.file("c.jpg");
        test::writeFile(path, bytes);
        EXPECT_EQ(checkLoads(path, small).valid(), !loadFitted(path, small).empty());
        EXPECT_EQ(checkLoads(path).valid(), !load(path).empty());
    }
    EXPECT_EQ(checkLoads(dir.file("c.jpg")).width, 640);
}

} // namespace pictora::imaging
