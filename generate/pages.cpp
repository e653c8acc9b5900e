// SPDX-License-Identifier: MIT
#include "generate/pages.h"

#include "album/image_list.h"
#include "album/settings.h"
#include "base/errors.h"
#include "base/file_messages.h"
#include "generate/ordered_pool.h"
#include "generate/page_text.h"
#include "generate/text_writer.h"

#include <algorithm>
#include <cerrno>
#include <new>
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

std::string headCharset(const album::AlbumSettings &settings)
{
    return charsetLines(settings.checked(OptionId::cbUTF8), settings.checked(OptionId::cbPhone));
}

/// The lines every picture and slideshow page starts with, up to its "next" link.
std::string pageHead(const album::AlbumSettings &settings)
{
    return std::string(kHeadStart) + headCharset(settings) + std::string(kHeadScriptType) + generatorLine()
        + authorLine(settings.text(OptionId::edRevMade));
}

bool forAccess(const album::AlbumSettings &settings)
{
    return settings.checked(OptionId::cbAccess);
}

/// What a screen reader says for a picture: its comment's first line, else its source's file name.
std::string describedPicture(const album::ImageEntry &entry)
{
    std::string line = firstCommentLine(entry.comment);
    return line.empty() ? plainText(album::fileNamePart(entry.path)) : line;
}

/// A page name inside a script's string: an extension may hold a quote, and "</" would end the script.
std::string scriptString(const std::string &text)
{
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        if (c == '<')
            out += "\\x3C";
        else
            out += c;
    }
    return out + "\"";
}

/// ←/→ and a horizontal swipe go to the previous / next page; the links do the same without script.
/// A swipe while the page is zoomed in only pans it.
std::string keyScript(const std::string &previous, const std::string &next)
{
    return "<SCRIPT TYPE=\"text/javascript\"><!--\n"
           "(function (prev, next) {\n"
           "\tdocument.onkeydown = function (e) {\n"
           "\t\te = e || window.event;\n"
           "\t\tif (e.altKey || e.ctrlKey || e.metaKey || e.shiftKey) return;\n"
           "\t\tvar k = e.key || e.keyCode;\n"
           "\t\tif (k == \"ArrowLeft\" || k == 37) location.href = prev;\n"
           "\t\telse if (k == \"ArrowRight\" || k == 39) location.href = next;\n"
           "\t};\n"
           "\tif (!document.addEventListener) return;\n"
           "\tvar x = null, y = 0;\n"
           "\tdocument.addEventListener(\"touchstart\", function (e) {\n"
           "\t\tvar zoomed = window.visualViewport && window.visualViewport.scale > 1.01;\n"
           "\t\tx = (e.touches.length == 1 && !zoomed) ? e.touches[0].clientX : null;\n"
           "\t\tif (x !== null) y = e.touches[0].clientY;\n"
           "\t}, false);\n"
           "\tdocument.addEventListener(\"touchend\", function (e) {\n"
           "\t\tif (x === null || e.changedTouches.length != 1) return;\n"
           "\t\tvar dx = e.changedTouches[0].clientX - x, dy = e.changedTouches[0].clientY - y;\n"
           "\t\tx = null;\n"
           "\t\tif (Math.abs(dx) > 50 && Math.abs(dx) > 2 * Math.abs(dy)) location.href = dx < 0 ? next : "
           "prev;\n"
           "\t}, false);\n"
           "})("
        + scriptString(previous) + ", " + scriptString(next)
        + ");\n"
          "// --></SCRIPT>\n";
}

/// A slideshow that honours a visitor's wish for less motion: once the page has loaded, the pending
/// refresh is stopped and the picture stays.
constexpr std::string_view kStillSlideScript
    = "<SCRIPT TYPE=\"text/javascript\"><!--\n"
      "if (window.matchMedia && window.matchMedia(\"(prefers-reduced-motion: reduce)\").matches)\n"
      "\twindow.addEventListener(\"load\", function () { window.stop(); }, false);\n"
      "// --></SCRIPT>\n";

std::string pageStyleSheetLine(const AlbumLayout &layout)
{
    return "<link rel=\"stylesheet\" href=\"../" + layout.styleSheetName() + "\" type=\"text/css\">\n";
}

std::string titleAndBodyStart(const std::string &title)
{
    return "<TITLE>" + title + "</TITLE>\n</HEAD>\n<BODY CLASS=\"html_album\">\n\n";
}

