// SPDX-License-Identifier: MIT
// Pictures held as JPEG planes: a separable resampler for 8-bit planes and the quarter turns of the
// Exif orientation. Each plane is resampled on its own, centre on centre, so luma and chroma stay
// aligned whatever the sampling of the source and of the written file.
#include "imaging/picture.h"

#include "imaging/jpeg_source.h"
#include "imaging/picture_impl.h"

#include <turbojpeg.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <vector>

namespace pictora::imaging
{

namespace detail
{
namespace
{

constexpr int kWeightBits = 14;
constexpr int kRounding = 1 << (kWeightBits - 1);

/// The filter taps of one direction: output i reads `count` inputs from first[i] with weights
/// weights[i * count ...] in fixed point, which add up to exactly 1 << kWeightBits.
struct Taps {
    int count = 0;
    std::vector<int> first;
    std::vector<std::int16_t> weights;
};

/// Catmull-Rom, as sharp as the bicubic reduction the RGB resampler uses.
double cubic(double x)
{
    x = std::fabs(x);
    if (x < 1.0)
        return (1.5 * x - 2.5) * x * x + 1.0;
    if (x < 2.0)
        return ((-0.5 * x + 2.5) * x - 4.0) * x + 2.0;
    return 0.0;
}

Taps tapsFor(int in, int out)
{
    const double scale = static_cast<double>(in) / out;
    const double stretch = std::max(1.0, scale); // a reduction widens the filter to cover its inputs
    const double support = 2.0 * stretch;
    Taps taps;
    // No more inputs lie inside the filter's open span of 2 × support.
    taps.count = std::min(in, static_cast<int>(std::floor(2.0 * support)) + 1);
    taps.first.resize(static_cast<std::size_t>(out));
    taps.weights.assign(static_cast<std::size_t>(out) * taps.count, 0);
    std::vector<double> raw(static_cast<std::size_t>(taps.count));
    for (int i = 0; i < out; ++i) {
        const double centre = (i + 0.5) * scale - 0.5;
        const int lo = static_cast<int>(std::ceil(centre - support));
        const int first = std::clamp(lo, 0, in - taps.count);
        std::fill(raw.begin(), raw.end(), 0.0);
        double sum = 0.0;
        for (int j = lo; j < lo + taps.count; ++j) {
            const double w = cubic((j - centre) / stretch);
            raw[static_cast<std::size_t>(std::clamp(j, 0, in - 1) - first)] += w; // edges repeat
            sum += w;
        }
        std::int16_t *w = &taps.weights[static_cast<std::size_t>(i) * taps.count];
        int total = 0;
        int largest = 0;
        for (int k = 0; k < taps.count; ++k) {
            w[k] = static_cast<std::int16_t>(
                std::lround(raw[static_cast<std::size_t>(k)] / sum * (1 << kWeightBits)));
            total += w[k];
            if (w[k] > w[largest])
                largest = k;
        }
        w[largest] = static_cast<std::int16_t>(w[largest] + (1 << kWeightBits) - total);
        taps.first[static_cast<std::size_t>(i)] = first;
    }
    return taps;
}

/// Result lines are stored transposed this many at a time, so each store writes a run of bytes.
constexpr int kBlock = 16;

/// One result line: the weighted sum of `count` input lines from `in`, in fixed point, clamped to
/// 8 bits. The machine's widest vectors pay off here, so it is built for AVX2 as well.
#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target_clones("avx2", "default")))
#endif
void filterLine(const std::uint8_t *in,
    std::ptrdiff_t stride,
    int length,
    const std::int16_t *weights,
    int count,
    int *__restrict acc,
    std::uint8_t *__restrict out)
{
    std::fill(acc, acc + length, kRounding);
    for (int k = 0; k < count; ++k) {
        const int weight = weights[k];
        if (weight == 0)
            continue;
        const std::uint8_t *__restrict line = in + k * stride;
        for (int x = 0; x < length; ++x)
            acc[x] += weight * line[x];
    }
    for (int x = 0; x < length; ++x)
        out[x] = static_cast<std::uint8_t>(std::clamp(acc[x] >> kWeightBits, 0, 255));
}

/// Filters whole lines: result line r is the weighted sum of input lines first[r] … first[r] + count − 1
/// (`length` samples each, `stride` apart). Runs along the lines, so it vectorises. Every kBlock lines
/// go to store(r0, n, block): n lines from r0, `length` samples apart.
template <typename Store>
void filterLines(
    const std::uint8_t *in, std::ptrdiff_t stride, int length, const Taps &taps, int lines, Store &&store)
{
    std::vector<int> sums(static_cast<std::size_t>(length));
    std::vector<std::uint8_t> block(static_cast<std::size_t>(length) * kBlock);
    for (int r0 = 0; r0 < lines; r0 += kBlock) {
        const int n = std::min(kBlock, lines - r0);
        for (int b = 0; b < n; ++b) {
            const int r = r0 + b;
            filterLine(in + taps.first[static_cast<std::size_t>(r)] * stride,
                stride,
                length,
                &taps.weights[static_cast<std::size_t>(r) * taps.count],
                taps.count,
                sums.data(),
                block.data() + static_cast<std::size_t>(b) * length);
        }
        store(r0, n, static_cast<const std::uint8_t *>(block.data()));
    }
}

/// Copies n lines of `length` samples (rows of a block) into columns r0 … r0 + n − 1 of `out`, whose
/// lines are `outStride` apart.
void storeTransposed(
    const std::uint8_t *block, int n, int length, std::uint8_t *out, int r0, std::ptrdiff_t outStride)
{
    for (int x = 0; x < length; ++x) {
        std::uint8_t *to = out + x * outStride + r0;
        for (int b = 0; b < n; ++b)
            to[b] = block[static_cast<std::size_t>(b) * length + x];
    }
}

/// Scales a plane region of sw × sh (rows `sstride` apart) to dw × dh. Rows are filtered first and
/// stored transposed, so that the columns are filtered as lines too and stored back transposed.
void resamplePlane(const std::uint8_t *src,
    int sw,
    int sh,
    std::ptrdiff_t sstride,
    std::uint8_t *dst,
    int dw,
    int dh,
    std::ptrdiff_t dstride)
{
    // The picture after the vertical pass, column by column: sw lines of dh samples.
    std::vector<std::uint8_t> columns(static_cast<std::size_t>(sw) * dh);
    std::uint8_t *t = columns.data();
    if (sh == dh) {
        for (int y = 0; y < dh; ++y)
            storeTransposed(src + y * sstride, 1, sw, t, y, dh);
    } else {
        filterLines(src, sstride, sw, tapsFor(sh, dh), dh, [&](int y0, int n, const std::uint8_t *block) {
            storeTransposed(block, n, sw, t, y0, dh);
        });
    }
    if (sw == dw) {
        for (int x = 0; x < dw; ++x)
            storeTransposed(t + static_cast<std::size_t>(x) * dh, 1, dh, dst, x, dstride);
        return;
    }
    filterLines(t, dh, dh, tapsFor(sw, dw), dw, [&](int x0, int n, const std::uint8_t *block) {
        storeTransposed(block, n, dh, dst, x0, dstride);
    });
}

/// Turns a plane of sw × sh upright by its Exif orientation; the result is sh × sw for 5 to 8.
void orientPlane(const std::uint8_t *src,
    int sw,
    int sh,
    std::ptrdiff_t sstride,
    int orientation,
    std::uint8_t *dst,
    std::ptrdiff_t dstride)
{
    // Upright (x, y) reads the stored sample at base + x·dx + y·dy.
    const std::ptrdiff_t right = sw - 1;
    const std::ptrdiff_t bottom = (sh - 1) * sstride;
    std::ptrdiff_t base = 0;
    std::ptrdiff_t dx = 1;
    std::ptrdiff_t dy = sstride;
    switch (orientation) {
    case 2:
        base = right;
        dx = -1;
        dy = sstride;
        break;
    case 3:
        base = bottom + right;
        dx = -1;
        dy = -sstride;
        break;
    case 4:
        base = bottom;
        dx = 1;
        dy = -sstride;
        break;
    case 5:
        base = 0;
        dx = sstride;
        dy = 1;
        break;
    case 6:
        base = bottom;
        dx = -sstride;
        dy = 1;
        break;
    case 7:
        base = bottom + right;
        dx = -sstride;
        dy = -1;
        break;
    case 8:
        base = right;
        dx = sstride;
        dy = -1;
        break;
    default:
        break;
    }
    const int width = swapsSides(orientation) ? sh : sw;
    const int height = swapsSides(orientation) ? sw : sh;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t *p = src + base + y * dy;
        std::uint8_t *out = dst + y * dstride;
        for (int x = 0; x < width; ++x, p += dx)
            out[x] = *p;
    }
}

Plane newPlane(int width, int height)
{
    Plane plane;
    plane.width = width;
    plane.height = height;
    plane.data.reset(new std::uint8_t[static_cast<std::size_t>(width) * height]);
    return plane;
}

/// Repeats the last column and row of the w × h picture into the padding of its plane.
void padPlane(Plane &plane, int w, int h)
{
    for (int y = 0; y < h; ++y) {
        std::uint8_t *row = plane.data.get() + static_cast<std::size_t>(y) * plane.width;
        std::fill(row + w, row + plane.width, row[w - 1]);
    }
    for (int y = h; y < plane.height; ++y)
        std::memcpy(plane.data.get() + static_cast<std::size_t>(y) * plane.width,
            plane.data.get() + static_cast<std::size_t>(h - 1) * plane.width,
            static_cast<std::size_t>(plane.width));
}

/// Fills `target` (w × h of it; all of it when w is 0) from a source region, turned upright.
void fillPlane(Plane &target,
    int w,
    int h,
    const std::uint8_t *src,
    int sw,
    int sh,
    std::ptrdiff_t sstride,
    int orientation)
{
    if (orientation <= 1 || orientation > 8) {
        resamplePlane(src, sw, sh, sstride, target.data.get(), w, h, target.width);
        return;
    }
    const bool swap = swapsSides(orientation);
    const int storedW = swap ? h : w;
    const int storedH = swap ? w : h;
    Plane stored = newPlane(storedW, storedH);
    resamplePlane(src, sw, sh, sstride, stored.data.get(), storedW, storedH, storedW);
    orientPlane(stored.data.get(), storedW, storedH, storedW, orientation, target.data.get(), target.width);
}

} // namespace

JpegPlanes fitPlanes(const SourcePlanes &source, int orientation, int width, int height, int subsamp)
{
    auto impl = std::make_shared<JpegPlanes::Impl>();
    impl->width = width;
    impl->height = height;
    impl->subsamp = subsamp;
    for (int c = 0; c < 3; ++c) {
        Plane &plane = impl->planes[c];
        plane = newPlane(tjPlaneWidth(c, width, subsamp), tjPlaneHeight(c, height, subsamp));
        if (c > 0 && source.planeCount == 1) {
            std::memset(plane.data.get(), 128, static_cast<std::size_t>(plane.width) * plane.height);
            continue;
        }
        // The luma plane is filled for the picture and padded; a chroma plane covers the padding too.
        const int w = c == 0 ? width : plane.width;
        const int h = c == 0 ? height : plane.height;
        const int sw = c == 0 ? source.width : source.planeWidth[c];
        const int sh = c == 0 ? source.height : source.planeHeight[c];
        fillPlane(plane, w, h, source.data[c], sw, sh, source.planeWidth[c], orientation);
        if (c == 0)
            padPlane(plane, w, h);
    }
    return JpegPlanes(std::move(impl));
}

int turboSampling(Sampling sampling)
{
    switch (sampling) {
    case Sampling::S411:
        return TJSAMP_411;
    case Sampling::S444:
        return TJSAMP_444;
    case Sampling::S422:
        break;
    }
    return TJSAMP_422;
}

} // namespace detail

