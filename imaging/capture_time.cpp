// SPDX-License-Identifier: MIT
#include "imaging/capture_time.h"

#include "base/cp932.h"
#include "base/file_io.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <optional>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace pictora::imaging
{

namespace
{

constexpr std::size_t kWindow = 19;
constexpr std::size_t kLastStart = 65534;
constexpr std::size_t kScanBytes = kLastStart + kWindow; // 65,553

constexpr std::string_view kNoDate = "0000:00:00 00:00:00";

/// The first kScanBytes of the file; false when it cannot be opened or read, or is no regular file
/// (a FIFO would keep the reader waiting for ever).
bool readHead(const std::string &path, std::string &head)
{
    base::InputFile in(path);
    if (!in.isOpen())
        return false;
    head.resize(kScanBytes);
    std::size_t got = 0;
    bool ok = true;
    while (got < kScanBytes) {
        const long n = in.read(head.data() + got, kScanBytes - got);
        if (n < 0)
            ok = false;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    head.resize(got);
    return ok;
}

/// Text from `offset` up to the first zero byte, at most `length` bytes. Bytes beyond the end of the
/// file count as zero, so they end the text and can never make a window match.
std::string_view textAt(std::string_view bytes, std::size_t offset, std::size_t length)
{
    if (offset >= bytes.size())
        return {};
    std::string_view piece = bytes.substr(offset, length);
    return piece.substr(0, piece.find('\0'));
}

bool isExif(std::string_view head)
{
    return textAt(head, 6, 4) == "Exif";
}

bool dateShaped(std::string_view text)
{
    return text.size() >= 17 && text[4] == ':' && text[7] == ':' && text[13] == ':' && text[16] == ':';
}

/// The first date-shaped window among those starting at 0 … 65534; nothing when there is none.
std::optional<std::string_view> findDate(std::string_view head)
{
    for (std::size_t k = 0; k <= kLastStart && k < head.size(); ++k) {
        if (head[k] == '\0')
            continue;
        const std::string_view text = textAt(head, k, kWindow);
        if (dateShaped(text))
            return text;
    }
    return std::nullopt;
}

void replaceFirst(std::string &text, std::string_view what, std::string_view with)
{
    const std::size_t at = text.find(what);
    if (at != std::string::npos)
        text.replace(at, what.size(), with);
}

/// "2004:05:01 13:05:42" → "2004年05月01日 13時05分": only the first 17 characters, with the same
/// replacements in the same order as the stamp has always been made.
std::string rewriteDate(std::string_view date)
{
    // Camera text is ASCII; anything else is read as Shift_JIS, as the files of the time were written.
    std::string text = base::cp932::decodeLenient(date.substr(0, 17));
    replaceFirst(text, ":", "年");
    replaceFirst(text, ":", "月");
    const std::size_t space = text.find(' ');
    text.insert(space == std::string::npos ? 0 : space, "日");
    replaceFirst(text, ":", "時");
    replaceFirst(text, ":", "分");
    return text;
}

std::string fileTimeText(const std::string &path)
{
    struct stat info {
    };
    if (::stat(path.c_str(), &info) != 0)
        return rewriteDate(kNoDate);
    std::tm local {};
    const std::time_t seconds = info.st_mtim.tv_sec;
    if (!localtime_r(&seconds, &local))
        return rewriteDate(kNoDate);
    // Seconds are dropped, never rounded into the minute (file times were kept to two seconds).
    char text[64];
    std::snprintf(text,
        sizeof text,
        "%u年%02u月%02u日 %02u時%02u分",
        static_cast<unsigned>(local.tm_year + 1900),
        static_cast<unsigned>(local.tm_mon + 1),
        static_cast<unsigned>(local.tm_mday),
        static_cast<unsigned>(local.tm_hour),
        static_cast<unsigned>(local.tm_min));
    return text;
}

/// Reads a regular file at any offset, for containers that keep their Exif block anywhere.
class RandomReader
{
public:
    explicit RandomReader(const base::InputFile &file)
        : m_fd(file.descriptor())
        , m_size(file.size())
    {
    }
    [[nodiscard]] std::uint64_t size() const { return m_size; }
    /// Reads exactly `count` bytes at `offset`; false when the file ends first or cannot be read.
    bool read(std::uint64_t offset, void *into, std::size_t count) const
    {
        if (offset > m_size || count > m_size - offset)
            return false;
        return base::readExactlyAt(m_fd, into, count, offset);
    }

private:
    int m_fd;
    std::uint64_t m_size;
};

/// Where a container keeps its Exif block.
struct Span {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
};

std::uint64_t bigEndian(const unsigned char *p, int bytes)
{
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value = (value << 8) | p[i];
    return value;
}

std::uint32_t littleEndian32(const unsigned char *p)
{
    return std::uint32_t { p[0] } | (std::uint32_t { p[1] } << 8) | (std::uint32_t { p[2] } << 16)
        | (std::uint32_t { p[3] } << 24);
}

/// A WebP file's EXIF chunk.
std::optional<Span> webpExif(const RandomReader &file)
{
    unsigned char head[12];
    if (!file.read(0, head, sizeof head) || std::memcmp(head, "RIFF", 4) != 0
        || std::memcmp(head + 8, "WEBP", 4) != 0)
        return std::nullopt;
    const std::uint64_t end
        = std::min<std::uint64_t>(file.size(), std::uint64_t { littleEndian32(head + 4) } + 8);
    for (std::uint64_t at = 12; at + 8 <= end;) {
        unsigned char chunk[8];
        if (!file.read(at, chunk, sizeof chunk))
            break;
        const std::uint64_t length = littleEndian32(chunk + 4);
        if (std::memcmp(chunk, "EXIF", 4) == 0)
            return Span { at + 8, length };
        at += 8 + length + (length & 1);
    }
    return std::nullopt;
}

/// One box of an ISO base media file (HEIF, AVIF, the JPEG XL container).
struct Box {
    char type[4] {};
    std::uint64_t payload = 0; ///< where its contents start
    std::uint64_t end = 0; ///< where the next box starts
};

/// The boxes from `at` up to `end`, in order, while they are well formed.
std::vector<Box> boxesIn(const RandomReader &file, std::uint64_t at, std::uint64_t end)
{
    std::vector<Box> boxes;
    while (at + 8 <= end && boxes.size() < 4096) {
        unsigned char header[16];
        if (!file.read(at, header, 8))
            break;
        Box box;
        std::memcpy(box.type, header + 4, 4);
        std::uint64_t size = bigEndian(header, 4);
        box.payload = at + 8;
        if (size == 1) {
            if (!file.read(at + 8, header + 8, 8))
                break;
            size = bigEndian(header + 8, 8);
            box.payload = at + 16;
        } else if (size == 0) {
            size = end - at;
        }
        if (size < box.payload - at || size > end - at)
            break;
        box.end = at + size;
        boxes.push_back(box);
        at = box.end;
    }
    return boxes;
}

/// The contents of a box, at most `limit` bytes.
std::string boxBytes(const RandomReader &file, const Box &box, std::uint64_t limit)
{
    std::string bytes(static_cast<std::size_t>(std::min(box.end - box.payload, limit)), '\0');
    if (!file.read(box.payload, bytes.data(), bytes.size()))
        bytes.clear();
    return bytes;
}

/// A cursor over the bytes of a box that stops (and stays stopped) at their end.
class Fields
{
public:
    explicit Fields(std::string_view bytes)
        : m_bytes(bytes)
    {
    }
    std::uint64_t take(int size)
    {
        if (!m_ok || size < 0 || static_cast<std::size_t>(size) > m_bytes.size() - m_at) {
            m_ok = false;
            return 0;
        }
        const std::uint64_t value
            = bigEndian(reinterpret_cast<const unsigned char *>(m_bytes.data()) + m_at, size);
        m_at += static_cast<std::size_t>(size);
        return value;
    }
    [[nodiscard]] bool ok() const { return m_ok; }
    [[nodiscard]] std::size_t at() const { return m_at; }

private:
    std::string_view m_bytes;
    std::size_t m_at = 0;
    bool m_ok = true;
};

/// The item id of the Exif item that an 'iinf' box lists.
std::optional<std::uint32_t> exifItem(const RandomReader &file, const Box &iinf)
{
    const std::string bytes = boxBytes(file, iinf, 1 << 20);
    Fields head(bytes);
    const auto version = head.take(1);
    head.take(3);
    head.take(version == 0 ? 2 : 4); // entry count: the boxes tell it too
    if (!head.ok())
        return std::nullopt;
    for (const Box &infe : boxesIn(file, iinf.payload + head.at(), iinf.end)) {
        if (std::memcmp(infe.type, "infe", 4) != 0)
            continue;
        const std::string entry = boxBytes(file, infe, 64);
        Fields f(entry);
        const auto entryVersion = f.take(1);
        f.take(3);
        if (entryVersion < 2)
            continue;
        const auto id = f.take(entryVersion == 2 ? 2 : 4);
        f.take(2); // protection index
        const auto type = f.take(4);
        if (f.ok() && type == 0x45786966) // "Exif"
            return static_cast<std::uint32_t>(id);
    }
    return std::nullopt;
}

/// Where an 'iloc' box puts item `id`'s first extent: in the file, or inside 'idat' (construction 1).
std::optional<Span> itemExtent(
    const RandomReader &file, const Box &iloc, std::uint32_t id, const std::optional<Box> &idat)
{
    const std::string bytes = boxBytes(file, iloc, 1 << 20);
    Fields f(bytes);
    const auto version = f.take(1);
    f.take(3);
    const auto sizes = f.take(2);
    const int offsetSize = static_cast<int>(sizes >> 12);
    const int lengthSize = static_cast<int>((sizes >> 8) & 15);
    const int baseSize = static_cast<int>((sizes >> 4) & 15);
    const int indexSize = version >= 1 ? static_cast<int>(sizes & 15) : 0;
    const auto count = f.take(version < 2 ? 2 : 4);
    for (std::uint64_t i = 0; i < count && f.ok(); ++i) {
        const auto item = f.take(version < 2 ? 2 : 4);
        const auto method = version >= 1 ? f.take(2) & 15 : 0;
        f.take(2); // data reference
        const auto base = f.take(baseSize);
        const auto extents = f.take(2);
        for (std::uint64_t e = 0; e < extents && f.ok(); ++e) {
            f.take(indexSize);
            const auto offset = f.take(offsetSize);
            const auto length = f.take(lengthSize);
            if (!f.ok() || item != id || e > 0)
                continue;
            if (method == 0)
                return Span { base + offset, length };
            if (method == 1 && idat)
                return Span { idat->payload + base + offset, length };
            return std::nullopt;
        }
    }
    return std::nullopt;
}

/// The Exif block of a HEIF or AVIF file (an item of its 'meta' box) or of a JPEG XL container (an
/// 'Exif' box).
std::optional<Span> boxedExif(const RandomReader &file)
{
    for (const Box &box : boxesIn(file, 0, file.size())) {
        if (std::memcmp(box.type, "Exif", 4) == 0)
            return Span { box.payload, box.end - box.payload };
        if (std::memcmp(box.type, "meta", 4) != 0)
            continue;
        std::optional<Box> iinf, iloc, idat;
        for (const Box &inner : boxesIn(file, box.payload + 4, box.end)) {
            if (std::memcmp(inner.type, "iinf", 4) == 0)
                iinf = inner;
            else if (std::memcmp(inner.type, "iloc", 4) == 0)
                iloc = inner;
            else if (std::memcmp(inner.type, "idat", 4) == 0)
                idat = inner;
        }
        if (!iinf || !iloc)
            return std::nullopt;
        if (const auto id = exifItem(file, *iinf))
            return itemExtent(file, *iloc, *id, idat);
        return std::nullopt;
    }
    return std::nullopt;
}

/// The first kScanBytes of the Exif block of a HEIF, AVIF, WebP or JPEG XL file; nothing when it
/// has none or the file is of another kind.
std::optional<std::string> containerExif(const std::string &path)
{
    base::InputFile in(path);
    if (!in.isOpen())
        return std::nullopt;
    const RandomReader file(in);
    unsigned char head[12] = {};
    if (!file.read(0, head, sizeof head))
        return std::nullopt;
    std::optional<Span> span;
    if (std::memcmp(head, "RIFF", 4) == 0)
        span = webpExif(file);
    else if (std::memcmp(head + 4, "ftyp", 4) == 0 || std::memcmp(head + 4, "JXL ", 4) == 0)
        span = boxedExif(file);
    if (!span)
        return std::nullopt;
    std::string bytes(static_cast<std::size_t>(std::min<std::uint64_t>(span->length, kScanBytes)), '\0');
    if (!file.read(span->offset, bytes.data(), bytes.size()))
        return std::nullopt;
    return bytes;
}

} // namespace

std::string captureTimeStamp(const std::string &path)
{
    try {
        // Exif without a date (many phones write one) tells no more than no Exif at all.
        std::string head;
        if (readHead(path, head) && isExif(head)) {
            if (const auto date = findDate(head))
                return rewriteDate(*date);
        } else if (const std::optional<std::string> exif = containerExif(path)) {
            if (const auto date = findDate(*exif))
                return rewriteDate(*date);
        }
        return fileTimeText(path);
    } catch (...) {
        return kNoCaptureTime;
    }
}

} // namespace pictora::imaging
