// SPDX-License-Identifier: MIT
// A make over an album made before encodes only what changed, and the album is still byte for byte
// the one a make into an empty folder writes.
#include "album/image_list.h"
#include "album/settings.h"
#include "generate/made_record.h"
#include "generate/make_album.h"
#include "generate/size_cache.h"
#include "imaging/picture.h"
#include "tests/generate/byte_compare.h"
#include "tests/support/album_questions.h"
#include "tests/support/no_platform.h"
#include "tests/support/scripted_prompter.h"
#include "tests/support/temp_dir.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <vips/vips8>

#include <filesystem>
#include <map>
#include <set>

using namespace pictora;
using album::Answer;
using album::OptionId;
using album::PromptKind;
using generate::FileStamp;
namespace fs = std::filesystem;

namespace
{

using test::NoPlatform;

using Files = std::map<std::string, std::string>;

/// Every file under `folder`, by its path inside it.
Files filesOf(const fs::path &folder)
{
    Files files;
    for (const auto &e : fs::recursive_directory_iterator(folder))
        if (e.is_regular_file())
            files[fs::relative(e.path(), folder).string()] = test::readFile(e.path());
    return files;
}

/// The stamps of the main pictures and thumbnails, by their paths inside the album.
std::map<std::string, FileStamp> pictureStamps(const fs::path &folder)
{
    std::map<std::string, FileStamp> stamps;
    for (const char *sub : { "images", "thumb" })
        for (const auto &e : fs::directory_iterator(folder / sub))
            if (e.path().extension() == ".jpg")
                stamps[std::string(sub) + "/" + e.path().filename().string()] = *generate::stampOf(e.path());
    return stamps;
}

/// The pictures whose files are not the ones they were (written again, or gone).
std::set<std::string> changed(
    const std::map<std::string, FileStamp> &before, const std::map<std::string, FileStamp> &after)
{
    std::set<std::string> names;
    for (const auto &[name, stamp] : before) {
        const auto it = after.find(name);
        if (it == after.end() || !(it->second == stamp))
            names.insert(name);
    }
    for (const auto &[name, stamp] : after)
        if (!before.contains(name))
            names.insert(name);
    return names;
}

/// A gradient whose colours depend on `shade`; uncompressed TIFF keeps the same size for every shade.
void writeSource(const std::string &path, int width, int height, int shade)
{
    imaging::initialise();
    vips::VImage xy = vips::VImage::xyz(width, height);
    vips::VImage rgb
        = xy[0].linear(200.0 / width, shade).bandjoin(xy[1].linear(200.0 / height, 40)).bandjoin(shade * 2);
    rgb.cast(VIPS_FORMAT_UCHAR)
        .copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB))
        .write_to_file(path.c_str());
}

