// SPDX-License-Identifier: MIT
#pragma once

#include "shell/preferences.h"

#include <string>
#include <vector>

namespace pictora::album
{
class Prompter;
}

namespace pictora::shell
{

inline constexpr const char *kProjectMimeType = "application/x-pictora-project";
inline constexpr const char *kDesktopEntryName = "org.example.pictora.desktop";
inline constexpr const char *kIconName = "pictora";
/// "「.pxa」ファイルを「Pictora」に関連付けますか!?", asked before registering again.
inline constexpr const char *kReRegisterQuestion = "「.pxa」ファイルを「Pictora」に関連付けますか!?";

/// What the registration names: the running program and the icon artwork to install.
struct Registration {
    std::string programPath; ///< absolute path of the program file
    std::string iconFile; ///< the program icon (SVG or PNG); a missing file installs no icon
    std::string dataHome = shell::dataHome(); ///< where the freedesktop files go
    /// Where an installed package keeps its files: what is found there is not written per user.
    std::vector<std::string> systemDataDirs = shell::systemDataDirs();
};

/// Where the registration puts its freedesktop files.
[[nodiscard]] std::string mimePackagePath(const Registration &registration);
[[nodiscard]] std::string desktopEntryPath(const Registration &registration);
/// The installed icon, named kIconName with the artwork's extension.
[[nodiscard]] std::string installedIconPath(const Registration &registration);

/// The program path as one argument of a desktop entry's Exec line (quoted where it must be,
/// "%" doubled), before the file's own escaping of backslashes.
[[nodiscard]] std::string execArgument(const std::string &programPath);
/// The shared-mime-info package declaring kProjectMimeType for "*.pxa".
[[nodiscard]] std::string mimePackageText();
/// The desktop entry opening project files with the program ("Exec=<program> %f"), marked as the
/// one this registration writes for the user, with the program it names.
[[nodiscard]] std::string desktopEntryText(const std::string &programPath);
/// Whether a desktop entry's text is one that the registration wrote (older ones had no mark).
[[nodiscard]] bool isRegisteredEntry(const std::string &entryText);

/// The registration's own per-user files that an installed package now provides, or whose program
/// is gone: the package's menu entry and file type take over again, and a per-user entry names the
/// running program. Run on every start; quiet, and a failure changes nothing.
void tidyRegistration(const Registration &registration);

/// Registers the project file type: the mime package, the desktop entry and the icon under the
/// data folder, each only where neither the system (an installed package) nor the user has it
/// already, so that the installed program's own entry is never shadowed; then the store's keys (".pxa",
/// "PictoraDoc" with "shell/open", its "command" and "DefaultIcon"), then the desktop's databases are
/// refreshed where their tools are installed. A write that fails shows kStoreWriteError and skips the
/// remaining steps; since the program's key is then still missing, the next start tries again. True when
/// everything was written.
bool registerFileType(PreferencesStore &store, const Registration &registration, album::Prompter &prompts);

/// Registering again on request: asks kReRegisterQuestion; on Yes removes the ".pxa" key and writes
/// the registration anew with the current program path (the program's key keeps the author's
/// address). False when declined or when a write failed.
bool reRegisterFileType(PreferencesStore &store, const Registration &registration, album::Prompter &prompts);

} // namespace pictora::shell
