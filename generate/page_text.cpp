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
