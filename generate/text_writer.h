// SPDX-License-Identifier: MIT
#pragma once

#include "base/file_io.h"

#include <optional>
#include <string>
#include <string_view>

namespace pictora::album
{
class AlbumSettings;
}

/// Every text file of an album (pages, style sheet) goes through here: UTF-8 in memory, on disk
/// CP932 with CR LF line ends, characters CP932 cannot hold written as "&#N;"; or, for hosts that
/// send every page as UTF-8, UTF-8 with CR LF line ends.
namespace pictora::generate
{

enum class TextEncoding { Cp932, Utf8 };

/// The encoding the album's pages and style sheet are written in (cbUTF8).
[[nodiscard]] TextEncoding pageEncoding(const album::AlbumSettings &settings);

/// The bytes a text becomes on disk: each "\n" becomes CR LF (a CR already before it stays, so
/// "\r\n" becomes CR CR LF), then CP932 with decimal references for what does not fit, or UTF-8
/// as it is.
[[nodiscard]] std::string encodeText(std::string_view utf8Text, TextEncoding encoding = TextEncoding::Cp932);

/// How the files of an album are written: each whole or not at all, synced together when the run
/// ends rather than one by one; a link in the album is replaced, never written through.
inline constexpr base::AtomicFileOptions kAlbumFile { .syncEach = false, .followLinks = false };

/// A text file written through base::AtomicFile: it replaces an existing file on commit(), and
/// one dropped without commit() (an error, an exception) leaves the final name untouched.
///
/// A regular file already there that holds exactly these bytes is left as it is, so that an album
/// made again writes only the pages that change: the text is compared with it as it comes, and
/// only the first difference starts the temporary file.
///
/// Every failure throws base::UserError with the message "<path>\nに書き込めません。\n(<reason>)".
class TextFile
{
public:
    /// Opens the file already there for comparison, or else creates the temporary file (throws when
    /// the folder cannot take it).
    explicit TextFile(std::string path, TextEncoding encoding = TextEncoding::Cp932);
    ~TextFile();
    TextFile(const TextFile &) = delete;
    TextFile &operator=(const TextFile &) = delete;

    /// Appends text (encoded as encodeText does).
    void write(std::string_view utf8Text);
    /// Writes out what is buffered, closes and puts the file in its place, unless the file there
    /// already held the same bytes. Returns whether the file was written.
    bool commit();

    [[nodiscard]] const std::string &path() const { return m_path; }

private:
    void flush();
    /// Stops comparing: the temporary file gets the bytes found equal so far.
    void startWriting();

    std::string m_path;
    std::optional<base::InputFile> m_old; ///< the file there, while it still matches
    std::size_t m_same = 0; ///< bytes of it found equal so far
    std::optional<base::AtomicFile> m_file;
    TextEncoding m_encoding;
    std::string m_buffer;
};

/// Writes a whole text file at once through TextFile; false when the file already held it.
bool writeTextFile(
    const std::string &path, std::string_view utf8Text, TextEncoding encoding = TextEncoding::Cp932);

} // namespace pictora::generate
