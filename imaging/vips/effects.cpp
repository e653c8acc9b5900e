// SPDX-License-Identifier: MIT
// Whole-picture operations and the region effects of the preview.
#include "imaging/vips/module.h"

#include "imaging/filters.h"
#include "imaging/vips/vips_picture.h"

#include <algorithm>
#include <cstring>

namespace pictora::imaging
{

using detail::PixelBuffer;
using vips::VImage;

namespace
{

/// Runs an operation that throws libvips' or the library's exceptions, turning them into false with
/// `out` left empty. The result is assigned only at the end, so `in` and `out` may be one object.
template <typename F> bool run(const Picture &in, Picture &out, F &&operation)
{
    if (!detail::ready() || in.empty()) {
        out = Picture();
        return false;
    }
    try {
        Picture result = operation();
        const bool ok = !result.empty();
        out = std::move(result);
        return ok;
    } catch (...) {
        detail::clearVipsError();
        out = Picture();
        return false;
    }
}

/// The part of a region that lies on the picture; width or height 0 when none does.
Region clip(const Region &region, int width, int height)
{
    const long long left = std::max<long long>(0, region.x);
    const long long top = std::max<long long>(0, region.y);
    const long long right = std::min<long long>(width, static_cast<long long>(region.x) + region.width);
    const long long bottom = std::min<long long>(height, static_cast<long long>(region.y) + region.height);
    if (right <= left || bottom <= top)
        return { 0, 0, 0, 0 };
    return { static_cast<int>(left),
        static_cast<int>(top),
        static_cast<int>(right - left),
        static_cast<int>(bottom - top) };
}

/// The picture's pixels with at least three colour bands, so a tint has somewhere to go.
PixelBuffer colourBuffer(const Picture &picture)
{
    PixelBuffer buffer = detail::toBuffer(picture);
    if (buffer.bands != 1)
        return buffer;
    PixelBuffer rgb { buffer.width, buffer.height, 3, {} };
    rgb.bytes.resize(buffer.bytes.size() * 3);
    for (std::size_t i = 0; i < buffer.bytes.size(); ++i)
        std::memset(&rgb.bytes[i * 3], buffer.bytes[i], 3);
    return rgb;
}

/// A region effect done by libvips: `filter` works on the region grown by `margin` pixels (so the
/// region's edges see their real neighbours), and only the region itself is copied back.
template <typename Filter>
Picture filterRegion(const Picture &in, const Region &region, int margin, bool needsColour, Filter &&filter)
{
    const Region area = clip(region, in.width(), in.height());
    if (area.width == 0)
        return {};
    PixelBuffer buffer = needsColour ? colourBuffer(in) : detail::toBuffer(in);
    const Region grown
        = clip({ area.x - margin, area.y - margin, area.width + 2 * margin, area.height + 2 * margin },
            in.width(),
            in.height());
    const Picture source = needsColour && in.bitsPerPixel() == 8 ? detail::fromBuffer(buffer) : in;
    VImage done = filter(detail::imageOf(source).extract_area(grown.x, grown.y, grown.width, grown.height));
    done = done.extract_area(area.x - grown.x, area.y - grown.y, area.width, area.height);
    if (done.format() != VIPS_FORMAT_UCHAR)
        done = done.cast(VIPS_FORMAT_UCHAR);
    if (done.bands() != buffer.bands)
        throw vips::VError("filter changed the band count");
    std::size_t size = 0;
    void *raw = done.write_to_memory(&size);
    const auto *rows = static_cast<const std::uint8_t *>(raw);
    const std::size_t rowBytes = static_cast<std::size_t>(area.width) * buffer.bands;
    for (int y = 0; y < area.height; ++y)
        std::memcpy(buffer.at(area.x, area.y + y), rows + y * rowBytes, rowBytes);
    g_free(raw);
    return detail::fromBuffer(std::move(buffer));
}

/// A region effect done pixel by pixel on the colour bands (alpha is left alone).
template <typename Change>
Picture changeRegion(
    const Picture &in, const Region &region, const ProgressCallback &progress, Change &&change)
{
    const Region area = clip(region, in.width(), in.height());
    if (area.width == 0)
        return {};
    PixelBuffer buffer = colourBuffer(in);
    detail::RowProgress rows(area.height, progress);
    detail::forEachRowShare(area.y, area.y + area.height, 0, [&](int first, int last) {
        for (int y = first; y < last; ++y) {
            std::uint8_t *p = buffer.at(area.x, y);
            for (int x = 0; x < area.width; ++x, p += buffer.bands)
                change(p);
            rows.rowDone();
        }
    });
    return detail::fromBuffer(std::move(buffer));
}

std::uint8_t clamp8(int value)
{
    return static_cast<std::uint8_t>(std::clamp(value, 0, 255));
}

std::uint8_t luma(const std::uint8_t *p)
{
    // ITU-R BT.601 weights in thousandths, rounded.
    return static_cast<std::uint8_t>((299 * p[0] + 587 * p[1] + 114 * p[2] + 500) / 1000);
}

} // namespace

namespace vips_module
{

bool Resize(const Picture &in, Picture &out, int width, int height)
{
    return run(in, out, [&] {
        if (!detail::saneSize(width, height))
            return Picture();
        return detail::fromMemoryImage(detail::computeLocked([&] {
            return detail::resample(detail::imageOf(in),
                width,
                height,
                detail::sharpensReduction(in.width(), in.height(), width, height));
        }));
    });
}

bool ConvertColor(const Picture &in, Picture &out)
{
    return run(in, out, [&] {
        if (in.bitsPerPixel() == 24)
            return in;
        const std::vector<std::uint8_t> rgb = in.rgbPixels();
        return Picture::fromPixels(in.width(), in.height(), 3, rgb.data());
    });
}

bool Rotation(const Picture &in, Picture &out, int angle)
{
    return run(in, out, [&] {
        if (angle % 9000 != 0)
            return Picture();
        const int leftTurns = ((angle / 9000) % 4 + 4) % 4;
        if (leftTurns == 0)
            return in;
        // libvips turns clockwise; a left turn is three quarters of a right one.
        static constexpr VipsAngle clockwise[]
            = { VIPS_ANGLE_D0, VIPS_ANGLE_D270, VIPS_ANGLE_D180, VIPS_ANGLE_D90 };
        return detail::fromMemoryImage(detail::imageOf(in).rot(clockwise[leftTurns]));
    });
}

bool Mosaic(const Picture &in, Picture &out, const Region &region, int block)
{
    return run(in, out, [&] {
        const Region area = clip(region, in.width(), in.height());
        if (area.width == 0 || block < 1)
            return Picture();
        PixelBuffer buffer = detail::toBuffer(in);
        const int bands = buffer.bands;
        // Blocks start at the region's corner; those cut by its right or bottom edge average what is inside.
        for (int by = area.y; by < area.y + area.height; by += block) {
            const int bh = std::min(block, area.y + area.height - by);
            for (int bx = area.x; bx < area.x + area.width; bx += block) {
                const int bw = std::min(block, area.x + area.width - bx);
                std::uint64_t sum[4] = {}; // large blocks of a large picture overflow 32 bits
                for (int y = by; y < by + bh; ++y) {
                    const std::uint8_t *p = buffer.at(bx, y);
                    for (int i = 0; i < bw * bands; ++i)
                        sum[i % bands] += p[i];
                }
                const auto count = static_cast<std::uint64_t>(bw) * static_cast<std::uint64_t>(bh);
                std::uint8_t mean[4];
                for (int c = 0; c < bands; ++c)
                    mean[c] = static_cast<std::uint8_t>((sum[c] + count / 2) / count);
                for (int y = by; y < by + bh; ++y) {
                    std::uint8_t *p = buffer.at(bx, y);
                    for (int i = 0; i < bw * bands; ++i)
                        p[i] = mean[i % bands];
                }
            }
        }
        return detail::fromBuffer(std::move(buffer));
    });
}

bool RemoveNoise(
    const Picture &in, Picture &out, const Region &region, int level, const ProgressCallback &progress)
{
    return run(in, out, [&] {
        if (level < 1 || level > 99)
            return Picture();
        const int window = level | 1; // a median needs a centre pixel
        if (window == 3) {
            // The common case, done by our own filter on all cores; the same samples as libvips' rank.
            const Region area = clip(region, in.width(), in.height());
            if (area.width == 0)
                return Picture();
            PixelBuffer buffer = detail::toBuffer(in);
            detail::RowProgress rows(area.height, progress);
            detail::median3x3(in.impl()->data,
                buffer.bytes.data(),
                buffer.width,
                buffer.height,
                buffer.bands,
                area,
                0,
                &rows);
            return detail::fromBuffer(std::move(buffer));
        }
        return filterRegion(in, region, window / 2, false, [&](VImage area) {
            return area.rank(window, window, window * window / 2);
        });
    });
}

bool Emboss(const Picture &in, Picture &out, const Region &region)
{
    return run(in, out, [&] {
        return filterRegion(in, region, 1, true, [&](VImage area) {
            // A grey relief: light from the top left, flat areas mid grey.
            VImage grey = area.extract_band(0, VImage::option()->set("n", 3))
                              .recomb(VImage::new_matrixv(3, 1, 0.299, 0.587, 0.114));
            VImage mask = VImage::new_matrixv(3, 3, -1.0, -1.0, 0.0, -1.0, 0.0, 1.0, 0.0, 1.0, 1.0);
            VImage relief
                = (grey.conv(mask, VImage::option()->set("precision", VIPS_PRECISION_FLOAT)) + 128.0)
                      .round(VIPS_OPERATION_ROUND_RINT)
                      .cast(VIPS_FORMAT_UCHAR);
            VImage result = VImage::bandjoin({ relief, relief, relief });
            if (area.bands() == 4)
                result = result.bandjoin(area[3]);
            return result;
        });
    });
}

bool SetGray(const Picture &in, Picture &out, const Region &region, const ProgressCallback &progress)
{
    return run(in, out, [&] {
        return changeRegion(in, region, progress, [](std::uint8_t *p) { p[0] = p[1] = p[2] = luma(p); });
    });
}

bool RGBLevel(const Picture &in,
    Picture &out,
    const Region &region,
    int red,
    int green,
    int blue,
    const ProgressCallback &progress)
{
    return run(in, out, [&] {
        return changeRegion(in, region, progress, [&](std::uint8_t *p) {
            p[0] = clamp8(p[0] + red);
            p[1] = clamp8(p[1] + green);
            p[2] = clamp8(p[2] + blue);
        });
    });
}

bool Sepia(const Picture &in, Picture &out, const Region &region, const ProgressCallback &progress)
{
    return run(in, out, [&] {
        return changeRegion(in, region, progress, [](std::uint8_t *p) {
            const int y = luma(p);
            p[0] = clamp8(y + 10);
            p[1] = clamp8(y - 10);
            p[2] = clamp8(y - 35);
        });
    });
}

} // namespace vips_module
} // namespace pictora::imaging
