// SPDX-License-Identifier: MIT
#pragma once

#include <string>

namespace pictora::album
{
class AlbumSettings;
}

namespace pictora::generate
{

class AlbumLayout;
struct RunValues;

/// The album's style sheet as text: colours, font sizes, alignment, table and cell rules.
/// The background picture is declared only when the background option names an existing file.
[[nodiscard]] std::string styleSheetText(const album::AlbumSettings &settings, const RunValues &values);

/// Writes the style sheet to the layout's style-sheet path, replacing an existing file.
/// Throws base::UserError when it cannot be written.
void writeStyleSheet(
    const AlbumLayout &layout, const album::AlbumSettings &settings, const RunValues &values);

} // namespace pictora::generate
