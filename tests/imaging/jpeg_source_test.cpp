// SPDX-License-Identifier: MIT
#include "imaging/jpeg_source.h"
#include "imaging/picture_impl.h"
#include "tests/support/pictures.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>

namespace pictora::imaging
{
namespace
{

std::optional<detail::PlainJpegHeader> headerOf(const std::string &bytes)
{
    return detail::plainJpegHeader(reinterpret_cast<const unsigned char *>(bytes.data()), bytes.size());
}

std::string segment(unsigned char marker, const std::string &payload)
{
    const std::size_t length = payload.size() + 2;
    return std::string {
        '\xFF', static_cast<char>(marker), static_cast<char>(length >> 8), static_cast<char>(length & 0xFF)
    }
    + payload;
}

/// The same bytes with the frame header's marker changed, as an arithmetic-coded or lossless
/// frame would have it.
std::string withFrameMarker(std::string jpeg, unsigned char marker)
{
    const std::size_t at = jpeg.find("\xFF\xC0");
    jpeg[at + 1] = static_cast<char>(marker);
    return jpeg;
}

bool generalDecoderLoaded()
{
    std::ifstream maps("/proc/self/maps");
    const std::string text { std::istreambuf_iterator<char>(maps), {} };
    return text.find("pictora-vips.so") != std::string::npos;
}

// What the program reads itself must be what the general decoder would read, and everything it is
// not sure of must be left to it.
TEST(PlainJpegHeader, ReadsWhatTheGeneralDecoderReadsAndLeavesItTheRest)
{
    test::TempDir dir;
    const std::string colour = test::jpegBytes(test::imageOf(test::patternPixels(64, 48, 3), 64, 48, 3));
    const std::string grey = test::jpegBytes(test::imageOf(test::patternPixels(64, 48, 1), 64, 48, 1));
    const std::string progressive
        = test::jpegBytes(test::imageOf(test::patternPixels(64, 48, 3), 64, 48, 3), 90, true);
    const struct {
        const char *what;
        std::string bytes;
        int components;
        int orientation;
    } plain[] = {
        { "JFIF", colour, 3, 1 },
        { "grey", grey, 1, 1 },
        { "progressive", progressive, 3, 1 },
        { "Exif without orientation",
            test::withFirstSegment(colour, test::exifSegment("2004:05:01 13:05:42", {})),
            3,
            1 },
        { "Exif, orientation 6", test::withFirstSegment(colour, test::exifSegment(std::nullopt, 6)), 3, 6 },
        { "Exif, orientation 8, grey",
            test::withFirstSegment(grey, test::exifSegment(std::nullopt, 8)),
            1,
            8 },
    };
    for (const auto &c : plain) {
        SCOPED_TRACE(c.what);
        const std::optional<detail::PlainJpegHeader> header = headerOf(c.bytes);
        ASSERT_TRUE(header);
        EXPECT_EQ(header->width, 64);
        EXPECT_EQ(header->height, 48);
        EXPECT_EQ(header->components, c.components);
        EXPECT_EQ(header->orientation, c.orientation);
        const std::string path = dir.file("plain.jpg");
        test::writeFile(path, c.bytes);
        const PictureInfo general = probe(path);
        const bool swap = detail::swapsSides(header->orientation);
        EXPECT_EQ(general.width, swap ? header->height : header->width);
        EXPECT_EQ(general.height, swap ? header->width : header->height);
        EXPECT_EQ(general.bitsPerPixel, 8 * header->components);
    }

    const std::string exif6 = test::exifSegment(std::nullopt, 6);
    const struct {
        const char *what;
        std::string bytes;
    } unsure[] = {
        { "two Exif blocks", test::withFirstSegment(test::withFirstSegment(colour, exif6), exif6) },
        { "orientation out of range", test::withFirstSegment(colour, test::exifSegment(std::nullopt, 9)) },
        { "Exif header without its two zero bytes",
            test::withFirstSegment(colour, segment(0xE1, "ExifII*")) },
        { "colour profile",
            test::withFirstSegment(colour, segment(0xE2, std::string("ICC_PROFILE\0\1\1", 14))) },
        { "Adobe colour transform",
            test::withFirstSegment(colour, segment(0xEE, std::string("Adobe\0\144\0\0\0\0\1", 12))) },
        { "arithmetic coding", withFrameMarker(colour, 0xC9) },
        { "lossless", withFrameMarker(colour, 0xC3) },
        { "cut inside the header", colour.substr(0, 100) },
        { "not a JPEG", test::pngClaimingSize(64, 48) },
    };
    for (const auto &c : unsure) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(headerOf(c.bytes));
    }
}

// A run of plain JPEGs must not pay for starting libvips; anything else loads it. Each test runs in a
// process of its own under CTest, so the module is loaded only if this test loads it.
TEST(PlainJpegPlanes, NeedNoGeneralDecoderUntilAPictureDoes)
{
    if (generalDecoderLoaded())
        GTEST_SKIP() << "an earlier test in this process loaded the general decoder";
    test::TempDir dir;
    const std::string jpeg = dir.file("plain.jpg");
    const std::vector<std::uint8_t> pixels(400 * 300 * 3, 128);
    ASSERT_TRUE(saveJpeg(Picture::fromPixels(400, 300, 3, pixels.data()), jpeg, 90, Sampling::S422));

    PictureInfo header;
    const JpegPlanes planes = loadPlanesFitted(
        jpeg,
        [](const PictureInfo &) {
            return TargetSize { 100, 75 };
        },
        Sampling::S422,
        &header);
    EXPECT_EQ(planes.width(), 100);
    EXPECT_EQ(header.width, 400);
    EXPECT_FALSE(generalDecoderLoaded());

    EXPECT_EQ(probe(jpeg).width, 400);
    EXPECT_TRUE(generalDecoderLoaded());
}

TEST(FileBytes, ReadsWholeFilesAndOnlyThoseThatBeginAsAsked)
{
    test::TempDir dir;
    const std::string jpeg = dir.file("a.jpg");
    const std::string bytes = "\xFF\xD8" + std::string(100000, 'x');
    test::writeFile(jpeg, bytes);
    test::writeFile(dir.file("b.png"), test::pngClaimingSize(10, 10));
    test::writeFile(dir.file("c"), "\xFF");
    const std::optional<detail::FileBytes> read = detail::fileBytes(jpeg, "\xFF\xD8");
    ASSERT_TRUE(read);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(read->data.get()), read->size), bytes);
    EXPECT_FALSE(detail::fileBytes(dir.file("b.png"), "\xFF\xD8"));
    EXPECT_FALSE(detail::fileBytes(dir.file("c"), "\xFF\xD8"));
    EXPECT_TRUE(detail::fileBytes(dir.file("c")));
    EXPECT_FALSE(detail::fileBytes(dir.file("missing")));
}

