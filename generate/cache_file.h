// SPDX-License-Identifier: MIT
#pragma once

#include "base/file_io.h"

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

/// What the files the program keeps in the user's cache folder share: a checksum that tells a whole
/// file from a damaged one, a bounded read, a lock between processes and a replacement that leaves
/// either the old file or the new one, never half of one.
namespace pictora::generate::cache_file
{

using base::checksum;

/// The whole regular file, or nothing when it is missing, unreadable or bigger than `maxBytes`.
[[nodiscard]] std::optional<std::string> readSmall(const std::string &path, std::size_t maxBytes);

/// Replaces folder/name with `text` through a temporary file renamed over it. False when it could
/// not be written; the old file is then untouched.
bool replace(const std::string &folder, const std::string &name, std::string_view text);

/// Serialises writers of one folder across processes; the lock goes with the descriptor. Gives up
/// waiting after a while: the replacement keeps the file whole even without it, only what the other
/// process wrote meanwhile may be lost.
class FolderLock
{
public:
    FolderLock(const std::string &folder, const std::string &lockName);
    ~FolderLock();
    FolderLock(const FolderLock &) = delete;
    FolderLock &operator=(const FolderLock &) = delete;

private:
    int m_fd;
};

/// Reads numbers and fields of a cache file, failing for good at the first surprise.
class Reader
{
public:
    explicit Reader(std::string_view text)
        : m_text(text)
    {
    }
    [[nodiscard]] bool ok() const { return m_ok; }
    [[nodiscard]] bool atEnd() const { return m_pos >= m_text.size(); }
    [[nodiscard]] bool startsWith(std::string_view prefix) const
    {
        return m_text.substr(m_pos).starts_with(prefix);
    }
    [[nodiscard]] std::size_t position() const { return m_pos; }

    /// A decimal number followed by `after`.
    template <typename T> T number(char after)
    {
        T value {};
        if (m_ok)
            parse(value, 10, after);
        return value;
    }
    /// A hexadecimal number followed by `after`.
    std::uint64_t hex(char after)
    {
        std::uint64_t value = 0;
        if (m_ok)
            parse(value, 16, after);
        return value;
    }
    /// `count` bytes followed by `after`.
    std::string bytes(std::size_t count, char after);
    void skip(std::string_view literal);
    void fail() { m_ok = false; }

private:
    template <typename T> void parse(T &value, int base, char after)
    {
        const char *first = m_text.data() + m_pos;
        const char *last = m_text.data() + m_text.size();
        const auto [end, error] = std::from_chars(first, last, value, base);
        if (error != std::errc() || end == last || *end != after)
            m_ok = false;
        else
            m_pos += static_cast<std::size_t>(end - first) + 1;
    }

    std::string_view m_text;
    std::size_t m_pos = 0;
    bool m_ok = true;
};

} // namespace pictora::generate::cache_file
