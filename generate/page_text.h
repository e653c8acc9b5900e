// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>

/// Text pieces that every page of an album shares. All texts are UTF-8 with "\n" line ends; the
/// text writer turns them into CP932 with CR LF.
namespace pictora::generate
{

/// A multi-line comment (lines separated by CR LF) as it goes into a page: line breaks become
/// "<BR>", trailing "<BR>"s and then trailing blanks and control characters are dropped. A
/// non-empty result keeps a CR LF after it, which the writer turns into CR CR LF on disk; an
/// empty result is empty. The text is not escaped: comments may carry HTML.
[[nodiscard]] std::string convertComment(std::string_view comment);

/// H1: document type, HTML and HEAD start.
inline constexpr std::string_view kHeadStart
    = "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\">\n<HTML LANG=\"ja\">\n<HEAD>\n";
/// H2: the character set the pages are written in.
inline constexpr std::string_view kHeadCharset
    = "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html;charset=Shift_JIS\">\n";
/// H2 of pages written in UTF-8.
inline constexpr std::string_view kHeadCharsetUtf8
    = "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html;charset=UTF-8\">\n";
/// Phone-ready pages declare the viewport right after H2, so that a phone lays them out at its own
/// width instead of a zoomed-out desktop one.
inline constexpr std::string_view kHeadViewport
    = "<META NAME=\"viewport\" CONTENT=\"width=device-width, initial-scale=1\">\n";
/// Picture and slideshow pages carry this line between H2 and H3.
inline constexpr std::string_view kHeadScriptType
    = "<META HTTP-EQUIV=\"Content-Script-Type\" content=\"text/javascript\">\n";

/// H2 in the pages' encoding, followed by the viewport line for phone-ready pages.
[[nodiscard]] std::string charsetLines(bool utf8, bool phone);

/// A comment's first line that holds any text, without its tags, fit for an ALT or a TITLE: quotes
/// and angle brackets are written as references. Empty when the comment holds no text.
[[nodiscard]] std::string firstCommentLine(std::string_view comment);
/// Text fit for an ALT or a TITLE: tags dropped, quotes and angle brackets as references, blanks
/// at both ends trimmed.
[[nodiscard]] std::string plainText(std::string_view text);

/// H3: the generator line naming the maker's site.
[[nodiscard]] std::string generatorLine();
/// H4: the author's address.
[[nodiscard]] std::string authorLine(std::string_view revMade);

/// The closing rule and end of page; with the maker's link when `withMakerLink` (ViewTavuri).
[[nodiscard]] std::string footer(bool withMakerLink);

} // namespace pictora::generate
