// SPDX-License-Identifier: MIT
// Inside the imaging layer only: how a Picture holds its pixels, and the helpers the sources share.
// Nothing here needs libvips, which only the libvips module loads.
#pragma once

#include "imaging/picture.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace pictora::imaging
{

/// The pixels of a Picture: always finished 8-bit samples in memory with 1 (grey), 3 (RGB) or 4
/// (RGB + alpha) bands, so reading a pixel never runs a pipeline. `owner` keeps `data` alive: a
/// decoded image of the general decoder, or a buffer of our own.
struct Picture::Impl {
    std::shared_ptr<const void> owner;
    const std::uint8_t *data = nullptr;
    int width = 0;
    int height = 0;
    int bands = 0;
};

/// One plane of a JpegPlanes: 8-bit samples, rows of exactly `width` bytes.
struct Plane {
    int width = 0;
    int height = 0;
    std::unique_ptr<std::uint8_t[]> data; ///< not zero-filled: every sample is written
};

/// What the encoder takes: the planes at the sizes TurboJPEG gives for width × height at `subsamp`
/// (the luma plane padded to whole chroma samples, the padding a copy of the edge).
struct JpegPlanes::Impl {
    int width = 0;
    int height = 0;
    int subsamp = 0; ///< TJSAMP_*
    Plane planes[3];
};

namespace detail
{

/// Interleaved 8-bit pixels that the effects change directly.
struct PixelBuffer {
    int width = 0;
    int height = 0;
    int bands = 0;
    std::vector<std::uint8_t> bytes;

    [[nodiscard]] std::uint8_t *at(int x, int y)
    {
        return bytes.data() + (static_cast<std::size_t>(y) * width + x) * bands;
    }
    [[nodiscard]] const std::uint8_t *at(int x, int y) const
    {
        return bytes.data() + (static_cast<std::size_t>(y) * width + x) * bands;
    }
};

/// What a picture may hold decoded; beyond it a load is refused before any pixel is decoded.
inline constexpr int kMaxSide = 65535;
inline constexpr long long kMaxPixels = 100'000'000;

[[nodiscard]] bool saneSize(long long width, long long height);

/// A picture reduced to two thirds or less of its source (over all steps: a decoder's reduced scale
/// and the resampling) is sharpened a little afterwards: the bicubic kernel keeps edges free of
/// ringing, and this gives back what it softens.
inline constexpr double kSharpenedReduction = 1.5;
/// The sharpening along each side: (1 + 2a)·sample − a·each neighbour, a = kSharpening.
inline constexpr double kSharpening = 0.055;

/// Whether a source of sourceWidth × sourceHeight shown at width × height is reduced enough to be
/// sharpened.
[[nodiscard]] inline bool sharpensReduction(
    double sourceWidth, double sourceHeight, double width, double height)
{
    return sourceWidth >= kSharpenedReduction * width || sourceHeight >= kSharpenedReduction * height;
}

/// A Picture that owns a copy of the buffer's pixels. Throws std::bad_alloc only.
[[nodiscard]] Picture fromBuffer(const PixelBuffer &buffer);
/// The same, taking the buffer's pixels over instead of copying them.
[[nodiscard]] Picture fromBuffer(PixelBuffer &&buffer);
[[nodiscard]] PixelBuffer toBuffer(const Picture &picture);

/// Decoded planes of a source: luma `width` × `height` (its plane may be wider or taller), and its
/// chroma planes, or none for grey.
struct SourcePlanes {
    int width = 0;
    int height = 0;
    int planeCount = 0; ///< 1 grey, 3 YCbCr
    const std::uint8_t *data[3] = {};
    int planeWidth[3] = {};
    int planeHeight[3] = {};
};

/// Planes of exactly width × height, upright, at TurboJPEG sampling `subsamp`, resampled from the
/// source's stored planes and turned by its Exif orientation, then sharpened when `sharpen` (see
/// sharpensReduction); grey gets neutral chroma. Throws std::bad_alloc only.
[[nodiscard]] JpegPlanes fitPlanes(
    const SourcePlanes &source, int orientation, int width, int height, int subsamp, bool sharpen);

/// Makes the plane resampler use its plain line filter instead of the machine's widest one, so that
/// the two can be compared; both give the same samples.
void usePlainLineFilter(bool plain);

/// TurboJPEG's encoder and decoder (tjhandle) of the calling thread, kept for every picture the
/// thread handles; null when TurboJPEG could not start one.
[[nodiscard]] void *threadEncoder();
[[nodiscard]] void *threadDecoder();

/// The TurboJPEG code of a sampling.
[[nodiscard]] int turboSampling(Sampling sampling);

} // namespace detail
} // namespace pictora::imaging
