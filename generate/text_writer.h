// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>

/// Every text file of an album (pages, style sheet) goes through here: UTF-8 in memory, on disk
/// CP932 with CR LF line ends, characters CP932 cannot hold written as "&#N;".
namespace pictora::generate
{

/// The bytes a text becomes on disk: each "\n" becomes CR LF (a CR already before it stays, so
/// "\r\n" becomes CR CR LF), then CP932 with decimal references for what does not fit.
[[nodiscard]] std::string encodeText(std::string_view utf8Text);

/// A text file that is written under a temporary name in its own folder and renamed over its
/// final name on commit(), replacing an existing file. Until then the final name is untouched;
/// one dropped without commit() (an error, an exception) removes its temporary file.
///
/// Every failure throws album::UserError with the message "<path>\nに書き込めません。\n(<reason>)".
class TextFile
{
public:
    /// Creates the temporary file; throws when the folder cannot take it.
    explicit TextFile(std::string path);
    ~TextFile();
    TextFile(const TextFile &) = delete;
    TextFile &operator=(const TextFile &) = delete;

    /// Appends text (encoded as encodeText does).
    void write(std::string_view utf8Text);
    /// Writes out what is buffered, closes and puts the file in its place.
    void commit();

    [[nodiscard]] const std::string &path() const { return m_path; }

private:
    void flush();
    void discard() noexcept;
    [[noreturn]] void fail(int error);

    std::string m_path;
    std::string m_tempPath;
    std::string m_buffer;
    int m_fd = -1;
};

/// Writes a whole text file at once through TextFile.
void writeTextFile(const std::string &path, std::string_view utf8Text);

} // namespace pictora::generate
