// SPDX-License-Identifier: MIT
#include "generate/text_writer.h"

#include "album/settings.h"
#include "base/cp932.h"

namespace pictora::generate
{

namespace
{

constexpr std::size_t kFlushSize = 64 * 1024;

std::string withCrLf(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
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
    : m_file(std::move(path), kAlbumFile)
    , m_encoding(encoding)
{
}

TextFile::~TextFile() = default;

void TextFile::write(std::string_view utf8Text)
{
    m_buffer += encodeText(utf8Text, m_encoding);
    if (m_buffer.size() >= kFlushSize)
        flush();
}

void TextFile::flush()
{
    m_file.write(m_buffer);
    m_buffer.clear();
}

void TextFile::commit()
{
    flush();
    m_file.commit();
}

void writeTextFile(const std::string &path, std::string_view utf8Text, TextEncoding encoding)
{
    TextFile file(path, encoding);
    file.write(utf8Text);
    file.commit();
}

} // namespace pictora::generate