/// Puts back a file's modification time, so that only its change time tells it was written.
void setModified(const std::string &path, std::int64_t modifiedNs)
{
    const struct timespec times[2]
        = { { 0, UTIME_OMIT }, { modifiedNs / 1'000'000'000, modifiedNs % 1'000'000'000 } };
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

/// Overwrites a file in place (same inode) with other bytes.
void overwriteInPlace(const std::string &path, const std::string &bytes)
{
    std::FILE *f = std::fopen(path.c_str(), "r+b");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
    ASSERT_EQ(std::fclose(f), 0);
}

std::set<std::string> both(int i)
{
    char main[32];
    char thumb[32];
    std::snprintf(main, sizeof main, "images/img%04d.jpg", i);
    std::snprintf(thumb, sizeof thumb, "thumb/img%04d_t.jpg", i);
    return { main, thumb };
}

std::set<std::string> thumbnails(int count)
{
    std::set<std::string> names;
    for (int i = 0; i < count; ++i)
        names.insert(*std::next(both(i).begin()));
    return names;
}

std::set<std::string> everyPicture(int count)
{
    std::set<std::string> names;
    for (int i = 0; i < count; ++i)
        names.merge(both(i));
    return names;
}

struct IncrementalMake : ::testing::Test {
    test::TempDir dir;
    album::AlbumSettings settings;
    std::vector<album::ImageEntry> entries;
    test::RecordingProgress progress;
    NoPlatform platform;
    const std::string out = dir.file("out");
    const std::string cache = dir.file("cache");
    int freshMakes = 0;

    IncrementalMake()
    {
        settings.store(OptionId::edTitle, std::string("旅行"));
        settings.store(OptionId::edRevMade, std::string("me@example.org"));
        settings.store(OptionId::edMainX, std::string("320"));
        settings.store(OptionId::edMainY, std::string("320"));
        settings.store(OptionId::edThumbX, std::string("80"));
        settings.store(OptionId::edThumbY, std::string("80"));
        // A plain JPEG (made from its planes), a TIFF (the general decoder) and a portrait JPEG.
        addSource("a.jpg", 640, 480, 10);
        addSource("b.tif", 500, 400, 20);
        addSource("c.jpg", 300, 450, 30);
        fs::create_directory(out);
    }

    void addSource(const std::string &name, int width, int height, int shade)
    {
        const std::string path = dir.file(name);
        writeSource(path, width, height, shade);
        entries.push_back({ path, name, "2004年05月01日 13時05分" });
    }

    bool makeInto(const std::string &folder, const std::string &cacheFolder, bool encodeAll = false)
    {
        settings.store(OptionId::edHTMLPath, folder);
        test::ScriptedPrompter prompts;
        prompts.expect(test::kHtmlQuestion, Answer::No, PromptKind::Confirmation);
        if (fs::exists(folder + "/index.htm"))
            prompts.expect("「" + folder + "/index.htm」が既に存在します。\n上書きしてよろしいですか?",
                Answer::Ok,
                PromptKind::Warning);
        generate::RunContext context {
            settings, entries, prompts, progress, platform, 2, cacheFolder, encodeAll
        };
        return generate::makeAlbum(context).completed;
    }

    /// Makes the album again into `out`; gives which pictures were written again.
    std::set<std::string> remake(bool encodeAll = false)
    {
        const auto before = pictureStamps(out);
        EXPECT_TRUE(makeInto(out, cache, encodeAll));
        return changed(before, pictureStamps(out));
    }

    /// The album `out` holds every file a make into an empty folder with nothing remembered writes,
    /// byte for byte; gives the files it holds beyond those (left from earlier makes).
    std::set<std::string> expectSameAsFreshMake()
    {
        const std::string fresh = dir.file("fresh" + std::to_string(++freshMakes));
        fs::create_directory(fresh);
        EXPECT_TRUE(makeInto(fresh, ""));
        const Files expected = filesOf(fresh);
        const Files actual = filesOf(out);
        std::set<std::string> extra;
        for (const auto &[name, bytes] : actual)
            if (!expected.contains(name))
                extra.insert(name);
        for (const auto &[name, bytes] : expected) {
            const auto it = actual.find(name);
            if (it == actual.end())
                ADD_FAILURE() << name << " is missing";
            else
                EXPECT_TRUE(test::sameBytes(bytes, it->second)) << name;
        }
        return extra;
    }
};

} // namespace

TEST_F(IncrementalMake, UnchangedAlbumIsNotEncodedAgainAndEveryPictureCountsAsDone)
{
    ASSERT_TRUE(makeInto(out, cache));
    EXPECT_EQ(pictureStamps(out).size(), 6u);
    progress.calls.clear();
    EXPECT_TRUE(remake().empty());
    EXPECT_EQ(progress.calls,
        (std::vector<std::string> { "show",
            "label [ 1 / 3 ]",
            "pos 0",
            "label [ 2 / 3 ]",
            "pos 33",
            "label [ 3 / 3 ]",
            "pos 66",
            "pos 100",
            "label ",
            "hide" }));
    EXPECT_TRUE(expectSameAsFreshMake().empty());
    // The rule holds make after make, and --full-like runs write everything.
    EXPECT_TRUE(remake().empty());
    EXPECT_EQ(remake(true), everyPicture(3));
    EXPECT_TRUE(remake().empty());
}

