// SPDX-License-Identifier: MIT
#include "imaging/capture_time.h"

#include "base/cp932.h"
#include "base/file_io.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

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

/// The first date-shaped window among those starting at 0 … 65534.
std::string_view findDate(std::string_view head)
{
    for (std::size_t k = 0; k <= kLastStart && k < head.size(); ++k) {
        if (head[k] == '\0')
            continue;
        const std::string_view text = textAt(head, k, kWindow);
        if (dateShaped(text))
            return text;
    }
    return kNoDate;
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

} // namespace

std::string captureTimeStamp(const std::string &path)
{
    try {
        std::string head;
        if (readHead(path, head) && isExif(head))
            return rewriteDate(findDate(head));
        return fileTimeText(path);
    } catch (...) {
        return kNoCaptureTime;
    }
}

} // namespace pictora::imaging
