// SPDX-License-Identifier: MIT
#include "app/cli.h"
#include "app/terminal_progress.h"
#include "base/cp932.h"
#include "base/file_io.h"
#include "generate/album_guard.h"
#include "imaging/picture.h"
#include "project/project_file.h"
#include "tests/support/scripted_prompter.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>
#include <vips/vips8>

#include <climits>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <future>
#include <map>
#include <memory>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace pictora;
namespace fs = std::filesystem;

namespace
{

void writePicture(const std::string &path, int width, int height)
{
    imaging::initialise();
    vips::VImage xy = vips::VImage::xyz(width, height);
    xy[0].bandjoin(xy[1]).bandjoin(xy[0]).cast(VIPS_FORMAT_UCHAR).write_to_file(path.c_str());
}

struct Cli : ::testing::Test {
    test::TempDir dir;
    std::ostringstream out;
    std::ostringstream err;

    int run(std::vector<std::string> args)
    {
        out.str("");
        err.str("");
        return app::runCommandLine(args, out, err);
    }

    /// A project of two pictures whose title and output folder are set.
    std::string makeProject()
    {
        writePicture(dir.file("b.jpg"), 320, 240);
        writePicture(dir.file("A.jpg"), 240, 320);
        const std::string project = dir.file("album.pxa");
        EXPECT_EQ(run({ "--new",
                      project,
                      dir.file("b.jpg"),
                      dir.file("A.jpg"),
                      "--title",
                      "旅行の写真",
                      "--out",
                      dir.file("out") }),
            0)
            << err.str();
        return project;
    }
};

} // namespace

TEST_F(Cli, HelpVersionAndUsageErrors)
{
    EXPECT_EQ(run({ "--help" }), 0);
    EXPECT_NE(out.str().find("--make PROJECT.pxa"), std::string::npos);
    EXPECT_NE(out.str().find("HEIF (heic heif)"), std::string::npos) << "the formats read, from their table";
    EXPECT_NE(out.str().find("  3  --make or --rebuild wrote the album"), std::string::npos);
    EXPECT_EQ(run({ "--list-options" }), 0);
    EXPECT_NE(out.str().find("0 to 320, at most edThumbX"), std::string::npos)
        << "the cell limit, from the table";
    EXPECT_EQ(run({ "--version" }), 0);
    EXPECT_EQ(out.str(), "Pictora 0.3.2.0 (project files 0.2.13.0, 0.3.3.0 with the screen options)\n");
    EXPECT_EQ(run({ "--make" }), 2);
    EXPECT_EQ(run({ "--frobnicate" }), 2);
    EXPECT_EQ(run({ "--make", "x.pxa", "-j", "0" }), 2);
}

TEST_F(Cli, FullMakeEncodesEveryPictureAgainAndGoesWithMakeOnly)
{
    const std::string project = makeProject();
    const std::vector<std::string> make
        = { "--make", project, "--no-html-folder", "--yes", "--author", "a@example.org" };
    ASSERT_EQ(run(make), 0) << err.str();
    const std::string main = dir.file("out/images/img0000.jpg");
    struct stat first {
    };
    ASSERT_EQ(::stat(main.c_str(), &first), 0);
    ASSERT_EQ(run(make), 0) << err.str();
    struct stat again {
    };
    ASSERT_EQ(::stat(main.c_str(), &again), 0);
    EXPECT_EQ(again.st_ino, first.st_ino) << "left as the first make wrote it";

    const std::string bytes = test::readFile(main);
    std::vector<std::string> full = make;
    full.push_back("--full");
    ASSERT_EQ(run(full), 0) << err.str();
    struct stat written {
    };
    ASSERT_EQ(::stat(main.c_str(), &written), 0);
    EXPECT_NE(written.st_ino, first.st_ino) << "written anew";
    EXPECT_EQ(test::readFile(main), bytes);

    EXPECT_EQ(run({ "--rebuild", project, "--full" }), 2);
    EXPECT_NE(err.str().find("--full goes with --make"), std::string::npos);
}

TEST_F(Cli, NewWritesTheProjectInNameOrderWithCommentsAndTimeStamps)
{
    makeProject();
    const std::string bytes = test::readFile(dir.file("album.pxa"));
    const auto a = bytes.find("A.jpg\r\nA.jpg\r\n");
    const auto b = bytes.find("b.jpg\r\nb.jpg\r\n");
    ASSERT_NE(a, std::string::npos);
    ASSERT_NE(b, std::string::npos);
    EXPECT_LT(a, b); // case ignored: A before b
    EXPECT_NE(bytes.find("[ImageNum]\r\n2\r\n"), std::string::npos);
}

TEST_F(Cli, NewRefusesAMissingPictureAndWritesNothing)
{
    EXPECT_EQ(run({ "--new", dir.file("p.pxa"), dir.file("missing.jpg") }), 1);
    EXPECT_FALSE(fs::exists(dir.file("p.pxa")));
}

TEST_F(Cli, MakeWithoutTheHtmlFolderAnswerExitsTwoBeforeWritingAnything)
{
    const std::string project = makeProject();
    EXPECT_EQ(run({ "--make", project, "--yes", "--author", "a@example.org" }), 2);
    EXPECT_FALSE(fs::exists(dir.file("out")));
}

TEST_F(Cli, MakeCreatesTheFolderOnYesAndPrintsTheCover)
{
    const std::string project = makeProject();
    EXPECT_EQ(run({ "--make", project, "--no-html-folder", "--author", "a@example.org" }), 2);
    EXPECT_NE(err.str().find("HTML出力先フォルダが存在しません。"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir.file("out")));

    EXPECT_EQ(
        run({ "--make", project, "--no-html-folder", "--yes", "--author", "a@example.org", "-j", "2" }), 0)
        << err.str();
    EXPECT_EQ(out.str(), dir.file("out") + "/index.htm\n");
    EXPECT_TRUE(fs::is_regular_file(dir.file("out/images/img0001.jpg")));
    EXPECT_TRUE(fs::is_regular_file(dir.file("out/images/0001s.htm")));
}

