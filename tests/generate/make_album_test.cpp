// SPDX-License-Identifier: MIT
#include "album/image_list.h"
#include "album/settings.h"
#include "base/errors.h"
#include "generate/make_album.h"
#include "generate/size_cache.h"
#include "generate/visitor_report.h"
#include "imaging/picture.h"
#include "tests/support/album_questions.h"
#include "tests/support/scripted_prompter.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>
#include <vips/vips8>

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <future>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

using namespace pictora;
using album::Answer;
using album::OptionId;
using album::PromptKind;
using test::ScriptedPrompter;
namespace fs = std::filesystem;

namespace
{

const std::string kAuthorQuestion = "HTML作者連絡先が空欄です。\n「support@pictora.example.org("
                                    "たぶりサポート)」をHTML作者連絡先にしますか?";
const std::string kCreateQuestion = "HTML出力先フォルダが存在しません。\n作成しますか?";

struct FakePlatform final : generate::RunPlatform {
    std::vector<std::string> opened;
    std::vector<std::string> trashed;
    bool trashWorks = true;
    bool moveToTrash(const std::string &path) override
    {
        trashed.push_back(path);
        if (!trashWorks)
            return false;
        fs::remove_all(path);
        return true;
    }
    void openDocument(const std::string &path) override { opened.push_back(path); }
    int cancelAfter = -1; ///< pictures consumed before the user stops the run; -1 = never
    int cancelAsked = 0;
    bool cancelRequested() override { return cancelAfter >= 0 && ++cancelAsked > cancelAfter; }
};

/// A picture with a gradient, so that resized versions differ from each other.
void writePicture(const std::string &path, int width, int height)
{
    imaging::initialise();
    vips::VImage xy = vips::VImage::xyz(width, height);
    vips::VImage rgb = xy[0].linear(255.0 / width, 0).bandjoin(xy[1].linear(255.0 / height, 0)).bandjoin(64);
    rgb.cast(VIPS_FORMAT_UCHAR)
        .copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB))
        .write_to_file(path.c_str());
}

struct MakeAlbum : ::testing::Test {
    test::TempDir dir;
    album::AlbumSettings settings;
    std::vector<album::ImageEntry> entries;
    ScriptedPrompter prompts;
    test::RecordingProgress progress;
    FakePlatform platform;

    MakeAlbum()
    {
        settings.store(OptionId::edHTMLPath, dir.file("out"));
        settings.store(OptionId::edTitle, std::string("旅行"));
        settings.store(OptionId::edRevMade, std::string("me@example.org"));
        fs::create_directory(dir.file("out"));
    }

    void addPictures(int count, int width = 400, int height = 300)
    {
        for (int i = 0; i < count; ++i) {
            const std::string path = dir.file("src" + std::to_string(entries.size()) + ".png");
            writePicture(path, width, height);
            entries.push_back({ path, "comment", "2004年05月01日 13時05分" });
        }
    }

    generate::RunResult make(int workers = 2)
    {
        generate::RunContext context { settings, entries, prompts, progress, platform, workers };
        return generate::makeAlbum(context);
    }
    generate::RunResult rebuild()
    {
        generate::RunContext context { settings, entries, prompts, progress, platform, 2 };
        return generate::rebuildPages(context);
    }
    /// The message of a make that must end with an error.
    std::string makeError()
    {
        try {
            make();
        } catch (const base::UserError &e) {
            return e.what();
        }
        ADD_FAILURE() << "the make ended without an error";
        return {};
    }
};

} // namespace

TEST_F(MakeAlbum, NoToTheAuthorQuestionEndsBeforeAnyOtherCheck)
{
    settings.store(OptionId::edRevMade, std::string());
    settings.store(OptionId::edTitle, std::string());
    prompts.expect(kAuthorQuestion, Answer::No, PromptKind::Warning);
    EXPECT_FALSE(make().completed);
    EXPECT_EQ(settings.text(OptionId::edRevMade), "");
}

