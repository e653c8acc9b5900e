// SPDX-License-Identifier: MIT
// The rebuild's remembered sizes: the same pages as decoding every source, and never a stale size.
#include "album/image_list.h"
#include "album/settings.h"
#include "generate/album_guard.h"
#include "generate/make_album.h"
#include "generate/size_cache.h"
#include "tests/support/album_questions.h"
#include "tests/support/no_platform.h"
#include "tests/support/pictures.h"
#include "tests/support/scripted_prompter.h"
#include "tests/support/temp_dir.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>

using namespace pictora;
using album::Answer;
using album::OptionId;
using album::PromptKind;
using generate::FileStamp;
using generate::KnownPicture;
using generate::SizeCache;
namespace fs = std::filesystem;

namespace
{

using test::NoPlatform;

std::map<std::string, std::string> pagesOf(const fs::path &folder)
{
    std::map<std::string, std::string> pages;
    for (const auto &e : fs::directory_iterator(folder))
        if (e.is_regular_file())
            pages[e.path().filename().string()] = test::readFile(e.path());
    for (const auto &e : fs::directory_iterator(folder / "images"))
        if (e.path().extension() == ".htm")
            pages["images/" + e.path().filename().string()] = test::readFile(e.path());
    return pages;
}

/// Cut in the middle of its pixels: the header reads, the pixels do not.
std::string truncatedJpeg()
{
    const std::string jpeg = test::encodeTestPicture(test::PictureFormat::Jpeg, 400, 300);
    return jpeg.substr(0, jpeg.size() / 2);
}

struct Rebuild : ::testing::Test {
    test::TempDir dir;
    album::AlbumSettings settings;
    std::vector<album::ImageEntry> entries;
    test::RecordingProgress progress;
    NoPlatform platform;
    std::string cacheFolder = dir.file("cache");

    Rebuild()
    {
        settings.store(OptionId::edHTMLPath, dir.file("out"));
        settings.store(OptionId::edTitle, std::string("旅行"));
        settings.store(OptionId::edRevMade, std::string("me@example.org"));
        fs::create_directory(dir.file("out"));
    }

    void add(const std::string &name) { entries.push_back({ dir.file(name), "comment", "" }); }

    generate::RunResult run(bool make, std::vector<std::string> messages, std::optional<std::string> cache)
    {
        test::ScriptedPrompter prompts;
        if (make)
            prompts.expect(test::kHtmlQuestion, Answer::No, PromptKind::Confirmation);
        for (const std::string &m : messages)
            prompts.expect(m, Answer::Ok, PromptKind::Confirmation);
        generate::RunContext context { settings, entries, prompts, progress, platform, 2, std::move(cache) };
        return make ? generate::makeAlbum(context) : generate::rebuildPages(context);
    }
};

} // namespace

TEST_F(Rebuild, RememberedSizesGiveTheSamePagesAndMessagesAsDecodingEverySource)
{
    test::writeTestJpeg(dir.file("wide.jpg"), 800, 600);
    test::writeTestJpeg(dir.file("turned.jpg"), 800, 600, 90, std::nullopt, 6); // shown 600 × 800
    test::writeFile(dir.file("broken.jpg"), truncatedJpeg());
    test::writeTestPicture(dir.file("tall.png"), test::PictureFormat::Png, 300, 500);
    for (const char *name : { "wide.jpg", "turned.jpg", "broken.jpg", "tall.png" })
        add(name);
    const std::vector<std::string> unreadable { "img0002.jpg\nimageX : 0\nimageY : 0" };

    const auto made = run(true, unreadable, cacheFolder);
    ASSERT_TRUE(made.completed);
    EXPECT_EQ(made.sizes[1], (generate::SizeRow { 480, 640, 120, 160 }));
    EXPECT_EQ(SizeCache(cacheFolder).size(), 4u);

    settings.store(OptionId::edTitle, std::string("Trip 2"));
    // A cache folder that holds only the record of the make: every source is decoded again.
    for (const char *folder : { "uncached", "cold-cache" }) {
        fs::create_directory(dir.file(folder));
        fs::copy(cacheFolder + "/albums", dir.file(folder) + "/albums", fs::copy_options::recursive);
    }
    const auto uncached = run(false, unreadable, dir.file("uncached"));
    const auto pagesUncached = pagesOf(dir.file("out"));
    const auto cold = run(false, unreadable, dir.file("cold-cache"));
    EXPECT_EQ(pagesOf(dir.file("out")), pagesUncached);
    const auto warm = run(false, unreadable, cacheFolder);
    EXPECT_EQ(pagesOf(dir.file("out")), pagesUncached);
    EXPECT_EQ(warm.sizes, made.sizes);
    EXPECT_EQ(uncached.sizes, made.sizes);
    EXPECT_EQ(cold.sizes, made.sizes);
    EXPECT_NE(pagesUncached.at("index.htm").find("Trip 2"), std::string::npos);
}

