// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pictora::shell
{

/// Shown when the preferences store or the desktop registration cannot be written.
inline constexpr const char *kStoreWriteError = "システム レジストリ に書き込めません";

/// The program's own key: missing on the first start.
inline constexpr const char *kProgramKey = "PictoraDoc";
/// The value under kProgramKey that remembers the album author's address.
inline constexpr const char *kAuthorValue = "RevMade";

/// Writes a file whole through a temporary file, making its folder; false when it could not.
[[nodiscard]] bool writeFileWhole(const std::string &path, std::string_view bytes);

/// Backslash, LF, tab and CR written as \\, \n, \t and \r: the value form of the store and of
/// desktop entries.
[[nodiscard]] std::string escapeText(const std::string &text);
[[nodiscard]] std::string unescapeText(const std::string &text);

/// $XDG_CONFIG_HOME, or ~/.config when it is unset or not absolute.
[[nodiscard]] std::string configHome();
/// $XDG_DATA_HOME, or ~/.local/share when it is unset or not absolute.
[[nodiscard]] std::string dataHome();
/// The system's data folders, where installed programs keep their menu entries: the absolute
/// folders of $XDG_DATA_DIRS, or /usr/local/share and /usr/share when it names none.
[[nodiscard]] std::vector<std::string> systemDataDirs();

/// The preferences store: one INI file, UTF-8, a section per key ("[PictoraDoc/shell/open]") and a
/// line per value ("RevMade=..."); a key's unnamed value is the name "" and is written "@".
/// Texts are written with escapeText. Lines of no known form are skipped.
class PreferencesStore
{
public:
    /// configHome()/pictora/pictora.ini
    [[nodiscard]] static std::string defaultPath();

    explicit PreferencesStore(std::string path = defaultPath());

    [[nodiscard]] const std::string &path() const { return m_path; }

    /// Whether the key holds any value or subkey. A file that cannot be read holds nothing.
    [[nodiscard]] bool hasKey(const std::string &key) const;
    /// A value; a missing one reads as empty text.
    [[nodiscard]] std::string value(const std::string &key, const std::string &name = {}) const;

    /// One value to write: key, value name ("" for the unnamed value), text.
    struct Write {
        std::string key;
        std::string name;
        std::string text;
    };
    /// Writes the values, creating their keys; the file is replaced whole. False when it could not
    /// be written (nothing of it then changed).
    [[nodiscard]] bool write(const std::vector<Write> &values);
    /// Removes a key with its values and subkeys. False when the file could not be written.
    [[nodiscard]] bool removeKey(const std::string &key);

private:
    std::string m_path;
};

} // namespace pictora::shell
