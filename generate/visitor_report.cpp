// SPDX-License-Identifier: MIT
#include "generate/visitor_report.h"

#include "album/image_list.h"
#include "album/settings.h"
#include "imaging/capture_time.h"

#include <filesystem>
#include <system_error>

namespace pictora::generate
{

namespace
{

using album::OptionId;

/// Empty, or the stamp of an Exif block without a date.
bool noTimeStamp(const std::string &text)
{
    if (text == imaging::kNoCaptureTime)
        return true;
    for (const char c : text) {
        if (static_cast<unsigned char>(c) > 32)
            return false;
    }
    return true;
}

/// "%E6%97%85" as the bytes it stands for, as the browser asks the disk for them.
std::string percentDecoded(const std::string &text)
{
    const auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        return -1;
    };
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hex(text[i + 1]) >= 0 && hex(text[i + 2]) >= 0) {
            out += static_cast<char>(hex(text[i + 1]) * 16 + hex(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

} // namespace

std::optional<std::string> localLinkTarget(const std::string &albumFolder, const std::string &url)
{
    const std::string path = percentDecoded(url.substr(0, url.find_first_of("?#")));
    // "http:", "mailto:" and the like; a colon after the first "/" is part of a path.
    const auto colon = path.find(':');
    if (path.empty() || path.front() == '/' || (colon != std::string::npos && colon < path.find('/')))
        return std::nullopt;
    return (std::filesystem::path(albumFolder) / path).lexically_normal().string();
}

std::string visitorReport(const std::string &albumFolder,
    const album::AlbumSettings &settings,
    const std::vector<album::ImageEntry> &entries,
    const std::vector<std::size_t> &unreadable)
{
    std::string lines;
    const struct {
        OptionId shown, face, url;
    } buttons[] = {
        { OptionId::cbBT1, OptionId::edBt1Face, OptionId::edBt1URL },
        { OptionId::cbBT2, OptionId::edBt2Face, OptionId::edBt2URL },
        { OptionId::cbBT3, OptionId::edBt3Face, OptionId::edBt3URL },
    };
    for (const auto &button : buttons) {
        if (!settings.checked(button.shown))
            continue;
        const std::string &url = settings.text(button.url);
        const std::optional<std::string> target = localLinkTarget(albumFolder, url);
        std::error_code ec;
        if (target && !std::filesystem::exists(*target, ec))
            lines += "・ボタン「" + settings.text(button.face) + "」のリンク先「" + url
                + "」がアルバムの隣にありません。(" + *target + ")\n";
    }
    if (settings.checked(OptionId::cbTimeStamp)) {
        std::size_t missing = 0;
        for (const auto &entry : entries)
            missing += noTimeStamp(entry.timeStamp) ? 1 : 0;
        if (missing > 0)
            lines += "・タイムスタンプのない画像が " + std::to_string(missing) + " 枚あります。\n";
    }
    if (!unreadable.empty()) {
        constexpr std::size_t kNamed = 5;
        lines += "・読み込めなかった画像が " + std::to_string(unreadable.size()) + " 枚あります:";
        for (std::size_t k = 0; k < unreadable.size() && k < kNamed; ++k)
            lines += (k == 0 ? " " : ", ") + album::fileNamePart(entries.at(unreadable[k]).path);
        if (unreadable.size() > kNamed)
            lines += " ほか " + std::to_string(unreadable.size() - kNamed) + " 枚";
        lines += "\n";
    }
    if (lines.empty())
        return {};
    return "アルバムを作成しました。閲覧する人のために、次の点を確かめてください。\n" + lines;
}

} // namespace pictora::generate