TEST_F(Rebuild, ASizeIsTrustedOnlyForTheSameFileStamp)
{
    test::writeTestJpeg(dir.file("a.jpg"), 800, 600);
    add("a.jpg");
    ASSERT_TRUE(run(true, {}, cacheFolder).completed);

    // A size remembered for exactly this file stamp is taken as it is: no decoding.
    const std::optional<FileStamp> stamp = generate::stampOf(dir.file("a.jpg"));
    ASSERT_TRUE(stamp);
    {
        SizeCache cache(cacheFolder);
        cache.remember(dir.file("a.jpg"), "main 640 640 long", *stamp, { true, 1000, 250 });
        ASSERT_TRUE(cache.save());
    }
    EXPECT_EQ(run(false, {}, cacheFolder).sizes[0], (generate::SizeRow { 640, 160, 160, 40 }));

    // Replaced by a file of the same size with the old modification time: decoded again.
    std::string other = test::readFile(dir.file("a.jpg"));
    other[other.size() / 2] ^= 0x01;
    test::writeFile(dir.file("a.jpg"), other);
    const struct timespec times[2]
        = { { 0, UTIME_OMIT }, { stamp->modifiedNs / 1'000'000'000, stamp->modifiedNs % 1'000'000'000 } };
    ASSERT_EQ(::utimensat(AT_FDCWD, dir.file("a.jpg").c_str(), times, 0), 0);
    EXPECT_EQ(run(false, {}, cacheFolder).sizes[0], (generate::SizeRow { 640, 480, 160, 120 }));

    // Truncated since the make: the rebuild notices and reports it as a make would.
    test::writeFile(dir.file("a.jpg"), other.substr(0, other.size() / 3));
    EXPECT_TRUE(run(false, { "img0000.jpg\nimageX : 0\nimageY : 0" }, cacheFolder).completed);
    EXPECT_EQ(SizeCache(cacheFolder)
                  .find(dir.file("a.jpg"), "main 640 640 long", *generate::stampOf(dir.file("a.jpg"))),
        (KnownPicture { false, 0, 0 }));
}

TEST_F(Rebuild, WithoutTheRecordOfTheMakeOnlyAMakeIsPossible)
{
    test::writeTestJpeg(dir.file("a.jpg"), 800, 600);
    add("a.jpg");
    ASSERT_TRUE(run(true, {}, cacheFolder).completed);
    const std::string cover = test::readFile(dir.file("out/index.htm"));
    settings.store(OptionId::edTitle, std::string("Trip 2"));
    test::writeFile(dir.file("file"), "a file where the cache folder would be");
    // Another cache folder (another user, the cache removed), one that cannot be written, none.
    for (const std::string &elsewhere :
        { dir.file("other-cache"), dir.file("file") + "/cache", std::string() }) {
        test::ScriptedPrompter prompts;
        prompts.expect(generate::noMakeRecordMessage(dir.file("out")), Answer::Ok, PromptKind::Error);
        generate::RunContext context { settings, entries, prompts, progress, platform, 2, elsewhere };
        EXPECT_FALSE(generate::rebuildPages(context).completed) << elsewhere;
        EXPECT_EQ(test::readFile(dir.file("out/index.htm")), cover) << elsewhere;
    }
    // A make works whatever the cache folder; it only costs time.
    test::ScriptedPrompter prompts;
    prompts.expect(test::kHtmlQuestion, Answer::No, PromptKind::Confirmation);
    prompts.expect("「" + dir.file("out/index.htm") + "」が既に存在します。\n上書きしてよろしいですか?",
        Answer::Ok,
        PromptKind::Warning);
    generate::RunContext context {
        settings, entries, prompts, progress, platform, 2, dir.file("file") + "/cache"
    };
    EXPECT_TRUE(generate::makeAlbum(context).completed);
}

