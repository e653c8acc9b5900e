// SPDX-License-Identifier: MIT
#include "ui/picture_image.h"

#include "imaging/picture.h"

#include <cstring>

namespace pictora::ui
{

QImage toQImage(const imaging::Picture &picture)
{
    if (picture.empty())
        return {};
    const std::vector<std::uint8_t> rgb = picture.rgbPixels();
    const int width = picture.width();
    const int height = picture.height();
    QImage image(width, height, QImage::Format_RGB888);
    if (image.isNull())
        return {};
    const std::size_t row = static_cast<std::size_t>(width) * 3;
    for (int y = 0; y < height; ++y)
        std::memcpy(image.scanLine(y), rgb.data() + row * static_cast<std::size_t>(y), row);
    return image;
}

} // namespace pictora::ui
