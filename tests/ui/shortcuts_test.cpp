// SPDX-License-Identifier: MIT
// The keys of the main window's commands, pressed on the real window: each runs its menu item's
// command, shows in the menus and is dead whenever the item (or the whole menu bar) is.
// libvips (glib) before Qt, whose "signals" keyword glib uses as a name.
#include "tests/support/pictures.h"

#include "tests/ui/recording_opener.h"
#include "ui/album_runner.h"
#include "ui/image_list_view.h"
#include "ui/main_window.h"
#include "ui/progress_window.h"

#include "document/document.h"
#include "shell/startup.h"
#include "tests/support/album_questions.h"
#include "tests/support/scripted_chooser.h"
#include "tests/support/scripted_prompter.h"
#include "tests/support/temp_dir.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

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
using Dialog = ScriptedChooser::Dialog;

struct Shortcuts : ::testing::Test {
    test::TempDir temp;
    test::ScriptedPrompter prompts;
    ScriptedChooser chooser;
    test::RecordingOpener urls;
    TfrMain window { prompts, chooser, urls, DesktopSession::inFolder(temp.path().string()) };

    Shortcuts()
    {
        window.setHelpFolders({ QString::fromStdString(temp.path().string()) });
        test::writeFile(temp.file("index.html"), "<html></html>");
        window.show();
        QApplication::setActiveWindow(&window);
        QCoreApplication::processEvents(); // the start-up steps follow the first show
    }
    QAction &action(const char *name) { return *window.findChild<QAction *>(QString::fromLatin1(name)); }
    QListWidget &list() { return *window.findChild<QListWidget *>(QStringLiteral("lbFileList")); }
    QLineEdit &title() { return *window.findChild<QLineEdit *>(QStringLiteral("edTitle")); }
    /// Presses keys where the user's focus is, as a keyboard would.
    void press(QWidget &target, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        target.setFocus();
        QTest::keyClick(&target, key, modifiers);
    }
    void addPictures(int count)
    {
        std::vector<std::string> paths;
        for (int i = 0; i < count; ++i) {
            paths.push_back(temp.file("p" + std::to_string(i) + ".jpg"));
            test::writeTestJpeg(paths.back(), 64, 48);
        }
        window.imageList().appendInOrder(paths, {}, [](const std::string &) { return std::string("stamp"); });
        window.listView().refresh();
    }
};

} // namespace

TEST_F(Shortcuts, ProjectKeysRunTheirItemsAndSaveOnlyWhileTheChangedMarkIsSet)
{
    // Shown in the menus: the pop-up's items carry the same keys as the main menu's.
    EXPECT_EQ(action("mnSaveAs").shortcut(), QKeySequence(QStringLiteral("Ctrl+Shift+S")));
    EXPECT_EQ(window.popupMenu()->findChild<QAction *>(QStringLiteral("New1"))->shortcut(),
        action("mnNew").shortcut());

    press(title(), Qt::Key_S, Qt::ControlModifier); // disabled Save: no dialog (the chooser would fail)
    chooser.expect(Dialog::SaveProject, { temp.file("a.pxa") });
    press(title(), Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(window.projectPath(), temp.file("a.pxa"));

    press(title(), Qt::Key_X);
    ASSERT_TRUE(action("mnSave").isEnabled());
    press(title(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_FALSE(action("mnSave").isEnabled()) << "Ctrl+S saved";
    EXPECT_NE(test::readFile(temp.file("a.pxa")).find("x"), std::string::npos);

    chooser.expect(Dialog::OpenProject, {});
    press(list(), Qt::Key_O, Qt::ControlModifier);
    press(title(), Qt::Key_N, Qt::ControlModifier); // saved: New asks nothing
    EXPECT_TRUE(title().text().isEmpty());

    press(list(), Qt::Key_F1);
    ASSERT_EQ(urls.opened.size(), 1u);
    EXPECT_TRUE(urls.opened[0].toLocalFile().endsWith(QStringLiteral("/index.html")));

    // Never saved: Ctrl+Q asks the close question like the title bar.
    press(title(), Qt::Key_Y);
    prompts.expect(project::kSaveQuestion, Answer::No, PromptKind::Confirmation);
    press(title(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(window.isVisible());
}

TEST_F(Shortcuts, DeleteRemovesPicturesOnlyFromTheList)
{
    addPictures(2);
    list().setCurrentRow(0);
    list().item(0)->setSelected(true);
    title().clear();
    press(title(), Qt::Key_A);
    press(title(), Qt::Key_Home);
    press(title(), Qt::Key_Delete);
    EXPECT_EQ(list().count(), 2) << "Delete in a field edits the field";
    EXPECT_TRUE(title().text().isEmpty());

    list().setCurrentRow(0);
    list().item(0)->setSelected(true);
    press(list(), Qt::Key_Delete);
    ASSERT_EQ(list().count(), 1);
    EXPECT_EQ(list().item(0)->text(), QStringLiteral("p1.jpg"));
}

TEST_F(Shortcuts, CtrlMMakesTheAlbumAndWhileItRunsNoKeyWorksAndTheTwoThatWouldAreAnswered)
{
    addPictures(1);
    window.runner().setWorkers(1);
    std::filesystem::create_directory(temp.file("out"));
    window.options().set(OptionId::edHTMLPath, temp.file("out"));
    window.options().set(OptionId::edRevMade, std::string("me@example.org"));
    window.options().set(OptionId::edTitle, std::string("旅"));
    prompts.expect(test::kHtmlQuestion, Answer::No, PromptKind::Confirmation);
    QSignalSpy finished(&window.runner(), &AlbumRunner::finished);
    int pressedWhileRunning = 0;
    QObject::connect(&window.progress(), &TfrProgress::reported, [&](const QString &call) {
        if (call != QStringLiteral("label [ 1 / 1 ]"))
            return;
        // The script would fail on a dialog or a question these keys open; Ctrl+M and Ctrl+Q say
        // that work is running.
        prompts.expect(shell::kWorkRunningMessage, Answer::Ok, PromptKind::Information);
        prompts.expect(shell::kWorkRunningMessage, Answer::Ok, PromptKind::Information);
        for (const Qt::Key key : { Qt::Key_N, Qt::Key_O, Qt::Key_M, Qt::Key_Q }) {
            QTest::keyClick(&window, key, Qt::ControlModifier);
            ++pressedWhileRunning;
        }
        QTest::keyClick(&list(), Qt::Key_Delete);
    });
    press(list(), Qt::Key_M, Qt::ControlModifier);
    ASSERT_TRUE(finished.count() > 0 || finished.wait(60000));
    EXPECT_TRUE(finished.at(0).at(0).toBool());
    EXPECT_EQ(pressedWhileRunning, 4);
    EXPECT_EQ(list().count(), 1);
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(std::filesystem::exists(temp.file("out/index.htm")));
}

} // namespace pictora::ui
