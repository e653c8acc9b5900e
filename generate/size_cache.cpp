// SPDX-License-Identifier: MIT
#include "generate/size_cache.h"

#include "album/errors.h"
#include "album/file_io.h"
#include "generate/platform_services.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace pictora::generate
{

namespace
{

namespace fs = std::filesystem;

constexpr const char *kFileName = "sizes";
constexpr std::string_view kHeader = "pictora size cache 1\n";
// Far beyond kMaxEntries of long paths; anything bigger is not ours.
constexpr std::size_t kMaxFileBytes = 64u * 1024 * 1024;

std::uint64_t fnv1a(std::string_view bytes)
{
    std::uint64_t hash = 1469598103934665603ull;
    for (const unsigned char c : bytes) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    return hash;
}

std::string keyOf(const std::string &path, const std::string &plan)
{
    std::error_code ec;
    const fs::path absolute = fs::absolute(path, ec);
    return plan + '\n' + (ec ? path : absolute.lexically_normal().string());
}

std::int64_t nanoseconds(const struct timespec &t)
{
    return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

/// Reads numbers and fields of the cache file, failing for good at the first surprise.
class Reader
{
public:
    explicit Reader(std::string_view text)
        : m_text(text)
    {
    }
    bool ok() const { return m_ok; }
    bool atEnd() const { return m_pos >= m_text.size(); }
    bool startsWith(std::string_view prefix) const { return m_text.substr(m_pos).starts_with(prefix); }
    std::size_t position() const { return m_pos; }

    template <typename T> T number(char after)
    {
        T value {};
        if (!m_ok)
            return value;
        const char *first = m_text.data() + m_pos;
        const char *last = m_text.data() + m_text.size();
        const auto [end, error] = std::from_chars(first, last, value);
        if (error != std::errc() || end == last || *end != after) {
            m_ok = false;
            return value;
        }
        m_pos += static_cast<std::size_t>(end - first) + 1;
        return value;
    }
    std::uint64_t hex(char after)
    {
        std::uint64_t value = 0;
        const char *first = m_text.data() + m_pos;
        const char *last = m_text.data() + m_text.size();
        const auto [end, error] = std::from_chars(first, last, value, 16);
        if (error != std::errc() || end == last || *end != after)
            m_ok = false;
        else
            m_pos += static_cast<std::size_t>(end - first) + 1;
        return value;
    }
    std::string bytes(std::size_t count, char after)
    {
        if (!m_ok || m_text.size() - m_pos < count + 1 || m_text[m_pos + count] != after) {
            m_ok = false;
            return {};
        }
        std::string out(m_text.substr(m_pos, count));
        m_pos += count + 1;
        return out;
    }
    void skip(std::string_view literal)
    {
        if (!startsWith(literal))
            m_ok = false;
        else
            m_pos += literal.size();
    }

private:
    std::string_view m_text;
    std::size_t m_pos = 0;
    bool m_ok = true;
};

/// The entries of a cache file, or nothing when it is missing, damaged or not ours.
std::optional<std::unordered_map<std::string, SizeCache::Entry>> parse(std::string_view text)
{
    std::unordered_map<std::string, SizeCache::Entry> entries;
    Reader in(text);
    in.skip(kHeader);
    while (in.ok() && !in.atEnd() && !in.startsWith("end ")) {
        SizeCache::Entry e;
        e.used = in.number<std::uint64_t>(' ');
        e.stamp.device = in.number<std::uint64_t>(' ');
        e.stamp.inode = in.number<std::uint64_t>(' ');
        e.stamp.size = in.number<std::int64_t>(' ');
        e.stamp.modifiedNs = in.number<std::int64_t>(' ');
        e.stamp.changedNs = in.number<std::int64_t>(' ');
        const int readable = in.number<int>(' ');
        e.known = { readable == 1, in.number<int>(' '), in.number<int>(' ') };
        const auto keyLength = in.number<std::size_t>('\n');
        std::string key = in.bytes(keyLength, '\n');
        if (!in.ok() || (readable != 0 && readable != 1) || e.known.width < 0 || e.known.height < 0)
            return std::nullopt;
        entries[std::move(key)] = e;
    }
    const std::size_t checked = in.position();
    in.skip("end ");
    const auto count = in.number<std::size_t>(' ');
    const std::uint64_t sum = in.hex('\n');
    if (!in.ok() || !in.atEnd() || count != entries.size() || sum != fnv1a(text.substr(0, checked)))
        return std::nullopt;
    return entries;
}

std::string serialise(const std::vector<std::pair<const std::string *, const SizeCache::Entry *>> &entries)
{
    std::string out(kHeader);
    out.reserve(entries.size() * 160);
    char line[256];
    for (const auto &[key, e] : entries) {
        const int n = std::snprintf(line,
            sizeof line,
            "%llu %llu %llu %lld %lld %lld %d %d %d %zu\n",
            static_cast<unsigned long long>(e->used),
            static_cast<unsigned long long>(e->stamp.device),
            static_cast<unsigned long long>(e->stamp.inode),
            static_cast<long long>(e->stamp.size),
            static_cast<long long>(e->stamp.modifiedNs),
            static_cast<long long>(e->stamp.changedNs),
            e->known.readable ? 1 : 0,
            e->known.width,
            e->known.height,
            key->size());
        out.append(line, static_cast<std::size_t>(n));
        out += *key;
        out += '\n';
    }
    char end[64];
    const int n = std::snprintf(
        end, sizeof end, "end %zu %llx\n", entries.size(), static_cast<unsigned long long>(fnv1a(out)));
    out.append(end, static_cast<std::size_t>(n));
    return out;
}

std::optional<std::string> readSmallFile(const std::string &path)
{
    // Opened only when it is a regular file: a FIFO in its place must not stop every run.
    album::WholeFile whole = album::readWholeFile(path, kMaxFileBytes);
    if (!whole.ok)
        return std::nullopt;
    return std::move(whole.bytes);
}

/// Serialises writers of the folder; the lock goes with the descriptor. Gives up waiting after a
/// while: the rename keeps the file whole even without it, only a finding may be lost.
class FolderLock
{
public:
    explicit FolderLock(const std::string &folder)
        : m_fd(::open((folder + "/sizes.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600))
    {
        if (m_fd < 0)
            return;
        for (int attempt = 0; attempt < 200; ++attempt) {
            if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    ~FolderLock()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FolderLock(const FolderLock &) = delete;
    FolderLock &operator=(const FolderLock &) = delete;

private:
    int m_fd;
};

std::uint64_t newestGeneration(const std::unordered_map<std::string, SizeCache::Entry> &entries)
{
    std::uint64_t newest = 0;
    for (const auto &[key, e] : entries)
        newest = std::max(newest, e.used);
    return newest;
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

std::string SizeCache::defaultFolder()
{
    const std::string cacheHome = xdgUserFolder("XDG_CACHE_HOME", ".cache");
    return cacheHome.empty() ? std::string() : cacheHome + "/pictora";
}

SizeCache::SizeCache(std::string folder)
    : m_folder(std::move(folder))
{
    if (m_folder.empty())
        return;
    if (const auto text = readSmallFile(filePath())) {
        if (auto entries = parse(*text))
            m_entries = std::move(*entries);
    }
    m_generation = newestGeneration(m_entries) + 1;
}

std::string SizeCache::filePath() const
{
    return m_folder.empty() ? std::string() : m_folder + "/" + kFileName;
}

std::optional<KnownPicture> SizeCache::find(
    const std::string &path, const std::string &plan, const FileStamp &stamp) const
{
    // Only what was read before the run: findings of this run are not visible before save(), so
    // lookups never meet a remember() on another thread.
    const auto it = m_entries.find(keyOf(path, plan));
    if (it == m_entries.end() || !(it->second.stamp == stamp))
        return std::nullopt;
    return it->second.known;
}

void SizeCache::remember(
    const std::string &path, const std::string &plan, const FileStamp &stamp, const KnownPicture &known)
{
    m_fresh[keyOf(path, plan)] = Entry { stamp, known, 0 };
}

bool SizeCache::save()
{
    if (m_folder.empty() || m_fresh.empty())
        return false;
    std::error_code ec;
    fs::create_directories(m_folder, ec);
    const FolderLock lock(m_folder);

    // Another process may have written since this one read: keep its findings too.
    std::unordered_map<std::string, Entry> merged;
    if (const auto text = readSmallFile(filePath())) {
        if (auto entries = parse(*text))
            merged = std::move(*entries);
    }
    const std::uint64_t generation = std::max(m_generation, newestGeneration(merged) + 1);
    for (auto &[key, e] : m_fresh) {
        e.used = generation;
        merged[key] = e;
    }

    std::vector<std::pair<const std::string *, const Entry *>> order;
    order.reserve(merged.size());
    for (const auto &[key, e] : merged)
        order.emplace_back(&key, &e);
    // Newest first, so that trimming keeps the files used most recently.
    std::sort(order.begin(), order.end(), [](const auto &a, const auto &b) {
        return a.second->used != b.second->used ? a.second->used > b.second->used : *a.first < *b.first;
    });
    if (order.size() > kMaxEntries)
        order.resize(kMaxEntries);
    const std::string text = serialise(order);

    try {
        album::writeFileAtomically(filePath(), text);
    } catch (const album::UserError &) {
        return false;
    }

    std::unordered_map<std::string, Entry> kept;
    for (const auto &[key, e] : order)
        kept.emplace(*key, *e);
    m_entries = std::move(kept);
    m_fresh.clear();
    m_generation = generation + 1;
    return true;
}

} // namespace pictora::generate
