// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <vector>

namespace pictora::app
{

/// The pictures that command-line arguments name, as full paths: a file stands for itself, a
/// folder for every picture file directly in it (album::isPictureFileName) (hidden files left out). Throws
/// base::UserError naming a path that does not exist, a folder that cannot be read or one that
/// holds no picture, and a picture whose path a project cannot keep (project::unstorablePathMessage).
[[nodiscard]] std::vector<std::string> picturesNamedBy(const std::vector<std::string> &arguments);

} // namespace pictora::app
