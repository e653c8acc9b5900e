// SPDX-License-Identifier: MIT
#include "base/errors.h"
#include "document/document.h"
#include "project/project_writer.h"
#include "tests/support/scripted_chooser.h"
#include "tests/support/scripted_prompter.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

using namespace pictora;
using album::Answer;
using album::OptionId;
using album::PromptKind;
using Dialog = test::ScriptedChooser::Dialog;
using test::readFile;
using test::writeFile;

namespace
{

/// Records what the document tells its window.
struct Recorder final : project::DocumentListener {
    std::vector<OptionId> options;
    int listsReplaced = 0;
    std::vector<bool> marks;
    void optionChanged(OptionId id) override { options.push_back(id); }
    void listReplaced() override { ++listsReplaced; }
    void changedMarkChanged(bool marked) override { marks.push_back(marked); }
    [[nodiscard]] bool told(OptionId id) const { return std::ranges::find(options, id) != options.end(); }
};

struct ProjectCommands : ::testing::Test {
    test::TempDir dir;
    test::ScriptedPrompter prompts;
    test::ScriptedChooser chooser;
    project::Document doc { prompts, [](const std::string &) { return true; } };
    Recorder heard;

    void SetUp() override { doc.setListener(&heard); }

    /// A document with a title and two entries, saved as `name`.
    std::string savedDocument(const std::string &name = "first.pxa")
    {
        doc.setOption(OptionId::edTitle, std::string("旅行"));
        doc.images().appendPicture(dir.file("a.jpg"), {});
        doc.images().appendPicture(dir.file("b.jpg"), {});
        chooser.expect(Dialog::SaveProject, { dir.file(name) });
        EXPECT_TRUE(doc.saveAs(chooser));
        return dir.file(name);
    }

