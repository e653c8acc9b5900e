// SPDX-License-Identifier: MIT
#include "album/branding.h"
#include "album/settings.h"
#include "base/errors.h"
#include "generate/layout.h"
#include "generate/page_text.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

using namespace pictora;
using album::OptionId;
using generate::AlbumLayout;

TEST(AlbumLayout, NumbersHaveAtLeastFourDigits)
{
    EXPECT_EQ(generate::pictureNumber(0), "0000");
    EXPECT_EQ(generate::pictureNumber(9), "0009");
    EXPECT_EQ(generate::pictureNumber(12), "0012");
    EXPECT_EQ(generate::pictureNumber(10000), "10000");
    EXPECT_EQ(AlbumLayout::mainPictureName(10000), "img10000.jpg");
    EXPECT_EQ(AlbumLayout::thumbnailName(10000), "img10000_t.jpg");
}

TEST(AlbumLayout, DefaultNamesUnderTheAlbumFolder)
{
    const album::AlbumSettings settings;
    const AlbumLayout layout("/out/html", settings);
    EXPECT_EQ(layout.folder(), "/out/html");
    EXPECT_EQ(layout.imagesFolder(), "/out/html/images");
    EXPECT_EQ(layout.thumbFolder(), "/out/html/thumb");
    EXPECT_EQ(layout.indexPath(), "/out/html/index.htm");
    EXPECT_EQ(layout.styleSheetName(), "default.css");
    EXPECT_EQ(layout.styleSheetPath(), "/out/html/default.css");
    EXPECT_EQ(layout.picturePagePath(9), "/out/html/images/0009.htm");
    EXPECT_EQ(layout.slidePagePath(0), "/out/html/images/0000s.htm");
    EXPECT_EQ(layout.mainPicturePath(9), "/out/html/images/img0009.jpg");
    EXPECT_EQ(layout.thumbnailPath(0), "/out/html/thumb/img0000_t.jpg");
    EXPECT_EQ(layout.backgroundPath(), "/out/html/back.jpg");
}

TEST(AlbumLayout, NameOptionsAndPlainJoining)
{
    album::AlbumSettings settings;
    settings.store(OptionId::edIndex, std::string("top"));
    settings.store(OptionId::edFileExt, std::string(".html"));
    settings.store(OptionId::edCSS, std::string("album.css"));
    // A folder typed with its trailing slash keeps it: joined, not normalised.
    const AlbumLayout layout("/out/", settings);
    EXPECT_EQ(layout.indexPath(), "/out//top.html");
    EXPECT_EQ(layout.styleSheetPath(), "/out//album.css");
    EXPECT_EQ(layout.picturePagePath(7), "/out//images/0007.html");
    EXPECT_EQ(layout.slidePagePath(7), "/out//images/0007s.html");

    // The slideshow page is named as its links name it, whatever the extension looks like.
    settings.store(OptionId::edFileExt, std::string(".x.htm"));
    EXPECT_EQ(AlbumLayout("/a", settings).slidePagePath(3), "/a/images/0003s.x.htm");
    settings.store(OptionId::edFileExt, std::string("htm"));
    EXPECT_EQ(AlbumLayout("/a", settings).slidePagePath(3), "/a/images/0003shtm");
}

TEST(RunValues, AlignmentWordsAndSizes)
{
    album::AlbumSettings settings;
    auto values = generate::fixRunValues(settings);
    EXPECT_EQ(values.titleAlign, "center");
    EXPECT_EQ(values.commentAlign, "center");
    EXPECT_EQ(values.thumbX, 160.0);
    EXPECT_EQ(values.mainY, 640.0);

    settings.store(OptionId::rbTL, 0);
    settings.store(OptionId::rbCL, 2);
    settings.store(OptionId::edThumbX, std::string(" 120.5 "));
    settings.store(OptionId::edMainY, std::string("1e3"));
    values = generate::fixRunValues(settings);
    EXPECT_EQ(values.titleAlign, "left");
    EXPECT_EQ(values.commentAlign, "right");
    EXPECT_EQ(values.thumbX, 120.5);
    EXPECT_EQ(values.mainY, 1000.0);

    settings.store(OptionId::rbTL, -1);
    EXPECT_EQ(generate::fixRunValues(settings).titleAlign, "");
}

TEST(RunValues, FirstSizeThatIsNoNumberStopsWithItsText)
{
    album::AlbumSettings settings;
    settings.store(OptionId::edThumbY, std::string("12a"));
    settings.store(OptionId::edMainX, std::string("wide"));
    try {
        (void)generate::fixRunValues(settings);
        FAIL() << "no conversion error";
    } catch (const base::ConversionError &e) {
        EXPECT_STREQ(e.what(), "'12a' は浮動小数点数ではありません");
    }
}

TEST(RunValues, BackgroundPictureMustBeAnExistingFile)
{
    test::TempDir dir;
    album::AlbumSettings settings;
    EXPECT_FALSE(generate::hasBackgroundPicture(settings));
    settings.store(OptionId::edBGImage, dir.file("missing.jpg"));
    EXPECT_FALSE(generate::hasBackgroundPicture(settings));
    settings.store(OptionId::edBGImage, dir.path().string());
    EXPECT_FALSE(generate::hasBackgroundPicture(settings));
    test::writeFile(dir.file("bg.jpg"), "x");
    settings.store(OptionId::edBGImage, dir.file("bg.jpg"));
    EXPECT_TRUE(generate::hasBackgroundPicture(settings));
}

TEST(PageText, CommentLinesBecomeBreaksAndTrailingBlanksGo)
{
    using generate::convertComment;
    EXPECT_EQ(convertComment("a\r\nb\r\n\r\n"), "a<BR>b\r\n");
    EXPECT_EQ(convertComment(""), "");
    EXPECT_EQ(convertComment("\r\n\r\n"), "");
    EXPECT_EQ(convertComment(" \t\r\n"), "");
    // Breaks are dropped first, then blanks: a blank after a break keeps the break.
    EXPECT_EQ(convertComment("a\r\n "), "a<BR>\r\n");
    EXPECT_EQ(convertComment("a \t\r\n"), "a\r\n");
    EXPECT_EQ(convertComment("夕焼け\x01\r\n"), "夕焼け\r\n");
    // Not escaped: a comment may carry markup. A lone LF is no line separator here.
    EXPECT_EQ(convertComment("<b>x</b>\ny"), "<b>x</b>\ny\r\n");
}

TEST(PageText, HeadLinesAndFooters)
{
    const std::string site = branding::kSiteUrl;
    EXPECT_EQ(generate::generatorLine(), "<META NAME=\"generator\" content=\"Pictora(" + site + ")\">\n");
    EXPECT_EQ(generate::authorLine("me@example.com"), "<link rev=\"made\" href=\"mailto:me@example.com\">\n");
    EXPECT_EQ(generate::footer(false), "\n\n<HR></BODY>\n</HTML>\n");
    EXPECT_EQ(generate::footer(true),
        "\n\n<HR><div class=\"tavuri\">Powered by TAVURI.</div><div class=\"tavuri\"><A CLASS=\"html_album\" "
        "HREF=\""
            + site + "\">" + branding::kSiteHost + "</A></div></BODY>\n</HTML>\n");
}
