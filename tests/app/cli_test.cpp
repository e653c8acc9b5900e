// SPDX-License-Identifier: MIT
#include "album/cp932.h"
#include "app/cli.h"
#include "imaging/picture.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>
#include <vips/vips8>

#include <filesystem>
#include <sstream>

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
        EXPECT_EQ(run({ "--new", project, dir.file("b.jpg"), dir.file("A.jpg") }), 0) << err.str();
        // Line 4 holds the output folder and line 7 the title.
        std::string bytes = test::readFile(project);
        std::vector<std::string> lines;
        for (std::size_t start = 0, end; (end = bytes.find("\r\n", start)) != std::string::npos;
             start = end + 2)
            lines.push_back(bytes.substr(start, end - start));
        lines[3] = dir.file("out");
        lines[6] = *album::cp932::encode("旅行の写真");
        std::string joined;
        for (const auto &l : lines)
            joined += l + "\r\n";
        test::writeFile(project, joined);
        return project;
    }
};

} // namespace

TEST_F(Cli, HelpVersionAndUsageErrors)
{
    EXPECT_EQ(run({ "--help" }), 0);
    EXPECT_NE(out.str().find("--make PROJECT.pxa"), std::string::npos);
    EXPECT_EQ(run({ "--version" }), 0);
    EXPECT_EQ(out.str(), "Pictora 0.2.13.0\n");
    EXPECT_EQ(run({ "--make" }), 2);
    EXPECT_EQ(run({ "--frobnicate" }), 2);
    EXPECT_EQ(run({ "--make", "x.pxa", "-j", "0" }), 2);
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

TEST_F(Cli, RebuildRewritesPagesOnly)
{
    const std::string project = makeProject();
    ASSERT_EQ(run({ "--make", project, "--no-html-folder", "--yes", "--author", "a@x" }), 0) << err.str();
    fs::remove(dir.file("out/thumb/img0000_t.jpg"));
    fs::remove(dir.file("out/index.htm"));
    EXPECT_EQ(run({ "--rebuild", project, "--author", "a@x" }), 0) << err.str();
    EXPECT_TRUE(fs::is_regular_file(dir.file("out/index.htm")));
    EXPECT_FALSE(fs::exists(dir.file("out/thumb/img0000_t.jpg")));
}

TEST_F(Cli, BrokenProjectFileIsAnError)
{
    test::writeFile(dir.file("bad.pxa"), "[SomethingElse]\r\n");
    EXPECT_EQ(run({ "--make", dir.file("bad.pxa"), "--no-html-folder" }), 1);
    EXPECT_NE(err.str().find("は対応していないバージョンのプロジェクトファイルです。"), std::string::npos);
}
