// SPDX-License-Identifier: MIT
#include "generate/made_record.h"

#include "generate/cache_file.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <vector>

namespace pictora::generate
{

namespace
{

namespace fs = std::filesystem;

constexpr std::string_view kHeader = "pictora made pictures 2\n";
// Far beyond two files for each picture of a chunk; anything bigger is not ours.
constexpr std::size_t kMaxFileBytes = 64u * 1024 * 1024;

void readStamp(cache_file::Reader &in, FileStamp &stamp)
{
    stamp.device = in.number<std::uint64_t>(' ');
    stamp.inode = in.number<std::uint64_t>(' ');
    stamp.size = in.number<std::int64_t>(' ');
    stamp.modifiedNs = in.number<std::int64_t>(' ');
    stamp.changedNs = in.number<std::int64_t>(' ');
}

/// The entries of a record of `album`, or nothing when it is damaged or another album's.
std::optional<std::unordered_map<std::string, MadeFile>> parse(
    std::string_view text, const std::string &album, std::size_t chunk)
{
    std::unordered_map<std::string, MadeFile> files;
    cache_file::Reader in(text);
    in.skip(kHeader);
    in.skip("album ");
    const auto albumLength = in.number<std::size_t>('\n');
    if (in.bytes(albumLength, '\n') != album || !in.ok())
        return std::nullopt;
    in.skip("chunk ");
    if (in.number<std::size_t>('\n') != chunk || !in.ok())
        return std::nullopt;
    while (in.ok() && !in.atEnd() && !in.startsWith("end ")) {
        MadeFile made;
        readStamp(in, made.output);
        readStamp(in, made.sourceStamp);
        made.sourceWidth = in.number<int>(' ');
        made.sourceHeight = in.number<int>(' ');
        const auto nameLength = in.number<std::size_t>(' ');
        const auto sourceLength = in.number<std::size_t>(' ');
        const auto recipeLength = in.number<std::size_t>('\n');
        std::string name = in.bytes(nameLength, '\n');
        made.source = in.bytes(sourceLength, '\n');
        made.recipe = in.bytes(recipeLength, '\n');
        if (!in.ok() || made.sourceWidth <= 0 || made.sourceHeight <= 0)
            return std::nullopt;
        files[std::move(name)] = std::move(made);
    }
    const std::size_t checked = in.position();
    in.skip("end ");
    const auto count = in.number<std::size_t>(' ');
    const std::uint64_t sum = in.hex('\n');
    if (!in.ok() || !in.atEnd() || count != files.size()
        || sum != cache_file::checksum(text.substr(0, checked)))
        return std::nullopt;
    return files;
}

void appendStamp(std::string &out, const FileStamp &stamp)
{
    char text[128];
    const int n = std::snprintf(text,
        sizeof text,
        "%llu %llu %lld %lld %lld ",
        static_cast<unsigned long long>(stamp.device),
        static_cast<unsigned long long>(stamp.inode),
        static_cast<long long>(stamp.size),
        static_cast<long long>(stamp.modifiedNs),
        static_cast<long long>(stamp.changedNs));
    out.append(text, static_cast<std::size_t>(n));
}

std::string serialise(
    const std::string &album, std::size_t chunk, const std::unordered_map<std::string, MadeFile> &files)
{
    // In name order, so that the same record always reads the same.
    std::vector<const std::pair<const std::string, MadeFile> *> order;
    order.reserve(files.size());
    for (const auto &entry : files)
        order.push_back(&entry);
    std::sort(order.begin(), order.end(), [](const auto *a, const auto *b) { return a->first < b->first; });

    std::string out(kHeader);
    out += "album " + std::to_string(album.size()) + "\n" + album + "\n";
    out += "chunk " + std::to_string(chunk) + "\n";
    for (const auto *entry : order) {
        const auto &[name, made] = *entry;
        appendStamp(out, made.output);
        appendStamp(out, made.sourceStamp);
        out += std::to_string(made.sourceWidth) + ' ' + std::to_string(made.sourceHeight) + ' '
            + std::to_string(name.size()) + ' ' + std::to_string(made.source.size()) + ' '
            + std::to_string(made.recipe.size()) + '\n';
        out += name + '\n' + made.source + '\n' + made.recipe + '\n';
    }
    char end[64];
    const int n = std::snprintf(end,
        sizeof end,
        "end %zu %llx\n",
        order.size(),
        static_cast<unsigned long long>(cache_file::checksum(out)));
    out.append(end, static_cast<std::size_t>(n));
    return out;
}

std::string chunkName(std::size_t chunk)
{
    return std::to_string(chunk);
}

} // namespace

MadeRecord::MadeRecord(const std::string &cacheFolder, const std::string &albumFolder)
{
    if (cacheFolder.empty())
        return;
    std::error_code ec;
    const fs::path real = fs::canonical(albumFolder, ec);
    if (ec)
        return;
    m_albums = cacheFolder + "/albums";
    m_album = real.string();
    m_folder = m_albums + "/" + base::checksumName(m_album) + ".made";
    for (const auto &entry : fs::directory_iterator(m_folder, ec)) {
        const std::string name = entry.path().filename().string();
        std::size_t chunk = 0;
        const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), chunk);
        if (error != std::errc() || end != name.data() + name.size() || name != chunkName(chunk))
            continue;
        // A damaged chunk costs only its own pictures.
        if (const auto text = cache_file::readSmall(entry.path().string(), kMaxFileBytes)) {
            if (auto files = parse(*text, m_album, chunk))
                m_files.merge(*files);
        }
    }
}

