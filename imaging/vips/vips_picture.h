// SPDX-License-Identifier: MIT
// Inside the libvips module only: the libvips side of pictures.
#pragma once

#include <exception>
#include <string_view>

#include "imaging/picture_impl.h"

#include <vips/vips8>

#include <functional>

namespace pictora::imaging::detail
{

/// Starts libvips once; false when it could not be started.
[[nodiscard]] bool ready();

/// Computes a pipeline into memory. The run-time compiled loops of libvips (liborc 0.4.33) are
/// compiled when an operation is built and freed without a lock when it is released, which crashes
/// when pictures are converted on several threads. So the pipeline is built and released under one
/// process-wide lock and only computed outside it; the caller must hold no other reference to
/// operations that `build` creates.
[[nodiscard]] vips::VImage computeLocked(const std::function<vips::VImage()> &build);

/// Turns any decoded image into a Picture: colour profile to sRGB, 8 bits per sample, 1/3/4 bands,
/// pixels computed into memory. Throws vips::VError when the pixels cannot be computed.
[[nodiscard]] Picture finish(vips::VImage image);

/// An image of 8-bit samples, 1/3/4 bands, already in the shape a Picture holds.
[[nodiscard]] Picture fromMemoryImage(vips::VImage image);

/// The picture's pixels as an image that borrows them: it must not outlive `picture`. Throws
/// vips::VError for an empty picture.
[[nodiscard]] vips::VImage imageOf(const Picture &picture);

/// Scales to exactly width × height, then sharpens when `sharpen` (see sharpensReduction); alpha is
/// premultiplied while resampling.
[[nodiscard]] vips::VImage resample(vips::VImage image, int width, int height, bool sharpen);

/// Forgets libvips' error text after a failure has been turned into a return value.
void clearVipsError();

/// Whether a message of libvips, a loader or the system tells of memory that could not be had.
[[nodiscard]] bool tellsOfMemoryShortage(std::string_view message);
/// A load failed for want of memory, not for its file: what `error` (caught in a load) tells.
void noteIfShortOfMemory(const std::exception &error);
/// Whether a load failed so since the last call.
[[nodiscard]] bool takeLoadShortage();

} // namespace pictora::imaging::detail
