// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>

namespace pictora::album
{

/// One kind of picture file the program reads: the open dialog's description and the extensions
/// (lower case, without the dot, separated by ';').
struct PictureFileKind {
    const char *description;
    const char *extensions;
};

/// Every kind of picture file the program reads. The open dialog's filter, a drop, a folder named
/// on the command line and the background picture all take this one list.
inline constexpr PictureFileKind kPictureFileKinds[] = {
    { "JPEG", "jpg;jpeg" },
    { "HEIF", "heic;heif" },
    { "AVIF", "avif" },
    { "WebP", "webp" },
    { "JPEG XL", "jxl" },
    { "TIFF", "tif;tiff" },
    { "PNG", "png" },
    { "BMP", "bmp" },
    { "GIF", "gif" },
    { "PCX", "pcx" },
};

/// Whether a file name ends in one of the extensions of kPictureFileKinds, whatever its letter case
/// (a.JPG, b.Heic and c.jpeg all do).
[[nodiscard]] bool isPictureFileName(std::string_view path);

/// The open-picture dialog's filter as "description|patterns|...": first every picture the program
/// reads ("すべての画像ファイル"), then one entry per kind.
[[nodiscard]] const std::string &openPictureFilter();

} // namespace pictora::album
