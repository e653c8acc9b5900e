// SPDX-License-Identifier: MIT
// Make and rebuild from the real main window: the progress window, the window shut to commands
// while the run works, the user's stop, a failed run, and the same album as the command line.
// libvips (glib) before Qt, whose "signals" keyword glib uses as a name.
#include "tests/support/pictures.h"

#include "tests/ui/recording_opener.h"
#include "ui/album_runner.h"
#include "ui/image_list_view.h"
#include "ui/main_window.h"
#include "ui/option_binding.h"
#include "ui/preview_window.h"
#include "ui/progress_window.h"

#include "album/branding.h"
#include "album/image_list.h"
#include "app/cli.h"
#include "generate/album_guard.h"
#include "generate/make_album.h"
#include "project/project_writer.h"
#include "shell/startup.h"
#include "tests/support/album_questions.h"
#include "tests/support/scripted_chooser.h"
#include "tests/support/scripted_prompter.h"
#include "tests/support/temp_dir.h"

#include <QAction>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>

using namespace pictora;
using album::Answer;
using album::OptionId;
using album::PromptKind;
namespace fs = std::filesystem;

namespace
{

/// Records every message box; questions go on to the script, messages (one button) are answered
/// here, so that a message quoting the system's own error text can be checked by its parts.
struct RecordingPrompter final : album::Prompter {
    std::vector<album::Prompt> asked;
    album::Prompter *questions = nullptr;
    Answer ask(const album::Prompt &prompt) override
    {
        asked.push_back(prompt);
        return prompt.buttons.size() > 1 ? questions->ask(prompt) : prompt.buttons.front();
    }
};

std::map<std::string, std::string> albumFiles(const fs::path &root)
{
    std::map<std::string, std::string> files;
    for (const auto &item : fs::recursive_directory_iterator(root)) {
        if (item.is_regular_file())
            files[fs::relative(item.path(), root).string()] = test::readFile(item.path());
    }
    return files;
}

struct AlbumRun : ::testing::Test {
    test::TempDir dir;
    test::ScriptedPrompter prompts;
    RecordingPrompter recorder;
    test::ScriptedChooser chooser;
    test::RecordingOpener browser;
    ui::TfrMain window { recorder, chooser, browser };
    ui::TfrView &preview = window.preview();
    ui::TfrProgress &progress = window.progress();
    ui::ImageListView &view = window.listView();
    ui::AlbumRunner &runner = window.runner();
    QSignalSpy finished { &runner, &ui::AlbumRunner::finished };
    QStringList progressCalls;

    AlbumRun()
    {
        recorder.questions = &prompts;
        runner.setWorkers(2);
        fs::create_directory(dir.file("out"));
        window.options().set(OptionId::edHTMLPath, dir.file("out"));
        window.options().set(OptionId::edTitle, std::string("旅行"));
        window.options().set(OptionId::edRevMade, std::string("me@example.org"));
        QObject::connect(
            &progress, &ui::TfrProgress::reported, [this](const QString &call) { progressCalls << call; });
        window.showWindows();
    }

    void click(const char *button)
    {
        QTest::mouseClick(window.findChild<QPushButton *>(button), Qt::LeftButton);
    }

    void addPictures(int count)
    {
        std::vector<std::string> paths;
        for (int i = 0; i < count; ++i) {
            paths.push_back(dir.file("p" + std::to_string(i) + ".jpg"));
            test::writeTestJpeg(paths.back(), 800 + 40 * i, 600);
        }
        window.imageList().appendInOrder(
            paths, {}, [](const std::string &) { return std::string("2004年05月01日 13時05分"); });
        view.refresh();
    }

    bool waitForRun() { return finished.count() > 0 || finished.wait(60000); }
    QWidget *central() { return window.centralWidget(); }
    QWidget *rebuildButton() { return window.findChild<QPushButton *>("btReMakeHTML"); }
};

} // namespace