TEST_F(MakeAlbum, YesFillsTheAuthorEvenWhenALaterCheckEndsTheRun)
{
    settings.store(OptionId::edRevMade, std::string());
    settings.store(OptionId::edTitle, std::string());
    prompts.expect(kAuthorQuestion, Answer::Yes, PromptKind::Warning);
    prompts.expect("タイトルを入力してください。(HTMLオプション)", Answer::Ok, PromptKind::Error);
    EXPECT_FALSE(make().completed);
    EXPECT_EQ(settings.text(OptionId::edRevMade), "support@pictora.example.org");
}

TEST_F(MakeAlbum, MissingSettingsEndTheRunWithTheirErrorsInOrder)
{
    const std::vector<std::pair<OptionId, std::string>> cases = {
        { OptionId::edHTMLPath, "HTML出力先フォルダを指定してください。" },
        { OptionId::edIndex, "アルバム表紙のHTMLファイル名を指定してください。" },
        { OptionId::edThumbY, "サムネイルサイズを入力してください。(画像オプション)" },
        { OptionId::edMainX, "メイン画像サイズを入力してください。(画像オプション)" },
    };
    for (const auto &[option, message] : cases) {
        album::AlbumSettings saved = settings;
        settings.store(option, std::string());
        ScriptedPrompter local { { message, Answer::Ok, PromptKind::Error } };
        generate::RunContext context { settings, entries, local, progress, platform, 1 };
        EXPECT_FALSE(generate::makeAlbum(context).completed);
        settings = saved;
    }
    EXPECT_TRUE(progress.calls.empty());
}

TEST_F(MakeAlbum, SettingsAreCheckedInTheirOrderSoEachFixRevealsTheNextError)
{
    // With every checked setting empty at once, each fix must bring up exactly the next message:
    // two checks that trade places fail here.
    settings.store(OptionId::edRevMade, std::string());
    const std::vector<std::pair<std::vector<OptionId>, std::string>> checks = {
        { { OptionId::edHTMLPath }, "HTML出力先フォルダを指定してください。" },
        { { OptionId::edIndex }, "アルバム表紙のHTMLファイル名を指定してください。" },
        { { OptionId::edTitle }, "タイトルを入力してください。(HTMLオプション)" },
        { { OptionId::edThumbX, OptionId::edThumbY },
            "サムネイルサイズを入力してください。(画像オプション)" },
        { { OptionId::edMainX, OptionId::edMainY }, "メイン画像サイズを入力してください。(画像オプション)" },
    };
    const album::AlbumSettings filled = settings;
    for (const auto &[options, message] : checks) {
        for (OptionId option : options)
            settings.store(option, std::string());
    }
    prompts.expect(album::Question::Author, kAuthorQuestion, Answer::Yes);
    for (const auto &[options, message] : checks) {
        prompts.expect(message, Answer::Ok, PromptKind::Error);
        EXPECT_FALSE(make().completed) << message;
        for (OptionId option : options)
            settings.store(option, filled.text(option));
    }
    prompts.expect(album::Question::HtmlFolder, test::kHtmlQuestion, Answer::Cancel);
    EXPECT_FALSE(make().completed);
    EXPECT_TRUE(progress.calls.empty());
}

TEST_F(MakeAlbum, RunsAskTheirQuestionsByNameForFrontEndsThatAnswerWithoutShowing)
{
    settings.store(OptionId::edRevMade, std::string());
    settings.store(OptionId::edHTMLPath, dir.file("new"));
    const std::string html = dir.file("new") + "/html";
    prompts.expect(album::Question::Author, kAuthorQuestion, Answer::Yes);
    prompts.expect(album::Question::CreateOutput, kCreateQuestion, Answer::Yes);
    prompts.expect(album::Question::HtmlFolder, test::kHtmlQuestion, Answer::Cancel);
    EXPECT_FALSE(make().completed);

    fs::create_directories(html);
    prompts.expect(album::Question::HtmlFolder, test::kHtmlQuestion, Answer::Yes);
    prompts.expect(
        album::Question::DeleteHtml, "「" + html + "」が既に存在します。\n削除しますか?", Answer::Ok);
    prompts.expect(album::Question::HtmlFolderTrashed,
        "削除が完了しました。\nもういちど「アルバム作成」ボタンを押してください。",
        Answer::Ok);
    EXPECT_FALSE(make().completed);

    prompts.expect(album::Question::HtmlFolder, test::kHtmlQuestion, Answer::No);
    ASSERT_TRUE(make().completed);
    prompts.expect(album::Question::HtmlFolder, test::kHtmlQuestion, Answer::No);
    prompts.expect(album::Question::OverwriteCover,
        "「" + dir.file("new") + "/index.htm」が既に存在します。\n上書きしてよろしいですか?",
        Answer::Cancel);
    prompts.expect("アルバム表紙のHTMLファイル名、あるいはHTMLアルバム出力先フォルダを変更してください。",
        Answer::Ok,
        PromptKind::Warning);
    EXPECT_FALSE(make().completed);
}

