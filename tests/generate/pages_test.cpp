// SPDX-License-Identifier: MIT
#include "album/branding.h"
#include "album/image_list.h"
#include "album/settings.h"
#include "base/cp932.h"
#include "base/errors.h"
#include "generate/layout.h"
#include "generate/pages.h"
#include "generate/style_sheet.h"
#include "tests/generate/byte_compare.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <set>

using namespace pictora;
using album::OptionId;
namespace fs = std::filesystem;

namespace
{

/// An album folder with its images folder, the options and a list of pictures.
struct Album {
    test::TempDir dir;
    album::AlbumSettings settings;
    std::vector<album::ImageEntry> entries;
    generate::PictureSizes sizes;

    Album()
    {
        fs::create_directory(dir.path() / "images");
        settings.store(OptionId::edRevMade, std::string("me@example.com"));
        settings.store(OptionId::edTitle, std::string("旅行"));
    }

    void addPictures(int count)
    {
        for (int i = 0; i < count; ++i) {
            entries.push_back({ "/photos/p" + std::to_string(i) + ".jpg", "", "" });
            sizes.push_back({ 640, 480, 160, 120 });
        }
    }

    generate::AlbumLayout layout() const { return generate::AlbumLayout(dir.path().string(), settings); }

    void write() const
    {
        generate::writePages(layout(), settings, entries, sizes, generate::fixRunValues(settings));
    }

    /// A written file decoded back to UTF-8 (line ends stay CR LF).
    std::string text(const std::string &relative) const
    {
        auto decoded = base::cp932::decode(test::readFile(dir.path() / relative));
        EXPECT_TRUE(decoded) << relative;
        return decoded.value_or(std::string());
    }
};

std::string cp932(const std::string &utf8)
{
    auto bytes = base::cp932::encode(utf8);
    EXPECT_TRUE(bytes) << "expected text does not fit CP932";
    return bytes.value_or(std::string());
}

std::size_t count(const std::string &text, const std::string &what)
{
    std::size_t n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size()))
        ++n;
    return n;
}

std::set<std::string> filesUnder(const fs::path &folder)
{
    std::set<std::string> names;
    for (const auto &item : fs::recursive_directory_iterator(folder)) {
        if (item.is_regular_file())
            names.insert(fs::relative(item.path(), folder).string());
    }
    return names;
}

const std::string kHead
    = "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\">\r\n<HTML LANG=\"ja\">\r\n<HEAD>\r\n"
      "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html;charset=Shift_JIS\">\r\n";
const std::string kScriptType = "<META HTTP-EQUIV=\"Content-Script-Type\" content=\"text/javascript\">\r\n";
const std::string kGeneratorAndAuthor = std::string("<META NAME=\"generator\" content=\"Pictora(")
    + branding::kSiteUrl + ")\">\r\n<link rev=\"made\" href=\"mailto:me@example.com\">\r\n";
const std::string kFooter = std::string("\r\n\r\n<HR><div class=\"tavuri\">Powered by TAVURI.</div><div "
                                        "class=\"tavuri\"><A CLASS=\"html_album\" HREF=\"")
    + branding::kSiteUrl + "\">" + branding::kSiteHost + "</A></div></BODY>\r\n</HTML>\r\n";

} // namespace

