// SPDX-License-Identifier: MIT
// Phone photos beyond what may be held decoded whole still make their main picture and thumbnail.
#include "album/settings.h"
#include "generate/layout.h"
#include "generate/picture_conversion.h"
#include "imaging/picture.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>
#include <vips/vips8>

using namespace pictora;

TEST(BigPhoto, A108MegapixelJpegMakesItsMainPictureAndThumbnailButIsNotHeldWhole)
{
    imaging::initialise();
    test::TempDir dir;
    album::AlbumSettings settings;
    const generate::AlbumLayout layout(dir.path().string(), settings);
    std::filesystem::create_directories(layout.imagesFolder());
    std::filesystem::create_directories(layout.thumbFolder());
    const generate::ConversionOptions options; // 640 × 640 and 160 × 160, long side

    {
        // Flat, so that it is small on disk; streamed out, so the test never holds it either.
        // (Progressive ones take the same path; bench/ makes them, as they are slow to write.)
        const std::string path = dir.file("b.jpg");
        vips::VImage::black(12000, 9000, vips::VImage::option()->set("bands", 3))
            .linear(1.0, 120.0)
            .cast(VIPS_FORMAT_UCHAR)
            .copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB))
            .jpegsave(path.c_str(), vips::VImage::option()->set("Q", 85));

        const generate::PictureOutcome made = generate::convertPicture(path, 0, layout, options);
        EXPECT_FALSE(made.unreadable);
        EXPECT_EQ(made.writeError, "");
        EXPECT_EQ(made.sizes, (generate::SizeRow { 640, 480, 160, 120 }));
        const imaging::PictureInfo main = imaging::probe(layout.mainPicturePath(0));
        const imaging::PictureInfo thumb = imaging::probe(layout.thumbnailPath(0));
        EXPECT_EQ(main.width, 640);
        EXPECT_EQ(main.height, 480);
        EXPECT_EQ(thumb.width, 160);
        EXPECT_EQ(thumb.height, 120);
        EXPECT_EQ(imaging::load(layout.mainPicturePath(0)).sample(320, 240, 1), 120);

        EXPECT_EQ(generate::checkPicture(path, options).sizes, made.sizes);
        EXPECT_EQ(imaging::probe(path).width, 12000);
        EXPECT_TRUE(imaging::load(path).empty()) << "whole, it would hold 324 MB";
        generate::ConversionOptions whole = options;
        whole.resizeMain = false;
        EXPECT_TRUE(generate::checkPicture(path, whole).unreadable);
    }
}