TEST_F(MakeAlbum, MissingOutputFolderIsCreatedOnYesOnly)
{
    settings.store(OptionId::edHTMLPath, dir.file("new"));
    prompts.expect(kCreateQuestion, Answer::No, PromptKind::Warning);
    EXPECT_FALSE(make().completed);
    EXPECT_FALSE(fs::exists(dir.file("new")));

    prompts.expect(kCreateQuestion, Answer::Yes, PromptKind::Warning);
    prompts.expect(test::kHtmlQuestion, Answer::Cancel, PromptKind::Confirmation);
    EXPECT_FALSE(make().completed);
    EXPECT_TRUE(fs::is_directory(dir.file("new")));
}

TEST_F(MakeAlbum, SizeThatIsNotANumberStopsWithTheFloatingPointMessage)
{
    settings.store(OptionId::edMainX, std::string("64O"));
    try {
        make();
        ADD_FAILURE();
    } catch (const base::ConversionError &e) {
        EXPECT_STREQ(e.what(), "'64O' は浮動小数点数ではありません");
    }
}

TEST_F(MakeAlbum, ExistingHtmlFolderIsTrashedAndTheRunEnds)
{
    fs::create_directories(dir.file("out/html/images"));
    const std::string a = dir.file("out") + "/html";
    prompts.expect(test::kHtmlQuestion, Answer::Yes, PromptKind::Confirmation);
    prompts.expect("「" + a + "」が既に存在します。\n削除しますか?", Answer::Ok, PromptKind::Warning);
    prompts.expect("削除が完了しました。\nもういちど「アルバム作成」ボタンを押してください。",
        Answer::Ok,
        PromptKind::Information);
    EXPECT_FALSE(make().completed);
    EXPECT_EQ(platform.trashed, std::vector<std::string> { a });
    EXPECT_FALSE(fs::exists(a));

    // Pressing the button again makes the album in a fresh html folder.
    prompts.expect(test::kHtmlQuestion, Answer::Yes, PromptKind::Confirmation);
    EXPECT_TRUE(make().completed);
    EXPECT_TRUE(fs::is_regular_file(a + "/index.htm"));
}

TEST_F(MakeAlbum, FailedTrashIsReportedAndNothingIsWritten)
{
    fs::create_directories(dir.file("out/html"));
    platform.trashWorks = false;
    const std::string a = dir.file("out") + "/html";
    prompts.expect(test::kHtmlQuestion, Answer::Yes, PromptKind::Confirmation);
    prompts.expect("「" + a + "」が既に存在します。\n削除しますか?", Answer::Ok, PromptKind::Warning);
    prompts.expect("他のプログラムが「" + a
            + "」を開いています。\n他のプログラムを終了させてから再実行してください。\n\nあるいは、「" + a
            + "」フォルダを手動で削除してから再実行してください。",
        Answer::Ok,
        PromptKind::Warning);
    EXPECT_FALSE(make().completed);
    EXPECT_FALSE(fs::exists(a + "/index.htm"));
}

