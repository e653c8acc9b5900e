// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

/// Files in and out: every file the program writes (pages, pictures, projects, preferences, the
/// cache, desktop files) goes through AtomicFile, and every file it reads is opened by InputFile.
namespace pictora::base
{

struct AtomicFileOptions {
    /// A file the user may not write is refused rather than replaced (a write-protected project).
    bool refuseWriteProtected = false;
    /// Each file and its folder synced before commit() returns. Off only for the many files of an
    /// album, which its run syncs at once when it ends (syncFileSystem): syncing each costs about
    /// ten milliseconds a file.
    bool syncEach = true;
    /// A link at the path is followed and the file it names replaced. Off for the files of an album,
    /// where a planted link must not lead a write out of the album: the link itself is replaced.
    bool followLinks = true;
};

/// A file that appears whole or not at all. It is written under a temporary name beside its final
/// one, synced, and renamed over it on commit(); until then an existing file stays as it was. A link
/// at the path is followed (the file it names is replaced), the mode of a replaced file is kept, a
/// new one gets 0666 less the umask. Dropped without commit() (an error, an exception), it removes
/// its temporary file. The temporary name is hidden, fits the folder's name limit however long the
/// final name, and carries the process id, so that one left by a killed process is recognised and
/// removed by the next write into that folder.
///
/// A folder, a FIFO or a device at the path is left alone. Every failure throws UserError
/// "<path>\nに書き込めません。\n(<reason>)".
class AtomicFile
{
public:
    explicit AtomicFile(std::string path, AtomicFileOptions options = {});
    ~AtomicFile();
    AtomicFile(const AtomicFile &) = delete;
    AtomicFile &operator=(const AtomicFile &) = delete;

    void write(std::string_view bytes);
    /// Syncs the data, puts the file in its place and syncs the folder.
    void commit();

    [[nodiscard]] const std::string &path() const { return m_path; }
    [[nodiscard]] const std::string &temporaryPath() const { return m_temporary; }

private:
    void discard() noexcept;
    [[noreturn]] void fail(int error);

    std::string m_path; ///< as asked for: messages name it
    std::string m_target; ///< where the file goes, links followed
    std::string m_temporary;
    int m_fd = -1;
    bool m_syncEach = true;
};

/// Puts everything written to the file system that holds `folder` on the disk (what files written
/// without AtomicFileOptions::syncEach wait for). 0, or the error number when it could not.
int syncFileSystem(const std::string &folder);

/// Writes a whole file at once through AtomicFile.
void writeFileAtomically(const std::string &path, std::string_view bytes, AtomicFileOptions options = {});

/// The temporary name AtomicFile uses for `fileName` in a folder whose names may have `nameMax`
/// bytes: ".pictora-tmp-<pid>-<16 random hexadecimal digits>-<fileName>", the file name cut short
/// (at a character) to fit.
[[nodiscard]] std::string temporaryFileName(std::string_view fileName, std::size_t nameMax);

/// Removes the regular files of `folder` (not of its subfolders) named as temporaryFileName names
/// them whose process is gone. AtomicFile does this by itself for each folder it writes into;
/// returns how many were removed.
std::size_t removeStaleTemporaries(const std::string &folder);

/// A file opened for reading only when it is a regular file (or a link to one), so that a FIFO, a
/// device or a socket never makes the program wait.
/// Reads exactly `count` bytes at `offset` of an open file, retrying when interrupted; false on an
/// error or when the file ends first.
[[nodiscard]] bool readExactlyAt(int fd, void *into, std::size_t count, std::uint64_t offset);

class InputFile
{
public:
    explicit InputFile(const std::string &path);
    ~InputFile();
    InputFile(const InputFile &) = delete;
    InputFile &operator=(const InputFile &) = delete;

    [[nodiscard]] bool isOpen() const { return m_fd >= 0; }
    [[nodiscard]] int descriptor() const { return m_fd; }
    /// The size when opened.
    [[nodiscard]] std::size_t size() const { return m_size; }
    /// Why it could not be opened, in Japanese (kReasonNotFound, kReasonIsFolder, kReasonNotRegular or
    /// the system's reason).
    [[nodiscard]] const std::string &failure() const { return m_failure; }

    /// Reads up to `count` bytes into `buffer`, retrying when interrupted: the count read, 0 at the
    /// end, -1 on an error (errno set).
    long read(char *buffer, std::size_t count);

private:
    int m_fd = -1;
    std::size_t m_size = 0;
    std::string m_failure;
};

/// The whole of a regular file of at most `limit` bytes. Empty with `failure` set when it cannot be
/// read; `tooLarge` when it holds more than `limit` bytes (then nothing beyond the limit was read).
struct WholeFile {
    std::string bytes;
    bool ok = false;
    bool tooLarge = false;
    std::string failure;
};
[[nodiscard]] WholeFile readWholeFile(const std::string &path, std::size_t limit);

/// What stat tells about a file: a file changed, truncated or replaced since gives another stamp.
/// The change time cannot be set back by copying tools, so a restored backup differs too.
struct FileStamp {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0;
    std::int64_t changedNs = 0;
    bool operator==(const FileStamp &) const = default;
};

/// The stamp of a regular file (links followed); nothing when it cannot be looked at.
[[nodiscard]] std::optional<FileStamp> stampOf(const std::string &path);

/// An exclusive lock on a file for a read, change and write of it, between processes and within one.
/// The lock is on the file itself, so nothing is added beside it; it holds across AtomicFile's
/// replacement of the file (a waiting writer then takes the new file). A file that does not exist
/// takes no lock: there is nothing to lose.
class FileLock
{
public:
    FileLock() = default;
    ~FileLock();
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;

    enum class Outcome {
        Locked, ///< held until release() or destruction
        Busy, ///< another writer holds it (only when not waiting)
        Missing, ///< no file there
        Unlockable, ///< the file system takes no lock; the write goes on without one
    };
    [[nodiscard]] Outcome lock(const std::string &path, bool wait);
    void release();

private:
    int m_fd = -1;
};

/// Whether the process may still map `bytes` more of memory (its address-space limit, `ulimit -v`,
/// leaves room): tried with a reservation that is given back at once.
[[nodiscard]] bool addressSpaceFor(std::size_t bytes);

/// FNV-1a over the bytes: cheap, the same in every build and process, and any damage or truncation
/// of a file changes it.
[[nodiscard]] std::uint64_t checksum(std::string_view bytes);
/// The checksum as 16 hexadecimal digits: a short name for a long text (a path, a list of files).
[[nodiscard]] std::string checksumName(std::string_view bytes);

} // namespace pictora::base
