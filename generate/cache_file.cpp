// SPDX-License-Identifier: MIT
#include "generate/cache_file.h"

#include "base/errors.h"
#include "base/file_io.h"

#include <chrono>
#include <fcntl.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace pictora::generate::cache_file
{

std::optional<std::string> readSmall(const std::string &path, std::size_t maxBytes)
{
    // Opened only when it is a regular file: a FIFO in its place must not stop every run.
    base::WholeFile whole = base::readWholeFile(path, maxBytes);
    if (!whole.ok)
        return std::nullopt;
    return std::move(whole.bytes);
}

bool replace(const std::string &folder, const std::string &name, std::string_view text)
{
    try {
        base::writeFileAtomically(folder + "/" + name, text);
    } catch (const base::UserError &) {
        return false;
    }
    return true;
}

FolderLock::FolderLock(const std::string &folder, const std::string &lockName)
    : m_fd(::open((folder + "/" + lockName).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600))
{
    if (m_fd < 0)
        return;
    for (int attempt = 0; attempt < 200; ++attempt) {
        if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

FolderLock::~FolderLock()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

std::string Reader::bytes(std::size_t count, char after)
{
    if (!m_ok || m_text.size() - m_pos < count + 1 || m_text[m_pos + count] != after) {
        m_ok = false;
        return {};
    }
    std::string out(m_text.substr(m_pos, count));
    m_pos += count + 1;
    return out;
}

void Reader::skip(std::string_view literal)
{
    if (!startsWith(literal))
        m_ok = false;
    else
        m_pos += literal.size();
}

} // namespace pictora::generate::cache_file