TEST_F(IncrementalMake, ChangedSourcesAreEncodedAgainHoweverLittleTellsTheChange)
{
    ASSERT_TRUE(makeInto(out, cache));

    // Another picture under the same name, of the same size, in the same file, with the same
    // modification time: only its change time tells.
    const std::string b = entries[1].path;
    const FileStamp old = *generate::stampOf(b);
    const std::string other = dir.file("other.tif");
    writeSource(other, 500, 400, 90);
    ASSERT_EQ(fs::file_size(other), static_cast<std::uintmax_t>(old.size));
    overwriteInPlace(b, test::readFile(other));
    setModified(b, old.modifiedNs);
    const FileStamp now = *generate::stampOf(b);
    ASSERT_EQ(now.inode, old.inode);
    ASSERT_EQ(now.modifiedNs, old.modifiedNs);
    EXPECT_EQ(remake(), both(1));
    EXPECT_TRUE(expectSameAsFreshMake().empty());

    // Touched only: made again, to the very same bytes.
    const std::string a = entries[0].path;
    const std::string mainBefore = test::readFile(out + "/images/img0000.jpg");
    fs::last_write_time(a, fs::last_write_time(a) + std::chrono::seconds(5));
    EXPECT_EQ(remake(), both(0));
    EXPECT_EQ(test::readFile(out + "/images/img0000.jpg"), mainBefore);

    // Replaced by another file (a new inode) under the same name.
    fs::remove(entries[2].path);
    writeSource(entries[2].path, 300, 450, 70);
    EXPECT_EQ(remake(), both(2));

    // The list in another order: each place holds another source now.
    std::swap(entries[0], entries[2]);
    std::set<std::string> swapped = both(0);
    swapped.merge(both(2));
    EXPECT_EQ(remake(), swapped);
    EXPECT_TRUE(expectSameAsFreshMake().empty());
}

TEST_F(IncrementalMake, EachPictureSettingMakesAgainWhatItDecides)
{
    struct Change {
        OptionId option;
        album::OptionValue value;
        std::set<std::string> madeAgain;
    };
    const std::vector<Change> changes = {
        { OptionId::qJPEG, 60, everyPicture(3) },
        { OptionId::cbJPEGc, std::string("4:4:4"), everyPicture(3) },
        { OptionId::edMainX, std::string("200"), everyPicture(3) },
        { OptionId::rbLmain, 1, everyPicture(3) },
        // The thumbnail comes from the main picture in memory: the main pictures stay.
        { OptionId::edThumbY, std::string("60"), thumbnails(3) },
        { OptionId::rbL, 1, thumbnails(3) },
        { OptionId::cbTransMain, false, everyPicture(3) },
        { OptionId::cbTransMain, true, everyPicture(3) },
        // The pages show the sources themselves: no main picture is written, thumbnails come from
        // the sources; and back again, the main pictures left in place are still current.
        { OptionId::cbMainOrigin, true, thumbnails(3) },
        { OptionId::cbMainOrigin, false, thumbnails(3) },
        { OptionId::csDensity, 2, everyPicture(3) },
        { OptionId::csDensity, 1, everyPicture(3) },
    };
    ASSERT_TRUE(makeInto(out, cache));
    for (const Change &change : changes) {
        SCOPED_TRACE(album::optionDecl(change.option).control);
        settings.store(change.option, change.value);
        EXPECT_EQ(remake(), change.madeAgain);
        const std::set<std::string> extra = expectSameAsFreshMake();
        if (change.option == OptionId::cbMainOrigin && settings.checked(OptionId::cbMainOrigin))
            EXPECT_EQ(extra.size(), 3u); // the main pictures of before, left as a make leaves them
        else
            EXPECT_TRUE(extra.empty());
        EXPECT_TRUE(remake().empty());
    }
}

