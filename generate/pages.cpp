// SPDX-License-Identifier: MIT
#include "generate/pages.h"

#include "album/image_list.h"
#include "album/settings.h"
#include "generate/page_text.h"
#include "generate/text_writer.h"

#include <algorithm>
#include <stdexcept>

namespace pictora::generate
{

namespace
{

using album::OptionId;

void checkSizes(const std::vector<album::ImageEntry> &entries, const PictureSizes &sizes)
{
    if (sizes.size() < entries.size())
        throw std::invalid_argument("the size table has fewer rows than the image list");
}

std::string quoted(const std::string &text)
{
    return "\"" + text + "\"";
}

/// The lines every picture and slideshow page starts with, up to its "next" link.
std::string pageHead(const album::AlbumSettings &settings)
{
    return std::string(kHeadStart) + std::string(kHeadCharset) + std::string(kHeadScriptType)
        + generatorLine() + authorLine(settings.text(OptionId::edRevMade));
}

std::string pageStyleSheetLine(const AlbumLayout &layout)
{
    return "<link rel=\"stylesheet\" href=\"../" + layout.styleSheetName() + "\" type=\"text/css\">\n";
}

std::string titleAndBodyStart(const album::AlbumSettings &settings)
{
    return "<TITLE>" + settings.text(OptionId::edTitle)
        + "</TITLE>\n</HEAD>\n<BODY CLASS=\"html_album\">\n\n";
}

std::string commentParagraph(const album::AlbumSettings &settings, const album::ImageEntry &entry)
{
    if (!settings.checked(OptionId::cbMemo))
        return {};
    return "<!-- コメント --><P>\n" + convertComment(entry.comment) + "</P>\n";
}

std::string timeStampParagraph(const album::AlbumSettings &settings, const album::ImageEntry &entry)
{
    if (!settings.checked(OptionId::cbTimeStamp))
        return {};
    return "<P>" + entry.timeStamp + "</P>";
}

/// SRC and ALT of the shown picture: the source file itself, or the main picture next to the page.
struct PictureReference {
    std::string src;
    std::string alt;
};

PictureReference pictureReference(const album::AlbumSettings &settings, const album::ImageEntry &entry, int i)
{
    if (settings.checked(OptionId::cbMainOrigin))
        return { entry.path, album::fileNamePart(entry.path) };
    const std::string name = AlbumLayout::mainPictureName(i);
    return { name, name };
}

std::string pictureLineAltFirst(const PictureReference &ref, const SizeRow &size)
{
    return "<!-- 表示画像 --><P>\n<IMG CLASS=\"html_album\" ALT=" + quoted(ref.alt)
        + " SRC=" + quoted(ref.src) + " WIDTH=" + quoted(std::to_string(size.mainWidth))
        + " HEIGHT=" + quoted(std::to_string(size.mainHeight)) + "></P>\n";
}

std::string pictureLineSrcFirst(const PictureReference &ref, const SizeRow &size)
{
    return "<!-- 表示画像 --><P>\n<IMG CLASS=\"html_album\" SRC=" + quoted(ref.src)
        + " ALT=" + quoted(ref.alt) + " WIDTH=" + quoted(std::to_string(size.mainWidth))
        + " HEIGHT=" + quoted(std::to_string(size.mainHeight)) + "></P>\n";
}

std::string navigationBar(const AlbumLayout &layout, int i, int n)
{
    const std::string &ext = layout.fileExt();
    std::string bar;
    if (i > 0)
        bar += "<A CLASS=\"button\" HREF=\"" + pictureNumber(i - 1) + ext + "\">前の画像</A>";
    else
        bar += "<A CLASS=\"button\" HREF=\"" + pictureNumber(n - 1) + ext + "\">最後の画像</A>";
    bar += "　<A CLASS=\"button\" HREF=\"../" + layout.indexName() + "\">画像一覧に戻る</A>　";
    if (i < n - 1)
        bar += "<A CLASS=\"button\" HREF=\"" + pictureNumber(i + 1) + ext + "\">次の画像</A>";
    else
        bar += "<A CLASS=\"button\" HREF=\"0000" + ext + "\">最初の画像</A>";
    return bar;
}

std::string backToCoverButton(const AlbumLayout &layout)
{
    return "<A CLASS=\"button\" HREF=\"../" + layout.indexName() + "\">画像一覧に戻る</A>";
}

std::string buttonBar(const album::AlbumSettings &settings)
{
    const auto button = [&settings](OptionId url, OptionId face) {
        return "<A CLASS=\"button\" HREF=\"" + settings.text(url) + "\">" + settings.text(face) + "</A>";
    };
    std::string bar;
    if (settings.checked(OptionId::cbBT1))
        bar += button(OptionId::edBt1URL, OptionId::edBt1Face) + "　";
    if (settings.checked(OptionId::cbBT2))
        bar += button(OptionId::edBt2URL, OptionId::edBt2Face);
    if (settings.checked(OptionId::cbBT3))
        bar += "　" + button(OptionId::edBt3URL, OptionId::edBt3Face);
    return bar;
}

bool anyButton(const album::AlbumSettings &settings)
{
    return settings.checked(OptionId::cbBT1) || settings.checked(OptionId::cbBT2)
        || settings.checked(OptionId::cbBT3);
}

std::string commentBlock(std::string_view heading, const std::string &comment)
{
    return "<!-- " + std::string(heading) + " -->\n<BLOCKQUOTE><div class=\"com_big\">\n"
        + convertComment(comment) + "</div>\n</BLOCKQUOTE>\n\n";
}

std::string coverHead(const AlbumLayout &layout, const album::AlbumSettings &settings)
{
    std::string text = std::string(kHeadStart) + std::string(kHeadCharset) + generatorLine()
        + authorLine(settings.text(OptionId::edRevMade));
    text += "<link rel=\"next\" href=\"./images/0000" + layout.fileExt() + "\">\n";
    text += "<link rel=\"stylesheet\" href=\"./" + layout.styleSheetName() + "\" type=\"text/css\">\n";
    text += titleAndBodyStart(settings);
    text
        += "<!-- ページタイトル -->\n<div class=\"title\">" + settings.text(OptionId::edTitle) + "</div>\n\n";
    text += commentBlock("コメント上段", settings.text(OptionId::mmComment));
    if (anyButton(settings))
        text += "<HR><div class=\"button\">" + buttonBar(settings) + "</div>\n";
    text += "<HR>\n\n";
    if (settings.checked(OptionId::cbMakeSlide))
        text += "\n<!-- スライドショウ開始ボタン -->\n<div class=\"button\"><A CLASS=\"button\" "
                "HREF=\"images/0000s"
            + layout.fileExt() + "\">スライドショウの開始</A></div>\n";
    text += "<TABLE CLASS=\"html_album\" SUMMARY=\"メイン一覧表\"><!-- テーブル開始 -->\n\n";
    return text;
}

std::string rowStart(int row)
{
    return "<TR><!-- " + std::to_string(row) + "行目 -->\n\n";
}

std::string coverCell(const AlbumLayout &layout,
    const album::AlbumSettings &settings,
    const album::ImageEntry &entry,
    const SizeRow &size,
    int i)
{
    std::string cell = settings.checked(OptionId::cbNowrap) ? "<TD CLASS=\"html_album\" NOWRAP>\n"
                                                            : "<TD CLASS=\"html_album\">\n";
    // The link takes only the extension's file-name part, as the page names do not.
    cell += "<A CLASS=\"html_album\" HREF=\"images/" + pictureNumber(i)
        + album::fileNamePart(layout.fileExt()) + "\"><IMG CLASS=\"html_album\" ALT=\""
        + AlbumLayout::mainPictureName(i) + "\" SRC=\"thumb/" + AlbumLayout::thumbnailName(i) + "\" WIDTH=\""
        + std::to_string(size.thumbWidth) + "\" HEIGHT=\"" + std::to_string(size.thumbHeight) + "\"></A>\n";
    if (settings.checked(OptionId::cbMemo))
        cell += "<div class=\"com\">\n" + convertComment(entry.comment) + "</div>\n";
    if (settings.checked(OptionId::cbTimeStamp))
        cell += "<div class=\"time_stamp\">" + entry.timeStamp + "</div>";
    cell += "</TD>\n\n";
    return cell;
}

std::string coverTail(const album::AlbumSettings &settings)
{
    std::string text = "</TABLE><!-- テーブル終了 -->\n\n<HR>\n\n";
    text += commentBlock("コメント下段", settings.text(OptionId::mmComment2));
    text += "<HR>\n\n";
    if (anyButton(settings))
        text += "<div class=\"button\">" + buttonBar(settings) + "</div>\n";
    text += footer(settings.checked(OptionId::ViewTavuri));
    return text;
}

} // namespace

std::string picturePageText(const AlbumLayout &layout,
    const album::AlbumSettings &settings,
    const std::vector<album::ImageEntry> &entries,
    const PictureSizes &sizes,
    int i)
{
    checkSizes(entries, sizes);
    const int n = static_cast<int>(entries.size());
    const auto &entry = entries.at(static_cast<std::size_t>(i));
    const std::string bar = navigationBar(layout, i, n);

    std::string text = pageHead(settings);
    text += "<link rel=\"next\" href=\"./" + pictureNumber(i + 1) + layout.fileExt() + "\">\n";
    text += pageStyleSheetLine(layout);
    text += titleAndBodyStart(settings);
    text += "<HR><div class=\"button\">" + bar + "</div>";
    text += "\n\n<HR>\n";
    text += commentParagraph(settings, entry);
    text += pictureLineAltFirst(pictureReference(settings, entry, i), sizes[static_cast<std::size_t>(i)]);
    text += timeStampParagraph(settings, entry);
    text += "\n\n<HR>\n";
    text += "<div class=\"button\">" + bar + "</div>";
    text += footer(settings.checked(OptionId::ViewTavuri));
    return text;
}

std::string slidePageText(const AlbumLayout &layout,
    const album::AlbumSettings &settings,
    const std::vector<album::ImageEntry> &entries,
    const PictureSizes &sizes,
    int i)
{
    checkSizes(entries, sizes);
    const int n = static_cast<int>(entries.size());
    const auto &entry = entries.at(static_cast<std::size_t>(i));
    const std::string slideTime = std::to_string(settings.number(OptionId::csSlideTime));
    const PictureReference ref = pictureReference(settings, entry, i);
    const SizeRow &size = sizes[static_cast<std::size_t>(i)];

    std::string text = pageHead(settings);
    text += "<link rel=\"next\" href=\"./" + layout.slidePageName(i + 1) + "\">\n";
    text += pageStyleSheetLine(layout);
    if (i < n - 1)
        text += "<META HTTP-EQUIV=\"Refresh\" Content=\"" + slideTime + "; URL=" + layout.slidePageName(i + 1)
            + "\">\n";
    else
        text += "<META HTTP-EQUIV=\"Refresh\" Content=\"" + slideTime + "; URL=../" + layout.indexName()
            + "\">\n";
    text += titleAndBodyStart(settings);
    text += "<HR><div class=\"button\">" + backToCoverButton(layout) + "</div>";
    text += "\n\n<HR>\n";
    text += commentParagraph(settings, entry);
    text += settings.checked(OptionId::cbMainOrigin) ? pictureLineAltFirst(ref, size)
                                                     : pictureLineSrcFirst(ref, size);
    text += timeStampParagraph(settings, entry);
    text += "\n\n<HR>\n";
    text += "<div class=\"button\">" + backToCoverButton(layout) + "</div>";
    text += footer(settings.checked(OptionId::ViewTavuri));
    return text;
}

void writePages(const AlbumLayout &layout,
    const album::AlbumSettings &settings,
    const std::vector<album::ImageEntry> &entries,
    const PictureSizes &sizes,
    const RunValues &)
{
    checkSizes(entries, sizes);
    // The column spin edit goes down to 0; a table needs at least one column.
    const int columns = std::max(1, settings.number(OptionId::csCol));
    const int n = static_cast<int>(entries.size());
    const bool slideshow = settings.checked(OptionId::cbMakeSlide);

    // Opened first so that an unwritable album folder stops the run before any page is written.
    TextFile cover(layout.indexPath());
    cover.write(coverHead(layout, settings));
    int row = 1;
    cover.write(rowStart(row));
    for (int i = 0; i < n; ++i) {
        writeTextFile(layout.picturePagePath(i), picturePageText(layout, settings, entries, sizes, i));
        if (slideshow)
            writeTextFile(layout.slidePagePath(i), slidePageText(layout, settings, entries, sizes, i));
        cover.write(coverCell(
            layout, settings, entries[static_cast<std::size_t>(i)], sizes[static_cast<std::size_t>(i)], i));
        if ((i + 1) % columns == 0) {
            ++row;
            cover.write("</TR>\n\n");
            if (i < n - 1)
                cover.write(rowStart(row));
        }
    }
    if (n % columns != 0)
        cover.write("\n</TR>\n\n");
    cover.write(coverTail(settings));
    cover.commit();
}

} // namespace pictora::generate
