// SPDX-License-Identifier: MIT
#pragma once

#include <string>

namespace pictora::base
{

/// A freedesktop base folder: $variable when it holds an absolute path, else $HOME/fallbackUnderHome;
/// empty when neither is absolute.
[[nodiscard]] std::string xdgUserFolder(const char *variable, const char *fallbackUnderHome);

} // namespace pictora::base
