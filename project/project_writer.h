// SPDX-License-Identifier: MIT
#pragma once

#include "album/image_list.h"
#include "album/settings.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

/// Writing a project file: 84 lines of options (90 in the newer version that a document using the
/// newer options needs) and 3 lines per picture, each ended by CR LF, in CP932 whenever every text
/// fits, otherwise in UTF-8 behind a byte-order mark.
namespace pictora::project
{

/// A multi-line text on one line: each line break (CR LF, lone LF, lone CR) becomes "<BR>", then
/// "<BR>"s, blanks and control characters at the end are dropped, in whatever mix they come.
[[nodiscard]] std::string joinLines(std::string_view text);

/// Why a picture's path cannot go into a project file and be found again from it (bytes that are
/// not UTF-8, a line break, more than the system takes in a path), naming it and saying what to do;
/// nothing when it can.
[[nodiscard]] std::optional<std::string> unstorablePathMessage(const std::string &path);

/// The lines of the file as UTF-8 text, without line ends. Throws base::UserError when a text that
/// must stay on one line (an edit, a path, a time stamp) holds a line break: written out it would
/// shift every later value.
[[nodiscard]] std::vector<std::string> projectFileLines(
    const album::AlbumSettings &settings, const std::vector<album::ImageEntry> &images);

/// The bytes of the file: every line followed by CR LF, encoded as described above.
[[nodiscard]] std::string projectFileBytes(
    const album::AlbumSettings &settings, const std::vector<album::ImageEntry> &images);

/// Writes the document to `path`, replacing any file there only once the new one is complete, so
/// a failure leaves the previous file as it was. Changes nothing in the document. Throws
/// base::UserError "<path>\nに書き込めません。\n(<reason>)" on failure.
void SaveProjectFile(const std::string &path,
    const album::AlbumSettings &settings,
    const std::vector<album::ImageEntry> &images);

} // namespace pictora::project
