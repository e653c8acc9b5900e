// SPDX-License-Identifier: MIT
#include "shell/preferences.h"

#include "base/errors.h"
#include "base/file_io.h"
#include "base/user_folders.h"

#include <QDir>
#include <QFileInfo>

#include <cstdlib>
#include <map>
#include <sstream>

namespace pictora::shell
{

namespace
{

/// Far more than the few keys the program keeps.
constexpr std::size_t kMaxStoreBytes = 1024 * 1024;

/// Key → value name → text, keys in the order of the file.
using Contents = std::vector<std::pair<std::string, std::map<std::string, std::string>>>;

std::string storedName(const std::string &name)
{
    return name.empty() ? "@" : name;
}

std::map<std::string, std::string> *findKey(Contents &contents, const std::string &key)
{
    for (auto &[name, values] : contents) {
        if (name == key)
            return &values;
    }
    return nullptr;
}

Contents readContents(const std::string &path)
{
    Contents contents;
    // Anything but a small regular file (a FIFO, a folder, a huge file) holds nothing for us.
    const base::WholeFile whole = base::readWholeFile(path, kMaxStoreBytes);
    std::istringstream in(whole.ok ? whole.bytes : std::string());
    std::string line;
    std::map<std::string, std::string> *section = nullptr;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            const std::string key = line.substr(1, line.size() - 2);
            section = findKey(contents, key);
            if (!section) {
                contents.emplace_back(key, std::map<std::string, std::string> {});
                section = &contents.back().second;
            }
            continue;
        }
        const auto equals = line.find('=');
        if (!section || equals == std::string::npos || equals == 0)
            continue;
        (*section)[line.substr(0, equals)] = unescapeText(line.substr(equals + 1));
    }
    return contents;
}

bool writeContents(const std::string &path, const Contents &contents)
{
    std::ostringstream text;
    for (const auto &[key, values] : contents) {
        text << '[' << key << "]\n";
        for (const auto &[name, value] : values)
            text << name << '=' << escapeText(value) << '\n';
        text << '\n';
    }
    return writeFileWhole(path, text.str());
}

} // namespace

bool writeFileWhole(const std::string &path, std::string_view bytes)
{
    const QString file = QString::fromStdString(path);
    if (!QDir().mkpath(QFileInfo(file).absolutePath()))
        return false;
    try {
        base::writeFileAtomically(path, bytes);
    } catch (const base::UserError &) {
        return false;
    }
    return true;
}

std::string escapeText(const std::string &text)
{
    std::string out;
    for (const char c : text) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

std::string unescapeText(const std::string &text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char next = text[++i];
        out += next == 'n' ? '\n' : next == 't' ? '\t' : next == 'r' ? '\r' : next;
    }
    return out;
}

std::string configHome()
{
    return base::xdgUserFolder("XDG_CONFIG_HOME", ".config");
}

std::string dataHome()
{
    return base::xdgUserFolder("XDG_DATA_HOME", ".local/share");
}

std::vector<std::string> systemDataDirs()
{
    std::vector<std::string> folders;
    const char *listed = std::getenv("XDG_DATA_DIRS");
    std::string_view rest = listed ? listed : "";
    while (!rest.empty()) {
        const auto colon = rest.find(':');
        const std::string_view folder = rest.substr(0, colon);
        if (folder.starts_with('/'))
            folders.emplace_back(folder);
        rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
    }
    if (folders.empty())
        folders = { "/usr/local/share", "/usr/share" };
    return folders;
}

std::string PreferencesStore::defaultPath()
{
    return configHome() + "/pictora/pictora.ini";
}

PreferencesStore::PreferencesStore(std::string path)
    : m_path(std::move(path))
{
}

bool PreferencesStore::hasKey(const std::string &key) const
{
    for (const auto &entry : readContents(m_path)) {
        if (entry.first == key || entry.first.starts_with(key + "/"))
            return true;
    }
    return false;
}

std::string PreferencesStore::value(const std::string &key, const std::string &name) const
{
    Contents contents = readContents(m_path);
    const auto *values = findKey(contents, key);
    if (!values)
        return {};
    const auto found = values->find(storedName(name));
    return found == values->end() ? std::string() : found->second;
}

bool PreferencesStore::write(const std::vector<Write> &values)
{
    Contents contents = readContents(m_path);
    for (const auto &w : values) {
        auto *section = findKey(contents, w.key);
        if (!section) {
            contents.emplace_back(w.key, std::map<std::string, std::string> {});
            section = &contents.back().second;
        }
        (*section)[storedName(w.name)] = w.text;
    }
    return writeContents(m_path, contents);
}

bool PreferencesStore::removeKey(const std::string &key)
{
    Contents contents = readContents(m_path);
    std::erase_if(contents,
        [&key](const auto &entry) { return entry.first == key || entry.first.starts_with(key + "/"); });
    return writeContents(m_path, contents);
}

} // namespace pictora::shell
