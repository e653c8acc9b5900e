// SPDX-License-Identifier: MIT
// Pictures held as JPEG planes: a separable resampler for 8-bit planes and the quarter turns of the
// Exif orientation. Each plane is resampled on its own, centre on centre, so luma and chroma stay
// aligned whatever the sampling of the source and of the written file.
#include "imaging/picture.h"

#include "imaging/jpeg_source.h"
#include "imaging/picture_impl.h"

#include <turbojpeg.h>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <memory>
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

/// Fixed-point taps from weights in doubles that add up to 1, each row of `count` from first[i].
Taps quantised(int count, std::vector<int> first, const std::vector<double> &weights)
{
    Taps taps;
    taps.count = count;
    taps.first = std::move(first);
    const std::size_t out = taps.first.size();
    taps.weights.assign(out * static_cast<std::size_t>(count), 0);
    for (std::size_t i = 0; i < out; ++i) {
        std::int16_t *w = &taps.weights[i * static_cast<std::size_t>(count)];
        const double *raw = &weights[i * static_cast<std::size_t>(count)];
        int total = 0;
        int largest = 0;
        for (int k = 0; k < count; ++k) {
            w[k] = static_cast<std::int16_t>(std::lround(raw[k] * (1 << kWeightBits)));
            total += w[k];
            if (w[k] > w[largest])
                largest = k;
        }
        w[largest] = static_cast<std::int16_t>(w[largest] + (1 << kWeightBits) - total);
    }
    return taps;
}

Taps tapsFor(int in, int out, bool sharpen)
{
    const double scale = static_cast<double>(in) / out;
    const double stretch = std::max(1.0, scale); // a reduction widens the filter to cover its inputs
    const double support = 2.0 * stretch;
    // No more inputs lie inside the filter's open span of 2 × support.
    const int count = std::min(in, static_cast<int>(std::floor(2.0 * support)) + 1);
    std::vector<int> first(static_cast<std::size_t>(out));
    std::vector<double> weights(static_cast<std::size_t>(out) * count, 0.0);
    for (int i = 0; i < out; ++i) {
        const double centre = (i + 0.5) * scale - 0.5;
        const int lo = static_cast<int>(std::ceil(centre - support));
        first[static_cast<std::size_t>(i)] = std::clamp(lo, 0, in - count);
        double *raw = &weights[static_cast<std::size_t>(i) * count];
        double sum = 0.0;
        for (int j = lo; j < lo + count; ++j) {
            const double w = cubic((j - centre) / stretch);
            raw[std::clamp(j, 0, in - 1) - first[static_cast<std::size_t>(i)]] += w; // edges repeat
            sum += w;
        }
        for (int k = 0; k < count; ++k)
            raw[k] /= sum;
    }
    if (!sharpen)
        return quantised(count, std::move(first), weights);

    // A large reduction leaves the picture softer than the peers' (whose kernels ring more): a light
    // sharpening of the result, (1 + 2a)·r[i] − a·r[i − 1] − a·r[i + 1], folded into the taps.
    const auto at = [&](int i) { return first[static_cast<std::size_t>(std::clamp(i, 0, out - 1))]; };
    int wide = 0;
    for (int i = 0; i < out; ++i)
        wide = std::max(wide, at(i + 1) - at(i - 1) + count);
    wide = std::min(wide, in);
    std::vector<int> sharpFirst(static_cast<std::size_t>(out));
    std::vector<double> sharp(static_cast<std::size_t>(out) * wide, 0.0);
    for (int i = 0; i < out; ++i) {
        const int start = std::clamp(at(i - 1), 0, in - wide);
        sharpFirst[static_cast<std::size_t>(i)] = start;
        double *target = &sharp[static_cast<std::size_t>(i) * wide];
        const std::pair<int, double> parts[]
            = { { i - 1, -kSharpening }, { i, 1.0 + 2.0 * kSharpening }, { i + 1, -kSharpening } };
        for (const auto &[neighbour, factor] : parts) {
            const int n = std::clamp(neighbour, 0, out - 1);
            const double *raw = &weights[static_cast<std::size_t>(n) * count];
            for (int k = 0; k < count; ++k)
                target[at(n) + k - start] += factor * raw[k];
        }
    }
    return quantised(wide, std::move(sharpFirst), sharp);
}

/// The taps of a recent reduction: an album's pictures mostly share their sizes, and each picture
/// needs a dozen sets.
std::shared_ptr<const Taps> cachedTaps(int in, int out, bool sharpen)
{
    struct Entry {
        int in;
        int out;
        bool sharpen;
        std::shared_ptr<const Taps> taps;
    };
    constexpr std::size_t kKept = 16;
    thread_local std::vector<Entry> recent;
    for (const Entry &entry : recent) {
        if (entry.in == in && entry.out == out && entry.sharpen == sharpen)
            return entry.taps;
    }
    if (recent.size() == kKept)
        recent.erase(recent.begin());
    recent.push_back({ in, out, sharpen, std::make_shared<const Taps>(tapsFor(in, out, sharpen)) });
    return recent.back().taps;
}

/// Result lines are stored transposed this many at a time, so each store writes a run of bytes.
constexpr int kBlock = 16;