    void expectSaveQuestion(Answer answer)
    {
        prompts.expect(project::kSaveQuestion, answer, PromptKind::Confirmation);
    }
};

TEST_F(ProjectCommands, ResetPutsTheThumbnailSizeBackBeforeTheCellSizeItLimits)
{
    // Cell sizes may not exceed the thumbnail size. Reset in the other order, the cell sizes would
    // meet the old thumbnail size: a limit message nobody asked for, and 100 kept.
    auto shrink = [this] {
        doc.setOption(OptionId::edThumbX, std::string("100"));
        doc.setOption(OptionId::edThumbY, std::string("100"));
        doc.setOption(OptionId::csFCW, 100);
        doc.setOption(OptionId::csFCH, 100);
    };
    shrink();
    for (bool open : { false, true }) {
        if (open) {
            const std::string path = savedDocument();
            shrink();
            expectSaveQuestion(Answer::No);
            chooser.expect(Dialog::OpenProject, { path });
            EXPECT_TRUE(doc.openProject(chooser));
        } else {
            EXPECT_TRUE(doc.newProject(chooser));
        }
        const auto &s = doc.settings();
        EXPECT_EQ(s.text(OptionId::edThumbX), "160") << (open ? "open" : "new");
        EXPECT_EQ(s.number(OptionId::csFCW), 160) << (open ? "open" : "new");
        EXPECT_EQ(s.number(OptionId::csFCH), 160) << (open ? "open" : "new");
    }
}

TEST_F(ProjectCommands, OnlyACompletedMakeMakesTheRebuildAvailable)
{
    doc.albumRunEnded(true, false);
    EXPECT_FALSE(doc.rebuildAvailable()) << "a rebuild wrote no picture";
    doc.albumRunEnded(false, true);
    EXPECT_FALSE(doc.rebuildAvailable()) << "a make that ended early";
    doc.albumRunEnded(true, true);
    EXPECT_TRUE(doc.rebuildAvailable());
    doc.withdrawRebuild();
    doc.albumRunEnded(false, true);
    EXPECT_FALSE(doc.rebuildAvailable());
}

TEST_F(ProjectCommands, NewAsksBeforeDiscardingANeverSavedListAndKeepsTheUntouchedOptions)
{
    doc.setOption(OptionId::csTitleSize, 20);
    doc.setOption(OptionId::csW2, 5);
    doc.setOption(OptionId::cbBT1, true);
    doc.setOption(OptionId::cbMemo, false);
    doc.setOption(OptionId::edIndex, std::string("top"));
    doc.setOption(OptionId::rbTL, 2);
    doc.setOption(OptionId::csSlideTime, 9);
    doc.images().appendPicture("/x/a.jpg", {});
    doc.rebuildMade();
    heard.options.clear();

    // Never saved, but it holds a picture: that work is not thrown away without a word.
    expectSaveQuestion(Answer::No);
    EXPECT_TRUE(doc.newProject(chooser));
    const auto &s = doc.settings();
    EXPECT_EQ(s.number(OptionId::csTitleSize), 6);
    EXPECT_EQ(s.number(OptionId::csComSize), 4);
    EXPECT_EQ(s.number(OptionId::csW2), 0);
    EXPECT_EQ(s.number(OptionId::csW3), 4);
    EXPECT_FALSE(s.isEnabled("edBt1Face"));
    EXPECT_FALSE(s.checked(OptionId::cbMemo));
    EXPECT_EQ(s.text(OptionId::edIndex), "top");
    EXPECT_EQ(s.number(OptionId::rbTL), 2);
    EXPECT_EQ(s.number(OptionId::csSlideTime), 9);
    EXPECT_TRUE(doc.images().empty());
    EXPECT_FALSE(doc.rebuildAvailable()) << "the list of the last album run is gone";
    // The window hears of what the reset changed, and of nothing it kept.
    EXPECT_TRUE(heard.told(OptionId::csW3));
    EXPECT_FALSE(heard.told(OptionId::edIndex));
    EXPECT_EQ(heard.listsReplaced, 1);
}

TEST_F(ProjectCommands, SaveAndOpenClearTheMarkAndEditsSetItOnlyWithAFile)
{
    const std::string path = savedDocument();
    EXPECT_EQ(doc.projectFileName(), path);
    EXPECT_TRUE(doc.saveAsDone());
    const std::string written = readFile(path);
    doc.images().setCurrent(1);
    EXPECT_FALSE(doc.changed()) << "selecting an entry is no change";
    doc.setOption(OptionId::csCol, 6);
    EXPECT_TRUE(doc.changed());
    doc.setOption(OptionId::csCol, 4);
    EXPECT_TRUE(doc.save(chooser));
    EXPECT_FALSE(doc.changed());
    EXPECT_EQ(readFile(path), written) << "Save and Save As write the same bytes";

    project::Document other { prompts, [](const std::string &) { return true; } };
    chooser.expect(Dialog::OpenProject, { path });
    EXPECT_TRUE(other.openProject(chooser));
    EXPECT_EQ(other.projectFileName(), path);
    EXPECT_FALSE(other.changed());
    EXPECT_EQ(other.settings().text(OptionId::edTitle), "旅行");
    EXPECT_EQ(other.images().current(), 0);
    other.setOption(OptionId::edTitle, std::string("x"));
    EXPECT_TRUE(other.changed());

    std::filesystem::remove(path);
    doc.setOption(OptionId::csCol, 7);
    EXPECT_FALSE(doc.changed()) << "no file at the path, no mark";
    EXPECT_EQ(heard.marks, (std::vector<bool> { true, false }));
}

TEST_F(ProjectCommands, YesThenACancelledSaveAsStillResetsAndNewForgetsThePath)
{
    const std::string path = savedDocument();
    const std::string written = readFile(path);
    doc.setOption(OptionId::edTitle, std::string("more"));

    expectSaveQuestion(Answer::Yes);
    chooser.expect(Dialog::SaveProject, {});
    EXPECT_TRUE(doc.newProject(chooser));
    EXPECT_EQ(doc.settings().text(OptionId::edTitle), "");
    EXPECT_FALSE(doc.saveAsDone());
    EXPECT_EQ(doc.projectFileName(), "");
    // With the path forgotten nothing can write the new document over the old project's file.
    doc.setOption(OptionId::edTitle, std::string("new album"));
    EXPECT_FALSE(doc.changed());
    EXPECT_EQ(readFile(path), written);
}

TEST_F(ProjectCommands, NoThenACancelledOpenLeavesEverythingAndCancelEndsTheCommand)
{
    const std::string path = savedDocument();
    doc.setOption(OptionId::edTitle, std::string("more"));
    expectSaveQuestion(Answer::No);
    chooser.expect(Dialog::OpenProject, {});
    EXPECT_FALSE(doc.openProject(chooser));
    expectSaveQuestion(Answer::Cancel);
    EXPECT_FALSE(doc.newProject(chooser));

    EXPECT_EQ(doc.settings().text(OptionId::edTitle), "more");
    EXPECT_EQ(doc.images().size(), 2u);
    EXPECT_TRUE(doc.changed());
    EXPECT_EQ(doc.projectFileName(), path);
    EXPECT_EQ(heard.listsReplaced, 0);
}

TEST_F(ProjectCommands, OpenThatDoesNotCompleteShowsTheReaderMessageAndForgetsThePath)
{
    const std::string good = readFile(savedDocument());
    const std::string newer = dir.file("newer.pxa");
    const std::string cut = dir.file("cut.pxa");
    const std::string folder = dir.file("folder.pxa");
    writeFile(newer, "9.9.9.9\r\n");
    writeFile(cut, good.substr(0, good.size() / 2));
    std::filesystem::create_directory(folder);

    prompts.expect(project::unsupportedVersionMessage(newer), Answer::Ok, PromptKind::Error);
    chooser.expect(Dialog::OpenProject, { newer });
    EXPECT_FALSE(doc.openProject(chooser));
    EXPECT_EQ(doc.settings().text(OptionId::edTitle), "") << "reset before the load";
    EXPECT_EQ(doc.projectFileName(), "");
    EXPECT_EQ(readFile(newer), "9.9.9.9\r\n");

    prompts.expect(project::readProjectFile(cut).error, Answer::Ok, PromptKind::Error);
    chooser.expect(Dialog::OpenProject, { cut });
    EXPECT_FALSE(doc.openProject(chooser));
    EXPECT_EQ(doc.settings().text(OptionId::edTitle), "旅行") << "what came before the cut stays";
    doc.setOption(OptionId::edTitle, std::string("edited"));
    EXPECT_FALSE(doc.changed()) << "Save must not write over the file it could not read";

    prompts.expect(folder + "\nを開けません。\n(フォルダーです)", Answer::Ok, PromptKind::Error);
    chooser.expect(Dialog::OpenProject, { folder });
    EXPECT_FALSE(doc.openProject(chooser));
    EXPECT_TRUE(doc.images().empty());
    EXPECT_EQ(doc.projectFileName(), "");
}

TEST_F(ProjectCommands, AFailedWriteKeepsPathMarkAndFlagAndEndsTheSavePrompt)
{
    const std::string path = savedDocument();
    doc.setOption(OptionId::edTitle, std::string("more"));
    // A folder where the file should go: the write fails the same way as root or not.
    const std::string blocked = dir.file("blocked.pxa");
    std::filesystem::create_directory(blocked);
    std::string message;
    try {
        project::SaveProjectFile(blocked, doc.settings(), doc.images().entries());
    } catch (const base::UserError &e) {
        message = e.what();
    }
    ASSERT_FALSE(message.empty());

    prompts.expect(message, Answer::Ok, PromptKind::Error);
    chooser.expect(Dialog::SaveProject, { blocked });
    EXPECT_FALSE(doc.saveAs(chooser));
    EXPECT_EQ(doc.projectFileName(), path);
    EXPECT_TRUE(doc.saveAsDone());
    // Inside the save prompt the failure ends New.
    expectSaveQuestion(Answer::Yes);
    prompts.expect(message, Answer::Ok, PromptKind::Error);
    chooser.expect(Dialog::SaveProject, { blocked });
    EXPECT_FALSE(doc.newProject(chooser));
    EXPECT_EQ(doc.settings().text(OptionId::edTitle), "more");
    EXPECT_TRUE(doc.changed());
}

TEST_F(ProjectCommands, SaveAsksBeforeOverwritingAProjectAnotherWriterChanged)
{
    const std::string path = savedDocument();
    ASSERT_EQ(chooser.saveStarts, std::vector<std::string> { "" });
    // Another writer (a command-line --add) rewrites the file; the window's Save must not drop it.
    const std::string theirs = readFile(path) + "\r\n";
    writeFile(path, theirs);
    doc.setOption(OptionId::edTitle, std::string("mine"));
    const std::string question = project::projectChangedMessage(path);

    prompts.expect(question, Answer::Cancel, PromptKind::Warning);
    EXPECT_FALSE(doc.save(chooser));
    EXPECT_EQ(readFile(path), theirs);
    EXPECT_TRUE(doc.changed());

    // No: Save As, showing the current file.
    prompts.expect(question, Answer::No, PromptKind::Warning);
    chooser.expect(Dialog::SaveProject, { dir.file("mine.pxa") });
    EXPECT_TRUE(doc.save(chooser));
    EXPECT_EQ(chooser.saveStarts.back(), path);
    EXPECT_EQ(readFile(path), theirs);
    EXPECT_EQ(doc.projectFileName(), dir.file("mine.pxa"));

    // What this document wrote itself is no change of another's: Save asks nothing.
    doc.setOption(OptionId::edTitle, std::string("again"));
    EXPECT_TRUE(doc.save(chooser));
    writeFile(dir.file("mine.pxa"), theirs);
    doc.setOption(OptionId::edTitle, std::string("last"));
    prompts.expect(project::projectChangedMessage(dir.file("mine.pxa")), Answer::Yes, PromptKind::Warning);
    EXPECT_TRUE(doc.save(chooser));
    EXPECT_NE(readFile(dir.file("mine.pxa")), theirs);
    EXPECT_FALSE(doc.changed());
}

} // namespace
