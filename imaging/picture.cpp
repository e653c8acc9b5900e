// SPDX-License-Identifier: MIT
#include "imaging/picture.h"

#include "imaging/picture_impl.h"

#include <algorithm>
#include <cmath>

namespace pictora::imaging
{

namespace detail
{

bool saneSize(long long width, long long height)
{
    return width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide && width * height <= kMaxPixels;
}

Picture fromBuffer(PixelBuffer &&buffer)
{
    auto bytes = std::make_shared<const std::vector<std::uint8_t>>(std::move(buffer.bytes));
    auto impl = std::make_shared<Picture::Impl>();
    impl->data = bytes->data();
    impl->owner = std::move(bytes);
    impl->width = buffer.width;
    impl->height = buffer.height;
    impl->bands = buffer.bands;
    return Picture(std::move(impl));
}

Picture fromBuffer(const PixelBuffer &buffer)
{
    return fromBuffer(PixelBuffer(buffer));
}

PixelBuffer toBuffer(const Picture &picture)
{
    PixelBuffer buffer;
    const auto &impl = picture.impl();
    if (!impl)
        return buffer;
    buffer.width = impl->width;
    buffer.height = impl->height;
    buffer.bands = impl->bands;
    buffer.bytes.assign(
        impl->data, impl->data + static_cast<std::size_t>(impl->width) * impl->height * impl->bands);
    return buffer;
}

} // namespace detail

Picture::Picture() = default;
Picture::~Picture() = default;
Picture::Picture(const Picture &) = default;
Picture &Picture::operator=(const Picture &) = default;
Picture::Picture(Picture &&) noexcept = default;
Picture &Picture::operator=(Picture &&) noexcept = default;
Picture::Picture(std::shared_ptr<Impl> impl)
    : m_impl(std::move(impl))
{
}

bool Picture::empty() const
{
    return !m_impl || m_impl->width <= 0 || m_impl->height <= 0;
}

int Picture::width() const
{
    return empty() ? 0 : m_impl->width;
}

int Picture::height() const
{
    return empty() ? 0 : m_impl->height;
}

int Picture::bitsPerPixel() const
{
    return empty() ? 0 : 8 * m_impl->bands;
}

int Picture::sample(int x, int y, int channel) const
{
    if (empty() || x < 0 || y < 0 || x >= m_impl->width || y >= m_impl->height || channel < 0 || channel > 3)
        return 0;
    const std::uint8_t *p = m_impl->data + (static_cast<std::size_t>(y) * m_impl->width + x) * m_impl->bands;
    if (channel == 3)
        return m_impl->bands == 4 ? p[3] : 255;
    return m_impl->bands == 1 ? p[0] : p[channel];
}

std::vector<std::uint8_t> Picture::pixels() const
{
    try {
        return detail::toBuffer(*this).bytes;
    } catch (...) {
        return {};
    }
}

std::vector<std::uint8_t> Picture::rgbPixels() const
{
    std::vector<std::uint8_t> rgb;
    if (empty())
        return rgb;
    const std::size_t count = static_cast<std::size_t>(m_impl->width) * m_impl->height;
    try {
        rgb.resize(count * 3);
    } catch (...) {
        return {};
    }
    const int bands = m_impl->bands;
    const std::uint8_t *p = m_impl->data;
    std::uint8_t *q = rgb.data();
    for (std::size_t i = 0; i < count; ++i, p += bands, q += 3) {
        if (bands == 1) {
            q[0] = q[1] = q[2] = p[0];
        } else if (bands == 3) {
            q[0] = p[0];
            q[1] = p[1];
            q[2] = p[2];
        } else {
            // Over white: c·a + 255·(255 − a), divided by 255 and rounded.
            const unsigned a = p[3];
            for (int c = 0; c < 3; ++c)
                q[c] = static_cast<std::uint8_t>((p[c] * a + 255u * (255u - a) + 127u) / 255u);
        }
    }
    return rgb;
}

Picture Picture::fromPixels(int width, int height, int bands, const std::uint8_t *pixels)
{
    if (!pixels || !detail::saneSize(width, height) || (bands != 1 && bands != 3 && bands != 4))
        return {};
    try {
        detail::PixelBuffer buffer;
        buffer.width = width;
        buffer.height = height;
        buffer.bands = bands;
        buffer.bytes.assign(pixels, pixels + static_cast<std::size_t>(width) * height * bands);
        return detail::fromBuffer(buffer);
    } catch (const std::bad_alloc &) {
        return {};
    }
}

bool sizeCanBeHeld(long long width, long long height)
{
    return detail::saneSize(width, height);
}

int mosaicBlockFor(double smallestScale)
{
    if (!(smallestScale > 0.0) || smallestScale >= 1.0)
        return kMosaicBlock;
    // A block never needs to be wider than the widest picture.
    return static_cast<int>(std::min(std::ceil(kMosaicBlock / smallestScale - 1e-9), 65535.0));
}

Region wholeRegion(const Picture &picture)
{
    return { 0, 0, picture.width(), picture.height() };
}

Sampling samplingFromText(const std::string &text)
{
    if (text == "4:1:1")
        return Sampling::S411;
    if (text == "4:4:4")
        return Sampling::S444;
    return Sampling::S422;
}

TargetSize fitInside(const PictureInfo &header, int boxWidth, int boxHeight)
{
    if (!header.valid() || boxWidth <= 0 || boxHeight <= 0)
        return {};
    const double scale = std::min({ 1.0,
        static_cast<double>(boxWidth) / header.width,
        static_cast<double>(boxHeight) / header.height });
    return { std::max(1, static_cast<int>(std::lround(header.width * scale))),
        std::max(1, static_cast<int>(std::lround(header.height * scale))) };
}

} // namespace pictora::imaging
