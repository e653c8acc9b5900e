// SPDX-License-Identifier: MIT
#include "document/document.h"
#include "shell/desktop_integration.h"
#include "shell/preferences.h"
#include "shell/startup.h"
#include "tests/support/scripted_chooser.h"
#include "tests/support/scripted_prompter.h"
#include "tests/support/temp_dir.h"

#include <QStandardPaths>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

using namespace pictora;
using album::Answer;
using album::OptionId;
using album::PromptKind;
using Dialog = test::ScriptedChooser::Dialog;
using test::readFile;
using test::writeFile;

namespace fs = std::filesystem;

namespace
{

/// Temporary XDG folders, a program path and an icon, as the window would hand them over.
struct Shell : ::testing::Test {
    test::TempDir dir;
    test::ScriptedPrompter prompts;
    test::ScriptedChooser chooser;
    std::string config = dir.file("config");
    std::string data = dir.file("data");
    std::string system = dir.file("system"); ///< an installed package's data folder
    shell::Registration registration;

    void SetUp() override
    {
        ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        ::setenv("XDG_DATA_HOME", data.c_str(), 1);
        ::setenv("XDG_DATA_DIRS", system.c_str(), 1);
        writeFile(dir.file("icon.svg"), "<svg xmlns=\"http://www.w3.org/2000/svg\"/>");
        registration = { "/opt/pictora/bin/pictora", dir.file("icon.svg"), shell::dataHome() };
    }

