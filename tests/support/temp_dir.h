// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>
#include <set>
#include <string>

namespace pictora::test
{

/// A fresh folder under the system's temporary folder, removed with everything in it at the end.
class TempDir
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    [[nodiscard]] const std::filesystem::path &path() const { return m_path; }
    [[nodiscard]] std::string file(const std::string &name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

/// Whole file as bytes; empty when it cannot be read.
[[nodiscard]] std::string readFile(const std::filesystem::path &path);
/// Writes bytes to a file, replacing it.
void writeFile(const std::filesystem::path &path, const std::string &bytes);
/// The names of everything in a folder, hidden ones too (a temporary left behind shows).
[[nodiscard]] std::set<std::string> namesIn(const std::filesystem::path &folder);

} // namespace pictora::test
