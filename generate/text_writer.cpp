// SPDX-License-Identifier: MIT
#include "generate/text_writer.h"

#include "album/cp932.h"
#include "album/errors.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <random>
#include <system_error>
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
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

/// A name next to the final one that nobody else uses: hidden, with a random part.
std::string temporaryName(const std::string &path)
{
    static std::atomic<unsigned> counter { 0 };
    thread_local std::mt19937 random { std::random_device {}() };
    const auto slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    // Shortened so that a final name near the length limit still leaves room for the suffix.
    const std::string name = (slash == std::string::npos ? path : path.substr(slash + 1)).substr(0, 100);
    return folder + "." + name + "." + std::to_string(::getpid()) + "-" + std::to_string(counter++) + "-"
        + std::to_string(random() % 1000000) + ".tmp";
}

} // namespace

std::string encodeText(std::string_view utf8Text)
{
    return album::cp932::encodeWithReferences(withCrLf(utf8Text));
}

TextFile::TextFile(std::string path)
    : m_path(std::move(path))
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        m_tempPath = temporaryName(m_path);
        // 0666 so the umask decides, as for any file the user creates.
        m_fd = ::open(m_tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_fd >= 0)
            return;
        if (errno != EEXIST)
            break;
    }
    const int error = errno;
    m_tempPath.clear();
    fail(error);
}

TextFile::~TextFile()
{
    discard();
}

void TextFile::write(std::string_view utf8Text)
{
    m_buffer += encodeText(utf8Text);
    if (m_buffer.size() >= kFlushSize)
        flush();
}

void TextFile::flush()
{
    if (m_fd < 0)
        fail(EBADF);
    std::size_t done = 0;
    while (done < m_buffer.size()) {
        const ssize_t n = ::write(m_fd, m_buffer.data() + done, m_buffer.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail(errno);
        }
        done += static_cast<std::size_t>(n);
    }
    m_buffer.clear();
}

void TextFile::commit()
{
    flush();
    const int fd = m_fd;
    m_fd = -1;
    // A full disk may only show up when the file is closed.
    if (::close(fd) != 0)
        fail(errno);
    if (std::rename(m_tempPath.c_str(), m_path.c_str()) != 0)
        fail(errno);
    m_tempPath.clear();
}

void TextFile::discard() noexcept
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_tempPath.empty()) {
        ::unlink(m_tempPath.c_str());
        m_tempPath.clear();
    }
    m_buffer.clear();
}

void TextFile::fail(int error)
{
    discard();
    throw album::UserError(m_path + "\nに書き込めません。\n(" + std::generic_category().message(error) + ")");
}

void writeTextFile(const std::string &path, std::string_view utf8Text)
{
    TextFile file(path);
    file.write(utf8Text);
    file.commit();
}

} // namespace pictora::generate