TEST_F(Cli, PicturesNamedFromTheProjectFolderAreFoundFromAnyWorkingFolder)
{
    const std::string project = makeProject();
    std::string bytes = test::readFile(project);
    for (const char *name : { "b.jpg", "A.jpg" })
        bytes.replace(bytes.find(dir.file(name)), dir.file(name).size(), name);
    test::writeFile(project, bytes);
    ASSERT_NE(fs::current_path(), dir.path());

    EXPECT_EQ(run({ "--make", project, "--no-html-folder", "--yes", "--author", "a@x" }), 0) << err.str();
    EXPECT_EQ(err.str().find("が見つかりません"), std::string::npos) << err.str();
    EXPECT_TRUE(fs::is_regular_file(dir.file("out/images/img0001.jpg")));
    EXPECT_EQ(test::readFile(project), bytes);
}

TEST_F(Cli, ExistingCoverNeedsYesAndOptionsOverrideTheProject)
{
    const std::string project = makeProject();
    fs::create_directory(dir.file("other"));
    ASSERT_EQ(
        run({ "--make", project, "--out", dir.file("other"), "--no-html-folder", "--author", "a@x" }), 0)
        << err.str();
    EXPECT_EQ(
        run({ "--make", project, "--out", dir.file("other"), "--no-html-folder", "--author", "a@x" }), 2);
    EXPECT_NE(err.str().find("上書きしてよろしいですか?"), std::string::npos);
    EXPECT_EQ(run({ "--make",
                  project,
                  "--out",
                  dir.file("other"),
                  "--no-html-folder",
                  "--author",
                  "a@x",
                  "--yes",
                  "--no-slideshow",
                  "--no-maker-link" }),
        0);
    const std::string cover = test::readFile(dir.file("other/index.htm"));
    EXPECT_EQ(cover.find("0000s.htm"), std::string::npos);
    EXPECT_EQ(cover.find("Powered by"), std::string::npos);
}

TEST_F(Cli, HtmlFolderIsTrashedAndMadeAgainWithYes)
{
    const std::string project = makeProject();
    fs::create_directories(dir.file("out/html/old"));
    const std::string home = dir.file("home");
    setenv("XDG_DATA_HOME", home.c_str(), 1);
    EXPECT_EQ(run({ "--make", project, "--html-folder", "--author", "a@x" }), 2);
    EXPECT_TRUE(fs::exists(dir.file("out/html/old")));
    EXPECT_EQ(run({ "--make", project, "--html-folder", "--author", "a@x", "--yes" }), 0) << err.str();
    EXPECT_FALSE(fs::exists(dir.file("out/html/old")));
    // A data folder that did not exist yet is made, and the old album sits in its trash.
    EXPECT_TRUE(fs::is_directory(home + "/Trash/files/html/old"));
    EXPECT_TRUE(fs::is_regular_file(dir.file("out/html/index.htm")));
}

TEST_F(Cli, RunEndingWithAnErrorExitsOneWithTheMessage)
{
    const std::string project = makeProject();
    std::string bytes = test::readFile(project);
    bytes.replace(bytes.find("[edTitle]\r\n") + 11, 10, ""); // drop the title (10 bytes of CP932)
    test::writeFile(project, bytes);
    fs::create_directory(dir.file("out"));
    EXPECT_EQ(run({ "--make", project, "--no-html-folder", "--author", "a@x" }), 1);
    EXPECT_NE(err.str().find("タイトルを入力してください。(HTMLオプション)"), std::string::npos);
}

TEST_F(Cli, UnreadablePicturesAreNamedByTheirOwnFileAndTheAlbumIsStillWrittenWithStatusThree)
{
    writePicture(dir.file("b.jpg"), 320, 240);
    test::writeFile(dir.file("IMG_0042.HEIC"), "not a picture");
    writePicture(dir.file("whole.png"), 64, 48);
    const std::string cut = test::readFile(dir.file("whole.png"));
    test::writeFile(dir.file("cut.png"), cut.substr(0, cut.size() / 2));
    const std::string project = dir.file("album.pxa");
    ASSERT_EQ(run({ "--new",
                  project,
                  dir.file("IMG_0042.HEIC"),
                  dir.file("b.jpg"),
                  dir.file("cut.png"),
                  "--title",
                  "題",
                  "--out",
                  dir.file("out") }),
        0)
        << err.str();
    for (const char *command : { "--make", "--rebuild" }) {
        SCOPED_TRACE(command);
        const int status = std::string(command) == "--make"
            ? run({ command, project, "--no-html-folder", "--yes", "--author", "a@x" })
            : run({ command, project, "--author", "a@x" });
        EXPECT_EQ(status, 3) << err.str();
        EXPECT_TRUE(fs::is_regular_file(dir.file("out/index.htm")));
        // The user's own file with the decoder's reason, beside the window's message.
        EXPECT_NE(err.str().find(dir.file("IMG_0042.HEIC") + ": 読み込めない画像です (not a JPEG"),
            std::string::npos)
            << err.str();
        EXPECT_NE(err.str().find(dir.file("cut.png") + ": 読み込めない画像です ("), std::string::npos)
            << err.str();
        EXPECT_NE(err.str().find("読み込めなかった画像 (2):\n  " + dir.file("cut.png") + "\n  "
                      + dir.file("IMG_0042.HEIC") + "\n"),
            std::string::npos)
            << err.str();
    }
    EXPECT_TRUE(fs::is_regular_file(dir.file("out/images/img0000.jpg")));
}

