// SPDX-License-Identifier: MIT
#pragma once

namespace pictora::ui
{

/// Registers the program's artwork (":/pictora/icon.svg", ":/pictora/logo.svg",
/// ":/pictora/donate.svg"). The resources sit in a static library, whose unreferenced objects the
/// linker drops, so a window that uses them calls this first; calling it again does nothing.
void initResources();

} // namespace pictora::ui
