// SPDX-License-Identifier: MIT
// The project menu, the effects, start-up and closing, driven through the real window's menus and
// buttons. The rules themselves are the core's and tested there; these check that the window runs
// them and shows what they did.
#include "tests/support/pictures.h"

#include "ui/main_window.h"

#include "project/project_file.h"
#include "shell/preferences.h"
#include "tests/support/scripted_chooser.h"
#include "tests/support/scripted_prompter.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/recording_opener.h"
#include "ui/about_box.h"
#include "ui/preview_window.h"

#include <QAction>
#include <QCoreApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <filesystem>

namespace pictora::ui
{
namespace
{

using album::Answer;
using album::OptionId;
using album::PromptKind;
using test::ScriptedChooser;
using test::ScriptedPrompter;
using Dialog = ScriptedChooser::Dialog;
namespace fs = std::filesystem;

/// A window with a preferences store and desktop folders of its own.
struct WindowCommands : ::testing::Test {
    test::TempDir temp;
    ScriptedPrompter prompts;
    ScriptedChooser chooser;
    test::RecordingOpener urls;
    std::unique_ptr<TfrMain> window;
    std::string programPath = "/opt/pictora/bin/pictora";

    DesktopSession session(std::vector<std::string> arguments = {})
    {
        DesktopSession s = DesktopSession::inFolder(temp.path().string());
        s.arguments = std::move(arguments);
        s.registration.programPath = programPath;
        return s;
    }
    void start(std::vector<std::string> arguments = {})
    {
        window = std::make_unique<TfrMain>(prompts, chooser, urls, session(std::move(arguments)));
        window->show();
        QCoreApplication::processEvents(); // the start-up steps follow the first show
    }
    template <typename T> T &control(const char *name)
    {
        T *found = window->findChild<T *>(QString::fromLatin1(name));
        if (!found)
            throw std::runtime_error(std::string("no control ") + name);
        return *found;
    }
    QAction &action(const char *name) { return control<QAction>(name); }
    /// Waits until the effect or apply under way has ended and the preview shows its result.
    bool settled()
    {
        return QTest::qWaitFor(
            [this] { return !window->document().pictureEdit().busy() && !window->preview().isLoading(); },
            10000);
    }
    void expectSaveQuestion(Answer answer)
    {
        prompts.expect(project::kSaveQuestion, answer, PromptKind::Confirmation);
    }
    /// A project of two pictures with a title, written by the core.
    std::string writeProject(const std::string &name)
    {
        album::AlbumSettings settings;
        settings.store(OptionId::edTitle, std::string("旅"));
        settings.store(OptionId::csTitleSize, 20);
        std::vector<album::ImageEntry> entries;
        for (const char *picture : { "a.png", "b.png" }) {
            test::writeTestPng(temp.file(picture), 40, 20);
            entries.push_back({ temp.file(picture), picture, "stamp" });
        }
        project::SaveProjectFile(temp.file(name), settings, entries);
        return temp.file(name);
    }
    [[nodiscard]] std::string storeText() const
    {
        const std::string path = temp.file("config/pictora.ini");
        return fs::exists(path) ? test::readFile(path) : std::string();
    }
};

TEST_F(WindowCommands, OpenEditSaveAndNewShowTheDocumentInTheControls)
{
    start();
    const std::string pxa = writeProject("album.pxa");
    chooser.expect(Dialog::OpenProject, { pxa });
    action("mnOpen").trigger();
    EXPECT_EQ(control<QLineEdit>("edTitle").text(), QStringLiteral("旅"));
    EXPECT_EQ(control<QSpinBox>("csTitleSize").value(), 20);
    EXPECT_EQ(control<QListWidget>("lbFileList").count(), 2);
    EXPECT_FALSE(action("mnSave").isEnabled()) << "opened: unchanged";

    QTest::keyClicks(&control<QLineEdit>("edTitle"), " 2004");
    EXPECT_TRUE(action("mnSave").isEnabled());
    action("mnSave").trigger();
    EXPECT_FALSE(action("mnSave").isEnabled());
    EXPECT_NE(test::readFile(pxa).find(" 2004"), std::string::npos);

    // New from the pop-up: no question (saved), the reset values in the spin edits, the list empty.
    window->popupMenu()->findChild<QAction *>(QStringLiteral("New1"))->trigger();
    EXPECT_EQ(control<QSpinBox>("csTitleSize").value(), 6);
    EXPECT_EQ(control<QSpinBox>("csComSize").value(), 4);
    EXPECT_EQ(control<QListWidget>("lbFileList").count(), 0);
    EXPECT_TRUE(window->projectPath().empty()) << "Save must not write the new document over album.pxa";

    // A broken project: the reader's message, and a window that goes on working.
    test::writeFile(temp.file("broken.pxa"), "not a project\r\n");
    prompts.expect(project::readProjectFile(temp.file("broken.pxa")).error, Answer::Ok, PromptKind::Error);
    chooser.expect(Dialog::OpenProject, { temp.file("broken.pxa") });
    action("mnOpen").trigger();
    EXPECT_EQ(control<QListWidget>("lbFileList").count(), 0);
    EXPECT_FALSE(action("mnSave").isEnabled());
    QTest::keyClicks(&control<QLineEdit>("edTitle"), "x");
    EXPECT_EQ(window->settings().text(OptionId::edTitle), "x");
}

TEST_F(WindowCommands, ClosingAsksAndOnlyNoOrAWrittenSaveAsEndsIt)
{
    start();
    control<QLineEdit>("edRevMade").setText(QStringLiteral("me@example.org"));

    expectSaveQuestion(Answer::Cancel);
    EXPECT_FALSE(window->close());
    expectSaveQuestion(Answer::Yes);
    chooser.expect(Dialog::SaveProject, {});
    EXPECT_FALSE(window->close()) << "a cancelled Save As keeps the window";
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(storeText().find("me@example.org"), std::string::npos) << "nothing stored before the close";

    expectSaveQuestion(Answer::No);
    EXPECT_TRUE(window->close());
    EXPECT_EQ(shell::PreferencesStore(temp.file("config/pictora.ini")).value("PictoraDoc", "RevMade"),
        "me@example.org");

    // Saved and unchanged: no question; Exit1 closes as the title bar does.
    start();
    EXPECT_EQ(control<QLineEdit>("edRevMade").text(), QStringLiteral("me@example.org")) << "remembered";
    chooser.expect(Dialog::SaveProject, { temp.file("kept.pxa") });
    action("mnSaveAs").trigger();
    action("Exit1").trigger();
    EXPECT_FALSE(window->isVisible());
}

TEST_F(WindowCommands, FirstStartRegistersOnceAndAProjectArgumentOpensOnlyInLowerCase)
{
    const std::string pxa = writeProject("album.pxa");
    fs::copy_file(pxa, temp.file("upper.PXA"));
    start({ temp.file("upper.PXA") });
    EXPECT_EQ(control<QListWidget>("lbFileList").count(), 0) << "\".PXA\" is ignored";
    // The window's own registration went into its folders.
    EXPECT_EQ(shell::PreferencesStore(temp.file("config/pictora.ini")).value("PictoraDoc/shell/open/command"),
        "/opt/pictora/bin/pictora \"%1\"");
    EXPECT_TRUE(fs::exists(temp.file("data/applications/org.example.pictora.desktop")));
    expectSaveQuestion(Answer::No);
    ASSERT_TRUE(window->close());

    const std::string registered = storeText();
    start({ pxa });
    EXPECT_EQ(control<QListWidget>("lbFileList").count(), 2);
    EXPECT_EQ(control<QLineEdit>("edTitle").text(), QStringLiteral("旅"));
    EXPECT_EQ(window->projectPath(), pxa) << "a project from the command line is that file, as when opened";
    EXPECT_EQ(storeText(), registered) << "a later start registers nothing";
}

TEST_F(WindowCommands, AProjectFromTheCommandLineSavesToItsFileButNotOverAnotherWritersChange)
{
    const std::string pxa = writeProject("summer.pxa");
    start({ pxa });
    QTest::keyClicks(&control<QLineEdit>("edTitle"), " 2004");
    ASSERT_TRUE(action("mnSave").isEnabled());
    action("mnSave").trigger();
    EXPECT_FALSE(action("mnSave").isEnabled());
    EXPECT_NE(test::readFile(pxa).find(" 2004"), std::string::npos);

    // Another writer adds a picture (as --add does); Save asks, and Cancel keeps that picture.
    album::AlbumSettings settings;
    std::vector<album::ImageEntry> entries;
    test::ScriptedPrompter quiet;
    ASSERT_TRUE(project::loadProjectFile(pxa, settings, entries, quiet));
    test::writeTestPng(temp.file("c.png"), 40, 20);
    entries.push_back({ temp.file("c.png"), "c.png", "stamp" });
    project::SaveProjectFile(pxa, settings, entries);
    const std::string theirs = test::readFile(pxa);
    QTest::keyClicks(&control<QLineEdit>("edTitle"), "!");
    prompts.expect(project::projectChangedMessage(pxa), Answer::Cancel, PromptKind::Warning);
    action("mnSave").trigger();
    EXPECT_EQ(test::readFile(pxa), theirs);
    EXPECT_TRUE(action("mnSave").isEnabled()) << "still unsaved";
}

TEST_F(WindowCommands, TheAboutIconReRegistersOnlyAfterYes)
{
    start();
    const std::string before = storeText();
    auto clickIconThenOk = [&] {
        QTimer::singleShot(0, window.get(), [&] {
            TAboutBox &box = window->aboutBox();
            QTest::mouseClick(box.findChild<QToolButton *>(QStringLiteral("ProgramIcon")), Qt::LeftButton);
            box.accept();
        });
        action("mnAbout").trigger();
    };
    prompts.expect(shell::kReRegisterQuestion, Answer::No, PromptKind::Confirmation);
    clickIconThenOk();
    EXPECT_EQ(storeText(), before);

    // The program has moved: Yes writes its new path.
    programPath = "/usr/bin/pictora";
    start();
    prompts.expect(shell::kReRegisterQuestion, Answer::Yes, PromptKind::Confirmation);
    clickIconThenOk();
    EXPECT_EQ(shell::PreferencesStore(temp.file("config/pictora.ini")).value("PictoraDoc/shell/open/command"),
        "/usr/bin/pictora \"%1\"");
}

TEST_F(WindowCommands, EffectsFromTheButtonsShowInThePreviewAndApplySavesBesideThePicture)
{
    start();
    const std::string pxa = writeProject("album.pxa");
    chooser.expect(Dialog::OpenProject, { pxa });
    action("mnOpen").trigger();
    TfrView &preview = window->preview();
    auto &rotateRight = control<QPushButton>("btRotR");

    rotateRight.click();
    ASSERT_TRUE(settled());
    EXPECT_EQ(preview.pictureSize(), QSize(20, 40)) << "a quarter turn swaps width and height";
    const QImage turned = preview.view()->shownImage();
    EXPECT_EQ(
        QColor(turned.pixel(0, 0)), QColor(test::kBottomLeft.r, test::kBottomLeft.g, test::kBottomLeft.b));
    EXPECT_TRUE(control<QPushButton>("btAppend").isEnabled());
    EXPECT_TRUE(action("mnUndo").isEnabled());
    for (int i = 0; i < 3; ++i) {
        rotateRight.click();
        ASSERT_TRUE(settled());
    }
    EXPECT_EQ(preview.pictureSize(), QSize(40, 20));
    EXPECT_EQ(window->document().pictureEdit().angle(), 0);

    // Sepia from the menu, then apply: a.png is saved as a.jpg beside it and the list names it.
    action("mnSepia").trigger();
    ASSERT_TRUE(settled());
    control<QPushButton>("btAppend").click();
    ASSERT_TRUE(settled());
    EXPECT_TRUE(fs::exists(temp.file("a.jpg")));
    EXPECT_TRUE(fs::exists(temp.file("a.png")));
    EXPECT_EQ(control<QListWidget>("lbFileList").item(0)->text(), QStringLiteral("a.jpg"));
    EXPECT_FALSE(control<QPushButton>("btAppend").isEnabled());
    EXPECT_FALSE(control<QPushButton>("btUndo").isEnabled());
    EXPECT_TRUE(action("mnSave").isEnabled());

    // Undo after an effect shows the file again.
    action("mnNR").trigger();
    ASSERT_TRUE(settled());
    EXPECT_TRUE(control<QPushButton>("btUndo").isEnabled());
    control<QPushButton>("btUndo").click();
    EXPECT_FALSE(control<QPushButton>("btUndo").isEnabled());
    EXPECT_FALSE(window->document().pictureEdit().edited());
}

} // namespace
} // namespace pictora::ui