TEST_F(Cli, RebuildRewritesPagesOnly)
{
    const std::string project = makeProject();
    ASSERT_EQ(run({ "--make", project, "--no-html-folder", "--yes", "--author", "a@x" }), 0) << err.str();
    test::writeFile(dir.file("out/thumb/img0000_t.jpg"), "not written again");
    fs::remove(dir.file("out/index.htm"));
    EXPECT_EQ(run({ "--rebuild", project, "--author", "a@x" }), 0) << err.str();
    EXPECT_TRUE(fs::is_regular_file(dir.file("out/index.htm")));
    EXPECT_EQ(test::readFile(dir.file("out/thumb/img0000_t.jpg")), "not written again");
}

TEST_F(Cli, NameOptionsThatLeadOutOfTheAlbumAreRefusedBeforeAnythingIsWritten)
{
    const std::string project = makeProject();
    fs::create_directory(dir.file("victim"));
    test::writeFile(dir.file("victim/keep.txt"), "keep");
    for (const char *setting : { "edCSS=../victim/keep.txt", "edIndex=../victim/keep", "edFileExt=/../x" }) {
        SCOPED_TRACE(setting);
        EXPECT_EQ(
            run({ "--make", project, "--no-html-folder", "--yes", "--author", "a@x", "--set", setting }), 1);
        EXPECT_NE(err.str().find("はファイル名として使えません。"), std::string::npos) << err.str();
        EXPECT_FALSE(fs::exists(dir.file("out")));
    }
    EXPECT_NE(err.str().find("(edFileExt)"), std::string::npos) << "the option is named";

    // A shared project holding the name is refused for a rebuild too.
    ASSERT_EQ(run({ "--make", project, "--no-html-folder", "--yes", "--author", "a@x" }), 0) << err.str();
    const std::string cover = test::readFile(dir.file("out/index.htm"));
    ASSERT_EQ(run({ "--add", project, dir.file("b.jpg"), "--set", "edCSS=../victim/keep.txt" }), 0)
        << err.str();
    EXPECT_EQ(run({ "--rebuild", project, "--author", "a@x" }), 1);
    EXPECT_NE(err.str().find("スタイルファイル名指定 (edCSS) の「../victim/keep.txt」"), std::string::npos)
        << err.str();
    EXPECT_EQ(test::readFile(dir.file("victim/keep.txt")), "keep");
    EXPECT_EQ(test::readFile(dir.file("out/index.htm")), cover);
}

TEST_F(Cli, RebuildOfAnAlbumWhosePicturesNoLongerMatchTheListIsRefused)
{
    const std::string project = makeProject();
    writePicture(dir.file("c.jpg"), 200, 100);
    ASSERT_EQ(run({ "--add", project, dir.file("c.jpg") }), 0) << err.str();
    ASSERT_EQ(run({ "--make", project, "--no-html-folder", "--yes", "--author", "a@x" }), 0) << err.str();
    const std::string cover = test::readFile(dir.file("out/index.htm"));
    const std::string page = test::readFile(dir.file("out/images/0001.htm"));

    // Without the middle picture the pages would pair its picture with the next one's comment.
    fs::remove(dir.file("b.jpg"));
    EXPECT_EQ(run({ "--rebuild", project, "--author", "a@x", "--title", "新しい題" }), 1);
    EXPECT_NE(err.str().find(
                  "アルバムを作成したときから、画像リストか画像の設定が変わっています。\n"
                  "ページだけを作り直すことはできません。「アルバム作成」でアルバムを作成し直してください。"),
        std::string::npos)
        << err.str();
    EXPECT_EQ(test::readFile(dir.file("out/index.htm")), cover);
    EXPECT_EQ(test::readFile(dir.file("out/images/0001.htm")), page);

    // Picture options other than the make's would give pages of the wrong sizes.
    writePicture(dir.file("b.jpg"), 320, 240);
    EXPECT_EQ(run({ "--rebuild", project, "--author", "a@x", "--set", "edMainX=800" }), 1);
    EXPECT_EQ(test::readFile(dir.file("out/index.htm")), cover);
    EXPECT_EQ(run({ "--rebuild", project, "--author", "a@x", "--title", "新しい題" }), 0) << err.str();

    // A make without the missing picture, and a rebuild then matches again.
    fs::remove(dir.file("b.jpg"));
    ASSERT_EQ(run({ "--make", project, "--no-html-folder", "--yes", "--author", "a@x" }), 0) << err.str();
    EXPECT_EQ(run({ "--rebuild", project, "--author", "a@x", "--title", "新しい題" }), 0) << err.str();
}

TEST_F(Cli, ASecondRunIntoTheSameAlbumIsToldAndWritesNothing)
{
    const std::string project = makeProject();
    fs::create_directory(dir.file("out"));
    generate::FolderLock first;
    ASSERT_EQ(first.lock(dir.file("out")), generate::FolderLock::Outcome::Locked);
    EXPECT_EQ(run({ "--make", project, "--no-html-folder", "--yes", "--author", "a@x" }), 1);
    EXPECT_NE(err.str().find("他の処理が「" + dir.file("out") + "」にアルバムを書き込んでいます。"),
        std::string::npos)
        << err.str();
    EXPECT_TRUE(fs::is_empty(dir.file("out")));
    EXPECT_EQ(run({ "--make", project, "--html-folder", "--yes", "--author", "a@x" }), 1);
    EXPECT_TRUE(fs::is_empty(dir.file("out")));
    first.release();
    EXPECT_EQ(run({ "--make", project, "--no-html-folder", "--yes", "--author", "a@x" }), 0) << err.str();
}

