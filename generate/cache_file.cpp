// SPDX-License-Identifier: MIT
#include "generate/cache_file.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace pictora::generate::cache_file
{

namespace
{

bool writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

} // namespace

std::uint64_t checksum(std::string_view bytes)
{
    std::uint64_t hash = 1469598103934665603ull;
    for (const unsigned char c : bytes) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    return hash;
}

std::optional<std::string> readSmall(const std::string &path, std::size_t maxBytes)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return std::nullopt;
    std::string bytes;
    struct stat info {
    };
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)
        && static_cast<std::uint64_t>(info.st_size) <= maxBytes;
    if (ok) {
        bytes.resize(static_cast<std::size_t>(info.st_size));
        std::size_t got = 0;
        while (ok && got < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                ok = false;
            else
                got += static_cast<std::size_t>(n);
        }
    }
    ::close(fd);
    if (!ok)
        return std::nullopt;
    return bytes;
}

bool replace(const std::string &folder, const std::string &name, std::string_view text)
{
    std::string temporary = folder + "/." + name + "-XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        return false;
    bool ok = writeAll(fd, text);
    ok = ::close(fd) == 0 && ok;
    if (ok)
        ok = ::rename(temporary.c_str(), (folder + "/" + name).c_str()) == 0;
    if (!ok)
        ::unlink(temporary.c_str());
    return ok;
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