TEST_F(AlbumRun, ThreePicturesShowTheirCountWhileTheWindowTakesNoCommand)
{
    addPictures(3);
    window.options().set(OptionId::edRevMade, std::string());
    prompts.expect(std::string("HTML作者連絡先が空欄です。\n「") + branding::kSupportAddress
            + "(たぶりサポート)」をHTML作者連絡先にしますか?",
        Answer::Yes,
        PromptKind::Warning);
    prompts.expect(test::kHtmlQuestion, Answer::No, PromptKind::Confirmation);
    bool shutWhileRunning = false;
    bool previewHiddenWhileRunning = false;
    QObject::connect(&progress, &ui::TfrProgress::reported, [&](const QString &call) {
        if (call == "label [ 2 / 3 ]") {
            window.close();
            shutWhileRunning
                = !central()->isEnabled() && !window.menuBar()->isEnabled() && window.isVisible();
            previewHiddenWhileRunning = !preview.isVisible();
            EXPECT_EQ(progress.pos(), window.frameGeometry().topLeft() + QPoint(20, 20));
        }
    });
    ASSERT_FALSE(rebuildButton()->isEnabled());

    click("btMakeHTML");
    ASSERT_TRUE(waitForRun());
    EXPECT_EQ(progressCalls,
        (QStringList { "show",
            "label [ 1 / 3 ]",
            "pos 0",
            "label [ 2 / 3 ]",
            "pos 33",
            "label [ 3 / 3 ]",
            "pos 66",
            "pos 100",
            "label ",
            "hide" }));
    EXPECT_TRUE(shutWhileRunning);
    EXPECT_TRUE(previewHiddenWhileRunning);
    // The close was not ignored in silence.
    EXPECT_EQ(std::count_if(recorder.asked.begin(),
                  recorder.asked.end(),
                  [](const album::Prompt &asked) { return asked.text == shell::kWorkRunningMessage; }),
        1);
    EXPECT_EQ(finished.at(0).at(0).toBool(), true);
    EXPECT_TRUE(central()->isEnabled());
    EXPECT_TRUE(rebuildButton()->isEnabled());
    EXPECT_FALSE(progress.isVisible());
    EXPECT_EQ(preview.isVisible(), window.findChild<QAction *>("mnPreView")->isChecked());
    EXPECT_EQ(window.findChild<QListWidget *>("lbFileList")->currentRow(), 0);
    // The author address the run filled in is seen in its field.
    EXPECT_EQ(window.findChild<QLineEdit *>("edRevMade")->text().toStdString(), branding::kSupportAddress);
    ASSERT_EQ(browser.opened.size(), 1u);
    EXPECT_EQ(browser.opened[0], QUrl::fromLocalFile(QString::fromStdString(dir.file("out/index.htm"))));

    // The rebuild rewrites the pages with the new title and keeps the pictures.
    const auto before = fs::last_write_time(dir.file("out/images/img0000.jpg"));
    window.options().set(OptionId::edTitle, std::string("新しい題"));
    progressCalls.clear();
    finished.clear();
    click("btReMakeHTML");
    ASSERT_TRUE(waitForRun());
    EXPECT_TRUE(finished.at(0).at(0).toBool());
    EXPECT_FALSE(finished.at(0).at(1).toBool());
    EXPECT_EQ(fs::last_write_time(dir.file("out/images/img0000.jpg")), before);
    EXPECT_NE(test::readFile(dir.file("out/index.htm")).find("\x90\x56\x82\xb5\x82\xa2\x91\xe8"),
        std::string::npos);
}

TEST_F(AlbumRun, TheWindowMakesTheSameAlbumAsTheCommandLine)
{
    addPictures(3);
    window.options().set(OptionId::edThumbX, std::string("120"));
    window.options().set(OptionId::edTitle, std::string("題 & <b>"));
    prompts.expect(test::kHtmlQuestion, Answer::No, PromptKind::Confirmation);
    click("btMakeHTML");
    ASSERT_TRUE(waitForRun());
    ASSERT_TRUE(finished.at(0).at(0).toBool());

    const std::string projectPath = dir.file("album.pxa");
    project::SaveProjectFile(projectPath, window.settings(), window.imageList().entries());
    fs::create_directory(dir.file("cli"));
    std::ostringstream out, err;
    ASSERT_EQ(app::runCommandLine({ "--make",
                                      projectPath,
                                      "--out",
                                      dir.file("cli"),
                                      "--no-html-folder",
                                      "--author",
                                      "me@example.org",
                                      "-j",
                                      "1" },
                  out,
                  err),
        app::kExitSuccess)
        << err.str();

    const auto fromWindow = albumFiles(dir.file("out"));
    const auto fromCommandLine = albumFiles(dir.file("cli"));
    EXPECT_GE(fromWindow.size(), 3u * 4 + 2);
    ASSERT_EQ(fromWindow.size(), fromCommandLine.size());
    for (const auto &[name, bytes] : fromWindow) {
        ASSERT_TRUE(fromCommandLine.contains(name)) << name;
        EXPECT_TRUE(fromCommandLine.at(name) == bytes) << name << " differs";
    }
}

TEST_F(AlbumRun, EscInTheProgressWindowStopsAfterThePicturesInFlight)
{
    addPictures(6);
    runner.setWorkers(1);
    prompts.expect(test::kHtmlQuestion, Answer::No, PromptKind::Confirmation);
    QObject::connect(&progress, &ui::TfrProgress::reported, [&](const QString &call) {
        if (call == "label [ 1 / 6 ]")
            QTest::keyClick(&progress, Qt::Key_Escape);
    });
    click("btMakeHTML");
    ASSERT_TRUE(waitForRun());
    EXPECT_FALSE(finished.at(0).at(0).toBool());
    ASSERT_FALSE(recorder.asked.empty());
    EXPECT_EQ(recorder.asked.back().text, generate::kCancelledMessage);
    EXPECT_EQ(recorder.asked.back().kind, PromptKind::Information);
    EXPECT_FALSE(fs::exists(dir.file("out/index.htm")));
    EXPECT_FALSE(fs::exists(dir.file("out/images/img0005.jpg")));
    EXPECT_TRUE(browser.opened.empty());
    EXPECT_FALSE(rebuildButton()->isEnabled());
    EXPECT_FALSE(progress.isVisible());
    EXPECT_TRUE(central()->isEnabled());
}