namespace
{

/// Standard error that sends the process a signal once a text has been written to it.
class SignallingBuffer final : public std::stringbuf
{
public:
    SignallingBuffer(std::string trigger, int signal)
        : m_trigger(std::move(trigger))
        , m_signal(signal)
    {
    }

protected:
    std::streamsize xsputn(const char *text, std::streamsize count) override
    {
        const std::streamsize written = std::stringbuf::xsputn(text, count);
        if (!m_sent && str().find(m_trigger) != std::string::npos) {
            m_sent = true;
            std::raise(m_signal);
        }
        return written;
    }

private:
    std::string m_trigger;
    int m_signal;
    bool m_sent = false;
};

volatile std::sig_atomic_t g_signalsSeenByTheTest = 0;

} // namespace

TEST_F(Cli, InterruptAndTerminateStopTheRunAfterThePictureInFlight)
{
    writePicture(dir.file("b.jpg"), 320, 240);
    test::writeFile(dir.file("0 unreadable.jpg"), "not a picture");
    std::vector<std::string> args { "--new", dir.file("album.pxa"), dir.file("0 unreadable.jpg") };
    for (int i = 0; i < 4; ++i) {
        args.push_back(dir.file("p" + std::to_string(i) + ".jpg"));
        writePicture(args.back(), 320, 240);
    }
    args.insert(args.end(), { "--title", "題", "--out", dir.file("out") });
    ASSERT_EQ(run(args), 0) << err.str();
    fs::create_directory(dir.file("out"));

    // Without the run's own handler the signal only reaches this one, and the run goes on.
    struct sigaction seen {
    };
    seen.sa_handler = [](int) { g_signalsSeenByTheTest = g_signalsSeenByTheTest + 1; };
    struct sigaction oldInterrupt {
    }, oldTerminate {};
    sigaction(SIGINT, &seen, &oldInterrupt);
    sigaction(SIGTERM, &seen, &oldTerminate);
    for (const int signal : { SIGINT, SIGTERM }) {
        SCOPED_TRACE(signal);
        // The unreadable first picture's message comes while the others are still to be made.
        SignallingBuffer buffer("imageX : 0", signal);
        std::ostream signallingErr(&buffer);
        out.str("");
        const int status = app::runCommandLine(
            { "--make", dir.file("album.pxa"), "--no-html-folder", "--yes", "--author", "a@x", "-j", "1" },
            out,
            signallingErr);
        EXPECT_EQ(status, 128 + signal) << buffer.str();
        EXPECT_NE(buffer.str().find("アルバムの作成を中止しました。"), std::string::npos) << buffer.str();
        EXPECT_FALSE(fs::exists(dir.file("out/index.htm")));
        EXPECT_FALSE(fs::exists(dir.file("out/images/img0004.jpg")));
    }
    sigaction(SIGINT, &oldInterrupt, nullptr);
    sigaction(SIGTERM, &oldTerminate, nullptr);
    EXPECT_EQ(g_signalsSeenByTheTest, 0) << "the run's handler took them";
}

TEST_F(Cli, BrokenProjectFileIsAnError)
{
    test::writeFile(dir.file("bad.pxa"), "[SomethingElse]\r\n");
    EXPECT_EQ(run({ "--make", dir.file("bad.pxa"), "--no-html-folder" }), 1);
    EXPECT_NE(err.str().find("は対応していないバージョンのプロジェクトファイルです。"), std::string::npos);
}

namespace
{

/// Every file of an album folder tree, by its path inside the folder.
std::map<std::string, std::string> albumFiles(const fs::path &folder)
{
    std::map<std::string, std::string> files;
    for (const auto &entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file())
            files[fs::relative(entry.path(), folder).string()] = test::readFile(entry.path());
    }
    return files;
}

class Ignore final : public album::Prompter
{
public:
    album::Answer ask(const album::Prompt &prompt) override { return prompt.buttons.front(); }
};

struct Loaded {
    album::AlbumSettings settings;
    std::vector<album::ImageEntry> entries;
};

Loaded load(const std::string &project)
{
    Loaded loaded;
    Ignore prompts;
    EXPECT_TRUE(project::loadProjectFile(project, loaded.settings, loaded.entries, prompts));
    return loaded;
}

} // namespace

TEST_F(Cli, NewWithSettingsGivesTheAlbumOfAProjectSavedWithTheSameValues)
{
    writePicture(dir.file("b.jpg"), 320, 240);
    writePicture(dir.file("A.jpg"), 240, 320);
    ASSERT_EQ(run({ "--new",
                  dir.file("cli.pxa"),
                  dir.file("b.jpg"),
                  dir.file("A.jpg"),
                  "--title",
                  "夏",
                  "--set",
                  "csCol=5",
                  "--set",
                  "edFTitle=FF0000",
                  "--set",
                  "cbJPEGc=4:4:4",
                  "--set",
                  "rbL=rbS",
                  "--set",
                  "cbNowrap=true",
                  "--set",
                  "mmComment=一行目\n二行目" }),
        0)
        << err.str();

    // The same values typed into the window and saved.
    album::AlbumSettings settings;
    test::CountingSink changes;
    Ignore prompts;
    album::SettingsEditor editor(settings, changes, prompts);
    editor.set(album::OptionId::edTitle, std::string("夏"));
    editor.set(album::OptionId::csCol, 5);
    editor.set(album::OptionId::edFTitle, std::string("FF0000"));
    editor.set(album::OptionId::cbJPEGc, std::string("4:4:4"));
    editor.set(album::OptionId::rbL, 1);
    editor.set(album::OptionId::cbNowrap, true);
    editor.set(album::OptionId::mmComment, std::string("一行目\r\n二行目"));
    const auto &cli = load(dir.file("cli.pxa"));
    project::SaveProjectFile(dir.file("window.pxa"), settings, cli.entries);
    EXPECT_EQ(cli.entries.front().comment, "A.jpg\r\n");

    for (const char *name : { "cli", "window" }) {
        ASSERT_EQ(run({ "--make",
                      dir.file(std::string(name) + ".pxa"),
                      "--out",
                      dir.file(std::string(name) + "-album"),
                      "--no-html-folder",
                      "--yes",
                      "--author",
                      "a@x" }),
            0)
            << err.str();
    }
    const auto made = albumFiles(dir.file("cli-album"));
    EXPECT_EQ(made, albumFiles(dir.file("window-album")));
    EXPECT_NE(made.at("index.htm").find(*base::cp932::encode("一行目")), std::string::npos)
        << "the comment is on the cover";
}

