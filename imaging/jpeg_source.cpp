// SPDX-License-Identifier: MIT
// A JPEG source read without libvips: its markers, and its planes decoded at the DCT scale.
#include "imaging/jpeg_source.h"

#include "base/file_io.h"
#include "imaging/picture_impl.h"

#include <turbojpeg.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace pictora::imaging::detail
{

namespace
{

unsigned be16(const unsigned char *p)
{
    return (p[0] << 8) | p[1];
}

/// Unsigned 16 or 32 bits in the byte order of a TIFF block.
struct TiffReader {
    const unsigned char *data;
    bool little;

    [[nodiscard]] unsigned u16(std::size_t at) const
    {
        return little ? (data[at] | (data[at + 1] << 8)) : be16(data + at);
    }
    [[nodiscard]] std::uint32_t u32(std::size_t at) const
    {
        const std::uint32_t hi = u16(at + (little ? 2 : 0));
        const std::uint32_t lo = u16(at + (little ? 0 : 2));
        return (hi << 16) | lo;
    }
};

/// The orientation in the first picture directory of an Exif block (after "Exif\0\0"), 1 when it has
/// none. Nothing when the block is not laid out plainly enough to be sure what the general decoder
/// would read from it.
std::optional<int> exifOrientation(const unsigned char *tiff, std::size_t size)
{
    if (size < 8)
        return std::nullopt;
    const bool little = std::memcmp(tiff, "II", 2) == 0;
    if (!little && std::memcmp(tiff, "MM", 2) != 0)
        return std::nullopt;
    const TiffReader in { tiff, little };
    const std::uint32_t directory = in.u32(4);
    if (in.u16(2) != 42 || directory < 8 || directory > size - 2)
        return std::nullopt;
    const unsigned entries = in.u16(directory);
    if (entries == 0 || entries > (size - directory - 2) / 12)
        return std::nullopt;
    int orientation = 0;
    for (unsigned i = 0; i < entries; ++i) {
        const std::size_t entry = directory + 2 + 12 * static_cast<std::size_t>(i);
        if (in.u16(entry) != 0x0112)
            continue;
        constexpr unsigned kShort = 3;
        const unsigned value = in.u16(entry + 8);
        if (orientation != 0 || in.u16(entry + 2) != kShort || in.u32(entry + 4) != 1 || value < 1
            || value > 8)
            return std::nullopt;
        orientation = static_cast<int>(value);
    }
    return orientation == 0 ? 1 : orientation;
}

bool startsWith(const unsigned char *data, std::size_t size, const char *prefix, std::size_t length)
{
    return size >= length && std::memcmp(data, prefix, length) == 0;
}

} // namespace

std::optional<FileBytes> fileBytes(const std::string &path, std::string_view start)
{
    // Only a regular file: a FIFO or a device would keep the reader waiting.
    base::InputFile in(path);
    if (!in.isOpen())
        return std::nullopt;
    FileBytes bytes;
    std::size_t capacity = in.size();
    // One byte more than the size told, so that the end of the file is seen in the same read.
    capacity = std::max(capacity, start.size()) + 1;
    bytes.data.reset(new unsigned char[capacity]);
    bool ok = true;
    for (;;) {
        if (bytes.size == capacity) { // the file grew while it was read
            std::unique_ptr<unsigned char[]> larger(new unsigned char[capacity * 2]);
            std::memcpy(larger.get(), bytes.data.get(), bytes.size);
            bytes.data = std::move(larger);
            capacity *= 2;
        }
        // The first bytes alone first, when they must be `start`, so another kind of file is not
        // read whole.
        const std::size_t wanted
            = bytes.size < start.size() ? start.size() - bytes.size : capacity - bytes.size;
        const long got = in.read(reinterpret_cast<char *>(bytes.data.get() + bytes.size), wanted);
        if (got < 0)
            ok = false;
        if (got <= 0)
            break;
        bytes.size += static_cast<std::size_t>(got);
        if (bytes.size == start.size() && std::memcmp(bytes.data.get(), start.data(), start.size()) != 0) {
            ok = false;
            break;
        }
    }
    if (!ok || bytes.size == 0 || bytes.size < start.size())
        return std::nullopt;
    return bytes;
}

std::optional<std::size_t> jpegEnd(const unsigned char *data, std::size_t size, std::size_t &state)
{
    // The state is the position, with the top bit set while inside a scan's entropy-coded data.
    constexpr std::size_t kInScan = std::size_t(1) << (8 * sizeof(std::size_t) - 1);
    constexpr std::size_t kLost = SIZE_MAX;
    if (state == kLost)
        return std::nullopt;
    bool inScan = (state & kInScan) != 0;
    std::size_t at = state & ~kInScan;
    auto stop = [&](std::size_t where, bool scanning) {
        state = where | (scanning ? kInScan : 0);
        return std::nullopt;
    };
    while (at < size) {
        if (inScan) {
            const void *found = std::memchr(data + at, 0xFF, size - at);
            if (!found)
                return stop(size, true);
            const std::size_t ff = static_cast<std::size_t>(static_cast<const unsigned char *>(found) - data);
            if (ff + 1 >= size)
                return stop(ff, true);
            const unsigned char next = data[ff + 1];
            // A stuffed zero, a restart marker or a fill byte belong to the scan.
            if (next == 0x00 || (next >= 0xD0 && next <= 0xD7)) {
                at = ff + 2;
            } else if (next == 0xFF) {
                at = ff + 1;
            } else {
                inScan = false;
                at = ff;
            }
            continue;
        }
        if (data[at] != 0xFF) {
            state = kLost;
            return std::nullopt;
        }
        std::size_t marker = at + 1;
        while (marker < size && data[marker] == 0xFF) // fill bytes
            ++marker;
        if (marker >= size)
            return stop(at, false);
        const unsigned char code = data[marker];
        if (code == 0xD9)
            return marker + 1;
        if (code == 0xD8 || code == 0x01 || (code >= 0xD0 && code <= 0xD7)) {
            at = marker + 1;
            continue;
        }
        if (marker + 2 >= size)
            return stop(at, false);
        const std::size_t length = be16(data + marker + 1);
        if (length < 2) {
            state = kLost;
            return std::nullopt;
        }
        at = marker + 1 + length;
        inScan = code == 0xDA;
    }
    return stop(at, inScan);
}

std::optional<FileBytes> jpegBytes(const std::string &path)
{
    base::InputFile in(path);
    if (!in.isOpen())
        return std::nullopt;
    // Read in pieces, so that bytes after the end marker stay on the disk.
    constexpr std::size_t kPiece = 1 << 20;
    FileBytes bytes;
    std::size_t capacity = std::min(in.size(), kPiece) + 1;
    bytes.data.reset(new unsigned char[capacity]);
    std::size_t state = 0;
    for (;;) {
        if (bytes.size == capacity) {
            const std::size_t larger = capacity + std::max(capacity, kPiece);
            std::unique_ptr<unsigned char[]> grown(new unsigned char[larger]);
            std::memcpy(grown.get(), bytes.data.get(), bytes.size);
            bytes.data = std::move(grown);
            capacity = larger;
        }
        const std::size_t wanted = std::min(capacity - bytes.size, kPiece);
        const long got = in.read(reinterpret_cast<char *>(bytes.data.get() + bytes.size), wanted);
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            break;
        bytes.size += static_cast<std::size_t>(got);
        if (bytes.size >= 2 && (bytes.data[0] != 0xFF || bytes.data[1] != 0xD8))
            return std::nullopt;
        if (const std::optional<std::size_t> end = jpegEnd(bytes.data.get(), bytes.size, state)) {
            bytes.size = *end;
            break;
        }
    }
    if (bytes.size < 2)
        return std::nullopt;
    return bytes;
}

bool swapsSides(int orientation)
{
    return orientation >= 5 && orientation <= 8;
}

int jpegShrink(int storedWidth, int storedHeight, int targetWidth, int targetHeight)
{
    // The decoded size is rounded down here, as the general decoder gives it (and a side rounded
    // down to 0 would be fatal there).
    for (int shrink : { 8, 4, 2 }) {
        if (storedWidth / shrink >= targetWidth && storedHeight / shrink >= targetHeight)
            return shrink;
    }
    return 1;
}

JpegPlanes decodeFittedPlanes(const FileBytes &file,
    int bands,
    int orientation,
    int shrink,
    int storedWidth,
    int storedHeight,
    int subsamp)
{
    tjhandle decoder = threadDecoder();
    if (!decoder)
        return {};
    int width = 0;
    int height = 0;
    int stored = 0;
    int colourspace = 0;
    if (tjDecompressHeader3(decoder, file.data.get(), file.size, &width, &height, &stored, &colourspace) != 0
        || stored < 0 || (colourspace == TJCS_GRAY) != (bands == 1)
        || (colourspace != TJCS_YCbCr && colourspace != TJCS_GRAY))
        return {};
    const tjscalingfactor factor { 1, shrink };
    SourcePlanes source;
    source.width = TJSCALED(width, factor);
    source.height = TJSCALED(height, factor);
    source.planeCount = colourspace == TJCS_GRAY ? 1 : 3;
    std::unique_ptr<unsigned char[]> buffers[3];
    unsigned char *planes[3] = {};
    for (int c = 0; c < source.planeCount; ++c) {
        source.planeWidth[c] = tjPlaneWidth(c, source.width, stored);
        source.planeHeight[c] = tjPlaneHeight(c, source.height, stored);
        if (source.planeWidth[c] <= 0 || source.planeHeight[c] <= 0)
            return {};
        buffers[c].reset(
            new unsigned char[static_cast<std::size_t>(source.planeWidth[c]) * source.planeHeight[c]]);
        planes[c] = buffers[c].get();
        source.data[c] = planes[c];
    }
    // A warning (a truncated file, say) fails here too; the general loader then decides.
    if (tjDecompressToYUVPlanes(
            decoder, file.data.get(), file.size, planes, source.width, source.planeWidth, source.height, 0)
        != 0)
        return {};
    const bool swap = swapsSides(orientation);
    const int uprightWidth = swap ? storedHeight : storedWidth;
    const int uprightHeight = swap ? storedWidth : storedHeight;
    // Sharpened by how much the whole picture shrinks, the decoder's scale included.
    return fitPlanes(source,
        orientation,
        uprightWidth,
        uprightHeight,
        subsamp,
        sharpensReduction(width, height, storedWidth, storedHeight));
}

std::optional<PlainJpegHeader> plainJpegHeader(const unsigned char *data, std::size_t size)
{
    if (size < 4 || data[0] != 0xFF || data[1] != 0xD8)
        return std::nullopt;
    PlainJpegHeader header;
    bool frame = false;
    int exifBlocks = 0;
    std::size_t at = 2;
    for (;;) {
        if (at >= size || data[at] != 0xFF)
            return std::nullopt;
        while (at < size && data[at] == 0xFF) // fill bytes
            ++at;
        if (at >= size)
            return std::nullopt;
        const unsigned char marker = data[at++];
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) // no length of their own
            continue;
        if (marker == 0xD8 || marker == 0xD9 || at + 2 > size)
            return std::nullopt;
        const std::size_t length = be16(data + at);
        if (length < 2 || at + length > size)
            return std::nullopt;
        const unsigned char *segment = data + at + 2;
        const std::size_t segmentSize = length - 2;
        at += length;
        if (marker == 0xDA) // the first scan: the header is over
            break;
        if (marker == 0xE1 && startsWith(segment, segmentSize, "Exif", 4)) {
            if (++exifBlocks > 1 || !startsWith(segment, segmentSize, "Exif\0\0", 6))
                return std::nullopt;
            const std::optional<int> orientation = exifOrientation(segment + 6, segmentSize - 6);
            if (!orientation)
                return std::nullopt;
            header.orientation = *orientation;
        } else if ((marker == 0xE2 && startsWith(segment, segmentSize, "ICC_PROFILE", 11))
            || (marker == 0xEE && startsWith(segment, segmentSize, "Adobe", 5))) {
            return std::nullopt; // colour management or a colour transform of its own
        } else if (marker == 0xC0 || marker == 0xC1 || marker == 0xC2) {
            if (frame || segmentSize < 6 || segment[0] != 8)
                return std::nullopt;
            frame = true;
            header.height = static_cast<int>(be16(segment + 1));
            header.width = static_cast<int>(be16(segment + 3));
            header.components = segment[5];
        } else if (marker >= 0xC3 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
            return std::nullopt; // lossless, hierarchical or arithmetic-coded frames
        }
    }
    if (!frame || header.width <= 0 || header.height <= 0
        || (header.components != 1 && header.components != 3))
        return std::nullopt;
    return header;
}