/// Output samples summed at a time, held in registers across all the taps.
constexpr int kLanes = 16;

/// One result sample from the taps, in fixed point, clamped to 8 bits.
inline std::uint8_t filterSample(
    const std::uint8_t *in, std::ptrdiff_t stride, const std::int16_t *weights, int count)
{
    int acc = kRounding;
    for (int k = 0; k < count; ++k)
        acc += weights[k] * in[k * stride];
    return static_cast<std::uint8_t>(std::clamp(acc >> kWeightBits, 0, 255));
}

/// One result line: the weighted sum of `count` input lines from `in`.
void filterLinePlain(const std::uint8_t *in,
    std::ptrdiff_t stride,
    int length,
    const std::int16_t *weights,
    int count,
    std::uint8_t *__restrict out)
{
    int x = 0;
    for (; x + kLanes <= length; x += kLanes) {
        int acc[kLanes];
        for (int j = 0; j < kLanes; ++j)
            acc[j] = kRounding;
        for (int k = 0; k < count; ++k) {
            const int weight = weights[k];
            const std::uint8_t *line = in + k * stride + x;
            for (int j = 0; j < kLanes; ++j)
                acc[j] += weight * line[j];
        }
        for (int j = 0; j < kLanes; ++j)
            out[x + j] = static_cast<std::uint8_t>(std::clamp(acc[j] >> kWeightBits, 0, 255));
    }
    for (; x < length; ++x)
        out[x] = filterSample(in + x, stride, weights, count);
}

#if defined(__x86_64__) && defined(__GNUC__)
/// The same with AVX2: two taps at a time by multiplying 16-bit pairs and adding them (vpmaddwd),
/// 16 samples per step with every sum in registers. The same integer sums, so the same result.
__attribute__((target("avx2"))) void filterLineAvx2(const std::uint8_t *in,
    std::ptrdiff_t stride,
    int length,
    const std::int16_t *weights,
    int count,
    std::uint8_t *__restrict out)
{
    const __m256i rounding = _mm256_set1_epi32(kRounding);
    int x = 0;
    for (; x + kLanes <= length; x += kLanes) {
        __m256i low = rounding; // samples 0-3 and 8-11
        __m256i high = rounding; // samples 4-7 and 12-15
        for (int k = 0; k < count; k += 2) {
            const std::uint8_t *line = in + k * stride + x;
            const __m256i a = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i *>(line)));
            const bool pair = k + 1 < count;
            const __m256i b = pair
                ? _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i *>(line + stride)))
                : _mm256_setzero_si256();
            const int second = pair ? weights[k + 1] : 0;
            const __m256i w = _mm256_set1_epi32(
                static_cast<int>((static_cast<std::uint32_t>(static_cast<std::uint16_t>(second)) << 16)
                    | static_cast<std::uint16_t>(weights[k])));
            low = _mm256_add_epi32(low, _mm256_madd_epi16(_mm256_unpacklo_epi16(a, b), w));
            high = _mm256_add_epi32(high, _mm256_madd_epi16(_mm256_unpackhi_epi16(a, b), w));
        }
        const __m256i words
            = _mm256_packs_epi32(_mm256_srai_epi32(low, kWeightBits), _mm256_srai_epi32(high, kWeightBits));
        const __m256i bytes = _mm256_permute4x64_epi64(_mm256_packus_epi16(words, words), 0x08);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + x), _mm256_castsi256_si128(bytes));
    }
    for (; x < length; ++x)
        out[x] = filterSample(in + x, stride, weights, count);
}
#endif

using LineFilter
    = void (*)(const std::uint8_t *, std::ptrdiff_t, int, const std::int16_t *, int, std::uint8_t *);

std::atomic<bool> g_plainLineFilter { false };

LineFilter lineFilter()
{
    if (g_plainLineFilter.load(std::memory_order_relaxed))
        return filterLinePlain;
#if defined(__x86_64__) && defined(__GNUC__)
    static const LineFilter chosen = __builtin_cpu_supports("avx2") ? filterLineAvx2 : filterLinePlain;
    return chosen;
#else
    return filterLinePlain;
#endif
}

/// Filters whole lines: result line r is the weighted sum of input lines first[r] … first[r] + count − 1
/// (`length` samples each, `stride` apart). Runs along the lines, so it vectorises. Every kBlock lines
/// go to store(r0, n, block): n lines from r0, `length` samples apart.
template <typename Store>
void filterLines(
    const std::uint8_t *in, std::ptrdiff_t stride, int length, const Taps &taps, int lines, Store &&store)
{
    std::vector<std::uint8_t> block(static_cast<std::size_t>(length) * kBlock);
    const LineFilter filterLine = lineFilter();
    for (int r0 = 0; r0 < lines; r0 += kBlock) {
        const int n = std::min(kBlock, lines - r0);
        for (int b = 0; b < n; ++b) {
            const int r = r0 + b;
            filterLine(in + taps.first[static_cast<std::size_t>(r)] * stride,
                stride,
                length,
                &taps.weights[static_cast<std::size_t>(r) * taps.count],
                taps.count,
                block.data() + static_cast<std::size_t>(b) * length);
        }
        store(r0, n, static_cast<const std::uint8_t *>(block.data()));
    }
}