TEST_F(Cli, MakeWithSettingsLeavesTheProjectAndSaveWritesExactlyThoseOptions)
{
    const std::string project = makeProject();
    const std::string before = test::readFile(project);

    ASSERT_EQ(
        run({ "--make", project, "--set", "csCol=1", "--no-html-folder", "--yes", "--author", "a@x" }), 0)
        << err.str();
    EXPECT_EQ(test::readFile(project), before);
    auto rows = [](const std::string &cover) {
        std::size_t n = 0;
        for (auto at = cover.find("<TR><!--"); at != std::string::npos; at = cover.find("<TR><!--", at + 1))
            ++n;
        return n;
    };
    EXPECT_EQ(rows(test::readFile(dir.file("out/index.htm"))), 2u) << "one column, two pictures";

    ASSERT_EQ(run({ "--rebuild",
                  project,
                  "--set",
                  "csCol=1",
                  "--set",
                  "edLink=00FF00",
                  "--author",
                  "a@x",
                  "--save" }),
        0)
        << err.str();
    // Written back: the project as it was with exactly these two options changed.
    test::writeFile(dir.file("before.pxa"), before);
    auto edited = load(dir.file("before.pxa"));
    edited.settings.store(album::OptionId::csCol, 1);
    edited.settings.store(album::OptionId::edLink, std::string("00FF00"));
    EXPECT_EQ(test::readFile(project), project::projectFileBytes(edited.settings, edited.entries));
    EXPECT_NE(test::readFile(project), before);
}

TEST_F(Cli, SettingsFollowTheWindowsRulesAndSayWhereTheyChangedAValue)
{
    const std::string project = makeProject();
    ASSERT_EQ(run({ "--new",
                  project,
                  dir.file("A.jpg"),
                  "--yes",
                  "--set",
                  "qJPEG=150",
                  "--set",
                  "edThumbX=100",
                  "--set",
                  "csFCW=161",
                  "--set",
                  "csTitleSize=1",
                  "--set",
                  "rbTL=rbTR" }),
        0)
        << err.str();
    EXPECT_NE(err.str().find("qJPEG=150 was taken as 100"), std::string::npos) << err.str();
    EXPECT_NE(err.str().find("カラムの横幅をこれ以上大きくするには"), std::string::npos) << err.str();
    EXPECT_NE(err.str().find("csFCW=161 was taken as 100"), std::string::npos) << err.str();
    const auto saved = load(project);
    EXPECT_EQ(saved.settings.number(album::OptionId::qJPEG), 100);
    EXPECT_EQ(saved.settings.text(album::OptionId::edqJPEG), "100");
    EXPECT_EQ(saved.settings.number(album::OptionId::csFCW), 100);
    EXPECT_EQ(saved.settings.number(album::OptionId::csTitleSize), 4);
    EXPECT_EQ(saved.settings.number(album::OptionId::rbTL), 2);

    // The typed quality follows the same rule and moves the slider.
    ASSERT_EQ(run({ "--new", project, dir.file("A.jpg"), "--yes", "--set", "edqJPEG=-5" }), 0) << err.str();
    EXPECT_EQ(load(project).settings.number(album::OptionId::qJPEG), 0);
}

TEST_F(Cli, WrongSettingsAreUsageErrorsNamingWhatTheOptionAcceptsAndWriteNothing)
{
    writePicture(dir.file("a.jpg"), 64, 48);
    const std::pair<const char *, const char *> cases[] = {
        { "csCol=abc", "csCol accepts a whole number, 0 to 64" },
        { "edThumbX=12px", "edThumbX accepts a whole number" },
        { "cbNowrap=yes", "cbNowrap accepts true or false" },
        { "rbL=rbX", "rbL accepts rbL or rbS" },
        { "cbJPEGc=4:2:0", "cbJPEGc accepts 4:1:1, 4:2:2 or 4:4:4" },
        { "edFTitle=GG0000", "edFTitle accepts RRGGBB" },
        { "edTitle=two\nlines", "edTitle accepts one line of text" },
        { "csWidth=3", "no option is named csWidth" },
        { "csCol", "--set needs NAME=VALUE" },
    };
    for (const auto &[assignment, message] : cases) {
        EXPECT_EQ(run({ "--new", dir.file("p.pxa"), dir.file("a.jpg"), "--set", assignment }), 2)
            << assignment;
        EXPECT_NE(err.str().find(message), std::string::npos) << err.str();
        EXPECT_EQ(err.str().back(), '\n');
    }
    EXPECT_FALSE(fs::exists(dir.file("p.pxa")));
    EXPECT_EQ(run({ "--new", dir.file("p.pxa"), dir.file("a.jpg"), "--save" }), 2);
    EXPECT_EQ(run({ "--make", dir.file("p.pxa"), dir.file("a.jpg") }), 2);
    EXPECT_EQ(run({ "--make", dir.file("p.pxa"), "--make", dir.file("q.pxa") }), 2);
    EXPECT_FALSE(fs::exists(dir.file("p.pxa")));

    // An existing project is replaced only when asked to.
    test::writeFile(dir.file("p.pxa"), "old");
    EXPECT_EQ(run({ "--new", dir.file("p.pxa"), dir.file("a.jpg") }), 2);
    EXPECT_EQ(test::readFile(dir.file("p.pxa")), "old");
}