TEST_F(MakeAlbum, ExistingCoverIsOverwrittenOnlyAfterOk)
{
    const std::string index = dir.file("out") + "/index.htm";
    test::writeFile(index, "old");
    prompts.expect(test::kHtmlQuestion, Answer::No, PromptKind::Confirmation);
    prompts.expect("「" + index + "」が既に存在します。\n上書きしてよろしいですか?",
        Answer::Cancel,
        PromptKind::Warning);
    prompts.expect("アルバム表紙のHTMLファイル名、あるいはHTMLアルバム出力先フォルダを変更してください。",
        Answer::Ok,
        PromptKind::Warning);
    EXPECT_FALSE(make().completed);
    EXPECT_EQ(test::readFile(index), "old");

    fs::create_directories(dir.file("out/images"));
    test::writeFile(dir.file("out/images/0042.htm"), "stale page");
    prompts.expect(test::kHtmlQuestion, Answer::No, PromptKind::Confirmation);
    prompts.expect(
        "「" + index + "」が既に存在します。\n上書きしてよろしいですか?", Answer::Ok, PromptKind::Warning);
    EXPECT_TRUE(make().completed);
    EXPECT_NE(test::readFile(index), "old");
    EXPECT_EQ(test::readFile(dir.file("out/images/0042.htm")), "stale page"); // nothing is deleted
}

TEST_F(MakeAlbum, ProgressForFourPicturesAndTheFinish)
{
    addPictures(4);
    prompts.expect(test::kHtmlQuestion, Answer::No, PromptKind::Confirmation);
    const auto result = make();
    ASSERT_TRUE(result.completed);
    EXPECT_EQ(progress.calls,
        (std::vector<std::string> { "show",
            "label [ 1 / 4 ]",
            "pos 0",
            "label [ 2 / 4 ]",
            "pos 25",
            "label [ 3 / 4 ]",
            "pos 50",
            "label [ 4 / 4 ]",
            "pos 75",
            "pos 100",
            "label ",
            "hide" }));
    EXPECT_EQ(platform.opened, std::vector<std::string> { dir.file("out") + "/index.htm" });
}

TEST_F(MakeAlbum, ProgressForThreePicturesTruncates)
{
    addPictures(3);
    prompts.expect(test::kHtmlQuestion, Answer::No, PromptKind::Confirmation);
    ASSERT_TRUE(make().completed);
    EXPECT_EQ(progress.calls[2], "pos 0");
    EXPECT_EQ(progress.calls[4], "pos 33");
    EXPECT_EQ(progress.calls[6], "pos 66");
}

TEST_F(MakeAlbum, StoppedBetweenPicturesEndsAsAQuestionWouldAndSaysSo)
{
    addPictures(4);
    platform.cancelAfter = 2;
    prompts.expect(test::kHtmlQuestion, Answer::No, PromptKind::Confirmation);
    prompts.expect(generate::kCancelledMessage, Answer::Ok, PromptKind::Information);
    const auto result = make(1);
    EXPECT_FALSE(result.completed);
    EXPECT_EQ(progress.calls.back(), "hide");
    EXPECT_EQ(std::count(progress.calls.begin(), progress.calls.end(), "hide"), 1);
    EXPECT_TRUE(platform.opened.empty());
    EXPECT_FALSE(fs::exists(dir.file("out/index.htm")));
    // One worker: the user stopped during the third picture, which is finished; the fourth never starts.
    EXPECT_TRUE(fs::exists(dir.file("out/images/img0002.jpg")));
    EXPECT_FALSE(fs::exists(dir.file("out/images/img0003.jpg")));
}

TEST_F(MakeAlbum, WritesPicturesWithTheirTableSizes)
{
    addPictures(1, 1600, 1200);
    addPictures(1, 300, 400);
    prompts.expect(test::kHtmlQuestion, Answer::No, PromptKind::Confirmation);
    const auto result = make();
    ASSERT_TRUE(result.completed);
    EXPECT_EQ(result.sizes[0], (generate::SizeRow { 640, 480, 160, 120 }));
    EXPECT_EQ(result.sizes[1], (generate::SizeRow { 480, 640, 120, 160 }));
    const auto main1 = imaging::probe(dir.file("out/images/img0001.jpg"));
    EXPECT_EQ(main1.width, 480);
    EXPECT_EQ(main1.height, 640);
    const auto thumb0 = imaging::probe(dir.file("out/thumb/img0000_t.jpg"));
    EXPECT_EQ(thumb0.width, 160);
    EXPECT_EQ(thumb0.height, 120);
    EXPECT_TRUE(fs::is_regular_file(dir.file("out/default.css")));
    EXPECT_TRUE(fs::is_regular_file(dir.file("out/images/0001s.htm")));
}

