// SPDX-License-Identifier: MIT
// The formats phones and the web give today: HEIC, AVIF, WebP and JPEG XL, made here by libvips (and
// libheif for a HEIC turned as a phone turns it).
#include "album/picture_files.h"
#include "imaging/capture_time.h"
#include "imaging/picture.h"
#include "tests/support/pictures.h"
#include "tests/support/temp_dir.h"

#include <libheif/heif.h>
#include <vips/vips8>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <stdexcept>

namespace pictora::imaging
{
namespace
{

using test::Rgb;

constexpr int kWidth = 96;
constexpr int kHeight = 64;

/// The TIFF structure of an Exif segment, as HEIF, WebP and JPEG XL keep it.
std::string exifTiff(const std::optional<std::string> &date, int orientation)
{
    return test::exifSegment(date, orientation).substr(10); // FF E1, length, "Exif\0\0"
}

vips::VImage upright()
{
    return test::imageOf(test::patternPixels(kWidth, kHeight, 3), kWidth, kHeight, 3);
}

/// A HEIC as a phone writes it: the pixels stored turned, the turn in the file's own rotation box
/// and again in the Exif orientation, and the date in the Exif block.
void writePhoneHeic(const std::string &path, const std::string &date)
{
    const vips::VImage stored = test::storedForOrientation(6, upright());
    const std::vector<std::uint8_t> pixels = [&] {
        std::size_t size = 0;
        void *raw = stored.write_to_memory(&size);
        std::vector<std::uint8_t> bytes(
            static_cast<std::uint8_t *>(raw), static_cast<std::uint8_t *>(raw) + size);
        g_free(raw);
        return bytes;
    }();
    heif_context *context = heif_context_alloc();
    heif_encoder *encoder = nullptr;
    heif_image *image = nullptr;
    heif_image_handle *handle = nullptr;
    heif_encoding_options *options = heif_encoding_options_alloc();
    bool ok
        = heif_context_get_encoder_for_format(context, heif_compression_HEVC, &encoder).code == heif_error_Ok
        && heif_image_create(
               stored.width(), stored.height(), heif_colorspace_RGB, heif_chroma_interleaved_RGB, &image)
                .code
            == heif_error_Ok
        && heif_image_add_plane(image, heif_channel_interleaved, stored.width(), stored.height(), 8).code
            == heif_error_Ok;
    if (ok) {
        int stride = 0;
        std::uint8_t *plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
        const std::size_t row = static_cast<std::size_t>(stored.width()) * 3;
        for (int y = 0; y < stored.height(); ++y)
            std::memcpy(plane + static_cast<std::size_t>(y) * static_cast<std::size_t>(stride),
                &pixels[y * row],
                row);
        heif_encoder_set_lossy_quality(encoder, 95);
        options->image_orientation = heif_orientation_rotate_90_cw;
        const std::string exif = exifTiff(date, 6);
        ok = heif_context_encode_image(context, image, encoder, options, &handle).code == heif_error_Ok
            && heif_context_add_exif_metadata(context, handle, exif.data(), static_cast<int>(exif.size()))
                    .code
                == heif_error_Ok
            && heif_context_write_to_file(context, path.c_str()).code == heif_error_Ok;
    }
    heif_encoding_options_free(options);
    if (handle)
        heif_image_handle_release(handle);
    if (image)
        heif_image_release(image);
    if (encoder)
        heif_encoder_release(encoder);
    heif_context_free(context);
    if (!ok)
        throw std::runtime_error("libheif could not write " + path);
}

/// An ISO box: size, type, contents.
std::string box(const char *type, const std::string &contents)
{
    const auto size = static_cast<std::uint32_t>(contents.size() + 8);
    std::string bytes { static_cast<char>(size >> 24),
        static_cast<char>(size >> 16),
        static_cast<char>(size >> 8),
        static_cast<char>(size) };
    return bytes + type + contents;
}

std::string bytesOf(VipsBlob *blob)
{
    const std::string bytes(static_cast<const char *>(VIPS_AREA(blob)->data), VIPS_AREA(blob)->length);
    vips_area_unref(VIPS_AREA(blob));
    return bytes;
}

/// A JPEG XL codestream from libvips, put into the container beside an Exif box (this libvips
/// writes no metadata into JPEG XL).
void writeJxlWithExif(const std::string &path, const std::string &date)
{
    const std::string codestream = bytesOf(upright().jxlsave_buffer(vips::VImage::option()->set("Q", 95)));
    test::writeFile(path,
        box("JXL ", "\r\n\x87\n") + box("ftyp", std::string("jxl \0\0\0\0jxl ", 12))
            + box("Exif", std::string(4, '\0') + exifTiff(date, 1)) + box("jxlc", codestream));
}

/// The pattern with a Display P3 profile, as an iPhone's pictures carry one.
vips::VImage inP3()
{
    return upright().icc_transform(
        "p3", vips::VImage::option()->set("input_profile", "srgb")->set("embedded", false)->set("depth", 8));
}

struct Case {
    const char *file;
    const char *saver; ///< what must be able to write it, else the case is skipped
    std::function<void(const std::string &path)> write;
    bool exifDate; ///< whether its Exif block carries kDate
};

const std::string kDate = "2021:07:04 18:30:12";
const std::string kStamp = "2021年07月04日 18時30分";

const Case kCases[] = {
    { "IMG_0042.HEIC", ".heic", [](const std::string &path) { writePhoneHeic(path, kDate); }, true },
    { "web.avif",
        ".avif",
        [](const std::string &path) {
            vips::VImage image = upright().copy();
            const std::string exif = "Exif" + std::string(2, '\0') + exifTiff(kDate, 1);
            vips_image_set_blob_copy(image.get_image(), VIPS_META_EXIF_NAME, exif.data(), exif.size());
            image.heifsave(path.c_str(),
                vips::VImage::option()->set("compression", VIPS_FOREIGN_HEIF_COMPRESSION_AV1)->set("Q", 90));
        },
        true },
    { "turned.WebP",
        ".webp",
        [](const std::string &path) {
            // Stored turned, upright by its Exif orientation.
            vips::VImage image = test::storedForOrientation(8, upright()).copy();
            const std::string exif = "Exif" + std::string(2, '\0') + exifTiff(kDate, 8);
            vips_image_set_blob_copy(image.get_image(), VIPS_META_EXIF_NAME, exif.data(), exif.size());
            image.webpsave(path.c_str(), vips::VImage::option()->set("Q", 95));
        },
        true },
    { "drawing.jxl", ".jxl", [](const std::string &path) { writeJxlWithExif(path, kDate); }, true },
    { "plain.jxl",
        ".jxl",
        [](const std::string &path) {
            upright().jxlsave(path.c_str(), vips::VImage::option()->set("Q", 95));
        },
        false },
    { "p3.heic",
        ".heic",
        [](const std::string &path) { inP3().heifsave(path.c_str(), vips::VImage::option()->set("Q", 95)); },
        false },
    { "p3.webp",
        ".webp",
        [](const std::string &path) { inP3().webpsave(path.c_str(), vips::VImage::option()->set("Q", 95)); },
        false },
};

TEST(PhoneAndWebFormats, PhoneAndWebPicturesLoadUprightInSrgbWithTheirExifDate)
{
    initialise();
    test::TempDir dir;
    std::string missing;
    for (const Case &c : kCases) {
        SCOPED_TRACE(c.file);
        if (!vips_foreign_find_save(c.saver)) {
            missing += std::string(" ") + c.saver;
            continue;
        }
        const std::string path = dir.file(c.file);
        c.write(path);
        EXPECT_TRUE(album::isPictureFileName(path));

        std::string reason;
        const Picture whole = load(path, &reason);
        ASSERT_FALSE(whole.empty()) << reason;
        EXPECT_EQ(whole.width(), kWidth);
        EXPECT_EQ(whole.height(), kHeight);
        test::expectUpright(whole);
        const PictureInfo header = probe(path);
        EXPECT_EQ(header.width, kWidth);
        EXPECT_EQ(header.height, kHeight);

        const Picture half = loadFitted(path, [](const PictureInfo &h) {
            return TargetSize { h.width / 2, h.height / 2 };
        });
        ASSERT_EQ(half.width(), kWidth / 2);
        ASSERT_EQ(half.height(), kHeight / 2);
        test::expectUpright(half);
        EXPECT_EQ(checkLoads(path).width, kWidth);

        test::setLocalFileTime(path, 2004, 12, 3, 9, 7, 0);
        EXPECT_EQ(captureTimeStamp(path), c.exifDate ? kStamp : "2004年12月03日 09時07分");
    }
    if (!missing.empty())
        GTEST_SKIP() << "this libvips cannot write" << missing << ", so those were not tried";
}

TEST(PhoneAndWebFormats, AProfileOtherThanSrgbIsApplied)
{
    initialise();
    test::TempDir dir;
    const std::string path = dir.file("p3.heic");
    if (!vips_foreign_find_save(".heic"))
        GTEST_SKIP() << "this libvips cannot write HEIF";
    inP3().heifsave(path.c_str(), vips::VImage::option()->set("Q", 95));
    // The file's own samples are P3 ones, well away from the sRGB colours: only the profile brings
    // them back.
    const vips::VImage raw = vips::VImage::new_from_file(path.c_str());
    ASSERT_NE(raw.get_typeof(VIPS_META_ICC_NAME), 0u);
    EXPECT_GT(std::abs(raw.getpoint(0, 0)[0] - test::kTopLeft.r)
            + std::abs(raw.getpoint(0, 0)[1] - test::kTopLeft.g),
        2 * test::kColourTolerance);
    test::expectUpright(load(path));
}

} // namespace
} // namespace pictora::imaging