TEST_F(Cli, FoldersGiveTheirPicturesInNameOrder)
{
    fs::create_directories(dir.file("photos/sub"));
    for (const char *name :
        { "c.PNG", "a.jpeg", "B.Jpg", "d.tiff", "f.HEIC", "g.webp", ".hidden.jpg", "sub/e.jpg" })
        writePicture(dir.file(std::string("photos/") + name), 32, 24);
    test::writeFile(dir.file("photos/notes.txt"), "not a picture");
    writePicture(dir.file("z.gif"), 32, 24);
    ASSERT_EQ(run({ "--new", dir.file("p.pxa"), dir.file("z.gif"), dir.file("photos/") }), 0) << err.str();
    const auto entries = load(dir.file("p.pxa")).entries;
    std::vector<std::string> paths;
    for (const auto &e : entries)
        paths.push_back(e.path);
    const std::string photos = (dir.path() / "photos").string() + "/";
    EXPECT_EQ(paths,
        (std::vector<std::string> { photos + "a.jpeg",
            photos + "B.Jpg",
            photos + "c.PNG",
            photos + "d.tiff",
            photos + "f.HEIC",
            photos + "g.webp",
            dir.file("z.gif") }));
    EXPECT_EQ(entries[1].comment, "B.Jpg\r\n");
    EXPECT_FALSE(entries[1].timeStamp.empty());

    fs::create_directory(dir.file("empty"));
    test::writeFile(dir.file("empty/readme.txt"), "x");
    EXPECT_EQ(run({ "--new", dir.file("q.pxa"), dir.file("empty") }), 1);
    EXPECT_NE(err.str().find(dir.file("empty") + "\nに画像がありません。"), std::string::npos) << err.str();
    EXPECT_FALSE(fs::exists(dir.file("q.pxa")));
}

TEST_F(Cli, AddAppendsAndKeepsEveryEntryOrLeavesAnUnreadableProjectAlone)
{
    const std::string project = makeProject();
    writePicture(dir.file("c.jpg"), 32, 24);
    fs::remove(dir.file("b.jpg")); // missing now, still in the project
    ASSERT_EQ(run({ "--add", project, dir.file("c.jpg") }), 0) << err.str();
    test::writeFile(dir.file("b.jpg"), ""); // back, so that loading keeps its entry
    const auto loaded = load(project);
    ASSERT_EQ(loaded.entries.size(), 3u);
    EXPECT_EQ(loaded.entries[2].path, dir.file("c.jpg"));
    EXPECT_EQ(loaded.entries[2].comment, "c.jpg\r\n");
    EXPECT_EQ(loaded.settings.text(album::OptionId::edTitle), "旅行の写真");

    std::string broken = test::readFile(project);
    broken.resize(broken.size() / 2);
    test::writeFile(project, broken);
    EXPECT_EQ(run({ "--add", project, dir.file("c.jpg") }), 1);
    EXPECT_FALSE(err.str().empty());
    EXPECT_EQ(test::readFile(project), broken);
}

TEST_F(Cli, ShiftTimeMovesTheChosenStampsAcrossYearAndLeapDayEndsAndSortsWhenAsked)
{
    const std::string project = dir.file("trip.pxa");
    std::vector<album::ImageEntry> entries {
        { dir.file("DSC_2.jpg"), "DSC_2.jpg\r\n", "2024年12月31日 23時30分" },
        { dir.file("DSC_1.jpg"), "DSC_1.jpg\r\n", "2024年02月28日 23時00分" },
        { dir.file("DSC_3.jpg"), "DSC_3.jpg\r\n", "手書きのメモ" },
        { dir.file("IMG_4.jpg"), "IMG_4.jpg\r\n", "2024年03月01日 00時10分" },
    };
    for (const auto &entry : entries)
        test::writeFile(entry.path, "");
    project::SaveProjectFile(project, album::AlbumSettings {}, entries);
    auto stamps = [&] {
        std::vector<std::string> names;
        for (const auto &entry : load(project).entries)
            names.push_back(album::fileNamePart(entry.path) + " " + entry.timeStamp);
        return names;
    };

    ASSERT_EQ(run({ "--shift-time", project, "+1h", "--only", "DSC_*" }), 0) << err.str();
    EXPECT_EQ(stamps(),
        (std::vector<std::string> { "DSC_2.jpg 2025年01月01日 00時30分",
            "DSC_1.jpg 2024年02月29日 00時00分",
            "DSC_3.jpg 手書きのメモ",
            "IMG_4.jpg 2024年03月01日 00時10分" }));
    EXPECT_NE(err.str().find("DSC_3.jpg"), std::string::npos) << "the stamp left as it was is named";

    // A negative offset after "--", then the list in time order, free text last.
    ASSERT_EQ(run({ "--shift-time", project, "--sort-by-time", "--only", "IMG_?.jpg", "--", "-1d" }), 0)
        << err.str();
    EXPECT_EQ(stamps(),
        (std::vector<std::string> { "DSC_1.jpg 2024年02月29日 00時00分",
            "IMG_4.jpg 2024年02月29日 00時10分",
            "DSC_2.jpg 2025年01月01日 00時30分",
            "DSC_3.jpg 手書きのメモ" }));

    const std::string before = test::readFile(project);
    for (const std::vector<std::string> &wrong :
        { std::vector<std::string> { "--shift-time", project, "+1x" },
            { "--shift-time", project },
            { "--shift-time", project, "+1h", "+2h" },
            { "--add", project, "--only", "a*" } }) {
        EXPECT_EQ(run(wrong), 2) << wrong.back();
    }
    EXPECT_EQ(run({ "--shift-time", project, "+1h", "--only", "nothing*" }), 1);
    EXPECT_EQ(test::readFile(project), before) << "nothing written";
}