#if defined(__SSE2__)
/// Transposes 16 rows of 16 bytes in place: byte c of row r becomes byte r of row c. Four rounds of
/// interleaving, each doubling the width of what moves together.
void transpose16(__m128i rows[16])
{
    __m128i t[16];
    for (int i = 0; i < 8; ++i) {
        t[i] = _mm_unpacklo_epi8(rows[2 * i], rows[2 * i + 1]);
        t[i + 8] = _mm_unpackhi_epi8(rows[2 * i], rows[2 * i + 1]);
    }
    for (int h = 0; h < 2; ++h)
        for (int i = 0; i < 4; ++i) {
            rows[8 * h + i] = _mm_unpacklo_epi16(t[8 * h + 2 * i], t[8 * h + 2 * i + 1]);
            rows[8 * h + i + 4] = _mm_unpackhi_epi16(t[8 * h + 2 * i], t[8 * h + 2 * i + 1]);
        }
    for (int q = 0; q < 4; ++q)
        for (int i = 0; i < 2; ++i) {
            t[4 * q + i] = _mm_unpacklo_epi32(rows[4 * q + 2 * i], rows[4 * q + 2 * i + 1]);
            t[4 * q + i + 2] = _mm_unpackhi_epi32(rows[4 * q + 2 * i], rows[4 * q + 2 * i + 1]);
        }
    for (int e = 0; e < 8; ++e) {
        rows[2 * e] = _mm_unpacklo_epi64(t[2 * e], t[2 * e + 1]);
        rows[2 * e + 1] = _mm_unpackhi_epi64(t[2 * e], t[2 * e + 1]);
    }
}
#endif

/// Copies n lines of `length` samples (rows of a block) into columns r0 … r0 + n − 1 of `out`, whose
/// lines are `outStride` apart.
void storeTransposed(
    const std::uint8_t *block, int n, int length, std::uint8_t *out, int r0, std::ptrdiff_t outStride)
{
    int x = 0;
#if defined(__SSE2__)
    // Whole blocks go 16 × 16 bytes at a time through the registers.
    if (n == kBlock) {
        for (; x + kBlock <= length; x += kBlock) {
            __m128i rows[kBlock];
            for (int b = 0; b < kBlock; ++b)
                rows[b] = _mm_loadu_si128(
                    reinterpret_cast<const __m128i *>(block + static_cast<std::size_t>(b) * length + x));
            transpose16(rows);
            for (int c = 0; c < kBlock; ++c)
                _mm_storeu_si128(reinterpret_cast<__m128i *>(out + (x + c) * outStride + r0), rows[c]);
        }
    }
#endif
    for (; x < length; ++x) {
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
    std::ptrdiff_t dstride,
    bool sharpen)
{
    // The picture after the vertical pass, column by column: sw lines of dh samples.
    std::vector<std::uint8_t> columns(static_cast<std::size_t>(sw) * dh);
    std::uint8_t *t = columns.data();
    if (sh == dh && !sharpen) {
        for (int y = 0; y < dh; ++y)
            storeTransposed(src + y * sstride, 1, sw, t, y, dh);
    } else {
        filterLines(src,
            sstride,
            sw,
            *cachedTaps(sh, dh, sharpen),
            dh,
            [&](int y0, int n, const std::uint8_t *block) { storeTransposed(block, n, sw, t, y0, dh); });
    }
    if (sw == dw && !sharpen) {
        for (int x = 0; x < dw; ++x)
            storeTransposed(t + static_cast<std::size_t>(x) * dh, 1, dh, dst, x, dstride);
        return;
    }
    filterLines(t, dh, dh, *cachedTaps(sw, dw, sharpen), dw, [&](int x0, int n, const std::uint8_t *block) {
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
    int orientation,
    bool sharpen)
{
    if (orientation <= 1 || orientation > 8) {
        resamplePlane(src, sw, sh, sstride, target.data.get(), w, h, target.width, sharpen);
        return;
    }
    const bool swap = swapsSides(orientation);
    const int storedW = swap ? h : w;
    const int storedH = swap ? w : h;
    Plane stored = newPlane(storedW, storedH);
    resamplePlane(src, sw, sh, sstride, stored.data.get(), storedW, storedH, storedW, sharpen);
    orientPlane(stored.data.get(), storedW, storedH, storedW, orientation, target.data.get(), target.width);
}

} // namespace

void usePlainLineFilter(bool plain)
{
    g_plainLineFilter.store(plain, std::memory_order_relaxed);
}

JpegPlanes fitPlanes(
    const SourcePlanes &source, int orientation, int width, int height, int subsamp, bool sharpen)
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
        fillPlane(plane, w, h, source.data[c], sw, sh, source.planeWidth[c], orientation, sharpen);
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
        out = detail::fitPlanes(source,
            1,
            width,
            height,
            from.subsamp,
            detail::sharpensReduction(from.width, from.height, width, height));
        return true;
    } catch (...) {
        out = {};
        return false;
    }
}

} // namespace pictora::imaging
