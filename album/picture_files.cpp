// SPDX-License-Identifier: MIT
#include "album/picture_files.h"

#include <cctype>

namespace pictora::album
{

namespace
{

/// Calls `each` with every extension of a kind.
template <typename Each> void forEachExtension(const PictureFileKind &kind, Each &&each)
{
    std::string_view rest = kind.extensions;
    while (!rest.empty()) {
        const auto semicolon = rest.find(';');
        each(rest.substr(0, semicolon));
        rest = semicolon == std::string_view::npos ? std::string_view() : rest.substr(semicolon + 1);
    }
}

std::string patternsOf(const PictureFileKind &kind)
{
    std::string patterns;
    forEachExtension(kind, [&patterns](std::string_view extension) {
        patterns.append(patterns.empty() ? "*." : ";*.").append(extension);
    });
    return patterns;
}

bool sameIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

} // namespace

bool isPictureFileName(std::string_view path)
{
    const std::string_view name = path.substr(path.rfind('/') + 1);
    const auto dot = name.rfind('.');
    // A name that is only an extension (".jpg") is a hidden file, not a picture.
    if (dot == std::string_view::npos || dot == 0)
        return false;
    const std::string_view extension = name.substr(dot + 1);
    for (const PictureFileKind &kind : kPictureFileKinds) {
        bool found = false;
        forEachExtension(kind,
            [&](std::string_view candidate) { found = found || sameIgnoringCase(candidate, extension); });
        if (found)
            return true;
    }
    return false;
}

const std::string &openPictureFilter()
{
    static const std::string filter = [] {
        std::string all;
        std::string each;
        for (const PictureFileKind &kind : kPictureFileKinds) {
            const std::string patterns = patternsOf(kind);
            all.append(all.empty() ? "" : ";").append(patterns);
            each.append("|").append(kind.description).append("|").append(patterns);
        }
        return "すべての画像ファイル|" + all + each;
    }();
    return filter;
}

} // namespace pictora::album
