// SPDX-License-Identifier: MIT
#include "generate/size_cache.h"

#include "base/user_folders.h"
#include "generate/cache_file.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <sys/stat.h>
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
    const int n = std::snprintf(end,
        sizeof end,
        "end %zu %llx\n",
        entries.size(),
        static_cast<unsigned long long>(cache_file::checksum(out)));
    out.append(end, static_cast<std::size_t>(n));
    return out;
}

std::uint64_t newestGeneration(const std::unordered_map<std::string, SizeCache::Entry> &entries)
{
    std::uint64_t newest = 0;
    for (const auto &[key, e] : entries)
        newest = std::max(newest, e.used);
    return newest;
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

SizeCache::SizeCache(std::string folder)
    : m_folder(std::move(folder))
{
    if (m_folder.empty())
        return;
    if (const auto text = cache_file::readSmall(filePath(), kMaxFileBytes)) {
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
    const cache_file::FolderLock lock(m_folder, "sizes.lock");

    // Another process may have written since this one read: keep its findings too.
    std::unordered_map<std::string, Entry> merged;
    if (const auto text = cache_file::readSmall(filePath(), kMaxFileBytes)) {
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

    if (!cache_file::replace(m_folder, kFileName, text))
        return false;

    std::unordered_map<std::string, Entry> kept;
    for (const auto &[key, e] : order)
        kept.emplace(*key, *e);
    m_entries = std::move(kept);
    m_fresh.clear();
    m_generation = generation + 1;
    return true;
}

} // namespace pictora::generate
