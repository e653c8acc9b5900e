// SPDX-License-Identifier: MIT
#include "generate/text_writer.h"

#include "album/settings.h"
#include "base/cp932.h"
#include "base/errors.h"
#include "base/file_messages.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace pictora::generate
{

namespace
{

constexpr std::size_t kFlushSize = 64 * 1024;

std::string withCrLf(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t line = std::min(text.find('\n', at), text.size());
        out.append(text, at, line - at);
        if (line < text.size())
            out += "\r\n";
        at = line + 1;
    }
    return out;
}

} // namespace

TextEncoding pageEncoding(const album::AlbumSettings &settings)
{
    return settings.checked(album::OptionId::cbUTF8) ? TextEncoding::Utf8 : TextEncoding::Cp932;
}

std::string encodeText(std::string_view utf8Text, TextEncoding encoding)
{
    if (encoding == TextEncoding::Utf8)
        return withCrLf(utf8Text);
    return base::cp932::encodeWithReferences(withCrLf(utf8Text));
}

TextFile::TextFile(std::string path, TextEncoding encoding)
    : m_path(std::move(path))
    , m_encoding(encoding)
{
    // Only a plain file is compared: a link there is replaced, never read through.
    struct stat info {
    };
    if (::lstat(m_path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
        m_old.emplace(m_path);
        if (!m_old->isOpen())
            m_old.reset();
    }
    if (!m_old)
        m_file.emplace(m_path, kAlbumFile);
}

TextFile::~TextFile() = default;

void TextFile::write(std::string_view utf8Text)
{
    m_buffer += encodeText(utf8Text, m_encoding);
    if (m_buffer.size() >= kFlushSize)
        flush();
}

void TextFile::startWriting()
{
    std::unique_ptr<char[]> copy(new char[std::min(m_same, kFlushSize) + 1]);
    const int fd = m_old->descriptor();
    m_file.emplace(m_path, kAlbumFile);
    for (std::size_t at = 0; at < m_same;) {
        const std::size_t count = std::min(m_same - at, kFlushSize);
        if (!base::readExactlyAt(fd, copy.get(), count, at))
            throw base::UserError(base::cannotWriteMessage(m_path, errno != 0 ? errno : EIO));
        m_file->write(std::string_view(copy.get(), count));
        at += count;
    }
    m_old.reset();
}

void TextFile::flush()
{
    if (!m_file) {
        const std::size_t count = m_buffer.size();
        if (m_old->size() >= m_same + count) {
            std::unique_ptr<char[]> old(new char[count + 1]);
            if (base::readExactlyAt(m_old->descriptor(), old.get(), count, m_same)
                && std::memcmp(old.get(), m_buffer.data(), count) == 0) {
                m_same += count;
                m_buffer.clear();
                return;
            }
        }
        startWriting();
    }
    m_file->write(m_buffer);
    m_buffer.clear();
}

bool TextFile::commit()
{
    flush();
    if (!m_file) {
        // Equal so far: unchanged only when the file there ends here too.
        char more = 0;
        if (!base::readExactlyAt(m_old->descriptor(), &more, 1, m_same)) {
            m_old.reset();
            return false;
        }
        startWriting();
    }
    m_file->commit();
    m_file.reset();
    return true;
}

bool writeTextFile(const std::string &path, std::string_view utf8Text, TextEncoding encoding)
{
    TextFile file(path, encoding);
    file.write(utf8Text);
    return file.commit();
}

} // namespace pictora::generate
