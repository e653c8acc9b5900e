// SPDX-License-Identifier: MIT
#pragma once

#include "generate/layout.h"

#include <optional>
#include <string>
#include <vector>

namespace pictora::album
{
class AlbumSettings;
class Prompter;
class ProgressSink;
struct ImageEntry;
} // namespace pictora::album

namespace pictora::generate
{

/// Platform services the runs use; front ends and tests implement it.
class RunPlatform
{
public:
    virtual ~RunPlatform() = default;
    /// Moves a folder tree to the trash; false when that failed.
    virtual bool moveToTrash(const std::string &path) = 0;
    /// Opens a document with the user's associated program (the cover page in the browser).
    virtual void openDocument(const std::string &path) = 0;
    /// Asked after each picture: true when the user asked the run to stop. The run then ends
    /// after the pictures in flight, says so with kCancelledMessage and writes no page.
    virtual bool cancelRequested() { return false; }
};

/// Told when the user stopped a run between pictures.
inline constexpr const char *kCancelledMessage = "アルバムの作成を中止しました。";

/// Everything a make or rebuild run reads and reports through.
struct RunContext {
    album::AlbumSettings &settings; ///< read; the author address may be filled in
    const std::vector<album::ImageEntry> &entries;
    album::Prompter &prompts;
    album::ProgressSink &progress;
    RunPlatform &platform;
    int workers = 0; ///< picture workers; 0 = one per core
    /// Where runs remember between them what decoding found out about each source (so that a
    /// rebuild need not decode again), which pictures a make wrote (so that the next make need not
    /// encode them again) and what each album's last make wrote its pictures from (so that a rebuild
    /// never pairs pages with pictures of another list); nothing = the user's cache folder, an
    /// empty name = nowhere.
    std::optional<std::string> sizeCacheFolder = std::nullopt;
    /// A make encodes every main picture and thumbnail, also those the album already holds as it
    /// would write them.
    bool encodeAll = false;
};

struct RunResult {
    bool completed = false; ///< false when a question or message ended the run early
    std::string albumFolder;
    std::string indexPath;
    PictureSizes sizes;
    std::vector<std::size_t> unreadable; ///< list indexes of the pictures that could not be read
};

/// The make-album run: checks the settings with its questions, prepares the folders, converts
/// every picture, writes the pages and the style sheet and opens the cover page. A completed run
/// makes the rebuild available. A main picture or thumbnail that an earlier make wrote into the same
/// album folder from the same unchanged source with the same picture settings, and that nobody has
/// touched since, is not encoded again (unless encodeAll): the album is byte for byte the one
/// encoding everything would write. Once complete, a make says what a visitor of the album would
/// hit (visitorReport), when there is anything, as a VisitorReport. Throws base::UserError (a number that is
/// not a number, a file that cannot be written); the progress window is hidden again whatever happens.
RunResult makeAlbum(RunContext &context);

/// Rewrites the pages and the style sheet of an album made before, writing no picture file. Sources
/// unchanged since a run remembered them are not decoded again; the others are checked at a reduced
/// scale. The sizes and messages are those decoding every source would give. Refused, with a
/// message that asks for a make, when no record of the album's last completed make is kept here, the
/// list or the picture options differ from those of that make, or a main picture or thumbnail the
/// pages show is missing. Neither run writes through a link where the album expects a folder of its
/// own, and a make whose list holds pictures none of which could be read writes no page (an
/// error message; not completed).
RunResult rebuildPages(RunContext &context);

} // namespace pictora::generate
