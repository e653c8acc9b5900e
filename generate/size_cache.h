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
/// Kept in one file in a folder of its own; a damaged or foreign file is ignored and replaced, a
/// folder that cannot be written only means nothing is remembered. Lookups may run on several
/// threads at once; remember() and save() must not run beside them.
class SizeCache
{
public:
    /// At most this many files are remembered; the least recently used go first.
    static constexpr std::size_t kMaxEntries = 20000;

    /// $XDG_CACHE_HOME/pictora, else ~/.cache/pictora; empty when neither can be found.
    [[nodiscard]] static std::string defaultFolder();

    /// Reads what `folder` holds (an empty folder name: nothing is remembered or written).
    explicit SizeCache(std::string folder);

    /// What was found for `path` decoded for `plan` when its file had exactly `stamp`, as read when
    /// the cache was opened or last saved.
    [[nodiscard]] std::optional<KnownPicture> find(
        const std::string &path, const std::string &plan, const FileStamp &stamp) const;
    /// Records a finding (or marks a found one as used now).
    void remember(
        const std::string &path, const std::string &plan, const FileStamp &stamp, const KnownPicture &known);
    /// Writes the file, merged with what another process may have written meanwhile. False when it
    /// could not be written (nothing is lost but the time saved next run).
    bool save();

    [[nodiscard]] std::size_t size() const { return m_entries.size(); }
    [[nodiscard]] std::string filePath() const;

    struct Entry {
        FileStamp stamp;
        KnownPicture known;
        std::uint64_t used = 0; ///< generation of the last run that used it
    };

private:
    std::string m_folder;
    std::unordered_map<std::string, Entry> m_entries;
    std::unordered_map<std::string, Entry> m_fresh; ///< found or used in this run
    std::uint64_t m_generation = 0;
};

} // namespace pictora::generate
