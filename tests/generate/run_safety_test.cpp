// SPDX-License-Identifier: MIT
// What a run never does whatever a project holds: write outside the album folder, pair pages with
// pictures that no longer match the list, write an album another run is writing, or divide 0 by 0.
#include "album/image_list.h"
#include "album/settings.h"
#include "generate/album_guard.h"
#include "generate/make_album.h"
#include "generate/picture_conversion.h"
#include "tests/support/album_questions.h"
#include "tests/support/no_platform.h"
#include "tests/support/pictures.h"
#include "tests/support/scripted_prompter.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

using namespace pictora;
using album::Answer;
using album::OptionId;
using album::PromptKind;
namespace fs = std::filesystem;

namespace
{

using test::NoPlatform;

struct RunSafety : ::testing::Test {
    test::TempDir dir;
    album::AlbumSettings settings;
    std::vector<album::ImageEntry> entries;
    test::RecordingProgress progress;
    NoPlatform platform;

    RunSafety()
    {
        settings.store(OptionId::edHTMLPath, dir.file("out"));
        settings.store(OptionId::edTitle, std::string("旅行"));
        settings.store(OptionId::edRevMade, std::string("me@example.org"));
        fs::create_directory(dir.file("out"));
    }

    void addPictures(std::initializer_list<const char *> names)
    {
        for (const char *name : names) {
            test::writeTestJpeg(dir.file(name), 320, 240);
            entries.push_back({ dir.file(name), name, "" });
        }
    }

    /// Runs with the html-folder question answered No (a make that gets that far) and then exactly
    /// `messages`.
    generate::RunResult run(
        bool make, std::vector<std::pair<std::string, PromptKind>> messages, bool reachesQuestions = true)
    {
        test::ScriptedPrompter prompts;
        if (make && reachesQuestions)
            prompts.expect(test::kHtmlQuestion, Answer::No, PromptKind::Confirmation);
        for (const auto &[text, kind] : messages)
            prompts.expect(text, Answer::Ok, kind);
        generate::RunContext context { settings, entries, prompts, progress, platform, 2, dir.file("cache") };
        return make ? generate::makeAlbum(context) : generate::rebuildPages(context);
    }

    [[nodiscard]] std::size_t filesUnder(const std::string &folder) const
    {
        std::size_t count = 0;
        for (const auto &item : fs::recursive_directory_iterator(folder))
            count += item.is_regular_file() ? 1 : 0;
        return count;
    }
};

} // namespace

TEST_F(RunSafety, NameOptionsThatLeadOutOfTheAlbumAreRefusedBeforeAnythingIsWritten)
{
    addPictures({ "a.jpg" });
    fs::create_directory(dir.file("victim"));
    test::writeFile(dir.file("victim/keep.txt"), "keep");
    const struct {
        OptionId id;
        std::string value;
        std::string message;
    } cases[] = {
        { OptionId::edCSS,
            "../victim/keep.txt",
            "スタイルファイル名指定 (edCSS) の「../victim/keep.txt」はファイル名として使えません。\n"
            "「/」「\\」「..」や制御文字を含まない名前を指定してください。" },
        { OptionId::edIndex,
            "../victim/keep",
            "アルバム表紙のHTMLファイル名 (edIndex) の「../victim/keep」はファイル名として使えません。\n"
            "「/」「\\」「..」や制御文字を含まない名前を指定してください。" },
        { OptionId::edFileExt,
            ".txt/../../victim/x",
            "HTMLファイルの拡張子 (edFileExt) の「.txt/../../victim/x」はファイル名として使えません。\n"
            "「/」「\\」「..」や制御文字を含まない名前を指定してください。" },
        { OptionId::edCSS,
            "..",
            "スタイルファイル名指定 (edCSS) の「..」はファイル名として使えません。\n"
            "「/」「\\」「..」や制御文字を含まない名前を指定してください。" },
        { OptionId::edIndex,
            "a\\b",
            "アルバム表紙のHTMLファイル名 (edIndex) の「a\\b」はファイル名として使えません。\n"
            "「/」「\\」「..」や制御文字を含まない名前を指定してください。" },
        { OptionId::edIndex,
            "in\ndex",
            "アルバム表紙のHTMLファイル名 (edIndex) の「in?dex」はファイル名として使えません。\n"
            "「/」「\\」「..」や制御文字を含まない名前を指定してください。" },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.value);
        album::AlbumSettings saved = settings;
        settings.store(c.id, c.value);
        EXPECT_FALSE(run(true, { { c.message, PromptKind::Error } }, false).completed);
        EXPECT_FALSE(run(false, { { c.message, PromptKind::Error } }).completed);
        EXPECT_EQ(filesUnder(dir.file("out")), 0u);
        EXPECT_EQ(test::readFile(dir.file("victim/keep.txt")), "keep");
        settings = saved;
    }

    // "." and "." are harmless apart, but make ".." together.
    settings.store(OptionId::edIndex, std::string("."));
    settings.store(OptionId::edFileExt, std::string("."));
    EXPECT_FALSE(run(true,
        { { "アルバム表紙のHTMLファイル名 (edIndex) の「..」はファイル名として使えません。\n"
            "「/」「\\」「..」や制御文字を含まない名前を指定してください。",
            PromptKind::Error } },
        false)
                     .completed);

    // Dots inside a name are plain names.
    EXPECT_TRUE(generate::isPlainFileName("my..album.css"));
    EXPECT_TRUE(generate::isPlainFileName(".htm"));
    EXPECT_TRUE(generate::isPlainFileName("表紙"));
}