TEST(Pages, OnePictureAlbumByteForByte)
{
    Album album;
    album.settings.store(OptionId::mmComment, std::string("上段\r\nです\r\n"));
    album.entries.push_back({ "/photos/a.jpg", "夕焼け\r\n", "2004年08月01日 18時30分" });
    album.sizes.push_back({ 640, 480, 160, 120 });
    album.write();

    const std::string cover = kHead + kGeneratorAndAuthor
        + "<link rel=\"next\" href=\"./images/0000.htm\">\r\n"
          "<link rel=\"stylesheet\" href=\"./default.css\" type=\"text/css\">\r\n"
          "<TITLE>旅行</TITLE>\r\n</HEAD>\r\n<BODY CLASS=\"html_album\">\r\n\r\n"
          "<!-- ページタイトル -->\r\n<div class=\"title\">旅行</div>\r\n\r\n"
          "<!-- コメント上段 -->\r\n<BLOCKQUOTE><div "
          "class=\"com_big\">\r\n上段<BR>です\r\r\n</div>\r\n</BLOCKQUOTE>\r\n\r\n"
          "<HR><div class=\"button\"><A CLASS=\"button\" HREF=\"../index.htm\">戻る</A></div>\r\n"
          "<HR>\r\n\r\n"
          "\r\n<!-- スライドショウ開始ボタン -->\r\n"
          "<div class=\"button\"><A CLASS=\"button\" "
          "HREF=\"images/0000s.htm\">スライドショウの開始</A></div>\r\n"
          "<TABLE CLASS=\"html_album\" SUMMARY=\"メイン一覧表\"><!-- テーブル開始 -->\r\n\r\n"
          "<TR><!-- 1行目 -->\r\n\r\n"
          "<TD CLASS=\"html_album\">\r\n"
          "<A CLASS=\"html_album\" HREF=\"images/0000.htm\"><IMG CLASS=\"html_album\" ALT=\"img0000.jpg\" "
          "SRC=\"thumb/img0000_t.jpg\" WIDTH=\"160\" HEIGHT=\"120\"></A>\r\n"
          "<div class=\"com\">\r\n夕焼け\r\r\n</div>\r\n"
          "<div class=\"time_stamp\">2004年08月01日 18時30分</div></TD>\r\n\r\n"
          "\r\n</TR>\r\n\r\n"
          "</TABLE><!-- テーブル終了 -->\r\n\r\n<HR>\r\n\r\n"
          "<!-- コメント下段 -->\r\n<BLOCKQUOTE><div class=\"com_big\">\r\n</div>\r\n</BLOCKQUOTE>\r\n\r\n"
          "<HR>\r\n\r\n"
          "<div class=\"button\"><A CLASS=\"button\" HREF=\"../index.htm\">戻る</A></div>\r\n"
        + kFooter;

    const std::string bar
        = "<A CLASS=\"button\" HREF=\"0000.htm\">最後の画像</A>　<A CLASS=\"button\" "
          "HREF=\"../index.htm\">画像一覧に戻る</A>　<A CLASS=\"button\" HREF=\"0000.htm\">最初の画像</A>";
    const std::string picturePage = kHead + kScriptType + kGeneratorAndAuthor
        + "<link rel=\"next\" href=\"./0001.htm\">\r\n"
          "<link rel=\"stylesheet\" href=\"../default.css\" type=\"text/css\">\r\n"
          "<TITLE>旅行</TITLE>\r\n</HEAD>\r\n<BODY CLASS=\"html_album\">\r\n\r\n"
          "<HR><div class=\"button\">"
        + bar
        + "</div>\r\n\r\n<HR>\r\n"
          "<!-- コメント --><P>\r\n夕焼け\r\r\n</P>\r\n"
          "<!-- 表示画像 --><P>\r\n<IMG CLASS=\"html_album\" ALT=\"img0000.jpg\" SRC=\"img0000.jpg\" "
          "WIDTH=\"640\" "
          "HEIGHT=\"480\"></P>\r\n"
          "<P>2004年08月01日 18時30分</P>\r\n\r\n<HR>\r\n"
          "<div class=\"button\">"
        + bar + "</div>" + kFooter;

    const std::string back = "<A CLASS=\"button\" HREF=\"../index.htm\">画像一覧に戻る</A>";
    const std::string slidePage = kHead + kScriptType + kGeneratorAndAuthor
        + "<link rel=\"next\" href=\"./0001s.htm\">\r\n"
          "<link rel=\"stylesheet\" href=\"../default.css\" type=\"text/css\">\r\n"
          "<META HTTP-EQUIV=\"Refresh\" Content=\"5; URL=../index.htm\">\r\n"
          "<TITLE>旅行</TITLE>\r\n</HEAD>\r\n<BODY CLASS=\"html_album\">\r\n\r\n"
          "<HR><div class=\"button\">"
        + back
        + "</div>\r\n\r\n<HR>\r\n"
          "<!-- コメント --><P>\r\n夕焼け\r\r\n</P>\r\n"
          "<!-- 表示画像 --><P>\r\n<IMG CLASS=\"html_album\" SRC=\"img0000.jpg\" ALT=\"img0000.jpg\" "
          "WIDTH=\"640\" "
          "HEIGHT=\"480\"></P>\r\n"
          "<P>2004年08月01日 18時30分</P>\r\n\r\n<HR>\r\n"
          "<div class=\"button\">"
        + back + "</div>" + kFooter;

    EXPECT_TRUE(test::sameBytes(cp932(cover), test::readFile(album.dir.path() / "index.htm")));
    EXPECT_TRUE(test::sameBytes(cp932(picturePage), test::readFile(album.dir.path() / "images/0000.htm")));
    EXPECT_TRUE(test::sameBytes(cp932(slidePage), test::readFile(album.dir.path() / "images/0000s.htm")));
    EXPECT_EQ(filesUnder(album.dir.path()),
        (std::set<std::string> { "index.htm", "images/0000.htm", "images/0000s.htm" }));
}

