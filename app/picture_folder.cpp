// SPDX-License-Identifier: MIT
#include "app/picture_folder.h"

#include "base/errors.h"
#include "base/file_messages.h"
#include "project/project_writer.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string_view>

namespace pictora::app
{

namespace fs = std::filesystem;

namespace
{

std::string lowerAscii(std::string_view text)
{
    std::string lower(text);
    std::ranges::transform(lower, lower.begin(), [](unsigned char c) { return std::tolower(c); });
    return lower;
}

/// The patterns of the filter's first entry, "*.jpg" ... in lower case.
std::vector<std::string> firstEntryPatterns()
{
    const std::string_view filter(album::kOpenPictureFilter);
    const auto begin = filter.find('|') + 1;
    const auto end = filter.find('|', begin);
    std::vector<std::string> patterns;
    std::string_view rest = filter.substr(begin, end - begin);
    while (!rest.empty()) {
        const auto semicolon = rest.find(';');
        patterns.push_back(lowerAscii(rest.substr(0, semicolon)));
        rest = semicolon == std::string_view::npos ? std::string_view() : rest.substr(semicolon + 1);
    }
    return patterns;
}

std::string fullPath(const fs::path &path)
{
    std::error_code ec;
    const fs::path absolute = fs::absolute(path, ec);
    return (ec ? path : absolute).lexically_normal().string();
}

/// The full path of a picture the project can keep and find again.
std::string storablePath(const fs::path &path)
{
    std::string full = fullPath(path);
    if (const std::optional<std::string> refused = project::unstorablePathMessage(full))
        throw base::UserError(*refused);
    return full;
}

} // namespace

bool isOpenablePictureName(const std::string &path)
{
    static const std::vector<std::string> patterns = firstEntryPatterns();
    const std::string name = lowerAscii(fs::path(path).filename().string());
    return std::ranges::any_of(patterns, [&name](const std::string &pattern) {
        const std::string_view suffix = std::string_view(pattern).substr(1); // after "*"
        return name.size() > suffix.size() && name.ends_with(suffix);
    });
}

std::vector<std::string> picturesNamedBy(const std::vector<std::string> &arguments)
{
    std::vector<std::string> pictures;
    for (const auto &argument : arguments) {
        std::error_code ec;
        const auto status = fs::status(argument, ec);
        if (ec && ec != std::errc::no_such_file_or_directory)
            throw base::UserError(base::cannotReadMessage(argument, ec.value()));
        if (!fs::exists(status))
            throw base::UserError(argument + "\nが見つかりません。");
        if (!fs::is_directory(status)) {
            // A FIFO or a device is no picture, and reading one would wait for ever.
            if (!fs::is_regular_file(status))
                throw base::UserError(base::cannotReadMessage(argument, base::kReasonNotRegular));
            pictures.push_back(storablePath(argument));
            continue;
        }
        std::size_t found = 0;
        fs::directory_iterator it(argument, ec);
        for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
            const std::string name = it->path().filename().string();
            std::error_code kindError;
            if (name.starts_with(".") || !isOpenablePictureName(name) || !it->is_regular_file(kindError))
                continue;
            pictures.push_back(storablePath(it->path()));
            ++found;
        }
        if (ec)
            throw base::UserError(base::cannotReadMessage(argument, ec.value()));
        if (found == 0)
            throw base::UserError(argument + "\nに画像がありません。");
    }
    return pictures;
}

} // namespace pictora::app
