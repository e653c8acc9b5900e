// SPDX-License-Identifier: MIT
#pragma once

#include "album/image_list.h"

#include <string>

namespace pictora::shell
{

/// Moves a file or folder tree to the freedesktop Trash; false when that failed.
bool moveToTrash(const std::string &path);

/// Path order of the "sort by name" answer: the user's locale, letter case ignored.
[[nodiscard]] album::PathOrder localeNameOrder();

} // namespace pictora::shell