std::string MadeRecord::chunkPath(std::size_t picture) const
{
    return m_folder.empty() ? std::string() : m_folder + "/" + chunkName(picture / kPicturesPerChunk);
}

const MadeFile *MadeRecord::current(const std::string &name,
    const std::string &path,
    const std::string &source,
    const FileStamp &sourceStamp,
    const std::string &recipe) const
{
    // Only what was read before the run, so that lookups never meet a remember() on another thread.
    const auto it = m_files.find(name);
    if (it == m_files.end())
        return nullptr;
    const MadeFile &made = it->second;
    if (made.source != source || !(made.sourceStamp == sourceStamp) || made.recipe != recipe)
        return nullptr;
    const std::optional<FileStamp> output = stampOf(path);
    return output && *output == made.output ? &made : nullptr;
}

void MadeRecord::remember(std::size_t picture, const std::string &name, MadeFile made)
{
    m_fresh[picture / kPicturesPerChunk][name] = std::move(made);
}

bool MadeRecord::save()
{
    if (m_folder.empty() || m_fresh.empty())
        return false;
    std::error_code ec;
    fs::create_directories(m_folder, ec);
    const cache_file::FolderLock lock(m_folder, "lock");
    // The single file of earlier versions would only take room.
    fs::remove(m_albums + "/" + base::checksumName(m_album), ec);

    bool saved = true;
    for (auto &[chunk, fresh] : m_fresh) {
        // Another process may have made pictures of this album since this one read the record:
        // every entry stays true as long as its file is unchanged, so theirs are kept beside this
        // run's.
        std::unordered_map<std::string, MadeFile> merged;
        const std::string name = chunkName(chunk);
        if (const auto text = cache_file::readSmall(m_folder + "/" + name, kMaxFileBytes)) {
            if (auto files = parse(*text, m_album, chunk))
                merged = std::move(*files);
        }
        for (auto &[file, made] : fresh)
            merged[file] = std::move(made);
        if (!cache_file::replace(m_folder, name, serialise(m_album, chunk, merged))) {
            saved = false;
            continue;
        }
        for (auto &[file, made] : merged)
            m_files[file] = std::move(made);
    }
    m_fresh.clear();
    return saved;
}

} // namespace pictora::generate
