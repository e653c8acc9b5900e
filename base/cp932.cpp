// SPDX-License-Identifier: MIT
#include "base/cp932.h"

#include "base/errors.h"
#include "base/file_messages.h"

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <iconv.h>
#include <unistd.h>
#include <unordered_map>

namespace pictora::base::cp932
{

namespace
{

/// Why iconv_open failed. It says EINVAL also when its module could not be opened: a file that
/// cannot be opened now tells the real cause.
int setupError()
{
    const int error = errno;
    if (error != EINVAL)
        return error;
    const int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    ::close(fd);
    return error;
}

/// One iconv descriptor per direction and thread (descriptors keep state and are not shareable).
class Converter
{
public:
    Converter(const char *to, const char *from)
        : m_to(to)
        , m_from(from)
        , m_cd(iconv_open(to, from))
    {
    }
    ~Converter()
    {
        if (m_cd != reinterpret_cast<iconv_t>(-1))
            iconv_close(m_cd);
    }
    Converter(const Converter &) = delete;
    Converter &operator=(const Converter &) = delete;

    /// Converts a whole piece; nullopt on any invalid or unconvertible input. Throws UserError when
    /// the conversion cannot be set up (its module could not be loaded: too many open files, no
    /// memory), which would otherwise read as text that is not CP932.
    std::optional<std::string> convert(std::string_view in)
    {
        if (m_cd == reinterpret_cast<iconv_t>(-1)) {
            m_cd = iconv_open(m_to, m_from);
            if (m_cd == reinterpret_cast<iconv_t>(-1))
                throw UserError("文字コード CP932 の変換を準備できません。\n(" + systemReason(setupError())
                    + ")\n開いているファイルやほかのプログラムを減らしてから、もう一度実行してください。");
        }
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        std::string out;
        char *src = const_cast<char *>(in.data());
        std::size_t srcLeft = in.size();
        std::array<char, 4096> buffer;
        while (srcLeft > 0) {
            char *dst = buffer.data();
            std::size_t dstLeft = buffer.size();
            const std::size_t rc = iconv(m_cd, &src, &srcLeft, &dst, &dstLeft);
            out.append(buffer.data(), buffer.size() - dstLeft);
            if (rc == static_cast<std::size_t>(-1)) {
                if (errno == E2BIG)
                    continue;
                return std::nullopt;
            }
            if (rc > 0) // irreversible conversions count as not fitting
                return std::nullopt;
        }
        return out;
    }

private:
    const char *m_to;
    const char *m_from;
    iconv_t m_cd;
};

Converter &encoder()
{
    thread_local Converter c("CP932", "UTF-8");
    return c;
}

Converter &decoder()
{
    thread_local Converter c("UTF-8", "CP932");
    return c;
}

/// Length of the UTF-8 sequence starting at text[pos], or 0 when it is not valid UTF-8.
std::size_t sequenceLength(std::string_view text, std::size_t pos, char32_t &codePoint)
{
    const auto lead = static_cast<unsigned char>(text[pos]);
    std::size_t length = 0;
    char32_t cp = 0;
    if (lead < 0x80)
        length = 1, cp = lead;
    else if ((lead & 0xE0) == 0xC0)
        length = 2, cp = lead & 0x1F;
    else if ((lead & 0xF0) == 0xE0)
        length = 3, cp = lead & 0x0F;
    else if ((lead & 0xF8) == 0xF0)
        length = 4, cp = lead & 0x07;
    else
        return 0;
    if (pos + length > text.size())
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[pos + i]);
        if ((next & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (next & 0x3F);
    }
    static constexpr char32_t kSmallest[] = { 0, 0, 0x80, 0x800, 0x10000 };
    if (cp < kSmallest[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    codePoint = cp;
    return length;
}

/// The CP932 bytes of one character when it survives the round trip.
std::optional<std::string> encodeCharacter(std::string_view utf8Character)
{
    thread_local std::unordered_map<std::string, std::optional<std::string>> cache;
    std::string key(utf8Character);
    if (auto it = cache.find(key); it != cache.end())
        return it->second;
    std::optional<std::string> bytes = encoder().convert(utf8Character);
    if (bytes) {
        auto back = decoder().convert(*bytes);
        if (!back || *back != utf8Character)
            bytes.reset();
    }
    cache.emplace(std::move(key), bytes);
    return bytes;
}

/// Walks the text character by character; returns false when `unfit` asks to stop.
template <typename Fit, typename Unfit> bool walk(std::string_view utf8, Fit &&fit, Unfit &&unfit)
{
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        // Runs of ASCII are the same in both encodings.
        if (static_cast<unsigned char>(utf8[pos]) < 0x80) {
            std::size_t end = pos + 1;
            while (end < utf8.size() && static_cast<unsigned char>(utf8[end]) < 0x80)
                ++end;
            fit(utf8.substr(pos, end - pos));
            pos = end;
            continue;
        }
        char32_t cp = 0xFFFD;
        const std::size_t length = sequenceLength(utf8, pos, cp);
        if (length == 0) {
            if (!unfit(0xFFFD))
                return false;
            ++pos;
            continue;
        }
        if (auto bytes = encodeCharacter(utf8.substr(pos, length)))
            fit(*bytes);
        else if (!unfit(cp))
            return false;
        pos += length;
    }
    return true;
}

} // namespace

bool isUtf8(std::string_view bytes)
{
    for (std::size_t pos = 0; pos < bytes.size();) {
        char32_t cp = 0;
        const std::size_t length = sequenceLength(bytes, pos, cp);
        if (length == 0)
            return false;
        pos += length;
    }
    return true;
}

bool fits(std::string_view utf8)
{
    return walk(
        utf8, [](std::string_view) {}, [](char32_t) { return false; });
}

std::string encodeWithReferences(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    walk(
        utf8,
        [&out](std::string_view bytes) { out += bytes; },
        [&out](char32_t cp) {
            out += "&#" + std::to_string(static_cast<unsigned long>(cp)) + ";";
            return true;
        });
    return out;
}

std::optional<std::string> encode(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    if (!walk(
            utf8, [&out](std::string_view bytes) { out += bytes; }, [](char32_t) { return false; }))
        return std::nullopt;
    return out;
}

std::optional<std::string> decode(std::string_view bytes)
{
    return decoder().convert(bytes);
}

std::string decodeLenient(std::string_view bytes)
{
    if (auto whole = decode(bytes))
        return *whole;
    // Character by character: one or two bytes each.
    std::string out;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[pos]);
        const bool doubleByte = (lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC);
        if (doubleByte && pos + 1 < bytes.size()) {
            if (auto ch = decode(bytes.substr(pos, 2))) {
                out += *ch;
                pos += 2;
                continue;
            }
        } else if (!doubleByte) {
            if (auto ch = decode(bytes.substr(pos, 1))) {
                out += *ch;
                pos += 1;
                continue;
            }
        }
        out += "\xEF\xBF\xBD";
        pos += 1;
    }
    return out;
}

} // namespace pictora::base::cp932
