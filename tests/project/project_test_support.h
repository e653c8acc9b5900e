// SPDX-License-Identifier: MIT
#pragma once

#include "album/image_list.h"
#include "album/settings.h"
#include "tests/support/scripted_prompter.h"

#include <string>
#include <vector>

namespace pictora::test
{

using CountingChanges = CountingSink;

/// The document New leaves: start values, then the reset.
[[nodiscard]] album::AlbumSettings newDocument();

/// The lines of a file whose every line ends in CR LF; a line without one fails the test.
[[nodiscard]] std::vector<std::string> crlfLines(const std::string &bytes);

/// A file written by hand: "\n" line ends become CR LF, the text CP932.
[[nodiscard]] std::string handWritten(const std::string &utf8Text);

/// The same bytes with line `index` (from 0, CR LF lines) replaced.
[[nodiscard]] std::string withLine(const std::string &bytes, std::size_t index, const std::string &line);

} // namespace pictora::test
