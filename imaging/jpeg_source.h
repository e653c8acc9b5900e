// SPDX-License-Identifier: MIT
// Inside the imaging layer only: reading a JPEG source without libvips, for the planes that go from
// decoder to encoder, in the program itself and in the libvips module alike.
#pragma once

#include "imaging/picture.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace pictora::imaging::detail
{

/// A whole file, read straight into a buffer that is not zero-filled first.
struct FileBytes {
    std::unique_ptr<unsigned char[]> data;
    std::size_t size = 0;
};

/// The file's bytes; nothing when it cannot be read, is empty, or does not begin with `start`.
[[nodiscard]] std::optional<FileBytes> fileBytes(const std::string &path, std::string_view start = {});

/// The bytes of a JPEG up to its end marker: what follows (a phone's appended data, anything
/// else) is not read. Nothing when the file cannot be read, is empty or is no JPEG. A stream whose
/// end cannot be told is read whole, for the decoder to judge.
[[nodiscard]] std::optional<FileBytes> jpegBytes(const std::string &path);

/// Where a JPEG stream of `size` bytes ends (just after its end marker), scanning on from `state`
/// (0 at first); nothing while the bytes so far hold no end. `state` is left where the scan
/// stopped, or at SIZE_MAX when the stream is not laid out as a JPEG.
[[nodiscard]] std::optional<std::size_t> jpegEnd(
    const unsigned char *data, std::size_t size, std::size_t &state);

/// Whether an Exif orientation turns the picture by a quarter, so width and height trade places.
[[nodiscard]] bool swapsSides(int orientation);

/// The shrink-on-load factor for a JPEG of storedWidth × storedHeight that is to become at least
/// targetWidth × targetHeight (both in stored orientation): the largest of 8, 4, 2 whose decoded
/// size still covers the target, else 1.
[[nodiscard]] int jpegShrink(int storedWidth, int storedHeight, int targetWidth, int targetHeight);

/// The JPEG in `file`, grey (bands 1) or YCbCr (bands 3), decoded at 1/shrink into planes and fitted
/// to storedWidth × storedHeight, then turned upright by `orientation`, at TurboJPEG sampling
/// `subsamp`. Empty when TurboJPEG reports any trouble, a warning included. Throws std::bad_alloc
/// only.
[[nodiscard]] JpegPlanes decodeFittedPlanes(const FileBytes &file,
    int bands,
    int orientation,
    int shrink,
    int storedWidth,
    int storedHeight,
    int subsamp);

/// What the markers before the first scan tell about a JPEG that needs no colour management.
struct PlainJpegHeader {
    int width = 0;
    int height = 0;
    int components = 0; ///< 1 grey, 3 YCbCr
    int orientation = 1; ///< Exif orientation, 1 to 8
};

/// The header of a Huffman-coded 8-bit JPEG of 1 or 3 components without a colour profile or an
/// Adobe marker, with at most one Exif block whose orientation is plain. Nothing for anything else
/// or anything unusual: the general decoder then reads the file.
[[nodiscard]] std::optional<PlainJpegHeader> plainJpegHeader(const unsigned char *data, std::size_t size);

/// Reads `count` bytes at `offset` of a file into `into`; false when the file has fewer.
using ReadAt = std::function<bool(std::uint64_t offset, unsigned char *into, std::size_t count)>;

/// Whether a JPEG of `fileSize` bytes can hold the frame its header declares. A complete
/// Huffman-coded frame spends at least one bit on every 8 × 8 block of each component, so a file of
/// a few hundred bytes that declares 65500 × 65500 is refused before anything is decoded. True
/// when the header tells no such bound (arithmetic coding, no frame found, not a JPEG).
[[nodiscard]] bool jpegDataCanHoldFrame(const ReadAt &readAt, std::uint64_t fileSize);
[[nodiscard]] bool jpegDataCanHoldFrame(const unsigned char *data, std::size_t size);

/// What the program makes of a source by itself.
struct PlainPlanes {
    JpegPlanes planes; ///< a plain JPEG fitted to its target; empty when not surely plain, or on any trouble
    bool jpeg = false; ///< whether the file could be read and begins as a JPEG
};

/// A plain JPEG fitted to its target as planes without the general decoder; `header` gets the
/// upright size when the planes are made. The general decoder decides everything else.
[[nodiscard]] PlainPlanes plainJpegPlanes(
    const std::string &path, const TargetFor &targetFor, Sampling sampling, PictureInfo *header);

/// Whether a plain JPEG decode failed for want of memory since the last call.
[[nodiscard]] bool takePlainMemoryShortage();

} // namespace pictora::imaging::detail
