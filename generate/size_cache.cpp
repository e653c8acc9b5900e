// SPDX-License-Identifier: MIT
#include "generate/size_cache.h"

#include "base/user_folders.h"
#include "generate/cache_file.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <sys/stat.h>
#include <vector>

namespace pictora::generate
{

namespace
{

namespace fs = std::filesystem;

constexpr const char *kFolderName = "sizes.d";
// What earlier versions kept in one file.
constexpr const char *kOldFileName = "sizes";
constexpr std::string_view kHeader = "pictora size cache 2\n";
// Far beyond a bucket's share of a very long album's sources; anything bigger is not ours.
constexpr std::size_t kMaxFileBytes = 64u * 1024 * 1024;

std::size_t bucketOf(const std::string &key)
{
    return static_cast<std::size_t>(base::checksum(key) % SizeCache::kBuckets);
}

std::string bucketName(std::size_t bucket)
{
    char name[8];
    std::snprintf(name, sizeof name, "%02zx", bucket);
    return name;
}

std::int64_t clockDay()
{
    using namespace std::chrono;
    return duration_cast<hours>(system_clock::now().time_since_epoch()).count() / 24;
}

std::string keyOf(const std::string &path, const std::string &plan)
{
    return plan + '\n' + sourceKey(path);
}

/// The entries of a cache file, or nothing when it is missing, damaged or not ours.
std::optional<std::unordered_map<std::string, SizeCache::Entry>> parse(std::string_view text)
{
    std::unordered_map<std::string, SizeCache::Entry> entries;
    cache_file::Reader in(text);
    in.skip(kHeader);
    while (in.ok() && !in.atEnd() && !in.startsWith("end ")) {
        SizeCache::Entry e;
        e.used = in.number<std::int64_t>(' ');
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
    if (!in.ok() || !in.atEnd() || count != entries.size()
        || sum != cache_file::checksum(text.substr(0, checked)))
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
            "%lld %llu %llu %lld %lld %lld %d %d %d %zu\n",
            static_cast<long long>(e->used),
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
    const int n = std::snprintf(end,
        sizeof end,
        "end %zu %llx\n",
        entries.size(),
        static_cast<unsigned long long>(cache_file::checksum(out)));
    out.append(end, static_cast<std::size_t>(n));
    return out;
}

} // namespace

std::string sourceKey(const std::string &path)
{
    std::error_code ec;
    const fs::path absolute = fs::absolute(path, ec);
    return ec ? path : absolute.lexically_normal().string();
}

std::string SizeCache::defaultFolder()
{
    const std::string cacheHome = base::xdgUserFolder("XDG_CACHE_HOME", ".cache");
    return cacheHome.empty() ? std::string() : cacheHome + "/pictora";
}

SizeCache::SizeCache(std::string folder, std::optional<std::int64_t> today)
    : m_folder(folder.empty() ? std::string() : folder + "/" + kFolderName)
    , m_today(today ? *today : clockDay())
{
    if (m_folder.empty())
        return;
    for (std::size_t bucket = 0; bucket < kBuckets; ++bucket) {
        // A damaged bucket costs only its own sources.
        if (const auto text = cache_file::readSmall(m_folder + "/" + bucketName(bucket), kMaxFileBytes)) {
            if (auto entries = parse(*text))
                m_entries.merge(*entries);
        }
    }
}

std::string SizeCache::filePath(const std::string &path, const std::string &plan) const
{
    return m_folder.empty() ? std::string() : m_folder + "/" + bucketName(bucketOf(keyOf(path, plan)));
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
    std::string key = keyOf(path, plan);
    // Known already and used today: nothing to write.
    const auto it = m_entries.find(key);
    if (it != m_entries.end() && it->second.stamp == stamp && it->second.known == known
        && it->second.used >= m_today)
        return;
    m_fresh[std::move(key)] = Entry { stamp, known, m_today };
}

bool SizeCache::save()
{
    if (m_folder.empty())
        return false;
    if (m_fresh.empty())
        return true;
    std::error_code ec;
    fs::create_directories(m_folder, ec);
    const cache_file::FolderLock lock(m_folder, "lock");
    // The single file of earlier versions would only take room.
    fs::remove(fs::path(m_folder).parent_path() / kOldFileName, ec);

    std::vector<std::unordered_map<std::string, Entry>> fresh(kBuckets);
    for (auto &[key, e] : m_fresh)
        fresh[bucketOf(key)].emplace(key, e);
    m_fresh.clear();
    constexpr std::size_t kKeptPerBucket = kMaxEntries / kBuckets;
    bool saved = true;
    for (std::size_t bucket = 0; bucket < kBuckets; ++bucket) {
        if (fresh[bucket].empty())
            continue;
        // Another process may have written since this one read: keep its findings too.
        std::unordered_map<std::string, Entry> merged;
        const std::string name = bucketName(bucket);
        if (const auto text = cache_file::readSmall(m_folder + "/" + name, kMaxFileBytes)) {
            if (auto entries = parse(*text))
                merged = std::move(*entries);
        }
        for (auto &[key, e] : fresh[bucket])
            merged[key] = e;

        std::vector<std::pair<const std::string *, const Entry *>> order;
        order.reserve(merged.size());
        for (const auto &[key, e] : merged)
            order.emplace_back(&key, &e);
        // Newest first, so that trimming keeps the files used most recently.
        std::sort(order.begin(), order.end(), [](const auto &a, const auto &b) {
            return a.second->used != b.second->used ? a.second->used > b.second->used : *a.first < *b.first;
        });
        std::size_t kept = 0;
        while (kept < order.size() && (kept < kKeptPerBucket || order[kept].second->used >= m_today))
            ++kept;
        order.resize(kept);
        if (!cache_file::replace(m_folder, name, serialise(order))) {
            saved = false;
            continue;
        }
        for (const auto &[key, e] : order)
            m_entries[*key] = *e;
    }
    return saved;
}

} // namespace pictora::generate