JpegPlanes::JpegPlanes() = default;
JpegPlanes::~JpegPlanes() = default;
JpegPlanes::JpegPlanes(const JpegPlanes &) = default;
JpegPlanes &JpegPlanes::operator=(const JpegPlanes &) = default;
JpegPlanes::JpegPlanes(JpegPlanes &&) noexcept = default;
JpegPlanes &JpegPlanes::operator=(JpegPlanes &&) noexcept = default;
JpegPlanes::JpegPlanes(std::shared_ptr<const Impl> impl)
    : m_impl(std::move(impl))
{
}

bool JpegPlanes::empty() const
{
    return !m_impl || m_impl->width <= 0 || m_impl->height <= 0;
}

int JpegPlanes::width() const
{
    return empty() ? 0 : m_impl->width;
}

int JpegPlanes::height() const
{
    return empty() ? 0 : m_impl->height;
}

Sampling JpegPlanes::sampling() const
{
    if (!empty() && m_impl->subsamp == TJSAMP_411)
        return Sampling::S411;
    if (!empty() && m_impl->subsamp == TJSAMP_444)
        return Sampling::S444;
    return Sampling::S422;
}

bool Resize(const JpegPlanes &in, JpegPlanes &out, int width, int height)
{
    if (in.empty() || !detail::saneSize(width, height)) {
        out = {};
        return false;
    }
    try {
        const JpegPlanes::Impl &from = *in.impl();
        detail::SourcePlanes source;
        source.width = from.width;
        source.height = from.height;
        source.planeCount = 3;
        for (int c = 0; c < 3; ++c) {
            source.data[c] = from.planes[c].data.get();
            source.planeWidth[c] = from.planes[c].width;
            source.planeHeight[c] = from.planes[c].height;
        }
        out = detail::fitPlanes(source, 1, width, height, from.subsamp);
        return true;
    } catch (...) {
        out = {};
        return false;
    }
}

} // namespace pictora::imaging