namespace
{

/// The fewest blocks a frame can code: those of its smallest component.
std::uint64_t leastBlocks(const unsigned char *frame, std::size_t size)
{
    // P, Y, X, Nf, then three bytes per component: its id, sampling factors H << 4 | V, table.
    if (size < 6)
        return 0;
    const std::uint64_t height = be16(frame + 1);
    const std::uint64_t width = be16(frame + 3);
    const std::size_t components = frame[5];
    if (height == 0 || width == 0 || components == 0 || size < 6 + 3 * components)
        return 0;
    unsigned maxH = 1;
    unsigned maxV = 1;
    for (std::size_t c = 0; c < components; ++c) {
        const unsigned factors = frame[6 + 3 * c + 1];
        maxH = std::max(maxH, factors >> 4);
        maxV = std::max(maxV, factors & 0x0F);
    }
    std::uint64_t least = UINT64_MAX;
    for (std::size_t c = 0; c < components; ++c) {
        const unsigned factors = frame[6 + 3 * c + 1];
        const std::uint64_t h = std::max(1u, factors >> 4);
        const std::uint64_t v = std::max(1u, factors & 0x0F);
        const std::uint64_t columns = (width * h + maxH - 1) / maxH;
        const std::uint64_t rows = (height * v + maxV - 1) / maxV;
        least = std::min(least, ((columns + 7) / 8) * ((rows + 7) / 8));
    }
    return least;
}

} // namespace

