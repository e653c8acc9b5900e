// SPDX-License-Identifier: MIT
#pragma once

#include "album/choosers.h"

#include <string>
#include <vector>

namespace pictora::app
{

/// Whether the filter's first entry accepts the file name; letter case is ignored, as in the dialog.
[[nodiscard]] bool isOpenablePictureName(const std::string &path);

/// The pictures that command-line arguments name, as full paths: a file stands for itself, a
/// folder for every file directly in it that the filter accepts (hidden files left out). Throws
/// base::UserError naming a path that does not exist, a folder that cannot be read or one that
/// holds no picture, and a picture whose path a project cannot keep (project::unstorablePathMessage).
[[nodiscard]] std::vector<std::string> picturesNamedBy(const std::vector<std::string> &arguments);

} // namespace pictora::app