    /// One run of the program: start-up, then closing with the No answer.
    void run(const std::string &author)
    {
        project::Document doc { prompts };
        shell::PreferencesStore store;
        shell::startUp(doc, {}, store, registration, prompts);
        doc.setOption(OptionId::edRevMade, author);
        prompts.expect(project::kSaveQuestion, Answer::No, PromptKind::Confirmation);
        EXPECT_TRUE(shell::mayClose(doc, chooser, store, prompts));
    }
};

TEST_F(Shell, FirstStartWritesTheStoreAndTheDesktopFiles)
{
    shell::PreferencesStore store;
    EXPECT_EQ(store.path(), config + "/pictora/pictora.ini");
    EXPECT_FALSE(store.hasKey(shell::kProgramKey));
    run("");

    EXPECT_EQ(store.value(".pxa"), "PictoraDoc");
    EXPECT_EQ(store.value("PictoraDoc"), "Pictora・プロジェクトファイル");
    EXPECT_EQ(store.value("PictoraDoc/shell/open"), "アルバムを開く(&O)");
    EXPECT_EQ(store.value("PictoraDoc/shell/open/command"), "/opt/pictora/bin/pictora \"%1\"");
    EXPECT_EQ(store.value("PictoraDoc/DefaultIcon"), data + "/icons/hicolor/scalable/apps/pictora.svg");
    // An empty address is stored all the same.
    EXPECT_NE(readFile(store.path()).find("RevMade=\n"), std::string::npos);

    const std::string entry = readFile(data + "/applications/org.example.pictora.desktop");
    EXPECT_NE(entry.find("\nExec=/opt/pictora/bin/pictora %f\n"), std::string::npos) << entry;
    EXPECT_NE(entry.find("\nMimeType=application/x-pictora-project;\n"), std::string::npos);
    EXPECT_EQ(readFile(data + "/icons/hicolor/scalable/apps/pictora.svg"), readFile(dir.file("icon.svg")));
    if (!QStandardPaths::findExecutable("update-mime-database").isEmpty()) {
        const std::string globs = readFile(data + "/mime/globs2");
        EXPECT_NE(globs.find("application/x-pictora-project:*.pxa"), std::string::npos) << globs;
    }
    if (!QStandardPaths::findExecutable("update-desktop-database").isEmpty()) {
        const std::string cache = readFile(data + "/applications/mimeinfo.cache");
        EXPECT_NE(cache.find("application/x-pictora-project=org.example.pictora.desktop;"), std::string::npos)
            << cache;
    }
}

TEST_F(Shell, LaterStartsOnlyReadTheAuthorAndEveryCloseStoresIt)
{
    run("me@example.org");
    fs::remove(data + "/applications/org.example.pictora.desktop");
    shell::PreferencesStore store;
    const std::string before = readFile(store.path());

    project::Document doc { prompts };
    shell::startUp(doc, {}, store, registration, prompts);
    EXPECT_EQ(doc.settings().text(OptionId::edRevMade), "me@example.org");
    EXPECT_EQ(readFile(store.path()), before);
    EXPECT_FALSE(fs::exists(data + "/applications/org.example.pictora.desktop"))
        << "no registration after the first start";
}

TEST_F(Shell, AStoreThatCannotBeWrittenGivesTheMessageAndNeverStopsTheProgram)
{
    // The configuration folder is a plain file, so nothing can be created below it.
    writeFile(config, "not a folder");
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    shell::PreferencesStore store;
    project::Document doc { prompts };
    prompts.expect(shell::kStoreWriteError, Answer::Ok, PromptKind::Error);
    shell::startUp(doc, {}, store, registration, prompts);

    doc.setOption(OptionId::edRevMade, std::string("me@example.org"));
    prompts.expect(project::kSaveQuestion, Answer::No, PromptKind::Confirmation);
    prompts.expect(shell::kStoreWriteError, Answer::Ok, PromptKind::Error);
    EXPECT_TRUE(shell::mayClose(doc, chooser, store, prompts));
    EXPECT_FALSE(store.hasKey(shell::kProgramKey));

    // A store that is no INI at all: start and close go through and write it anew.
    ::setenv("XDG_CONFIG_HOME", dir.file("other").c_str(), 1);
    shell::PreferencesStore garbled;
    writeFile(garbled.path(), std::string("\x01\x02=[\0]\n=x\n[", 12));
    project::Document again { prompts };
    shell::startUp(again, {}, garbled, registration, prompts);
    again.setOption(OptionId::edRevMade, std::string("b@example.org"));
    prompts.expect(project::kSaveQuestion, Answer::No, PromptKind::Confirmation);
    EXPECT_TRUE(shell::mayClose(again, chooser, garbled, prompts));
    EXPECT_EQ(garbled.value(shell::kProgramKey, shell::kAuthorValue), "b@example.org");
}

TEST_F(Shell, ReRegistrationAsksAndWritesTheCurrentProgramPath)
{
    run("me@example.org");
    shell::PreferencesStore store;
    const std::string before = readFile(store.path());
    prompts.expect(shell::kReRegisterQuestion, Answer::No, PromptKind::Confirmation);
    EXPECT_FALSE(shell::reRegisterFileType(store, registration, prompts));
    EXPECT_EQ(readFile(store.path()), before);

    registration.programPath = "/home/u/My Apps/pictora";
    prompts.expect(shell::kReRegisterQuestion, Answer::Yes, PromptKind::Confirmation);
    EXPECT_TRUE(shell::reRegisterFileType(store, registration, prompts));
    EXPECT_EQ(store.value("PictoraDoc/shell/open/command"), "/home/u/My Apps/pictora \"%1\"");
    EXPECT_EQ(store.value(".pxa"), "PictoraDoc");
    EXPECT_EQ(store.value(shell::kProgramKey, shell::kAuthorValue), "me@example.org");
    // Quoted for the desktop, which would split the path at its blank.
    EXPECT_NE(readFile(data + "/applications/org.example.pictora.desktop")
                  .find("\nExec=\"/home/u/My Apps/pictora\" %f\n"),
        std::string::npos);
}

TEST_F(Shell, AnInstalledPackagesMenuEntryIsNeverShadowedByAPerUserOne)
{
    // A build tree ran first, before the package was installed: its per-user entry names it.
    registration.programPath = dir.file("build/app/pictora");
    run("me@example.org");
    const std::string userEntry = data + "/applications/org.example.pictora.desktop";
    ASSERT_TRUE(shell::isRegisteredEntry(readFile(userEntry)));

    // The package brings its own entry and file type: the next start takes the per-user ones away.
    for (const char *folder : { "/applications", "/mime/packages", "/icons/hicolor/scalable/apps" })
        fs::create_directories(system + folder);
    writeFile(system + "/applications/org.example.pictora.desktop", "[Desktop Entry]\nExec=pictora %f\n");
    writeFile(system + "/mime/packages/pictora.xml", shell::mimePackageText());
    writeFile(system + "/icons/hicolor/scalable/apps/pictora.svg", "<svg/>");
    registration.programPath = "/usr/bin/pictora";
    project::Document doc { prompts };
    shell::PreferencesStore store;
    shell::startUp(doc, {}, store, registration, prompts);
    EXPECT_FALSE(fs::exists(userEntry));
    EXPECT_FALSE(fs::exists(data + "/mime/packages/pictora.xml"));

    // A first start beside the package writes none of them; the store still knows the program.
    ::setenv("XDG_CONFIG_HOME", dir.file("fresh").c_str(), 1);
    run("");
    EXPECT_FALSE(fs::exists(userEntry));
    EXPECT_FALSE(fs::exists(data + "/mime/packages/pictora.xml"));
    shell::PreferencesStore fresh;
    EXPECT_EQ(fresh.value("PictoraDoc/shell/open/command"), "/usr/bin/pictora \"%1\"");
    EXPECT_EQ(fresh.value("PictoraDoc/DefaultIcon"), system + "/icons/hicolor/scalable/apps/pictora.svg");

    // An entry the user made (an install into ~/.local) is theirs: never replaced or removed.
    fs::remove_all(system);
    writeFile(userEntry, "[Desktop Entry]\nExec=/home/u/.local/bin/pictora %f\n");
    prompts.expect(shell::kReRegisterQuestion, Answer::Yes, PromptKind::Confirmation);
    EXPECT_TRUE(shell::reRegisterFileType(fresh, registration, prompts));
    shell::startUp(doc, {}, fresh, registration, prompts);
    EXPECT_EQ(readFile(userEntry), "[Desktop Entry]\nExec=/home/u/.local/bin/pictora %f\n");

    // A registered entry whose program is gone (a removed build tree) names the running one.
    writeFile(userEntry, shell::desktopEntryText(dir.file("gone/pictora")));
    shell::startUp(doc, {}, fresh, registration, prompts);
    EXPECT_NE(readFile(userEntry).find("\nExec=/usr/bin/pictora %f\n"), std::string::npos);
}

TEST_F(Shell, ArgumentsOpenOnlyExistingFilesEndingInPxa)
{
    const std::string saved = dir.file("album.pxa");
    project::Document first { prompts };
    first.setOption(OptionId::edTitle, std::string("旅行"));
    chooser.expect(Dialog::SaveProject, { saved });
    ASSERT_TRUE(first.saveAs(chooser));
    fs::copy_file(saved, dir.file("upper.PXA"));
    fs::create_directory(dir.file("folder.pxa"));
    EXPECT_FALSE(shell::isProjectArgument(dir.file("upper.PXA")));
    EXPECT_FALSE(shell::isProjectArgument(dir.file("folder.pxa")));

    shell::PreferencesStore store;
    project::Document doc { prompts };
    shell::startUp(doc, { saved }, store, registration, prompts);
    EXPECT_EQ(doc.settings().text(OptionId::edTitle), "旅行");
    EXPECT_EQ(doc.projectFileName(), saved) << "a project opened at start-up is that file, as when opened";
    EXPECT_FALSE(doc.changed());
}

TEST_F(Shell, ClosingAsksUnlessSavedAndACancelledSaveAsKeepsTheWindow)
{
    shell::PreferencesStore store;
    project::Document doc { prompts };
    prompts.expect(project::kSaveQuestion, Answer::Cancel, PromptKind::Confirmation);
    EXPECT_FALSE(shell::mayClose(doc, chooser, store, prompts));
    EXPECT_FALSE(store.hasKey(shell::kProgramKey)) << "nothing stored while the window stays";

    prompts.expect(project::kSaveQuestion, Answer::Yes, PromptKind::Confirmation);
    chooser.expect(Dialog::SaveProject, {});
    EXPECT_FALSE(shell::mayClose(doc, chooser, store, prompts));

    prompts.expect(project::kSaveQuestion, Answer::Yes, PromptKind::Confirmation);
    chooser.expect(Dialog::SaveProject, { dir.file("a.pxa") });
    EXPECT_TRUE(shell::mayClose(doc, chooser, store, prompts));
    EXPECT_TRUE(fs::exists(dir.file("a.pxa")));
    EXPECT_TRUE(shell::mayClose(doc, chooser, store, prompts)) << "saved and unchanged: no question";
}

} // namespace