TEST_F(AlbumRun, AnUnwritableFolderIsToldAndLeavesTheWindowUsable)
{
    addPictures(1);
    test::writeFile(dir.file("out/images"), "a file where the folder should be");
    prompts.expect(test::kHtmlQuestion, Answer::No, PromptKind::Confirmation);
    click("btMakeHTML");
    ASSERT_TRUE(waitForRun());
    EXPECT_FALSE(finished.at(0).at(0).toBool());
    ASSERT_EQ(recorder.asked.size(), 2u);
    EXPECT_EQ(recorder.asked[1].kind, PromptKind::Error);
    // The folder that could not be made is named, not the first picture that could not go into it.
    EXPECT_EQ(recorder.asked[1].text,
        dir.file("out/images") + "\nフォルダを作成できません。\n(同じ名前のファイルがあります)");
    EXPECT_FALSE(progress.isVisible());
    EXPECT_TRUE(central()->isEnabled());
    EXPECT_TRUE(window.menuBar()->isEnabled());
    EXPECT_FALSE(rebuildButton()->isEnabled());
}

TEST_F(AlbumRun, TheWindowRefusesNamesThatLeadOutOfTheAlbumAndARebuildOverChangedPictures)
{
    addPictures(2);
    // A rebuild that ends without completing, having said one thing.
    auto rebuildRefused = [&] {
        recorder.asked.clear();
        finished.clear();
        click("btReMakeHTML");
        return waitForRun() && !finished.at(0).at(0).toBool() && recorder.asked.size() == 1;
    };
    window.options().set(OptionId::edCSS, std::string("../victim.css"));
    click("btMakeHTML");
    ASSERT_TRUE(waitForRun());
    EXPECT_FALSE(finished.at(0).at(0).toBool());
    ASSERT_EQ(recorder.asked.size(), 1u) << "refused before any question";
    EXPECT_EQ(recorder.asked[0].kind, PromptKind::Error);
    EXPECT_EQ(recorder.asked[0].text,
        "スタイルファイル名指定 (edCSS) の「../victim.css」はファイル名として使えません。\n"
        "「/」「\\」「..」や制御文字を含まない名前を指定してください。");
    EXPECT_TRUE(fs::is_empty(dir.file("out")));
    EXPECT_FALSE(fs::exists(dir.file("victim.css")));

    window.options().set(OptionId::edCSS, std::string("style.css"));
    prompts.expect(test::kHtmlQuestion, Answer::No, PromptKind::Confirmation);
    finished.clear();
    click("btMakeHTML");
    ASSERT_TRUE(waitForRun());
    ASSERT_TRUE(finished.at(0).at(0).toBool());
    ASSERT_TRUE(rebuildButton()->isEnabled());

    // A thumbnail lost since the make: the pages are not written over the wrong pictures.
    fs::remove(dir.file("out/thumb/img0001_t.jpg"));
    const std::string cover = test::readFile(dir.file("out/index.htm"));
    window.options().set(OptionId::edTitle, std::string("新しい題"));
    ASSERT_TRUE(rebuildRefused());
    EXPECT_EQ(recorder.asked[0].text,
        "「" + dir.file("out/thumb/img0001_t.jpg")
            + "」がありません。\nアルバムの画像が画像リストと合わないため、ページだけを作り直すことはできませ"
              "ん。\n"
              "「アルバム作成」でアルバムを作成し直してください。");
    EXPECT_EQ(test::readFile(dir.file("out/index.htm")), cover);

    // The hostile name is refused by the rebuild as well.
    fs::remove(dir.file("out/index.htm"));
    fs::copy_file(dir.file("out/thumb/img0000_t.jpg"), dir.file("out/thumb/img0001_t.jpg"));
    window.options().set(OptionId::edIndex, std::string("../cover"));
    ASSERT_TRUE(rebuildRefused());
    EXPECT_NE(recorder.asked[0].text.find("(edIndex) の「../cover」"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir.file("cover.htm")));
}

TEST_F(AlbumRun, TheWindowWritesNoAlbumThatAnotherRunHolds)
{
    addPictures(1);
    generate::FolderLock other;
    ASSERT_EQ(other.lock(dir.file("out")), generate::FolderLock::Outcome::Locked);
    prompts.expect(test::kHtmlQuestion, Answer::No, PromptKind::Confirmation);
    click("btMakeHTML");
    ASSERT_TRUE(waitForRun());
    EXPECT_FALSE(finished.at(0).at(0).toBool());
    ASSERT_EQ(recorder.asked.size(), 2u);
    EXPECT_EQ(recorder.asked[1].text,
        "他の処理が「" + dir.file("out")
            + "」にアルバムを書き込んでいます。\nその処理が終わってから再実行してください。");
    EXPECT_TRUE(fs::is_empty(dir.file("out")));
    EXPECT_TRUE(central()->isEnabled());
}
