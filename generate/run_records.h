// SPDX-License-Identifier: MIT
#pragma once

#include "generate/made_record.h"
#include "generate/picture_conversion.h"
#include "generate/size_cache.h"

#include <optional>
#include <string>

namespace pictora::generate
{

/// One picture as a worker hands it to the run.
struct ConvertedPicture {
    PictureOutcome outcome;
    std::optional<FileStamp> stamp; ///< set when the source did not change while it was read
    std::string source; ///< the source's key in the record of made pictures
    std::optional<FileStamp> mainWritten; ///< the files as this run wrote them
    std::optional<FileStamp> thumbWritten;
};

/// What a make already holds of one picture, as its record tells.
struct HeldPicture {
    bool mainCurrent = false; ///< the main picture need not be written (or is not written at all)
    const MadeFile *thumbnail = nullptr; ///< the thumbnail is current too: nothing to decode
};

/// What runs remember between them: what decoding found out about each source (so that a rebuild
/// need not decode again) and, for a make, which pictures it wrote (so that the next make need not
/// encode them again). Lookups may run on the workers; record() and save() on the run's thread.
class RunRecords
{
public:
    /// `cacheFolder` empty: nothing is remembered. With `encodeAll` a make holds nothing already.
    RunRecords(const std::string &cacheFolder,
        const AlbumLayout &layout,
        const ConversionOptions &options,
        bool encodeAll);

    /// The outcome remembered for a source with exactly this stamp (a rebuild's).
    [[nodiscard]] std::optional<PictureOutcome> remembered(
        const std::string &path, const FileStamp &stamp) const;
    /// What the album holds of picture i as a make would write it now.
    [[nodiscard]] HeldPicture held(std::size_t i, const std::string &source, const FileStamp &stamp) const;
    /// Takes note of picture i as the run consumes it.
    void record(std::size_t i, const std::string &path, const ConvertedPicture &picture);
    /// Writes what changed. Neither failing costs more than the time saved next run.
    void save();

private:
    const AlbumLayout &m_layout;
    const ConversionOptions &m_options;
    SizeCache m_sizes;
    std::string m_plan;
    std::optional<MadeRecord> m_made; ///< a make's
    bool m_reuse = false;
    std::string m_mainRecipe;
    std::string m_thumbRecipe;
};

/// The album's names of picture i's main picture and thumbnail, as the record keys them.
[[nodiscard]] std::string madeMainName(std::size_t i);
[[nodiscard]] std::string madeThumbnailName(std::size_t i);

} // namespace pictora::generate
