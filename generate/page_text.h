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
/// Picture and slideshow pages carry this line between H2 and H3.
inline constexpr std::string_view kHeadScriptType
    = "<META HTTP-EQUIV=\"Content-Script-Type\" content=\"text/javascript\">\n";

/// H3: the generator line naming the maker's site.
[[nodiscard]] std::string generatorLine();
/// H4: the author's address.
[[nodiscard]] std::string authorLine(std::string_view revMade);

/// The closing rule and end of page; with the maker's link when `withMakerLink` (ViewTavuri).
[[nodiscard]] std::string footer(bool withMakerLink);

} // namespace pictora::generate
