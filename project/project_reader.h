// SPDX-License-Identifier: MIT
#pragma once

#include "album/image_list.h"
#include "album/prompts.h"
#include "album/settings.h"
#include "project/layout.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

/// Reading a project file of any of the five versions.
///
/// Reading is split from applying: the reader turns the file into the list of steps the load makes,
/// in order, and says where it stopped and why. The desktop window replays the steps one control at
/// a time with its change handling; the command line applies them to plain values. Either way what
/// was applied before a failure stays applied, as the user expects from a load that stopped part-way.
namespace pictora::project
{

/// One thing the load does.
struct LoadStep {
    enum class Kind {
        Option, ///< set `option` to `value`
        Entry, ///< append `entry` to the image list
        MissingPicture, ///< warn that `entry.path` does not exist; the entry is skipped
    };
    Kind kind = Kind::Option;
    album::OptionId option = album::OptionId::Count;
    /// The value to set. For a memo it is the lines to append, each ended by CR LF.
    album::OptionValue value;
    album::ImageEntry entry;
};

enum class LoadFailure {
    None,
    Unreadable, ///< the file cannot be opened or read; nothing applied
    UnsupportedVersion, ///< the first line names no known version; nothing applied
    MissingHeader, ///< a section header was not found before the end of the file
    PastEnd, ///< a value line lies beyond the end of the file (an empty file fails on its first line)
    NotInteger, ///< a line that must hold a whole number does not
    TooLarge, ///< larger than kMaxProjectBytes or more than kMaxProjectEntries entries; nothing applied
};

/// No project of an album anyone makes comes near these; a file beyond them is refused whole, so that
/// a hostile one cannot take all memory.
inline constexpr std::size_t kMaxProjectBytes = 64 * 1024 * 1024;
inline constexpr std::size_t kMaxProjectEntries = 1'000'000;

/// What reading a project file gave: the steps up to where it stopped, and the failure, if any.
struct ProjectContents {
    std::optional<ProjectVersion> version;
    bool utf8 = false; ///< the file was in the UTF-8 form (byte-order mark) rather than CP932
    std::vector<LoadStep> steps;
    LoadFailure failure = LoadFailure::None;
    std::string error; ///< the message shown for the failure; it names the file
    std::size_t errorLine = 0; ///< the line (from 0) where reading stopped
};

/// Whether a picture file exists; entries whose file does not are skipped with a warning.
using PictureExists = std::function<bool(const std::string &path)>;
/// A regular file (or a link to one) at that path.
[[nodiscard]] bool pictureFileExists(const std::string &path);

/// "<path>\nが見つかりません。リストから削除します。"
[[nodiscard]] std::string missingPictureMessage(const std::string &path);
/// "<path>\nは対応していないバージョンのプロジェクトファイルです。"
[[nodiscard]] std::string unsupportedVersionMessage(const std::string &path);
/// "<path>\nを開けません。\n(ファイルが 64 MB を超えています)"
[[nodiscard]] std::string tooLargeMessage(const std::string &path);

/// The lines of a file: each ends at CR LF, a lone CR or a lone LF; a last line needs no end.
[[nodiscard]] std::vector<std::string> splitLines(std::string_view bytes);

/// Where a picture that the project file at `projectPath` names is: an absolute path as written, a
/// relative one taken from the project file's folder (made absolute); empty when it leads to no
/// picture.
[[nodiscard]] std::string findPicture(const std::string &projectPath,
    const std::string &picture,
    const PictureExists &exists = pictureFileExists);

/// Reads project file bytes. `path` names the file in messages, and pictures are looked for beside it
/// (findPicture).
[[nodiscard]] ProjectContents parseProject(
    std::string_view bytes, const std::string &path, const PictureExists &exists = pictureFileExists);
/// Reads the file at `path` line by line, holding one line at a time besides the steps. Only a regular
/// file is opened.
[[nodiscard]] ProjectContents readProjectFile(
    const std::string &path, const PictureExists &exists = pictureFileExists);

/// The document a load goes into. `editor` edits `settings`.
struct LoadTarget {
    album::AlbumSettings &settings;
    album::SettingsEditor &editor;
    std::vector<album::ImageEntry> &images;
    album::Prompter &prompts;
};

/// Applies one step: an option through the editor with its change handling (memo lines appended to
/// the memo; cell sizes stored as written, since their limit governs edits, not stored values), an
/// entry appended, a missing picture warned about.
void applyStep(const LoadStep &step, const LoadTarget &target);

/// Applies every step in order, then reports the failure: an unsupported version as an error
/// message through the prompter (returns false), any other failure by throwing base::UserError
/// with its message. Returns true when the whole file was applied.
bool applyProject(const ProjectContents &contents, const LoadTarget &target);

/// Reads the file at `path` and applies it. The caller resets the document first (the memos and
/// the image list are appended to) and keeps the project path and the changed mark.
bool LoadProject(
    const std::string &path, const LoadTarget &target, const PictureExists &exists = pictureFileExists);

} // namespace pictora::project
