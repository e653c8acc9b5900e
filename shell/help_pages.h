// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>
#include <vector>

/// The help pages shipped with the program.
namespace pictora::shell
{

/// The absolute file path of `page` in the first of `folders` that holds it; nothing when none does.
[[nodiscard]] std::optional<std::string> findHelpPage(
    const std::vector<std::string> &folders, const std::string &page);

/// Told when no help folder holds the page asked for.
[[nodiscard]] std::string helpPageMissingMessage(const std::string &page);

} // namespace pictora::shell