TEST_F(MakeAlbum, WithoutResizingTheMainPictureKeepsTheSourcePixels)
{
    settings.store(OptionId::cbTransMain, false);
    addPictures(1, 1600, 1200);
    prompts.expect(test::kHtmlQuestion, Answer::No, PromptKind::Confirmation);
    const auto result = make();
    EXPECT_EQ(result.sizes[0], (generate::SizeRow { 640, 480, 160, 120 }));
    EXPECT_EQ(imaging::probe(dir.file("out/images/img0000.jpg")).width, 1600);
    // The thumbnail is fitted to the source size here.
    EXPECT_EQ(imaging::probe(dir.file("out/thumb/img0000_t.jpg")).width, 160);
}

TEST_F(MakeAlbum, UsingOriginalsWritesNoMainPicture)
{
    settings.store(OptionId::cbMainOrigin, true);
    addPictures(1, 800, 600);
    prompts.expect(test::kHtmlQuestion, Answer::No, PromptKind::Confirmation);
    ASSERT_TRUE(make().completed);
    EXPECT_FALSE(fs::exists(dir.file("out/images/img0000.jpg")));
    EXPECT_TRUE(fs::exists(dir.file("out/thumb/img0000_t.jpg")));
}

TEST_F(MakeAlbum, UnreadablePictureIsReportedBetweenItsNeighboursAndTheRunGoesOn)
{
    addPictures(2);
    test::writeFile(dir.file("broken.jpg"), "this is not a picture");
    entries.insert(entries.begin() + 1, { dir.file("broken.jpg"), "", "" });
    prompts.expect(test::kHtmlQuestion, Answer::No, PromptKind::Confirmation);
    prompts.expect("img0001.jpg\nimageX : 0\nimageY : 0", Answer::Ok, PromptKind::Confirmation);
    const auto result = make(4);
    ASSERT_TRUE(result.completed);
    EXPECT_EQ(result.sizes[1], (generate::SizeRow { 640, 640, 160, 160 }));
    // The message came after the first picture's progress and before the second's.
    EXPECT_EQ(progress.calls[1], "label [ 1 / 3 ]");
    EXPECT_EQ(progress.calls[3], "label [ 2 / 3 ]");
    EXPECT_TRUE(fs::exists(dir.file("out/images/img0002.jpg")));
    // The message names the album's file; its details the user's own.
    const auto told
        = std::ranges::find(prompts.asked(), album::Question::Unreadable, &album::Prompt::question);
    ASSERT_NE(told, prompts.asked().end());
    EXPECT_EQ(told->details, "元の画像: " + dir.file("broken.jpg"));
}

TEST_F(MakeAlbum, OneAndManyWorkersWriteIdenticalAlbums)
{
    addPictures(3, 640, 480);
    addPictures(2, 300, 500);
    auto makeInto = [&](const std::string &folder, int workers) {
        settings.store(OptionId::edHTMLPath, folder);
        fs::create_directory(folder);
        prompts.expect(test::kHtmlQuestion, Answer::No, PromptKind::Confirmation);
        ASSERT_TRUE(make(workers).completed);
    };
    makeInto(dir.file("one"), 1);
    makeInto(dir.file("many"), 4);
    std::map<std::string, std::string> one, many;
    for (const auto &e : fs::recursive_directory_iterator(dir.file("one")))
        if (e.is_regular_file())
            one[fs::relative(e.path(), dir.file("one")).string()] = test::readFile(e.path());
    for (const auto &e : fs::recursive_directory_iterator(dir.file("many")))
        if (e.is_regular_file())
            many[fs::relative(e.path(), dir.file("many")).string()] = test::readFile(e.path());
    EXPECT_EQ(one.size(), 1u + 1u + 5u * 4u); // cover, style sheet, 2 pages and 2 pictures each
    EXPECT_TRUE(one == many);
}

TEST_F(MakeAlbum, EmptyListStillWritesCoverAndStyleSheet)
{
    prompts.expect(test::kHtmlQuestion, Answer::No, PromptKind::Confirmation);
    ASSERT_TRUE(make().completed);
    EXPECT_TRUE(fs::is_regular_file(dir.file("out/index.htm")));
    EXPECT_TRUE(fs::is_regular_file(dir.file("out/default.css")));
    EXPECT_EQ(platform.opened.size(), 1u);
}

