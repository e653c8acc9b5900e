// SPDX-License-Identifier: MIT
#pragma once

#include <QColor>

namespace pictora::ui
{

/// The contrast ratio of two colours as the web's accessibility guidelines reckon it, 1 to 21.
[[nodiscard]] double contrastRatio(const QColor &a, const QColor &b);

/// A red that reads on `background` with a contrast of at least 4.5:1: pure red made darker on a
/// light background and lighter on a dark one, only as far as it must.
[[nodiscard]] QColor readableRed(const QColor &background);

} // namespace pictora::ui