TEST(Pages, TenPicturesInFourColumns)
{
    Album album;
    album.addPictures(10);
    album.write();
    const std::string cover = album.text("index.htm");
    for (const char *row : { "<TR><!-- 1行目 -->", "<TR><!-- 2行目 -->", "<TR><!-- 3行目 -->" })
        EXPECT_EQ(count(cover, row), 1u) << row;
    EXPECT_EQ(count(cover, "<TR>"), 3u);
    EXPECT_EQ(count(cover, "</TR>"), 3u);
    EXPECT_EQ(count(cover, "<TD "), 10u);
    // Row 2 closes after the eighth cell; the third row of two cells is closed after the loop.
    EXPECT_NE(
        cover.find("img0007_t.jpg\" WIDTH=\"160\" HEIGHT=\"120\"></A>\r\n<div class=\"com\">\r\n</div>\r\n"
                   "<div class=\"time_stamp\"></div></TD>\r\n\r\n</TR>\r\n\r\n<TR><!-- 3行目 -->"),
        std::string::npos);
    EXPECT_NE(cover.find("</TD>\r\n\r\n\r\n</TR>\r\n\r\n</TABLE>"), std::string::npos);
    EXPECT_EQ(filesUnder(album.dir.path() / "images").size(), 20u);
}

TEST(Pages, EightPicturesInFourColumnsEndWithACompleteRow)
{
    Album album;
    album.addPictures(8);
    album.write();
    const std::string cover = album.text("index.htm");
    EXPECT_EQ(count(cover, "<TR>"), 2u);
    EXPECT_EQ(count(cover, "</TR>"), 2u);
    EXPECT_EQ(cover.find("3行目"), std::string::npos);
    EXPECT_NE(cover.find("</TD>\r\n\r\n</TR>\r\n\r\n</TABLE><!-- テーブル終了 -->"), std::string::npos);
}

TEST(Pages, NoPicturesStillWritesTheCover)
{
    Album album;
    album.write();
    const std::string cover = album.text("index.htm");
    // Row 1 is opened and, with no cell, never closed.
    EXPECT_NE(cover.find("<TR><!-- 1行目 -->\r\n\r\n</TABLE><!-- テーブル終了 -->"), std::string::npos);
    EXPECT_EQ(count(cover, "</TR>"), 0u);
    EXPECT_EQ(filesUnder(album.dir.path()), std::set<std::string> { "index.htm" });
}

TEST(Pages, ZeroColumnsCountAsOne)
{
    Album album;
    album.settings.store(OptionId::csCol, 0);
    album.addPictures(3);
    album.write();
    const std::string cover = album.text("index.htm");
    EXPECT_EQ(count(cover, "<TR>"), 3u);
    EXPECT_EQ(count(cover, "</TR>"), 3u);
    EXPECT_EQ(cover.find("4行目"), std::string::npos);
    EXPECT_NE(cover.find("</TD>\r\n\r\n</TR>\r\n\r\n<TR><!-- 2行目 -->\r\n\r\n<TD"), std::string::npos);
}

TEST(Pages, NavigationWrapsAroundAndSlideshowEndsOnTheCover)
{
    Album album;
    album.addPictures(3);
    album.write();
    const std::string first = album.text("images/0000.htm");
    EXPECT_NE(first.find("HREF=\"0002.htm\">最後の画像</A>"), std::string::npos);
    EXPECT_NE(first.find("HREF=\"0001.htm\">次の画像</A>"), std::string::npos);
    const std::string middle = album.text("images/0001.htm");
    EXPECT_NE(middle.find("HREF=\"0000.htm\">前の画像</A>"), std::string::npos);
    EXPECT_NE(middle.find("HREF=\"0002.htm\">次の画像</A>"), std::string::npos);
    const std::string last = album.text("images/0002.htm");
    EXPECT_NE(last.find("HREF=\"0001.htm\">前の画像</A>"), std::string::npos);
    EXPECT_NE(last.find("HREF=\"0000.htm\">最初の画像</A>"), std::string::npos);
    EXPECT_NE(last.find("<link rel=\"next\" href=\"./0003.htm\">"), std::string::npos);
    // Both bars on every page.
    EXPECT_EQ(count(middle, "画像一覧に戻る"), 2u);

    EXPECT_NE(album.text("images/0000s.htm").find("Content=\"5; URL=0001s.htm\""), std::string::npos);
    EXPECT_NE(album.text("images/0001s.htm").find("Content=\"5; URL=0002s.htm\""), std::string::npos);
    EXPECT_NE(album.text("images/0002s.htm").find("Content=\"5; URL=../index.htm\""), std::string::npos);
}

