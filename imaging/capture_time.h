// SPDX-License-Identifier: MIT
#pragma once

#include <string>

namespace pictora::imaging
{

/// The stamp of a picture whose Exif data holds no date: no time a visitor could use.
inline constexpr const char *kNoCaptureTime = "0000年00月00日 00時00分";

/// The capture time stamp text of a picture file: from its Exif date ("2004年05月01日 13時05分")
/// (a JPEG's first segment, or the Exif block of a HEIF, AVIF, WebP or JPEG XL file), or else, also
/// for Exif without a date, from the file's last-write time in local time.
[[nodiscard]] std::string captureTimeStamp(const std::string &path);

} // namespace pictora::imaging