TEST_F(Cli, SaveThatCannotWriteKeepsTheOldProject)
{
    const std::string project = makeProject();
    ASSERT_EQ(run({ "--make", project, "--no-html-folder", "--yes", "--author", "a@x" }), 0) << err.str();
    const std::string before = test::readFile(project);
    // A long text the pages do not show (the right button is off) makes the project, not the pages,
    // outgrow a file-size limit, which stops writes as a full disk does, for root too.
    rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 8192;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const int status = run({ "--rebuild",
        project,
        "--author",
        "a@x",
        "--set",
        "edBt3URL=" + std::string(10000, 'u'),
        "--save" });
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(status, 1);
    EXPECT_NE(err.str().find(project + "\nに書き込めません。"), std::string::npos) << err.str();
    EXPECT_EQ(test::readFile(project), before);
}

TEST(TerminalProgress, ShowsPicturesRateAndTimeLeftOnOneLineClearedAtTheEnd)
{
    std::ostringstream err;
    auto now = std::chrono::steady_clock::time_point();
    app::TerminalProgress bar(err, true, [&now] { return now; });
    bar.show();
    now += std::chrono::seconds(2);
    bar.setLabel("[ 4 / 10 ]");
    bar.setPosition(30);
    EXPECT_EQ(err.str(), "\r[ 4 / 10 ] 30%  2.0 pictures/s  0:03 left\033[K");
    bar.hide();
    EXPECT_TRUE(err.str().ends_with("\r\033[K"));

    std::ostringstream quiet;
    app::TerminalProgress off(quiet, false);
    off.show();
    off.setLabel("[ 1 / 1 ]");
    off.setPosition(0);
    off.hide();
    EXPECT_EQ(quiet.str(), "");
}

TEST(Readme, CommandLineExamplesWorkAsWritten)
{
    // The command lines of the README's command-line section, run from a clone's top folder
    // (build/ is this build) for a user whose ~/Pictures holds a few pictures.
    const std::string readme = test::readFile(fs::path(PICTORA_SOURCE_DIR) / "README.md");
    const auto section = readme.find("\n## The command line\n");
    ASSERT_NE(section, std::string::npos);
    const auto sectionEnd = readme.find("\n## ", section + 1);
    std::string script;
    int commands = 0;
    for (auto open = readme.find("```sh\n", section); open < sectionEnd;
         open = readme.find("```sh\n", open)) {
        const auto close = readme.find("```\n", open + 6);
        std::istringstream block(readme.substr(open + 6, close - open - 6));
        for (std::string line; std::getline(block, line);) {
            script += "echo '>>' " + std::to_string(++commands) + "\n" + line + "\n";
        }
        open = close + 4;
    }
    ASSERT_GE(commands, 2);

    test::TempDir dir;
    fs::create_directories(dir.file("home/Pictures"));
    fs::create_directories(dir.file("bin"));
    fs::create_directory_symlink(PICTORA_BINARY_DIR, dir.file("build"));
    ASSERT_TRUE(fs::equivalent(dir.file("build/app/pictora"), PICTORA_PROGRAM))
        << "the examples run build/app/pictora, which is this build's program";
    writePicture(dir.file("home/Pictures/IMG_0002.jpg"), 320, 240);
    writePicture(dir.file("home/Pictures/img_0001.png"), 240, 320);
    test::writeFile(dir.file("readme.sh"), script);
    // The browser is not started: --open reaches this stand-in for xdg-open.
    test::writeFile(dir.file("bin/xdg-open"), "#!/bin/sh\necho \"$1\" >> \"$HOME/opened\"\n");
    fs::permissions(dir.file("bin/xdg-open"), fs::perms::owner_all);
    const std::string command = "cd '" + dir.path().string() + "' && HOME='" + dir.file("home") + "' PATH='"
        + dir.file("bin") + "':\"$PATH\" sh -e readme.sh > log 2>&1";
    const int status = std::system(command.c_str());
    ASSERT_EQ(status, 0) << test::readFile(dir.file("log"));

    EXPECT_TRUE(fs::is_regular_file(dir.file("home/album/index.htm")));
    Ignore prompts;
    album::AlbumSettings settings;
    std::vector<album::ImageEntry> entries;
    ASSERT_TRUE(project::loadProjectFile(dir.file("my.pxa"), settings, entries, prompts));
    EXPECT_EQ(settings.text(album::OptionId::edTitle), "夏の旅行");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(album::fileNamePart(entries[0].path), "img_0001.png");
    for (int wait = 0; wait < 50 && !fs::exists(dir.file("home/opened")); ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(test::readFile(dir.file("home/opened")), dir.file("home/album/index.htm") + "\n");
}

TEST_F(Cli, SpecialFilesNamedAsPicturesAreRefusedWithoutWaiting)
{
    const std::string fifo = dir.file("pipe.jpg");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Reading the FIFO's capture time would wait for a writer for ever: the command runs in another
    // thread, and one that waits is let go by a writer, so the test fails rather than hangs.
    auto status = std::async(std::launch::async, [&] { return run({ "--new", dir.file("p.pxa"), fifo }); });
    bool waited = false;
    while (status.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        waited = true;
        if (const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK); fd >= 0)
            ::close(fd);
    }
    EXPECT_FALSE(waited) << "the command waited on the FIFO";
    EXPECT_EQ(status.get(), 1);
    EXPECT_EQ(err.str(), fifo + "\nを読み込めません。\n(通常のファイルではありません)\n");
    EXPECT_FALSE(fs::exists(dir.file("p.pxa")));
}

