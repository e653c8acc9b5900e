// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <vector>

namespace pictora::album
{

/// One picture of the album.
struct ImageEntry {
    std::string path; ///< full file path of the source picture
    std::string comment; ///< the picture's comment, lines separated by CR LF
    std::string timeStamp; ///< capture time stamp as display text
    bool operator==(const ImageEntry &) const = default;
};

/// The file-name part of a path: the text after the last "/".
[[nodiscard]] std::string fileNamePart(const std::string &path);

} // namespace pictora::album