bool jpegDataCanHoldFrame(const ReadAt &readAt, std::uint64_t fileSize)
{
    unsigned char two[2];
    if (!readAt(0, two, 2) || two[0] != 0xFF || two[1] != 0xD8)
        return true;
    std::uint64_t at = 2;
    // Headers are a few dozen segments; a file of endless tiny ones is left to the decoder.
    for (int segments = 0; segments < 4096; ++segments) {
        unsigned char byte = 0;
        if (!readAt(at, &byte, 1) || byte != 0xFF)
            return true;
        do { // fill bytes
            if (!readAt(++at, &byte, 1))
                return true;
        } while (byte == 0xFF);
        const unsigned char marker = byte;
        ++at;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) // no length of their own
            continue;
        if (marker == 0xD8 || marker == 0xD9 || marker == 0xDA || !readAt(at, two, 2))
            return true;
        const std::size_t length = be16(two);
        if (length < 2)
            return true;
        if (marker >= 0xC0 && marker <= 0xC3) { // Huffman-coded frames: one bit per block at least
            unsigned char frame[6 + 3 * 255];
            const std::size_t frameSize = std::min(length - 2, sizeof frame);
            if (!readAt(at + 2, frame, frameSize))
                return true;
            return fileSize >= (leastBlocks(frame, frameSize) + 7) / 8;
        }
        if (marker >= 0xC5 && marker <= 0xCF && marker != 0xC8 && marker != 0xCC)
            return true; // hierarchical or arithmetic-coded: no such bound
        at += length;
    }
    return true;
}

