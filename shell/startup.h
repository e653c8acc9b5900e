// SPDX-License-Identifier: MIT
#pragma once

#include "shell/desktop_integration.h"
#include "shell/preferences.h"

#include <string>
#include <vector>

namespace pictora::album
{
class Chooser;
class Prompter;
} // namespace pictora::album
namespace pictora::project
{
class Document;
}

/// The rules of starting and closing the main window, for the window to call.
namespace pictora::shell
{

/// Whether a command-line argument names a project to open: an existing file whose name ends in
/// ".pxa" exactly (from the last dot of the file name; ".PXA" does not count).
[[nodiscard]] bool isProjectArgument(const std::string &argument);

/// Set by the `pictora` command to its own path when it hands over to the window's executable, so
/// that the window registers the command the user starts.
inline constexpr const char *kLauncherVariable = "PICTORA_PROGRAM";

/// The running program's absolute path: the command that started the window (kLauncherVariable),
/// else the executable itself, else argv[0] made absolute.
[[nodiscard]] std::string programPath(const char *argv0);

/// When the main window is first shown: opens the project named by the first argument (see
/// isProjectArgument; anything else is ignored without a message), then reads the author's
/// address into `edRevMade`, or on the first start (no program key in the store) registers the
/// file type. A store that cannot be written shows kStoreWriteError; start-up goes on.
void startUp(project::Document &document,
    const std::vector<std::string> &arguments,
    PreferencesStore &store,
    const Registration &registration,
    album::Prompter &prompts);

/// Told when the window is closed, or a make is asked for, while a make or an effect is working.
inline constexpr const char *kWorkRunningMessage
    = "処理中です。処理が終わってから、もう一度操作してください。";

/// When the main window is asked to close. Asks kSaveQuestion when the document has changed or
/// has no project path: Cancel keeps the window; Yes runs Save As, and a Save As that did not
/// write (cancelled or failed) keeps the window; No goes on. Then the author's address is stored,
/// even when empty (a failure shows kStoreWriteError and the window closes all the same).
/// True when the window may close.
[[nodiscard]] bool mayClose(
    project::Document &document, album::Chooser &chooser, PreferencesStore &store, album::Prompter &prompts);

} // namespace pictora::shell