// The vectorised line filter must give exactly what the plain one gives, edges and odd tails
// included.
TEST(PlaneResampler, VectorAndPlainFiltersGiveTheSameSamples)
{
    test::TempDir dir;
    std::mt19937 random(7);
    std::vector<std::uint8_t> noise(1003 * 751 * 3);
    for (std::uint8_t &sample : noise)
        sample = static_cast<std::uint8_t>(random());
    const std::string source = dir.file("noise.jpg");
    ASSERT_TRUE(saveJpeg(Picture::fromPixels(1003, 751, 3, noise.data()), source, 95, Sampling::S444));
    std::string written[2];
    for (int plain = 0; plain < 2; ++plain) {
        detail::usePlainLineFilter(plain == 1);
        const JpegPlanes planes = loadPlanesFitted(
            source,
            [](const PictureInfo &) {
                return TargetSize { 333, 251 };
            },
            Sampling::S422);
        JpegPlanes thumbnail;
        ASSERT_TRUE(Resize(planes, thumbnail, 97, 61));
        ASSERT_TRUE(saveJpeg(planes, dir.file("main.jpg"), 90));
        ASSERT_TRUE(saveJpeg(thumbnail, dir.file("thumb.jpg"), 90));
        written[plain] = test::readFile(dir.file("main.jpg")) + test::readFile(dir.file("thumb.jpg"));
    }
    detail::usePlainLineFilter(false);
    EXPECT_EQ(written[0], written[1]);
}