bool jpegDataCanHoldFrame(const unsigned char *data, std::size_t size)
{
    return jpegDataCanHoldFrame(
        [data, size](std::uint64_t offset, unsigned char *into, std::size_t count) {
            if (offset > size || count > size - offset)
                return false;
            std::memcpy(into, data + offset, count);
            return true;
        },
        size);
}

namespace
{
std::atomic<bool> g_plainShort { false };
}

PlainPlanes plainJpegPlanes(
    const std::string &path, const TargetFor &targetFor, Sampling sampling, PictureInfo *header)
{
    PlainPlanes plain;
    try {
        const std::optional<FileBytes> file = jpegBytes(path);
        if (!file)
            return plain;
        plain.jpeg = true;
        const std::optional<PlainJpegHeader> jpeg = plainJpegHeader(file->data.get(), file->size);
        if (!jpeg || jpeg->width > kMaxSide || jpeg->height > kMaxSide
            || !jpegDataCanHoldFrame(file->data.get(), file->size))
            return plain;
        const bool swap = swapsSides(jpeg->orientation);
        const PictureInfo info {
            swap ? jpeg->height : jpeg->width, swap ? jpeg->width : jpeg->height, 8 * jpeg->components
        };
        const auto [width, height] = targetFor(info);
        if (!saneSize(width, height))
            return plain;
        // Resampling happens before the picture is turned upright, so the target is turned the
        // other way.
        const int storedWidth = swap ? height : width;
        const int storedHeight = swap ? width : height;
        const int shrink = jpegShrink(jpeg->width, jpeg->height, storedWidth, storedHeight);
        if (!saneSize((jpeg->width + shrink - 1) / shrink, (jpeg->height + shrink - 1) / shrink))
            return plain;
        plain.planes = decodeFittedPlanes(*file,
            jpeg->components,
            jpeg->orientation,
            shrink,
            storedWidth,
            storedHeight,
            turboSampling(sampling));
        if (!plain.planes.empty() && header)
            *header = info;
    } catch (const std::bad_alloc &) {
        plain.planes = {};
        g_plainShort = true;
    }
    return plain;
}

bool takePlainMemoryShortage()
{
    return g_plainShort.exchange(false);
}

} // namespace pictora::imaging::detail
