// SPDX-License-Identifier: MIT
#include "base/file_io.h"

#include "base/errors.h"
#include "base/file_messages.h"

#include <cerrno>
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <random>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace pictora::base
{

namespace
{

constexpr std::size_t kFallbackNameMax = 255;
constexpr int kMaxLinkHops = 40;
/// A folder written into again within this time is not looked through for stale files again.
constexpr auto kSweepInterval = std::chrono::seconds(60);

std::string folderOf(const std::string &path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string fileNameOf(const std::string &path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

/// The file a chain of links at `path` ends in; `path` itself when it is no link.
std::string followLinks(const std::string &path, int &error)
{
    namespace fs = std::filesystem;
    std::string current = path;
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat info {
        };
        if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            return current;
        std::error_code ec;
        const fs::path target = fs::read_symlink(current, ec);
        if (ec)
            return current;
        current = target.is_absolute() ? target.string() : (fs::path(folderOf(current)) / target).string();
    }
    error = ELOOP;
    return {};
}

std::size_t nameMaxOf(const std::string &folder)
{
    const long limit = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    return limit > 0 ? static_cast<std::size_t>(limit) : kFallbackNameMax;
}

/// The mark every temporary of ours starts with: no user file is named like this, so the sweep
/// never takes one for ours.
constexpr std::string_view kTemporaryMark = ".pictora-tmp-";
constexpr std::size_t kRandomDigits = 16;

std::string randomPart()
{
    thread_local std::mt19937_64 random { (std::uint64_t { std::random_device {}() } << 32)
        ^ std::random_device {}() };
    char text[kRandomDigits + 1];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(random()));
    return text;
}

/// The process id of a temporary name of ours, ".pictora-tmp-<pid>-<16 hex digits>-<name>", or 0
/// for any other name.
long pidInTemporaryName(std::string_view name)
{
    if (!name.starts_with(kTemporaryMark))
        return 0;
    name.remove_prefix(kTemporaryMark.size());
    const auto dash = name.find('-');
    if (dash == std::string_view::npos || dash == 0 || dash > 9 || name.size() < dash + kRandomDigits + 2)
        return 0;
    const std::string_view pid = name.substr(0, dash);
    const std::string_view random = name.substr(dash + 1, kRandomDigits);
    if (pid.find_first_not_of("0123456789") != std::string_view::npos
        || random.find_first_not_of("0123456789abcdef") != std::string_view::npos
        || name[dash + 1 + kRandomDigits] != '-')
        return 0;
    long value = 0;
    std::from_chars(pid.data(), pid.data() + pid.size(), value);
    return value;
}

bool processAlive(long pid)
{
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH;
}

/// Looks through a folder once in a while, the first time it is written into.
void sweepFolderNow(const std::string &folder)
{
    static std::mutex mutex;
    static std::unordered_map<std::string, std::chrono::steady_clock::time_point> swept;
    const auto now = std::chrono::steady_clock::now();
    {
        const std::lock_guard lock(mutex);
        auto [it, fresh] = swept.try_emplace(folder, now);
        if (!fresh && now - it->second < kSweepInterval)
            return;
        it->second = now;
    }
    removeStaleTemporaries(folder);
}

void syncFolder(const std::string &folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    // The file is in place already; a folder that cannot be synced (some file systems refuse) only
    // leaves the rename to the system's own schedule.
    (void)::fsync(fd);
    ::close(fd);
}

} // namespace

std::string temporaryFileName(std::string_view fileName, std::size_t nameMax)
{
    std::string name(kTemporaryMark);
    name += std::to_string(::getpid()) + "-" + randomPart() + "-";
    const std::size_t room = nameMax > name.size() ? nameMax - name.size() : 0;
    std::size_t keep = std::min(fileName.size(), room);
    // Cut between characters, so the name stays valid UTF-8 for file systems that insist on it.
    while (keep > 0 && keep < fileName.size() && (static_cast<unsigned char>(fileName[keep]) & 0xC0) == 0x80)
        --keep;
    name.append(fileName.substr(0, keep));
    return name;
}

std::size_t removeStaleTemporaries(const std::string &folder)
{
    DIR *dir = ::opendir(folder.c_str());
    if (!dir)
        return 0;
    const long self = ::getpid();
    std::size_t removed = 0;
    while (const dirent *entry = ::readdir(dir)) {
        const long pid = pidInTemporaryName(entry->d_name);
        if (pid <= 0 || pid == self || processAlive(pid))
            continue;
        struct stat info {
        };
        if (::fstatat(::dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode))
            continue;
        if (::unlinkat(::dirfd(dir), entry->d_name, 0) == 0)
            ++removed;
    }
    ::closedir(dir);
    return removed;
}

AtomicFile::AtomicFile(std::string path, AtomicFileOptions options)
    : m_path(std::move(path))
    , m_syncEach(options.syncEach)
{
    int error = 0;
    m_target = options.followLinks ? followLinks(m_path, error) : m_path;
    if (error != 0)
        fail(error);
    const std::string folder = folderOf(m_target);
    sweepFolderNow(folder);

    // A link that is not followed is replaced like a missing file: a new file with the umask's mode.
    struct stat old {
    };
    const int found = options.followLinks ? ::stat(m_target.c_str(), &old) : ::lstat(m_target.c_str(), &old);
    const bool replacing = found == 0 && !S_ISLNK(old.st_mode);
    if (replacing && S_ISDIR(old.st_mode))
        fail(EISDIR);
    // A FIFO or a device (a project saved as /dev/null, say) is not ours to replace.
    if (replacing && !S_ISREG(old.st_mode))
        throw UserError(cannotWriteMessage(m_path, kReasonNotRegular));
    if (replacing && options.refuseWriteProtected && ::access(m_target.c_str(), W_OK) != 0)
        fail(errno);

    const std::string prefix = folder == "." && m_target.find('/') == std::string::npos ? std::string()
        : folder == "/"                                                                 ? std::string("/")
                                                                                        : folder + "/";
    const std::size_t nameMax = nameMaxOf(folder);
    for (int attempt = 0; attempt < 100 && m_fd < 0; ++attempt) {
        m_temporary = prefix + temporaryFileName(fileNameOf(m_target), nameMax);
        // 0666 so the umask decides for a new file, as for any file the user creates.
        m_fd = ::open(m_temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_fd < 0 && errno != EEXIST)
            break;
    }
    if (m_fd < 0) {
        const int openError = errno;
        m_temporary.clear();
        fail(openError);
    }
    if (replacing && ::fchmod(m_fd, old.st_mode & 07777) != 0)
        fail(errno);
}

AtomicFile::~AtomicFile()
{
    discard();
}

void AtomicFile::write(std::string_view bytes)
{
    if (m_fd < 0)
        fail(EBADF);
    while (!bytes.empty()) {
        const ssize_t n = ::write(m_fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            fail(n < 0 ? errno : EIO);
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

void AtomicFile::commit()
{
    if (m_fd < 0)
        fail(EBADF);
    // A full disk may show only when the data reaches it.
    if (m_syncEach && ::fsync(m_fd) != 0)
        fail(errno);
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0)
        fail(errno);
    if (::rename(m_temporary.c_str(), m_target.c_str()) != 0)
        fail(errno);
    m_temporary.clear();
    if (m_syncEach)
        syncFolder(folderOf(m_target));
}

void AtomicFile::discard() noexcept
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_temporary.empty()) {
        ::unlink(m_temporary.c_str());
        m_temporary.clear();
    }
}

void AtomicFile::fail(int error)
{
    discard();
    throw UserError(cannotWriteMessage(m_path, error));
}

int syncFileSystem(const std::string &folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const int error = ::syncfs(fd) == 0 ? 0 : errno;
    ::close(fd);
    return error;
}

void writeFileAtomically(const std::string &path, std::string_view bytes, AtomicFileOptions options)
{
    AtomicFile file(path, options);
    file.write(bytes);
    file.commit();
}

InputFile::InputFile(const std::string &path)
{
    // Without O_NONBLOCK opening a FIFO waits for a writer; a regular file ignores the flag.
    m_fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (m_fd < 0) {
        const int error = errno;
        m_failure = error == ENOENT ? std::string(kReasonNotFound) : systemReason(error);
        return;
    }
    struct stat info {
    };
    if (::fstat(m_fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        m_failure = S_ISDIR(info.st_mode) ? std::string(kReasonIsFolder) : std::string(kReasonNotRegular);
        ::close(m_fd);
        m_fd = -1;
        return;
    }
    const int flags = ::fcntl(m_fd, F_GETFL);
    if (flags >= 0)
        (void)::fcntl(m_fd, F_SETFL, flags & ~O_NONBLOCK);
    m_size = static_cast<std::size_t>(info.st_size);
}

InputFile::~InputFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

long InputFile::read(char *buffer, std::size_t count)
{
    if (m_fd < 0) {
        errno = EBADF;
        return -1;
    }
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer, count);
        if (n < 0 && errno == EINTR)
            continue;
        return static_cast<long>(n);
    }
}

