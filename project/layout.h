// SPDX-License-Identifier: MIT
#pragma once

#include "album/settings.h"

#include <optional>
#include <span>
#include <string_view>

/// Where each value sits in a project file, for every version the reader accepts. The lines name
/// album options by id only; how a value is written follows from the option's kind.
namespace pictora::project
{

enum class ProjectVersion { v0_2_5_0, v0_2_7_0, v0_2_9_0, v0_2_11_0, v0_2_13_0, v0_3_3_0 };

/// The version the writer produces for a document that needs nothing newer.
inline constexpr ProjectVersion kCurrentVersion = ProjectVersion::v0_2_13_0;
/// The newest version, which holds every saved option.
inline constexpr ProjectVersion kNewestVersion = ProjectVersion::v0_3_3_0;

/// The first line of a file of that version, e.g. "[PictoraProject 0.2.13.0]".
[[nodiscard]] std::string_view versionHeader(ProjectVersion version);
/// The version whose first line is exactly `line`; nullopt for any other line.
[[nodiscard]] std::optional<ProjectVersion> versionOfHeader(std::string_view line);

/// What one value line of a section holds.
enum class FieldKind {
    Option, ///< an album option
    EntryCount, ///< the number of image list entries
    Entries, ///< the first entry; each entry is three lines: path, joined comment, time stamp
};

struct Field {
    int offset; ///< counted from the section's header line
    FieldKind kind;
    album::OptionId option = album::OptionId::Count; ///< for FieldKind::Option
};

struct Section {
    std::string_view header; ///< the header line, e.g. "[Cells]"
    std::span<const Field> fields; ///< in line order
};

/// The sections a version holds, in file order, each with the value lines read from it.
[[nodiscard]] std::span<const Section> projectLayout(ProjectVersion version);

/// The version a document is written as: kCurrentVersion while every saved option that version
/// lacks holds its start value, so such a project stays readable by every earlier program;
/// otherwise the newest version, which earlier programs refuse as unknown rather than misread.
[[nodiscard]] ProjectVersion versionToWrite(const album::AlbumSettings &settings);

} // namespace pictora::project
