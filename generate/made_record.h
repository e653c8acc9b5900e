// SPDX-License-Identifier: MIT
#pragma once

#include "generate/size_cache.h"

#include <cstddef>
#include <map>
#include <string>
#include <unordered_map>

namespace pictora::generate
{

/// One picture file a make wrote: the file as it left it, and everything its bytes came from.
struct MadeFile {
    FileStamp output;
    std::string source; ///< the source's absolute path
    FileStamp sourceStamp;
    std::string recipe; ///< every setting that decides the bytes, and the code that encoded them
    int sourceWidth = 0; ///< the source's upright size, for the pages when nothing is decoded
    int sourceHeight = 0;
    bool operator==(const MadeFile &) const = default;
};

/// What earlier makes wrote into one album folder, so that a make need not encode again a main
/// picture or thumbnail that is still byte for byte what it would write. Kept in the user's cache
/// folder, keyed by the album folder's real path, never in the album itself (people upload that
/// folder), in one file per kPicturesPerChunk pictures, so that a make that writes one picture
/// rewrites one small file and a make that writes none writes nothing. A file edited, replaced or
/// deleted since, a source changed in any way or another setting all mean encoding again; a
/// damaged, foreign or unreadable chunk means encoding its pictures. current() may run on several
/// threads at once; remember() and save() must not run beside it.
class MadeRecord
{
public:
    static constexpr std::size_t kPicturesPerChunk = 1000;

    /// Reads the record of `albumFolder` from `cacheFolder` (an empty name: nothing is remembered
    /// or written; neither is it when the album folder does not exist).
    MadeRecord(const std::string &cacheFolder, const std::string &albumFolder);

    /// Whether the album file `name` ("images/img0000.jpg") of picture `picture`, found at `path`,
    /// is still the file a make wrote from this source with this recipe. Its entry, or nullptr.
    [[nodiscard]] const MadeFile *current(const std::string &name,
        const std::string &path,
        const std::string &source,
        const FileStamp &sourceStamp,
        const std::string &recipe) const;

    /// Records what was just written as `name` for picture `picture`.
    void remember(std::size_t picture, const std::string &name, MadeFile made);

    /// Writes the chunks that changed, merged with what another process may have written
    /// meanwhile. False when one could not be written (the next make then encodes those pictures
    /// again).
    bool save();

    /// The folder of the record, and the file that holds picture `picture`.
    [[nodiscard]] const std::string &folderPath() const { return m_folder; }
    [[nodiscard]] std::string chunkPath(std::size_t picture) const;
    [[nodiscard]] std::size_t size() const { return m_files.size(); }

private:
    std::string m_albums; ///< the cache's folder of album records; empty: nothing is read or written
    std::string m_folder; ///< this album's
    std::string m_album; ///< the album folder's real path
    std::unordered_map<std::string, MadeFile> m_files;
    std::map<std::size_t, std::unordered_map<std::string, MadeFile>>
        m_fresh; ///< by chunk, written by this run
};

} // namespace pictora::generate