TEST(Pages, EveryLinkLeadsToAWrittenFileWhateverTheExtension)
{
    for (const std::string ext : { ".html", ".x.htm", "htm" }) {
        SCOPED_TRACE(ext);
        Album album;
        album.settings.store(OptionId::edFileExt, ext);
        album.settings.store(OptionId::csSlideTime, 7);
        album.addPictures(3);
        album.write();
        EXPECT_TRUE(fs::exists(album.dir.path() / ("index" + ext)));
        EXPECT_TRUE(fs::exists(album.dir.path() / "images" / ("0002s" + ext)));

        // Follow the cover's links, the bars and the slideshow chain.
        const std::regex link(R"re((?:HREF="|URL=)([^"]+)")re");
        std::vector<std::pair<fs::path, std::string>> pages { { album.dir.path(), "index" + ext } };
        for (int i = 0; i < 3; ++i) {
            pages.push_back({ album.dir.path() / "images", generate::pictureNumber(i) + ext });
            pages.push_back({ album.dir.path() / "images", generate::pictureNumber(i) + "s" + ext });
        }
        std::size_t checked = 0;
        for (const auto &[folder, name] : pages) {
            const std::string text = album.text(fs::relative(folder / name, album.dir.path()).string());
            ASSERT_FALSE(text.empty()) << name;
            for (std::sregex_iterator it(text.begin(), text.end(), link), end; it != end; ++it) {
                const std::string target = (*it)[1];
                if (target.starts_with("http") || target == "../index.htm")
                    continue; // the maker's site; the default button beyond the album
                EXPECT_TRUE(fs::exists(folder / target)) << name << " links " << target;
                ++checked;
            }
            if (name.find("s" + ext) != std::string::npos) {
                EXPECT_NE(text.find("Content=\"7; URL="), std::string::npos) << name;
            }
        }
        EXPECT_GT(checked, 20u);
    }
}

TEST(Pages, SourcePictureAsMainPictureOnBothPageKinds)
{
    Album album;
    album.settings.store(OptionId::cbMainOrigin, true);
    album.entries.push_back({ "/photos/旅/a.jpg", "", "" });
    album.sizes.push_back({ 480, 640, 120, 160 });
    album.write();
    const std::string line = "<IMG CLASS=\"html_album\" ALT=\"a.jpg\" SRC=\"/photos/旅/a.jpg\" WIDTH=\"480\" "
                             "HEIGHT=\"640\"></P>";
    EXPECT_NE(album.text("images/0000.htm").find(line), std::string::npos);
    EXPECT_NE(album.text("images/0000s.htm").find(line), std::string::npos);
    // The cover still shows the thumbnail, named after the main picture.
    EXPECT_NE(album.text("index.htm").find("ALT=\"img0000.jpg\" SRC=\"thumb/img0000_t.jpg\" WIDTH=\"120\""),
        std::string::npos);
}

TEST(Pages, MainPictureNamesItsSourceOrderPerPageKind)
{
    Album album;
    album.addPictures(2);
    album.write();
    EXPECT_NE(
        album.text("images/0001.htm").find("ALT=\"img0001.jpg\" SRC=\"img0001.jpg\""), std::string::npos);
    EXPECT_NE(
        album.text("images/0001s.htm").find("SRC=\"img0001.jpg\" ALT=\"img0001.jpg\""), std::string::npos);
}

TEST(Pages, OptionalPartsLeftOut)
{
    Album album;
    for (auto id : { OptionId::cbBT2,
             OptionId::cbMakeSlide,
             OptionId::cbMemo,
             OptionId::cbTimeStamp,
             OptionId::ViewTavuri })
        album.settings.store(id, false);
    album.addPictures(1);
    album.write();
    const std::string cover = album.text("index.htm");
    EXPECT_NE(cover.find("</BLOCKQUOTE>\r\n\r\n<HR>\r\n\r\n<TABLE"), std::string::npos);
    EXPECT_TRUE(cover.ends_with("</BLOCKQUOTE>\r\n\r\n<HR>\r\n\r\n\r\n\r\n<HR></BODY>\r\n</HTML>\r\n"));
    EXPECT_EQ(cover.find("class=\"com\""), std::string::npos);
    EXPECT_EQ(cover.find("time_stamp"), std::string::npos);
    EXPECT_FALSE(fs::exists(album.dir.path() / "images/0000s.htm"));
    // Between the two rules only the picture line.
    EXPECT_NE(
        album.text("images/0000.htm")
            .find(
                "</div>\r\n\r\n<HR>\r\n<!-- 表示画像 --><P>\r\n<IMG CLASS=\"html_album\" ALT=\"img0000.jpg\" "
                "SRC=\"img0000.jpg\" WIDTH=\"640\" HEIGHT=\"480\"></P>\r\n\r\n\r\n<HR>\r\n<div"),
        std::string::npos);
}

TEST(Pages, AllButtonsAndUnwrappedCells)
{
    Album album;
    album.settings.store(OptionId::cbBT1, true);
    album.settings.store(OptionId::cbBT3, true);
    album.settings.store(OptionId::edBt1URL, std::string("a.htm"));
    album.settings.store(OptionId::edBt3URL, std::string("c.htm"));
    album.settings.store(OptionId::cbNowrap, true);
    album.addPictures(1);
    album.write();
    const std::string cover = album.text("index.htm");
    const std::string bar
        = "<A CLASS=\"button\" HREF=\"a.htm\">前のアルバム</A>　<A CLASS=\"button\" "
          "HREF=\"../index.htm\">戻る</A>　<A CLASS=\"button\" HREF=\"c.htm\">次のアルバム</A>";
    EXPECT_NE(cover.find("<HR><div class=\"button\">" + bar + "</div>\r\n<HR>\r\n"), std::string::npos);
    EXPECT_NE(cover.find("<HR>\r\n\r\n<div class=\"button\">" + bar
                  + "</div>\r\n\r\n\r\n<HR><div class=\"tavuri\">"),
        std::string::npos);
    EXPECT_NE(cover.find("<TD CLASS=\"html_album\" NOWRAP>\r\n"), std::string::npos);
}

TEST(Pages, NamedStyleSheetLinkedFromEveryPage)
{
    Album album;
    album.settings.store(OptionId::edCSS, std::string("album.css"));
    album.addPictures(1);
    album.write();
    EXPECT_NE(album.text("index.htm").find("href=\"./album.css\""), std::string::npos);
    EXPECT_NE(album.text("images/0000.htm").find("href=\"../album.css\""), std::string::npos);
    EXPECT_NE(album.text("images/0000s.htm").find("href=\"../album.css\""), std::string::npos);
}

TEST(Pages, MissingImagesFolderStopsWithItsPageNamedAndNoCover)
{
    Album album;
    fs::remove(album.dir.path() / "images");
    album.addPictures(2);
    try {
        album.write();
        FAIL() << "no error";
    } catch (const base::UserError &e) {
        EXPECT_NE(std::string(e.what()).find(album.layout().picturePagePath(0)), std::string::npos)
            << e.what();
    }
    EXPECT_TRUE(filesUnder(album.dir.path()).empty());
}

TEST(Pages, ShortSizeTableIsRefusedBeforeWriting)
{
    Album album;
    album.addPictures(2);
    album.sizes.pop_back();
    EXPECT_THROW(album.write(), std::invalid_argument);
    EXPECT_TRUE(filesUnder(album.dir.path()).empty());
}

TEST(Pages, ScreenOptionsChangeOnlyWhatTheyAreFor)
{
    // Each row's files are checked for pieces that must and must not be there; the default row
    // guards that none of them leaks into an album that asks for nothing.
    struct Row {
        const char *name;
        std::vector<std::pair<OptionId, album::OptionValue>> options;
        std::map<std::string, std::vector<std::string>> present;
        std::vector<std::string> absentEverywhere;
    };
    const std::string viewport
        = "charset=Shift_JIS\">\r\n<META NAME=\"viewport\" CONTENT=\"width=device-width, "
          "initial-scale=1\">\r\n";
    const std::vector<Row> rows = {
        { "default",
            {},
            { { "index.htm", { "ALT=\"img0000.jpg\"" } } },
            { "viewport", "<SCRIPT", "一時停止", "@media" } },
        { "phone",
            { { OptionId::cbPhone, true } },
            { { "index.htm", { viewport } },
                { "images/0000.htm", { viewport } },
                { "images/0000s.htm", { viewport } },
                // 4 columns of 160 px cells with 2 px padding, 1 px borders and spacing, and the margins
                { "default.css",
                    { "max-width : 100%;",
                        "@media screen and (max-width : 687px)",
                        "min-height : 44px;",
                        "\tdiv.com_big {\r\n\t\tfont-size : 16px;" } } },
            { "<SCRIPT", "一時停止" } },
        { "keyboard, touch and screen readers",
            { { OptionId::cbAccess, true } },
            { { "index.htm",
                  { "ALT=\"夕焼け &quot;赤&quot;\" SRC=\"thumb/img0000_t.jpg\"", "ALT=\"p1.jpg\"" } },
                { "images/0000.htm",
                    { "<TITLE>旅行 - 夕焼け &quot;赤&quot; (1 / 2)</TITLE>",
                        "})(\"0001.htm\", \"0001.htm\");",
                        "ALT=\"夕焼け &quot;赤&quot;\" SRC=\"img0000.jpg\"" } },
                { "images/0001.htm", { "<TITLE>旅行 (2 / 2)</TITLE>", "})(\"0000.htm\", \"0000.htm\");" } },
                { "images/0000s.htm",
                    { "<A CLASS=\"button\" HREF=\"0000.htm\">一時停止</A></div>",
                        "prefers-reduced-motion" } } },
            { "viewport", "@media", "img0000.jpg\" SRC=\"thumb" } },
        { "UTF-8",
            { { OptionId::cbUTF8, true } },
            { { "index.htm", { "charset=UTF-8" } } },
            { "Shift_JIS" } },
    };
    const std::vector<std::string> files
        = { "index.htm", "images/0000.htm", "images/0001.htm", "images/0000s.htm", "default.css" };
    std::map<std::string, std::string> defaults;
    const auto asUtf8 = [](const std::string &cp932Bytes) {
        std::string text = base::cp932::decode(cp932Bytes).value_or(std::string());
        if (const auto at = text.find("charset=Shift_JIS"); at != std::string::npos)
            text.replace(at + 8, 9, "UTF-8");
        return text;
    };
    for (const int density : { 1, 3 }) {
        for (const Row &row : rows) {
            SCOPED_TRACE(std::string(row.name) + ", density " + std::to_string(density));
            Album album;
            album.entries = { { "/photos/p0.jpg", "<B>夕焼け</B> \"赤\"\r\n二行目\r\n", "" },
                { "/photos/p1.jpg", "", "" } };
            album.sizes = { { 640, 480, 160, 120 }, { 640, 480, 160, 120 } };
            album.settings.store(OptionId::csDensity, density);
            for (const auto &[id, value] : row.options)
                album.settings.store(id, value);
            album.write();
            const auto values = generate::fixRunValues(album.settings);
            generate::writeStyleSheet(album.layout(), album.settings, values);
            const bool utf8 = album.settings.checked(OptionId::cbUTF8);
            for (const std::string &file : files) {
                const std::string bytes = test::readFile(album.dir.path() / file);
                // UTF-8 pages are the CP932 pages' text, encoded the other way.
                const std::string text = utf8 ? bytes : album.text(file);
                if (utf8) {
                    EXPECT_EQ(bytes, asUtf8(defaults.at(file))) << file;
                }
                // The density changes the pictures' pixels, never the pages.
                if (density == 1 && row.options.empty()) {
                    defaults[file] = bytes;
                } else if (row.options.empty()) {
                    EXPECT_EQ(bytes, defaults.at(file)) << file;
                }
                for (const std::string &piece :
                    row.present.contains(file) ? row.present.at(file) : std::vector<std::string> {})
                    EXPECT_NE(text.find(piece), std::string::npos) << file << " lacks " << piece;
                for (const std::string &piece : row.absentEverywhere)
                    EXPECT_EQ(text.find(piece), std::string::npos) << file << " holds " << piece;
            }
        }
    }
}