TEST_F(Cli, LongProjectNamesAreSavedAndTooLongOnesToldInJapanese)
{
    writePicture(dir.file("a.jpg"), 32, 24);
    // 250 bytes: the temporary name beside it must still fit the 255-byte limit.
    const std::string name = std::string(246, 'p') + ".pxa";
    ASSERT_EQ(run({ "--new", dir.file(name), dir.file("a.jpg") }), 0) << err.str();
    EXPECT_TRUE(fs::is_regular_file(dir.file(name)));
    ASSERT_EQ(run({ "--add", dir.file(name), dir.file("a.jpg") }), 0) << err.str();
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);

    // Past the limit, the system's reason in the program's words, never a library's text.
    const std::string tooLong = dir.file(std::string(300, 'q') + ".pxa");
    EXPECT_EQ(run({ "--new", tooLong, dir.file("a.jpg") }), 1);
    EXPECT_EQ(err.str(), tooLong + "\nに書き込めません。\n(名前が長すぎます)\n");
    EXPECT_EQ(run({ "--make", tooLong, "--no-html-folder" }), 1);
    EXPECT_EQ(err.str(), tooLong + "\nを開けません。\n(名前が長すぎます)\n");
}

TEST_F(Cli, OutputFolderThatCannotBeMadeIsNamed)
{
    const std::string project = makeProject();
    // A file in the way stops the folder for root too, as a read-only parent does for a user.
    test::writeFile(dir.file("out"), "a file");
    EXPECT_EQ(run({ "--make", project, "--no-html-folder", "--yes", "--author", "a@x" }), 1);
    EXPECT_NE(
        err.str().find(dir.file("out") + "\nフォルダを作成できません。\n(同じ名前のファイルがあります)"),
        std::string::npos)
        << err.str();
    EXPECT_EQ(test::readFile(dir.file("out")), "a file");
}

TEST_F(Cli, AnAddWhileAnotherWriterHoldsTheProjectWaitsAndLosesNeitherPicture)
{
    const std::string project = makeProject();
    writePicture(dir.file("c.jpg"), 32, 24);
    writePicture(dir.file("d.jpg"), 32, 24);
    auto holder = std::make_unique<base::FileLock>();
    ASSERT_EQ(holder->lock(project, false), base::FileLock::Outcome::Locked);
    std::ostringstream addOut;
    std::ostringstream addErr;
    auto add = std::async(std::launch::async, [&] {
        return app::runCommandLine({ "--add", project, dir.file("c.jpg") }, addOut, addErr);
    });
    // The other writer (a --make --save, a window's Save) reads, adds and writes while it holds the lock.
    Loaded other = load(project);
    other.entries.push_back({ dir.file("d.jpg"), "d.jpg\r\n", "" });
    project::SaveProjectFile(project, other.settings, other.entries);
    holder.reset();
    ASSERT_EQ(add.get(), 0) << addErr.str();
    std::vector<std::string> names;
    for (const auto &entry : load(project).entries)
        names.push_back(fs::path(entry.path).filename().string());
    EXPECT_EQ(names, (std::vector<std::string> { "A.jpg", "b.jpg", "d.jpg", "c.jpg" }));
}

TEST_F(Cli, NamesAProjectCannotKeepAreRefusedNamingTheFile)
{
    const std::string longPath = "/" + std::string(PATH_MAX, 'x') + ".jpg";
    const struct {
        std::string path;
        const char *expected; ///< nothing: the path is kept
    } cases[] = {
        { "/photos/café.jpg", nullptr },
        { "/photos/caf\xE9.jpg", "「/photos/caf?.jpg」\nのファイル名は文字として読めないバイトを含むため" },
        { "/photos/two\nlines.jpg", "「/photos/two?lines.jpg」\nのファイル名に改行が含まれているため" },
        { longPath, "のパスが長すぎるため(4095 バイトまで)" },
    };
    for (const auto &c : cases) {
        const std::optional<std::string> refused = project::unstorablePathMessage(c.path);
        if (!c.expected)
            EXPECT_FALSE(refused) << *refused;
        else
            EXPECT_TRUE(refused && refused->find(c.expected) != std::string::npos) << c.path.substr(0, 40);
    }

    // A folder holding a name in another encoding: --new refuses it and writes no project.
    fs::create_directory(dir.file("latin"));
    writePicture(dir.file("latin/a.jpg"), 32, 24);
    writePicture(dir.file("latin/caf\xE9.jpg"), 32, 24);
    EXPECT_EQ(run({ "--new", dir.file("p.pxa"), dir.file("latin") }), 1);
    EXPECT_NE(err.str().find("latin/caf?.jpg」\nのファイル名は"), std::string::npos) << err.str();
    EXPECT_FALSE(fs::exists(dir.file("p.pxa")));
    EXPECT_EQ(run({ "--new", dir.file("p.pxa"), dir.file("latin/caf\xE9.jpg") }), 1);
    EXPECT_FALSE(fs::exists(dir.file("p.pxa")));
}

TEST_F(Cli, AMakeOfAProjectWhosePicturesAreAllGoneKeepsTheAlbum)
{
    const std::string project = makeProject();
    const std::vector<std::string> make
        = { "--make", project, "--no-html-folder", "--yes", "--author", "a@x" };
    ASSERT_EQ(run(make), 0) << err.str();
    const std::string cover = test::readFile(dir.file("out/index.htm"));
    fs::create_directory(dir.file("moved"));
    for (const char *name : { "b.jpg", "A.jpg" })
        fs::rename(dir.file(name), dir.file("moved") + "/" + name);
    EXPECT_EQ(run(make), 1);
    EXPECT_NE(
        err.str().find("が見つかりません。この画像を除いて作成します(プロジェクトのリストには残します)。"),
        std::string::npos)
        << err.str();
    EXPECT_NE(
        err.str().find("の画像がひとつも見つからないため、アルバムを作成しませんでした。"), std::string::npos)
        << err.str();
    EXPECT_EQ(test::readFile(dir.file("out/index.htm")), cover);
}
