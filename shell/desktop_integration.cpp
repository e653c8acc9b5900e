// SPDX-License-Identifier: MIT
#include "shell/desktop_integration.h"

#include "album/prompts.h"
#include "base/file_io.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <filesystem>
#include <string_view>

namespace pictora::shell
{

namespace
{

constexpr std::string_view kExecReserved = " \t\n\"'\\><~|&;$*?#()`";
constexpr int kToolTimeoutMs = 30000;
constexpr qint64 kMaxIconBytes = 16 * 1024 * 1024;
/// Marks the per-user entry as the registration's, followed by the program it names.
constexpr std::string_view kProgramMark = "X-Pictora-Registered-Program=";
/// The comment of the entries registered before they carried the mark.
constexpr std::string_view kOlderEntryComment = "\nComment=Make an HTML photo album from your pictures\n";
constexpr std::size_t kMaxEntryBytes = std::size_t { 64 } * 1024;

std::string iconExtension(const std::string &iconFile)
{
    const QString suffix = QFileInfo(QString::fromStdString(iconFile)).suffix().toLower();
    return suffix.isEmpty() ? ".svg" : "." + suffix.toStdString();
}

/// The desktop's own tools, run where they are installed; their failure changes nothing here.
void refreshDatabase(const char *tool, const std::string &folder)
{
    const QString program = QStandardPaths::findExecutable(QString::fromLatin1(tool));
    if (program.isEmpty())
        return;
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(program, { QString::fromStdString(folder) });
    if (process.waitForStarted() && !process.waitForFinished(kToolTimeoutMs))
        process.kill();
    process.waitForFinished();
}

std::string desktopEntryRelative()
{
    return std::string("applications/") + kDesktopEntryName;
}

constexpr const char *kMimePackageRelative = "mime/packages/pictora.xml";

/// The first system data folder holding `relative`; empty when none does.
std::string systemFile(const Registration &registration, const std::string &relative)
{
    for (const auto &folder : registration.systemDataDirs) {
        std::error_code ec;
        std::string path = folder;
        path.append("/").append(relative);
        if (std::filesystem::is_regular_file(path, ec))
            return path;
    }
    return {};
}

std::string readSmallFile(const std::string &path)
{
    const base::WholeFile file = base::readWholeFile(path, kMaxEntryBytes);
    return file.ok ? file.bytes : std::string();
}

/// The program a registered entry names (empty for an older entry or another's).
std::string registeredProgram(const std::string &entryText)
{
    const auto at = entryText.find("\n" + std::string(kProgramMark));
    if (at == std::string::npos)
        return {};
    const auto begin = at + 1 + kProgramMark.size();
    return unescapeText(entryText.substr(begin, entryText.find('\n', begin) - begin));
}

bool removeFile(const std::string &path)
{
    std::error_code ec;
    return std::filesystem::remove(path, ec);
}

} // namespace

std::string mimePackagePath(const Registration &registration)
{
    return registration.dataHome + "/mime/packages/pictora.xml";
}

std::string desktopEntryPath(const Registration &registration)
{
    return registration.dataHome + "/applications/" + kDesktopEntryName;
}

std::string installedIconPath(const Registration &registration)
{
    const std::string extension = iconExtension(registration.iconFile);
    const char *size = extension == ".svg" ? "scalable" : "256x256";
    return registration.dataHome + "/icons/hicolor/" + size + "/apps/" + kIconName + extension;
}

std::string execArgument(const std::string &programPath)
{
    std::string percentDoubled;
    for (const char c : programPath) {
        percentDoubled += c;
        if (c == '%')
            percentDoubled += '%';
    }
    if (percentDoubled.find_first_of(kExecReserved) == std::string::npos)
        return percentDoubled;
    std::string quoted = "\"";
    for (const char c : percentDoubled) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

std::string mimePackageText()
{
    return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                       "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
                       "  <mime-type type=\"")
        + kProjectMimeType
        + "\">\n"
          "    <comment>Pictora project file</comment>\n"
          "    <comment xml:lang=\"ja\">Pictora・プロジェクトファイル</comment>\n"
          "    <icon name=\""
        + kIconName
        + "\"/>\n"
          "    <glob pattern=\"*.pxa\" case-sensitive=\"true\"/>\n"
          "  </mime-type>\n"
          "</mime-info>\n";
}

std::string desktopEntryText(const std::string &programPath)
{
    return std::string("[Desktop Entry]\n"
                       "Type=Application\n"
                       "Name=Pictora\n"
                       "Comment=Make an HTML photo album from your pictures\n"
                       "Comment[ja]=写真からHTMLアルバムを作成します\n"
                       "Exec=")
        + escapeText(execArgument(programPath)) + " %f\n" + "Icon=" + kIconName + "\n"
        + "MimeType=" + kProjectMimeType + ";\n" + "Terminal=false\n" + "Categories=Graphics;Photography;\n"
        + std::string(kProgramMark) + escapeText(programPath) + "\n";
}

bool isRegisteredEntry(const std::string &entryText)
{
    return entryText.find("\n" + std::string(kProgramMark)) != std::string::npos
        || entryText.find(kOlderEntryComment) != std::string::npos;
}

void tidyRegistration(const Registration &registration)
{
    const std::string entryPath = desktopEntryPath(registration);
    const std::string entry = readSmallFile(entryPath);
    if (!entry.empty() && isRegisteredEntry(entry)) {
        bool changed = false;
        if (!systemFile(registration, desktopEntryRelative()).empty()) {
            changed = removeFile(entryPath);
        } else {
            const std::string named = registeredProgram(entry);
            std::error_code ec;
            if ((named.empty() || !std::filesystem::exists(named, ec)) && named != registration.programPath)
                changed = writeFileWhole(entryPath, desktopEntryText(registration.programPath));
        }
        if (changed)
            refreshDatabase("update-desktop-database", registration.dataHome + "/applications");
    }
    if (!systemFile(registration, kMimePackageRelative).empty()
        && readSmallFile(mimePackagePath(registration)) == mimePackageText()
        && removeFile(mimePackagePath(registration)))
        refreshDatabase("update-mime-database", registration.dataHome + "/mime");
}

bool registerFileType(PreferencesStore &store, const Registration &registration, album::Prompter &prompts)
{
    const auto failed = [&prompts] {
        prompts.inform(album::PromptKind::Error, kStoreWriteError);
        return false;
    };
    // An installed package's own files are not shadowed by per-user copies of the same name, which
    // would outlive the package and keep naming whichever program registered first.
    tidyRegistration(registration);
    const bool systemMime = !systemFile(registration, kMimePackageRelative).empty();
    const bool systemEntry = !systemFile(registration, desktopEntryRelative()).empty();
    const std::string systemIcon = systemFile(registration, "icons/hicolor/scalable/apps/pictora.svg");
    const std::string userEntry = readSmallFile(desktopEntryPath(registration));
    const bool usersOwnEntry = !userEntry.empty() && !isRegisteredEntry(userEntry);
    // The desktop's files first: if they fail, the program's key is still missing and the next
    // start tries again.
    if (!systemMime && !writeFileWhole(mimePackagePath(registration), mimePackageText()))
        return failed();
    if (!systemEntry && !usersOwnEntry
        && !writeFileWhole(desktopEntryPath(registration), desktopEntryText(registration.programPath)))
        return failed();
    // The icon may be one of the program's resources, which only QFile reads; a FIFO or a device is
    // no icon (isFile() is true for regular files only) and would keep the read waiting.
    const QFileInfo icon(QString::fromStdString(registration.iconFile));
    if (systemIcon.empty() && !registration.iconFile.empty() && icon.exists()) {
        QFile artwork(icon.filePath());
        if (!icon.isFile() || icon.size() > kMaxIconBytes || !artwork.open(QIODevice::ReadOnly))
            return failed();
        const QByteArray bytes = artwork.readAll();
        if (!writeFileWhole(installedIconPath(registration),
                std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()))))
            return failed();
    }

    const std::string programKey = kProgramKey;
    if (!store.write({
            { ".pxa", "", programKey },
            { programKey, "", "Pictora・プロジェクトファイル" },
            { programKey + "/shell/open", "", "アルバムを開く(&O)" },
            { programKey + "/shell/open/command", "", registration.programPath + " \"%1\"" },
            { programKey + "/DefaultIcon",
                "",
                systemIcon.empty() ? installedIconPath(registration) : systemIcon },
        }))
        return failed();

    refreshDatabase("update-mime-database", registration.dataHome + "/mime");
    refreshDatabase("update-desktop-database", registration.dataHome + "/applications");
    return true;
}

bool reRegisterFileType(PreferencesStore &store, const Registration &registration, album::Prompter &prompts)
{
    const auto answer = prompts.ask(album::Prompt::asking(album::Question::ReRegister, kReRegisterQuestion));
    if (answer != album::Answer::Yes)
        return false;
    // The program's key keeps its subkeys and the author's address; everything is written again.
    (void)store.removeKey(".pxa");
    return registerFileType(store, registration, prompts);
}

} // namespace pictora::shell