TEST_F(RunSafety, RebuildOverPicturesThatNoLongerMatchTheListIsRefused)
{
    addPictures({ "a.jpg", "b.jpg", "c.jpg" });
    test::writeFile(dir.file("broken.jpg"), "no picture");
    entries.push_back({ dir.file("broken.jpg"), "broken", "" });
    const std::pair<std::string, PromptKind> unreadable { "img0003.jpg\nimageX : 0\nimageY : 0",
        PromptKind::Confirmation };
    ASSERT_TRUE(run(true, { unreadable }).completed);
    // An unreadable picture never had a main picture or thumbnail: that is no mismatch.
    settings.store(OptionId::edTitle, std::string("新しい題"));
    ASSERT_TRUE(run(false, { unreadable }).completed);
    const std::string cover = test::readFile(dir.file("out/index.htm"));
    const std::pair<std::string, PromptKind> changed {
        "アルバムを作成したときから、画像リストか画像の設定が変わっています。\n"
        "ページだけを作り直すことはできません。「アルバム作成」でアルバムを作成し直してください。",
        PromptKind::Error
    };

    // b.jpg dropped from the list: page 0001 would show b's picture with c's comment.
    const std::vector<album::ImageEntry> made = entries;
    entries.erase(entries.begin() + 1);
    EXPECT_FALSE(run(false, { changed }).completed);
    // Picture options changed since the make.
    entries = made;
    settings.store(OptionId::edMainX, std::string("800"));
    EXPECT_FALSE(run(false, { changed }).completed);
    settings.store(OptionId::edMainX, std::string("640"));
    EXPECT_EQ(test::readFile(dir.file("out/index.htm")), cover);

    // A thumbnail or main picture gone since the make.
    const std::string remake
        = "」がありません。\nアルバムの画像が画像リストと合わないため、ページだけを作り直すことは"
          "できません。\n「アルバム作成」でアルバムを作成し直してください。";
    fs::rename(dir.file("out/thumb/img0002_t.jpg"), dir.file("thumb.moved"));
    EXPECT_FALSE(
        run(false, { { "「" + dir.file("out/thumb/img0002_t.jpg") + remake, PromptKind::Error } }).completed);
    fs::rename(dir.file("thumb.moved"), dir.file("out/thumb/img0002_t.jpg"));
    fs::remove(dir.file("out/images/img0001.jpg"));
    EXPECT_FALSE(
        run(false, { { "「" + dir.file("out/images/img0001.jpg") + remake, PromptKind::Error } }).completed);
    EXPECT_EQ(test::readFile(dir.file("out/index.htm")), cover);

    // A make stopped half-way leaves pictures of two lists: no rebuild until a make completes.
    struct Stopping final : generate::RunPlatform {
        bool moveToTrash(const std::string &) override { return false; }
        void openDocument(const std::string &) override { }
        bool cancelRequested() override { return true; }
    } stopping;
    {
        test::ScriptedPrompter prompts;
        prompts.expect(test::kHtmlQuestion, Answer::No, PromptKind::Confirmation);
        prompts.expect("「" + dir.file("out/index.htm") + "」が既に存在します。\n上書きしてよろしいですか?",
            Answer::Ok,
            PromptKind::Warning);
        prompts.expect(generate::kCancelledMessage, Answer::Ok, PromptKind::Information);
        generate::RunContext context { settings, entries, prompts, progress, stopping, 1, dir.file("cache") };
        ASSERT_FALSE(generate::makeAlbum(context).completed);
    }
    EXPECT_FALSE(run(false, { changed }).completed);
}

