// SPDX-License-Identifier: MIT
#pragma once

#include "base/file_io.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>

namespace pictora::generate
{

using base::FileStamp;
using base::stampOf;

/// How the caches name a source: its absolute, normalised path (the path as given when there is none).
[[nodiscard]] std::string sourceKey(const std::string &path);

/// What decoding a source found out: whether it loads, and its upright size.
struct KnownPicture {
    bool readable = false;
    int width = 0;
    int height = 0;
    bool operator==(const KnownPicture &) const = default;
};

/// Remembers per source file what decoding it found, so that a rebuild need not decode it again.
/// Kept in a folder of its own, spread over kBuckets files by source, so that a run that finds one
/// new thing rewrites one small file and a run that finds nothing new writes nothing. A damaged or
/// foreign file is ignored and replaced, a folder that cannot be written only means nothing is
/// remembered. Lookups may run on several threads at once; remember() and save() must not run
/// beside them.
class SizeCache
{
public:
    /// Sources that no run used today are kept up to about this many, the least recently used
    /// going first; what the runs of the day used is always kept, however long the album.
    static constexpr std::size_t kMaxEntries = 20000;
    static constexpr std::size_t kBuckets = 64;

    /// $XDG_CACHE_HOME/pictora, else ~/.cache/pictora; empty when neither can be found.
    [[nodiscard]] static std::string defaultFolder();

    /// Reads what `folder` holds (an empty folder name: nothing is remembered or written). `today`
    /// counts days since 1970 and defaults to the clock's.
    explicit SizeCache(std::string folder, std::optional<std::int64_t> today = std::nullopt);

    /// What was found for `path` decoded for `plan` when its file had exactly `stamp`, as read when
    /// the cache was opened or last saved.
    [[nodiscard]] std::optional<KnownPicture> find(
        const std::string &path, const std::string &plan, const FileStamp &stamp) const;
    /// Records a finding (or marks a found one as used today).
    void remember(
        const std::string &path, const std::string &plan, const FileStamp &stamp, const KnownPicture &known);
    /// Writes the files that changed, merged with what another process may have written meanwhile.
    /// False when one could not be written (nothing is lost but the time saved next run) or nothing
    /// is remembered at all.
    bool save();

    [[nodiscard]] std::size_t size() const { return m_entries.size(); }
    /// The file that holds what is remembered of `path` decoded for `plan`.
    [[nodiscard]] std::string filePath(const std::string &path, const std::string &plan) const;

    struct Entry {
        FileStamp stamp;
        KnownPicture known;
        std::int64_t used = 0; ///< the day it was last used
    };

private:
    std::string m_folder;
    std::int64_t m_today = 0;
    std::unordered_map<std::string, Entry> m_entries;
    std::unordered_map<std::string, Entry> m_fresh; ///< found, or used for the first time today
};

} // namespace pictora::generate