TEST_F(MakeAlbum, FolderThatCannotBeMadeStopsTheRunNamingTheFolder)
{
    addPictures(1);
    test::writeFile(dir.file("out/images"), "a file where the folder should be");
    prompts.expect(test::kHtmlQuestion, Answer::No, PromptKind::Confirmation);
    EXPECT_EQ(
        makeError(), dir.file("out/images") + "\nフォルダを作成できません。\n(同じ名前のファイルがあります)");
    EXPECT_TRUE(progress.calls.empty() || progress.calls.back() == "hide");
    EXPECT_FALSE(fs::exists(dir.file("out/index.htm")));
}

TEST_F(MakeAlbum, PictureThatCannotBeWrittenStopsTheRunInJapanese)
{
    addPictures(1);
    fs::create_directories(dir.file("out/images/img0000.jpg/taken"));
    prompts.expect(test::kHtmlQuestion, Answer::No, PromptKind::Confirmation);
    EXPECT_EQ(makeError(), dir.file("out/images/img0000.jpg") + "\nに書き込めません。\n(フォルダーです)");
    EXPECT_EQ(progress.calls.back(), "hide");
    EXPECT_FALSE(fs::exists(dir.file("out/index.htm")));
    // Nothing half-written is left beside it.
    for (const auto &entry : fs::directory_iterator(dir.file("out/images")))
        EXPECT_EQ(entry.path().filename(), "img0000.jpg");
}

TEST_F(MakeAlbum, FifoAtTheSizeCachePathDoesNotStopTheRun)
{
    addPictures(1);
    const std::string cache = dir.file("cache");
    const std::string fifo = generate::SizeCache(cache).filePath(entries[0].path, "whole");
    fs::create_directories(fs::path(fifo).parent_path());
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    generate::RunContext context { settings, entries, prompts, progress, platform, 2 };
    context.sizeCacheFolder = cache;
    prompts.expect(test::kHtmlQuestion, Answer::No, PromptKind::Confirmation);
    // Opening the FIFO for reading would wait for a writer for ever: the run goes in another thread,
    // and one that waits is let go (a writer opens and closes the FIFO) so the test fails, not hangs.
    auto run = std::async(std::launch::async, [&context] { return generate::makeAlbum(context).completed; });
    bool waited = false;
    while (run.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        waited = true;
        if (const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK); fd >= 0)
            ::close(fd);
    }
    EXPECT_FALSE(waited) << "the run waited on the FIFO";
    EXPECT_TRUE(run.get());
    EXPECT_TRUE(fs::is_regular_file(dir.file("out/images/img0000.jpg")));
}

TEST_F(MakeAlbum, RebuildRewritesPagesAndTouchesNoPicture)
{
    addPictures(2);
    prompts.expect(test::kHtmlQuestion, Answer::Yes, PromptKind::Confirmation);
    ASSERT_TRUE(make().completed);
    const std::string a = dir.file("out") + "/html";
    const auto mainBefore = fs::last_write_time(a + "/images/img0000.jpg");
    const std::string mainBytes = test::readFile(a + "/images/img0000.jpg");
    test::writeFile(a + "/thumb/img0001_t.jpg", "not written again");

    settings.store(OptionId::edTitle, std::string("新しいタイトル"));
    const auto result = rebuild();
    ASSERT_TRUE(result.completed);
    EXPECT_EQ(result.albumFolder, a);
    EXPECT_EQ(fs::last_write_time(a + "/images/img0000.jpg"), mainBefore);
    EXPECT_EQ(test::readFile(a + "/images/img0000.jpg"), mainBytes);
    EXPECT_EQ(test::readFile(a + "/thumb/img0001_t.jpg"), "not written again");
    EXPECT_NE(test::readFile(a + "/index.htm").find("\x90\x56\x82\xb5\x82\xa2"), std::string::npos); // 新しい
}

