// SPDX-License-Identifier: MIT
#pragma once

#include "album/image_list.h"

#include <string>

namespace pictora::generate
{

/// Moves a file or folder tree to the freedesktop Trash; false when that failed.
bool moveToTrash(const std::string &path);

/// A freedesktop base folder: $variable when it holds an absolute path, else $HOME/fallbackUnderHome;
/// empty when neither is absolute.
[[nodiscard]] std::string xdgUserFolder(const char *variable, const char *fallbackUnderHome);

/// Path order of the "sort by name" answer: the user's locale, letter case ignored.
[[nodiscard]] album::PathOrder localeNameOrder();

} // namespace pictora::generate