/// A picture page's title: for screen readers and tabs it tells the picture apart from its
/// neighbours ("旅行 - 夕焼け (3 / 12)").
std::string pageTitle(const album::AlbumSettings &settings, const album::ImageEntry &entry, int i, int n)
{
    const std::string &title = settings.text(OptionId::edTitle);
    if (!forAccess(settings))
        return title;
    const std::string line = firstCommentLine(entry.comment);
    return title + (line.empty() ? "" : " - " + line) + " (" + std::to_string(i + 1) + " / "
        + std::to_string(n) + ")";
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
    PictureReference ref;
    if (settings.checked(OptionId::cbMainOrigin))
        ref = { entry.path, album::fileNamePart(entry.path) };
    else
        ref = { AlbumLayout::mainPictureName(i), AlbumLayout::mainPictureName(i) };
    if (forAccess(settings))
        ref.alt = describedPicture(entry);
    return ref;
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

/// The slideshow's bar: back to the cover and, for keyboard and screen-reader users, a pause that
/// leaves the show for the picture's own page, where nothing moves on.
std::string slideBar(const AlbumLayout &layout, const album::AlbumSettings &settings, int i)
{
    std::string bar = backToCoverButton(layout);
    if (forAccess(settings))
        bar += "　<A CLASS=\"button\" HREF=\"" + layout.picturePageName(i) + "\">一時停止</A>";
    return bar;
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
    std::string text = std::string(kHeadStart) + headCharset(settings) + generatorLine()
        + authorLine(settings.text(OptionId::edRevMade));
    text += "<link rel=\"next\" href=\"./images/0000" + layout.fileExt() + "\">\n";
    text += "<link rel=\"stylesheet\" href=\"./" + layout.styleSheetName() + "\" type=\"text/css\">\n";
    text += titleAndBodyStart(settings.text(OptionId::edTitle));
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
    const std::string alt = forAccess(settings) ? describedPicture(entry) : AlbumLayout::mainPictureName(i);
    cell += "<A CLASS=\"html_album\" HREF=\"images/" + pictureNumber(i)
        + album::fileNamePart(layout.fileExt()) + "\"><IMG CLASS=\"html_album\" ALT=\"" + alt
        + "\" SRC=\"thumb/" + AlbumLayout::thumbnailName(i) + "\" WIDTH=\"" + std::to_string(size.thumbWidth)
        + "\" HEIGHT=\"" + std::to_string(size.thumbHeight) + "\"></A>\n";
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
    if (forAccess(settings))
        text += keyScript(
            layout.picturePageName(i > 0 ? i - 1 : n - 1), layout.picturePageName(i < n - 1 ? i + 1 : 0));
    text += titleAndBodyStart(pageTitle(settings, entry, i, n));
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
    if (forAccess(settings))
        text += kStillSlideScript;
    text += titleAndBodyStart(pageTitle(settings, entry, i, n));
    text += "<HR><div class=\"button\">" + slideBar(layout, settings, i) + "</div>";
    text += "\n\n<HR>\n";
    text += commentParagraph(settings, entry);
    text += settings.checked(OptionId::cbMainOrigin) ? pictureLineAltFirst(ref, size)
                                                     : pictureLineSrcFirst(ref, size);
    text += timeStampParagraph(settings, entry);
    text += "\n\n<HR>\n";
    text += "<div class=\"button\">" + slideBar(layout, settings, i) + "</div>";
    text += footer(settings.checked(OptionId::ViewTavuri));
    return text;
}

void writePages(const AlbumLayout &layout,
    const album::AlbumSettings &settings,
    const std::vector<album::ImageEntry> &entries,
    const PictureSizes &sizes,
    const RunValues &,
    int workers)
{
    checkSizes(entries, sizes);
    // The column spin edit goes down to 0; a table needs at least one column.
    const int columns = std::max(1, settings.number(OptionId::csCol));
    const int n = static_cast<int>(entries.size());
    const bool slideshow = settings.checked(OptionId::cbMakeSlide);

    // Opened first so that an unwritable album folder stops a first make before any page is written;
    // a page that already holds its text is left as it is.
    const TextEncoding encoding = pageEncoding(settings);
    TextFile cover(layout.indexPath(), encoding);
    cover.write(coverHead(layout, settings));
    int row = 1;
    cover.write(rowStart(row));
    // The pages of the pictures on the workers, each cell of the cover once its pages are there.
    runInOrder<std::string>(
        entries.size(),
        workers,
        [&](std::size_t picture) -> std::string {
            const int i = static_cast<int>(picture);
            try {
                writeTextFile(layout.picturePagePath(i),
                    picturePageText(layout, settings, entries, sizes, i),
                    encoding);
                if (slideshow)
                    writeTextFile(layout.slidePagePath(i),
                        slidePageText(layout, settings, entries, sizes, i),
                        encoding);
            } catch (const base::UserError &e) {
                return e.what();
            } catch (const std::bad_alloc &) {
                return base::cannotWriteMessage(layout.picturePagePath(i), base::systemReason(ENOMEM));
            }
            return {};
        },
        [&](std::size_t picture, std::string &failure) {
            if (!failure.empty())
                throw base::UserError(failure);
            const int i = static_cast<int>(picture);
            cover.write(coverCell(layout, settings, entries[picture], sizes[picture], i));
            if ((i + 1) % columns == 0) {
                ++row;
                cover.write("</TR>\n\n");
                if (i < n - 1)
                    cover.write(rowStart(row));
            }
        });
    if (n % columns != 0)
        cover.write("\n</TR>\n\n");
    cover.write(coverTail(settings));
    cover.commit();
}

} // namespace pictora::generate
