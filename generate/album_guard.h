// SPDX-License-Identifier: MIT
// What keeps a run from writing where it must not: names that would lead out of the album folder,
// a rebuild over pictures that no longer match the list, and two runs writing one album at once.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace pictora::album
{
class AlbumSettings;
struct ImageEntry;
} // namespace pictora::album

namespace pictora::generate
{

class AlbumLayout;

/// Whether `name` can stand as one file name inside a folder: no "/" or "\", not "." or "..", no
/// control character. An empty name is left to the checks that ask for one.
[[nodiscard]] bool isPlainFileName(const std::string &name);

/// The message for the first name option (cover name, extension, style sheet) that would lead out
/// of the album folder or is no plain file name; nothing when all of them are sound.
[[nodiscard]] std::optional<std::string> unsafeNameMessage(const album::AlbumSettings &settings);

/// What the pictures of an album are made from: the options that shape them and the sources in
/// list order. A rebuild is sound only while this is what the last completed make wrote.
[[nodiscard]] std::string picturesMadeFrom(
    const album::AlbumSettings &settings, const std::vector<album::ImageEntry> &entries);

/// Refuses a rebuild whose list or picture options differ from those of the album's last make.
[[nodiscard]] std::string changedSinceMakeMessage();
/// Refuses a rebuild of an album whose last completed make left no record here (made elsewhere,
/// by another user, under another cache folder, or before the folder was renamed).
[[nodiscard]] std::string noMakeRecordMessage(const std::string &albumFolder);
/// Refuses a make over a list none of whose pictures could be read.
[[nodiscard]] std::string noPictureReadMessage(const std::string &albumFolder);
/// Refuses a run where a folder of the album is a link.
[[nodiscard]] std::string linkedAlbumFolderMessage(const std::string &folder);
/// Refuses a rebuild over an album that lacks a picture the pages would show.
[[nodiscard]] std::string missingAlbumPictureMessage(const std::string &path);

/// What the last completed make of an album wrote its pictures from, kept outside the album (in
/// the user's cache folder) under the album folder's real path, so that the command line holds the
/// window's rule: a rebuild only while the list and the picture options are those of that make.
class MadeAlbumRecord
{
public:
    /// `cacheFolder` empty: nothing is kept, and nothing is known.
    MadeAlbumRecord(const std::string &cacheFolder, const std::string &albumFolder);

    /// A make begins: until it completes, the album matches no list (and if it never does, a
    /// rebuild is refused).
    void forget() const;
    /// A make completed; false when the record could not be written.
    bool remember(const std::string &madeFrom) const;
    /// What the last completed make wrote from; nothing when unknown (never recorded, or made
    /// before records were kept).
    [[nodiscard]] std::optional<std::string> recall() const;

private:
    std::string m_folder; ///< empty: nothing is kept
    std::string m_name;
};

/// Told when another run already writes into the folder.
[[nodiscard]] std::string albumBusyMessage(const std::string &folder);

/// An exclusive advisory lock on a folder for the length of a run, so that two runs (in this
/// process or another) never write one album at once. Nothing is written into the folder: the
/// lock is taken on the folder itself and goes with the process.
class FolderLock
{
public:
    FolderLock() = default;
    ~FolderLock();
    FolderLock(FolderLock &&other) noexcept;
    FolderLock &operator=(FolderLock &&other) noexcept;
    FolderLock(const FolderLock &) = delete;
    FolderLock &operator=(const FolderLock &) = delete;

    enum class Outcome {
        Locked, ///< this run holds the folder
        Busy, ///< another run holds it
        Unlockable, ///< the folder is missing or its file system takes no lock
    };
    /// Tries once, without waiting.
    [[nodiscard]] Outcome lock(const std::string &folder);
    void release();

private:
    /// Locks the open descriptor `fd` without waiting and keeps it, or closes it; -1 is Unlockable.
    Outcome take(int fd);

    int m_fd = -1;
};

} // namespace pictora::generate