TEST_F(MakeAlbum, DensityEncodesMorePixelsAtTheSizesThePagesShow)
{
    // 640 × 640 main pictures and 160 × 160 thumbnails, fitted by the long side.
    struct Row {
        int width, height, density;
        std::pair<int, int> mainPixels, thumbPixels;
    };
    const std::vector<Row> rows = {
        { 1600, 1200, 1, { 640, 480 }, { 160, 120 } },
        { 1600, 1200, 2, { 1280, 960 }, { 320, 240 } },
        { 1600, 1200, 3, { 1600, 1200 }, { 480, 360 } }, // no more than the source holds
        { 400, 300, 2, { 640, 480 }, { 320, 240 } }, // enlarged to the shown size, not past it
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(std::to_string(row.width) + " at density " + std::to_string(row.density));
        entries.clear();
        addPictures(1, row.width, row.height);
        settings.store(OptionId::csDensity, row.density);
        settings.store(
            OptionId::edHTMLPath, dir.file("out" + std::to_string(row.density) + std::to_string(row.width)));
        prompts.expect(album::Question::CreateOutput, kCreateQuestion, Answer::Yes);
        prompts.expect(test::kHtmlQuestion, Answer::No, PromptKind::Confirmation);
        const auto result = make();
        ASSERT_TRUE(result.completed);
        EXPECT_EQ(result.sizes[0], (generate::SizeRow { 640, 480, 160, 120 }));
        const std::string folder = settings.text(OptionId::edHTMLPath);
        const imaging::Picture main = imaging::load(folder + "/images/img0000.jpg");
        const imaging::Picture thumb = imaging::load(folder + "/thumb/img0000_t.jpg");
        EXPECT_EQ(std::make_pair(main.width(), main.height()), row.mainPixels);
        EXPECT_EQ(std::make_pair(thumb.width(), thumb.height()), row.thumbPixels);
    }
}

TEST_F(MakeAlbum, AfterTheMakeItSaysWhatAVisitorWouldHit)
{
    addPictures(2);
    entries[1].timeStamp = "";
    test::writeFile(dir.file("broken.jpg"), "this is not a picture");
    entries.push_back({ dir.file("broken.jpg"), "", "0000年00月00日 00時00分" }); // Exif without a date
    prompts.expect(test::kHtmlQuestion, Answer::No, PromptKind::Confirmation);
    prompts.expect("img0002.jpg\nimageX : 0\nimageY : 0", Answer::Ok, PromptKind::Confirmation);
    prompts.expect(album::Question::VisitorReport,
        "アルバムを作成しました。閲覧する人のために、次の点を確かめてください。\n"
        "・ボタン「戻る」のリンク先「../index.htm」がアルバムの隣にありません。("
            + dir.file("index.htm")
            + ")\n"
              "・タイムスタンプのない画像が 2 枚あります。\n"
              "・読み込めなかった画像が 1 枚あります: broken.jpg\n",
        Answer::Ok);
    ASSERT_TRUE(make().completed);
    EXPECT_EQ(platform.opened.size(), 1u) << "the cover is opened first";

    // With the target there, every stamp and every picture readable, there is nothing to say.
    entries.pop_back();
    entries[1].timeStamp = "2004年05月01日 13時05分";
    test::writeFile(dir.file("index.htm"), "site");
    prompts.expect(test::kHtmlQuestion, Answer::No, PromptKind::Confirmation);
    prompts.expect("「" + dir.file("out") + "/index.htm」が既に存在します。\n上書きしてよろしいですか?",
        Answer::Ok,
        PromptKind::Warning);
    ASSERT_TRUE(make().completed);
    EXPECT_TRUE(prompts.reports().empty());
}

TEST(VisitorReport, OnlyAddressesThisDiskAnswersAreLookedFor)
{
    const std::vector<std::pair<std::string, std::optional<std::string>>> rows = {
        { "../index.htm", "/srv/index.htm" },
        { "../%E6%97%85/top.htm?x=1#here", "/srv/旅/top.htm" },
        { "./", "/srv/album/" },
        { "https://example.org/", std::nullopt },
        { "mailto:me@example.org", std::nullopt },
        { "/index.htm", std::nullopt },
        { "#top", std::nullopt },
        { "", std::nullopt },
    };
    for (const auto &[url, target] : rows)
        EXPECT_EQ(generate::localLinkTarget("/srv/album", url), target) << url;
}
