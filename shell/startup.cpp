// SPDX-License-Identifier: MIT
#include "shell/startup.h"

#include "album/choosers.h"
#include "album/prompts.h"
#include "document/document.h"

#include <cstdlib>
#include <filesystem>

namespace pictora::shell
{

bool isProjectArgument(const std::string &argument)
{
    std::error_code ec;
    if (argument.empty() || !std::filesystem::is_regular_file(argument, ec))
        return false;
    const std::string name = album::fileNamePart(argument);
    const auto dot = name.rfind('.');
    return dot != std::string::npos && name.substr(dot) == ".pxa";
}

std::string programPath(const char *argv0)
{
    if (const char *launcher = std::getenv(kLauncherVariable); launcher && launcher[0] == '/')
        return launcher;
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec && !self.empty())
        return self.string();
    const auto absolute = std::filesystem::absolute(argv0 ? argv0 : "", ec);
    return ec ? std::string(argv0 ? argv0 : "") : absolute.lexically_normal().string();
}

void startUp(project::Document &document,
    const std::vector<std::string> &arguments,
    PreferencesStore &store,
    const Registration &registration,
    album::Prompter &prompts)
{
    if (!arguments.empty() && isProjectArgument(arguments.front()))
        document.loadAtStart(arguments.front());
    if (store.hasKey(kProgramKey)) {
        const std::string author = store.value(kProgramKey, kAuthorValue);
        if (!author.empty())
            document.setOption(album::OptionId::edRevMade, author);
        tidyRegistration(registration);
        return;
    }
    registerFileType(store, registration, prompts);
}

bool mayClose(
    project::Document &document, album::Chooser &chooser, PreferencesStore &store, album::Prompter &prompts)
{
    if (document.changed() || document.projectFileName().empty()) {
        const auto answer
            = prompts.ask(album::Prompt::asking(album::Question::SaveChanges, project::kSaveQuestion));
        if (answer == album::Answer::Cancel)
            return false;
        // Closing after a write that failed would lose the document.
        if (answer == album::Answer::Yes && !document.saveAs(chooser))
            return false;
    }
    if (!store.write({ { kProgramKey, kAuthorValue, document.settings().text(album::OptionId::edRevMade) } }))
        prompts.inform(album::PromptKind::Error, kStoreWriteError);
    return true;
}

} // namespace pictora::shell