TEST_F(RunSafety, ALinkWhereTheAlbumExpectsItsOwnFolderIsNeverWrittenThrough)
{
    addPictures({ "a.jpg" });
    ASSERT_TRUE(run(true, {}).completed);
    fs::create_directory(dir.file("elsewhere"));
    test::writeFile(dir.file("elsewhere/.pictora-tmp-1-0123456789abcdef-x"), "a stranger's");
    for (const char *folder : { "images", "thumb" }) {
        const std::string link = dir.file("out/") + folder;
        fs::rename(link, link + ".real");
        fs::create_directory_symlink(dir.file("elsewhere"), link);
        const std::string refused = generate::linkedAlbumFolderMessage(link);
        EXPECT_FALSE(run(true, { { refused, PromptKind::Error } }).completed);
        EXPECT_FALSE(run(false, { { refused, PromptKind::Error } }).completed);
        EXPECT_EQ(test::namesIn(dir.file("elsewhere")),
            std::set<std::string> { ".pictora-tmp-1-0123456789abcdef-x" })
            << folder;
        fs::remove(link);
        fs::rename(link + ".real", link);
    }
}

TEST_F(RunSafety, ARunWritesNoAlbumThatAnotherRunHolds)
{
    addPictures({ "a.jpg" });
    const std::string busy = "他の処理が「" + dir.file("out")
        + "」にアルバムを書き込んでいます。\nその処理が終わってから再実行してください。";
    {
        generate::FolderLock other;
        ASSERT_EQ(other.lock(dir.file("out")), generate::FolderLock::Outcome::Locked);
        EXPECT_FALSE(run(true, { { busy, PromptKind::Error } }).completed);
        EXPECT_EQ(filesUnder(dir.file("out")), 0u);
        generate::FolderLock again;
        EXPECT_EQ(again.lock(dir.file("out")), generate::FolderLock::Outcome::Busy);
    }
    ASSERT_TRUE(run(true, {}).completed) << "the lock goes with its holder";
    {
        generate::FolderLock other;
        ASSERT_EQ(other.lock(dir.file("out")), generate::FolderLock::Outcome::Locked);
        EXPECT_FALSE(run(false, { { busy, PromptKind::Error } }).completed);
    }
    // The html folder is held too, for a run that names it as its output folder.
    fs::create_directory(dir.file("out/html"));
    generate::FolderLock inner;
    ASSERT_EQ(inner.lock(dir.file("out/html")), generate::FolderLock::Outcome::Locked);
    EXPECT_FALSE(run(false,
        { { "他の処理が「" + dir.file("out/html")
                + "」にアルバムを書き込んでいます。\nその処理が終わってから再実行してください。",
            PromptKind::Error } })
                     .completed);
}

TEST_F(RunSafety, ZeroAndGiantSizesGiveTheirMessagesAndNoUndefinedNumbers)
{
    addPictures({ "a.jpg" });
    for (const OptionId id : { OptionId::edThumbX, OptionId::edThumbY, OptionId::edMainX, OptionId::edMainY })
        settings.store(id, std::string("0"));
    const generate::RunResult zero
        = run(true, { { "img0000.jpg\nimageX : 0\nimageY : 0", PromptKind::Confirmation } });
    ASSERT_TRUE(zero.completed);
    EXPECT_EQ(zero.sizes.at(0), (generate::SizeRow { 0, 0, 0, 0 }));
    const std::string cover = test::readFile(dir.file("out/index.htm"));
    EXPECT_NE(cover.find("WIDTH=\"0\" HEIGHT=\"0\""), std::string::npos) << cover;
    EXPECT_EQ(cover.find("-2147483648"), std::string::npos);

    // Sizes no picture can be held at: the message says so, the picture is not called unreadable.
    settings.store(OptionId::edThumbX, std::string("160"));
    settings.store(OptionId::edThumbY, std::string("160"));
    settings.store(OptionId::edMainX, std::string("100000"));
    settings.store(OptionId::edMainY, std::string("100000"));
    const std::string tooLarge
        = "img0000.jpg\nメイン画像のサイズ 100000 x 75000 が大きすぎます。\n"
          "一辺 65535 以下、合わせて 1 億画素以下になるサイズを指定してください。(画像オプション)";
    fs::remove(dir.file("out/index.htm"));
    EXPECT_TRUE(run(true, { { tooLarge, PromptKind::Confirmation } }).completed);
    EXPECT_TRUE(run(false, { { tooLarge, PromptKind::Confirmation } }).completed);

    // A number beyond an int stops at its limit rather than wrapping.
    generate::ConversionOptions unscaled;
    unscaled.resizeMain = false;
    unscaled.mainX = 1e12;
    const generate::PictureOutcome huge = generate::outcomeFor({ true, 320, 240 }, unscaled);
    EXPECT_EQ(huge.sizes.mainWidth, 2147483647);
    EXPECT_FALSE(huge.needsMessage());
}