WholeFile readWholeFile(const std::string &path, std::size_t limit)
{
    WholeFile whole;
    InputFile in(path);
    if (!in.isOpen()) {
        whole.failure = in.failure();
        return whole;
    }
    if (in.size() > limit) {
        whole.tooLarge = true;
        return whole;
    }
    // One byte more than the limit shows a file that grew past it while it was read.
    whole.bytes.resize(std::min(limit, in.size()) + 1);
    std::size_t got = 0;
    for (;;) {
        if (got == whole.bytes.size()) {
            if (got > limit) {
                whole.bytes.clear();
                whole.tooLarge = true;
                return whole;
            }
            whole.bytes.resize(std::min(limit + 1, 2 * got));
        }
        const long n = in.read(whole.bytes.data() + got, whole.bytes.size() - got);
        if (n < 0) {
            whole.failure = systemReason(errno);
            whole.bytes.clear();
            return whole;
        }
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    if (got > limit) {
        whole.bytes.clear();
        whole.tooLarge = true;
        return whole;
    }
    whole.bytes.resize(got);
    whole.ok = true;
    return whole;
}

namespace
{

std::int64_t nanoseconds(const struct timespec &t)
{
    return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

} // namespace

std::optional<FileStamp> stampOf(const std::string &path)
{
    struct stat info {
    };
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    return FileStamp { static_cast<std::uint64_t>(info.st_dev),
        static_cast<std::uint64_t>(info.st_ino),
        static_cast<std::int64_t>(info.st_size),
        nanoseconds(info.st_mtim),
        nanoseconds(info.st_ctim) };
}

FileLock::~FileLock()
{
    release();
}

FileLock::Outcome FileLock::lock(const std::string &path, bool wait)
{
    release();
    // A writer that held the lock may have put a new file in place: the lock must be on the file
    // the path names once it is held, so it is checked and taken again on the new one.
    for (;;) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0)
            return errno == ENOENT ? Outcome::Missing : Outcome::Unlockable;
        int result = 0;
        do
            result = ::flock(fd, LOCK_EX | (wait ? 0 : LOCK_NB));
        while (result != 0 && errno == EINTR);
        if (result != 0) {
            const int error = errno;
            ::close(fd);
            return error == EWOULDBLOCK ? Outcome::Busy : Outcome::Unlockable;
        }
        struct stat held {
        };
        struct stat named {
        };
        if (::fstat(fd, &held) == 0 && ::stat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev
            && held.st_ino == named.st_ino) {
            m_fd = fd;
            return Outcome::Locked;
        }
        ::close(fd);
    }
}

void FileLock::release()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

bool addressSpaceFor(std::size_t bytes)
{
    void *reserved = ::mmap(nullptr, bytes, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (reserved == MAP_FAILED)
        return false;
    ::munmap(reserved, bytes);
    return true;
}

std::uint64_t checksum(std::string_view bytes)
{
    std::uint64_t hash = 1469598103934665603ull;
    for (const unsigned char c : bytes) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    return hash;
}

std::string checksumName(std::string_view bytes)
{
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(checksum(bytes)));
    return text;
}

bool readExactlyAt(int fd, void *into, std::size_t count, std::uint64_t offset)
{
    auto *bytes = static_cast<char *>(into);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t got = ::pread(fd, bytes + done, count - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        done += static_cast<std::size_t>(got);
    }
    return true;
}

} // namespace pictora::base
