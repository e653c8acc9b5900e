// SPDX-License-Identifier: MIT
#include "generate/page_text.h"

#include "album/branding.h"

namespace pictora::generate
{

std::string convertComment(std::string_view comment)
{
    std::string text;
    text.reserve(comment.size() + 8);
    for (std::size_t i = 0; i < comment.size(); ++i) {
        if (comment[i] == '\r' && i + 1 < comment.size() && comment[i + 1] == '\n') {
            text += "<BR>";
            ++i;
        } else {
            text += comment[i];
        }
    }
    constexpr std::string_view kBreak = "<BR>";
    while (text.ends_with(kBreak))
        text.resize(text.size() - kBreak.size());
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= 32)
        text.pop_back();
    if (!text.empty())
        text += "\r\n";
    return text;
}

std::string charsetLines(bool utf8, bool phone)
{
    std::string lines(utf8 ? kHeadCharsetUtf8 : kHeadCharset);
    if (phone)
        lines += kHeadViewport;
    return lines;
}

std::string plainText(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '<') {
            const auto end = text.find('>', i);
            if (end != std::string_view::npos) {
                i = end;
                continue;
            }
            out += "&lt;";
        } else if (c == '>') {
            out += "&gt;";
        } else if (c == '"') {
            out += "&quot;";
        } else {
            out += c;
        }
    }
    const auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    while (!out.empty() && blank(out.back()))
        out.pop_back();
    std::size_t start = 0;
    while (start < out.size() && blank(out[start]))
        ++start;
    return out.substr(start);
}

std::string firstCommentLine(std::string_view comment)
{
    while (!comment.empty()) {
        const auto end = comment.find_first_of("\r\n");
        std::string line = plainText(comment.substr(0, end));
        if (!line.empty() || end == std::string_view::npos)
            return line;
        comment.remove_prefix(end + 1);
    }
    return {};
}

std::string generatorLine()
{
    return std::string("<META NAME=\"generator\" content=\"Pictora(") + branding::kSiteUrl + ")\">\n";
}

std::string authorLine(std::string_view revMade)
{
    return "<link rev=\"made\" href=\"mailto:" + std::string(revMade) + "\">\n";
}

std::string footer(bool withMakerLink)
{
    if (!withMakerLink)
        return "\n\n<HR></BODY>\n</HTML>\n";
    return std::string("\n\n<HR><div class=\"tavuri\">Powered by TAVURI.</div><div class=\"tavuri\">"
                       "<A CLASS=\"html_album\" HREF=\"")
        + branding::kSiteUrl + "\">" + branding::kSiteHost + "</A></div></BODY>\n</HTML>\n";
}

} // namespace pictora::generate
