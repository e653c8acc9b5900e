// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>

namespace pictora::imaging
{
class Picture;
}

namespace pictora::ui
{

/// The one place where a picture crosses into Qt: an RGB888 copy of its pixels (transparency
/// flattened as the album writes it). A null QImage for no picture.
[[nodiscard]] QImage toQImage(const imaging::Picture &picture);

} // namespace pictora::ui