TEST(JpegDeclaredSize, AFileTooSmallForItsFrameIsRefusedBeforeDecoding)
{
    test::TempDir dir;
    auto holds = [](const std::string &bytes) {
        return detail::jpegDataCanHoldFrame(
            reinterpret_cast<const unsigned char *>(bytes.data()), bytes.size());
    };
    // A real 16 × 16 JPEG whose frame is made to declare 65500 × 65500, as a 336-byte attack does.
    const std::string real = test::encodeTestPicture(test::PictureFormat::Jpeg, 16, 16);
    std::string claims = real;
    const auto frame = claims.find("\xFF\xC0", 2);
    ASSERT_NE(frame, std::string::npos);
    for (const std::size_t at : { frame + 5, frame + 7 }) {
        claims[at] = static_cast<char>(0xFF);
        claims[at + 1] = static_cast<char>(0xDC);
    }
    ASSERT_EQ(test::readJpegFrame(claims)->width, 65500);
    EXPECT_FALSE(holds(claims));
    for (const auto format :
        { test::PictureFormat::Jpeg, test::PictureFormat::ProgressiveJpeg, test::PictureFormat::GreyJpeg })
        EXPECT_TRUE(holds(test::encodeTestPicture(format, 640, 480)));
    // One bit per block of the smallest component (4:2:0 chroma): 2 × 2 blocks need a byte.
    EXPECT_TRUE(holds(real));
    EXPECT_TRUE(holds(std::string()));

    // Every load refuses it, the plain JPEG way and the general decoder's alike.
    test::writeFile(dir.file("claims.jpg"), claims);
    const TargetFor thumb = [](const PictureInfo &) { return TargetSize { 160, 160 }; };
    EXPECT_FALSE(checkLoads(dir.file("claims.jpg"), thumb).valid());
    EXPECT_TRUE(loadFitted(dir.file("claims.jpg"), thumb).empty());
    EXPECT_TRUE(loadPlanesFitted(dir.file("claims.jpg"), thumb, Sampling::S422).empty());
    std::string reason;
    EXPECT_TRUE(load(dir.file("claims.jpg"), &reason).empty());
    EXPECT_NE(reason.find("larger than its data can hold"), std::string::npos) << reason;
    test::writeFile(dir.file("real.jpg"), real);
    EXPECT_EQ(loadFitted(dir.file("real.jpg"), thumb).width(), 160);
}

TEST(JpegBytes, StopAtTheEndMarkerWhateverFollows)
{
    test::TempDir dir;
    const vips::VImage image = test::imageOf(test::patternPixels(64, 48, 3), 64, 48, 3);
    const std::string trailer = "\xFF\xD9 and more" + std::string(3 << 20, '\0');
    struct Case {
        const char *what;
        std::string jpeg;
        std::string after;
        std::size_t expected; ///< bytes read
    };
    const std::string baseline = test::jpegBytes(image);
    const std::string progressive = test::jpegBytes(image, 90, true);
    const std::string cut = baseline.substr(0, baseline.size() / 2);
    const std::vector<Case> cases = {
        { "baseline, nothing after", baseline, "", baseline.size() },
        { "baseline, a trailer of 3 MB", baseline, trailer, baseline.size() },
        { "progressive: its later scans are read", progressive, trailer, progressive.size() },
        { "cut short: all there is", cut, "", cut.size() },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        test::writeFile(dir.file("a.jpg"), c.jpeg + c.after);
        const std::optional<detail::FileBytes> read = detail::jpegBytes(dir.file("a.jpg"));
        ASSERT_TRUE(read);
        EXPECT_EQ(read->size, c.expected);
        EXPECT_EQ(std::string(reinterpret_cast<const char *>(read->data.get()), read->size),
            (c.jpeg + c.after).substr(0, c.expected));
    }
    // What is read still decodes as the whole file would.
    test::writeFile(dir.file("a.jpg"), progressive + trailer);
    test::writeFile(dir.file("b.jpg"), progressive);
    EXPECT_EQ(
        loadResized(dir.file("a.jpg"), 32, 24).pixels(), loadResized(dir.file("b.jpg"), 32, 24).pixels());
    test::writeFile(dir.file("c.png"), test::pngClaimingSize(10, 10));
    EXPECT_FALSE(detail::jpegBytes(dir.file("c.png")));
}

} // namespace
} // namespace pictora::imaging
