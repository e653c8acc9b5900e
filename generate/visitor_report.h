// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace pictora::album
{
class AlbumSettings;
struct ImageEntry;
} // namespace pictora::album

namespace pictora::generate
{

/// Where a button's address leads on this disk, taken from the album folder (the cover's folder):
/// nothing for an address this disk cannot answer (another site, a mail address, a path from the
/// site's root, an empty one).
[[nodiscard]] std::optional<std::string> localLinkTarget(
    const std::string &albumFolder, const std::string &url);

/// What a visitor of a just-made album would hit that no page can help: a ticked button whose
/// address leads to nothing beside the album, pictures shown without a time stamp (none, or an
/// Exif block without a date), pictures that could not be read (`unreadable`: their list indexes).
/// Empty when there is nothing to say.
[[nodiscard]] std::string visitorReport(const std::string &albumFolder,
    const album::AlbumSettings &settings,
    const std::vector<album::ImageEntry> &entries,
    const std::vector<std::size_t> &unreadable);

} // namespace pictora::generate