TEST_F(IncrementalMake, PicturesEditedOrDeletedByHandAreMadeAgain)
{
    ASSERT_TRUE(makeInto(out, cache));
    const std::string main1 = out + "/images/img0001.jpg";
    const std::string thumb2 = out + "/thumb/img0002_t.jpg";

    // Same size, same modification time: the change time tells. Its thumbnail goes with it.
    const FileStamp old = *generate::stampOf(main1);
    std::string bytes = test::readFile(main1);
    bytes[bytes.size() / 2] = static_cast<char>(bytes[bytes.size() / 2] ^ 0x55);
    overwriteInPlace(main1, bytes);
    setModified(main1, old.modifiedNs);
    // Deleted: made again alone, from the main picture that is still current.
    fs::remove(thumb2);
    EXPECT_EQ(remake(),
        (std::set<std::string> { "images/img0001.jpg", "thumb/img0001_t.jpg", "thumb/img0002_t.jpg" }));
    EXPECT_TRUE(expectSameAsFreshMake().empty());

    // A copy that keeps the times (cp -p) is another file all the same.
    const std::string thumb0 = out + "/thumb/img0000_t.jpg";
    fs::copy_file(thumb0, dir.file("copy.jpg"));
    fs::last_write_time(dir.file("copy.jpg"), fs::last_write_time(thumb0));
    fs::rename(dir.file("copy.jpg"), thumb0);
    EXPECT_EQ(remake(), (std::set<std::string> { "thumb/img0000_t.jpg" }));
}

TEST_F(IncrementalMake, DamagedOrForeignRecordsAreIgnored)
{
    ASSERT_TRUE(makeInto(out, cache));
    const std::string record = generate::MadeRecord(cache, out).chunkPath(0);
    ASSERT_TRUE(fs::is_regular_file(record));
    const std::string good = test::readFile(record);

    const std::vector<std::pair<const char *, std::string>> damages = {
        { "a byte changed",
            [&] {
                std::string text = good;
                text[text.size() / 2] = static_cast<char>(text[text.size() / 2] ^ 0x01);
                return text;
            }() },
        { "cut short", good.substr(0, good.size() - 20) },
        { "empty", "" },
        { "not ours", "pictora size cache 1\nend 0 0\n" },
    };
    for (const auto &[what, text] : damages) {
        SCOPED_TRACE(what);
        test::writeFile(record, text);
        EXPECT_EQ(remake(), everyPicture(3));
        EXPECT_TRUE(expectSameAsFreshMake().empty());
        EXPECT_TRUE(remake().empty()); // written whole again
    }

    // The record of another album, put where this one's belongs: it names the other folder.
    const std::string other = dir.file("other");
    fs::create_directory(other);
    ASSERT_TRUE(makeInto(other, cache));
    const std::string otherRecord = generate::MadeRecord(cache, other).chunkPath(0);
    ASSERT_NE(otherRecord, record);
    fs::copy_file(otherRecord, record, fs::copy_options::overwrite_existing);
    EXPECT_EQ(remake(), everyPicture(3));
}

TEST_F(IncrementalMake, TheRecordLivesInTheCacheKeyedByTheAlbumsRealPathNeverInTheAlbum)
{
    ASSERT_TRUE(makeInto(out, cache));
    std::set<std::string> names;
    for (const auto &[name, bytes] : filesOf(out))
        names.insert(name);
    std::set<std::string> expected = everyPicture(3);
    for (const char *page : { "index.htm",
             "default.css",
             "images/0000.htm",
             "images/0000s.htm",
             "images/0001.htm",
             "images/0001s.htm",
             "images/0002.htm",
             "images/0002s.htm" })
        expected.insert(page);
    EXPECT_EQ(names, expected);
    EXPECT_TRUE(fs::is_regular_file(generate::MadeRecord(cache, out).chunkPath(0)));
    EXPECT_EQ(
        fs::path(generate::MadeRecord(cache, out).folderPath()).parent_path(), fs::path(cache) / "albums");

    // The same folder reached through a link is the same album.
    const std::string link = dir.file("link");
    fs::create_directory_symlink(out, link);
    EXPECT_EQ(generate::MadeRecord(cache, link).chunkPath(0), generate::MadeRecord(cache, out).chunkPath(0));
    const auto before = pictureStamps(out);
    ASSERT_TRUE(makeInto(link, cache));
    EXPECT_TRUE(changed(before, pictureStamps(out)).empty());

    // Nowhere to remember: every make encodes everything, and nothing lands anywhere.
    const std::string bare = dir.file("bare");
    fs::create_directory(bare);
    ASSERT_TRUE(makeInto(bare, ""));
    const auto first = pictureStamps(bare);
    ASSERT_TRUE(makeInto(bare, ""));
    EXPECT_EQ(changed(first, pictureStamps(bare)), everyPicture(3));
}