TEST(SizeCache, KeepsFindingsAcrossObjectsAndProcessesAndTrimsTheOldest)
{
    test::TempDir dir;
    const std::string folder = dir.file("c");
    const FileStamp stamp { 1, 2, 3, 4, 5 };
    {
        SizeCache first(folder);
        SizeCache second(folder); // another process that read the same (empty) file
        first.remember("/p/a.jpg", "whole", stamp, { true, 10, 20 });
        second.remember("/p/b.jpg", "whole", stamp, { false, 0, 0 });
        ASSERT_TRUE(first.save());
        ASSERT_TRUE(second.save());
    }
    SizeCache cache(folder);
    EXPECT_EQ(cache.find("/p/a.jpg", "whole", stamp), (KnownPicture { true, 10, 20 }));
    EXPECT_EQ(cache.find("/p/b.jpg", "whole", stamp), (KnownPicture { false, 0, 0 }));
    EXPECT_FALSE(cache.find("/p/a.jpg", "main 640 640 long", stamp)) << "another decode plan";
    FileStamp touched = stamp;
    touched.changedNs += 1;
    EXPECT_FALSE(cache.find("/p/a.jpg", "whole", touched));

    // Beyond the cap, the least recently used go first; whatever today's runs used stays, however
    // many: a long album never finds its sizes forgotten.
    const std::int64_t day = 20000;
    {
        SizeCache yesterday(folder, day - 1);
        yesterday.remember("/p/old.jpg", "whole", stamp, { true, 10, 20 });
        ASSERT_TRUE(yesterday.save());
    }
    SizeCache filler(folder, day);
    const std::size_t many = 2 * SizeCache::kMaxEntries;
    for (std::size_t i = 0; i < many; ++i)
        filler.remember("/q/" + std::to_string(i), "whole", stamp, { true, 1, 1 });
    ASSERT_TRUE(filler.save());
    SizeCache full(folder, day);
    EXPECT_FALSE(full.find("/p/old.jpg", "whole", stamp));
    EXPECT_TRUE(full.find("/q/0", "whole", stamp));
    EXPECT_TRUE(full.find("/q/" + std::to_string(many - 1), "whole", stamp));

    // Used again the same day: nothing to write, so no file changes.
    const std::string bucket = full.filePath("/q/0", "whole");
    const std::optional<FileStamp> before = generate::stampOf(bucket);
    full.remember("/q/0", "whole", stamp, { true, 1, 1 });
    EXPECT_TRUE(full.save());
    EXPECT_EQ(generate::stampOf(bucket), before);
}

TEST(SizeCache, DamagedOrForeignFileIsIgnoredAndReplaced)
{
    test::TempDir dir;
    const std::string folder = dir.file("c");
    const FileStamp stamp { 1, 2, 3, 4, 5 };
    {
        SizeCache cache(folder);
        cache.remember("/p/a.jpg", "whole", stamp, { true, 10, 20 });
        cache.remember("/p/b.jpg", "whole", stamp, { true, 30, 40 });
        ASSERT_TRUE(cache.save());
    }
    const std::string path = SizeCache(folder).filePath("/p/a.jpg", "whole");
    const std::string good = test::readFile(path);
    std::string flipped = good;
    flipped[good.find("10 20")] = '9'; // a changed size that still parses
    const std::vector<std::string> bad = {
        flipped, good.substr(0, good.size() - 5), good + "x", "", "\x89PNG\r\n\x1a\n", std::string(4096, '\0')
    };
    for (const std::string &bytes : bad) {
        test::writeFile(path, bytes);
        SizeCache cache(folder);
        EXPECT_FALSE(cache.find("/p/a.jpg", "whole", stamp));
        cache.remember("/p/c.jpg", "whole", stamp, { true, 1, 2 });
        ASSERT_TRUE(cache.save());
        EXPECT_EQ(SizeCache(folder).find("/p/c.jpg", "whole", stamp), (KnownPicture { true, 1, 2 }));
    }
}
