// SPDX-License-Identifier: MIT
// Inside the imaging layer only: how a Picture holds its pixels, and the helpers the sources share.
#pragma once

#include "imaging/picture.h"

#include <vips/vips8>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace pictora::imaging
{

/// The pixels of a Picture: always a finished memory image of 8-bit samples with 1 (grey), 3 (RGB)
/// or 4 (RGB + alpha) bands, so reading a pixel never runs a libvips pipeline.
struct Picture::Impl {
    vips::VImage image;
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

[[nodiscard]] bool ready();

/// Computes a pipeline into memory. The run-time compiled loops of libvips (liborc 0.4.33) are
/// compiled when an operation is built and freed without a lock when it is released, which crashes
/// when pictures are converted on several threads. So the pipeline is built and released under one
/// process-wide lock and only computed outside it; the caller must hold no other reference to
/// operations that `build` creates.
[[nodiscard]] vips::VImage computeLocked(const std::function<vips::VImage()> &build);
[[nodiscard]] bool saneSize(long long width, long long height);

/// Turns any decoded image into a Picture: colour profile to sRGB, 8 bits per sample, 1/3/4 bands,
/// pixels computed into memory. Throws vips::VError when the pixels cannot be computed.
[[nodiscard]] Picture finish(vips::VImage image);

/// An image of 8-bit samples, 1/3/4 bands, already in the shape a Picture holds.
[[nodiscard]] Picture fromMemoryImage(vips::VImage image);

[[nodiscard]] Picture fromBuffer(const PixelBuffer &buffer);
[[nodiscard]] PixelBuffer toBuffer(const Picture &picture);

/// Scales to exactly width × height; alpha is premultiplied while resampling.
[[nodiscard]] vips::VImage resample(vips::VImage image, int width, int height);

/// Forgets libvips' error text after a failure has been turned into a return value.
void clearVipsError();

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
/// source's stored planes and turned by its Exif orientation; grey gets neutral chroma. Throws
/// std::bad_alloc only.
[[nodiscard]] JpegPlanes fitPlanes(
    const SourcePlanes &source, int orientation, int width, int height, int subsamp);

/// TurboJPEG's encoder and decoder (tjhandle) of the calling thread, kept for every picture the
/// thread handles; null when TurboJPEG could not start one.
[[nodiscard]] void *threadEncoder();
[[nodiscard]] void *threadDecoder();

/// The TurboJPEG code of a sampling.
[[nodiscard]] int turboSampling(Sampling sampling);

} // namespace detail
} // namespace pictora::imaging
