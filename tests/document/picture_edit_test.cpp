// SPDX-License-Identifier: MIT
#include "document/document.h"
#include "tests/support/pictures.h"
#include "tests/support/scripted_chooser.h"
#include "tests/support/scripted_prompter.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

using namespace pictora;
using album::OptionId;
using test::readFile;
using test::Rgb;

namespace fs = std::filesystem;

namespace
{

Rgb pixel(const imaging::Picture &p, int x, int y)
{
    return { p.sample(x, y, 0), p.sample(x, y, 1), p.sample(x, y, 2) };
}

/// A document whose list holds the given picture files, the first one current and shown.
struct PictureEdits : ::testing::Test {
    test::TempDir dir;
    test::ScriptedPrompter prompts;
    test::ScriptedChooser chooser;
    project::Document doc { prompts };
    project::PictureEdit &edit = doc.pictureEdit();

    void show(const std::string &path, bool readable = true)
    {
        doc.images().appendPicture(path, {});
        doc.images().setCurrent(static_cast<int>(doc.images().size()) - 1);
        edit.showCurrent();
        ASSERT_EQ(edit.hasPicture(), readable);
    }
    /// The document saved, so that apply's changed mark shows, and its rebuild available.
    void saved()
    {
        chooser.expect(test::ScriptedChooser::Dialog::SaveProject, { dir.file("album.pxa") });
        ASSERT_TRUE(doc.saveAs(chooser));
        doc.rebuildMade();
    }
};

TEST_F(PictureEdits, QuarterTurnsCountFromTheFileAndFourMakeNone)
{
    const std::string a = dir.file("a.png");
    test::writeTestPng(a, 40, 20);
    show(a);
    ASSERT_TRUE(edit.rotateRight());
    EXPECT_EQ(edit.angle(), -9000);
    EXPECT_EQ(edit.picture().width(), 20);
    EXPECT_EQ(pixel(edit.picture(), 0, 0), test::kBottomLeft) << "a right turn brings the bottom left up";
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(edit.rotateRight());
    EXPECT_EQ(edit.angle(), 0);
    EXPECT_EQ(edit.picture().rgbPixels(), imaging::load(a).rgbPixels());
    ASSERT_TRUE(edit.rotateLeft());
    EXPECT_EQ(pixel(edit.picture(), 0, 0), test::kTopRight);
    ASSERT_TRUE(edit.rotateRight());
    EXPECT_EQ(edit.angle(), 0);
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(edit.rotateLeft());
    EXPECT_EQ(edit.angle(), 0);
}

TEST_F(PictureEdits, ATurnLosesEarlierEffectsAndTheCommandsFollowTheTable)
{
    const std::string a = dir.file("a.png");
    test::writeTestPng(a, 16, 16);
    show(a);
    EXPECT_FALSE(edit.canApply());
    EXPECT_FALSE(edit.canUndo());
    EXPECT_FALSE(edit.mosaic({ 0, 0, 0, 0 })) << "no selection, nothing to cover";

    ASSERT_TRUE(edit.mosaic({ 0, 0, 16, 16 }));
    EXPECT_NE(pixel(edit.picture(), 0, 0), test::kTopLeft) << "the block spans two quadrants";
    EXPECT_TRUE(edit.canApply());
    EXPECT_TRUE(edit.canUndo());

    ASSERT_TRUE(edit.rotateLeft());
    imaging::Picture expected;
    ASSERT_TRUE(imaging::Rotation(imaging::load(a), expected, 9000));
    EXPECT_EQ(edit.picture().rgbPixels(), expected.rgbPixels());

    ASSERT_TRUE(edit.sepia());
    ASSERT_TRUE(edit.removeNoise());
    ASSERT_TRUE(edit.emboss({ 0, 0, 10, 10 }));

    // Selecting an entry disables apply only; undo shows the file again and disables both.
    edit.showCurrent();
    EXPECT_FALSE(edit.canApply());
    EXPECT_TRUE(edit.canUndo());
    ASSERT_TRUE(edit.rotateRight());
    edit.undo();
    EXPECT_EQ(edit.angle(), 0);
    EXPECT_FALSE(edit.edited()) << "the preview shows the file again";
    ASSERT_TRUE(edit.hasPicture());
    EXPECT_EQ(edit.picture().rgbPixels(), imaging::load(a).rgbPixels());
    EXPECT_FALSE(edit.canApply());
    EXPECT_FALSE(edit.canUndo());
}

TEST_F(PictureEdits, ApplySavesBesideTheSourceWithItsTimeAndRepointsTheEntry)
{
    const std::string a = dir.file("a.jpg");
    const std::string b = dir.file("b.png");
    test::writeTestJpeg(a, 32, 24);
    test::writeTestPng(b, 32, 24);
    test::setLocalFileTime(a, 2004, 5, 1, 13, 5, 42);
    const std::string aBytes = readFile(a);
    doc.setOption(OptionId::cbJPEGc, std::string("4:4:4"));
    show(b);
    show(a);
    saved();

    ASSERT_TRUE(edit.rotateLeft());
    ASSERT_TRUE(edit.apply());
    const std::string applied = dir.file("a_e.jpg");
    EXPECT_EQ(doc.images()[1].path, applied);
    EXPECT_EQ(doc.images()[1].comment, "a.jpg");
    EXPECT_TRUE(doc.images().isSelected(1));
    EXPECT_EQ(readFile(a), aBytes) << "the source is never written";
    EXPECT_EQ(fs::last_write_time(applied), fs::last_write_time(a));
    const auto frame = test::readJpegFrame(readFile(applied));
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->sampling(), "4:4:4");
    EXPECT_EQ(frame->width, 24) << "the turned picture at full size";
    EXPECT_TRUE(doc.changed());
    EXPECT_FALSE(doc.rebuildAvailable());
    EXPECT_FALSE(edit.canUndo());
    // The new file already holds the turn, so the next turn starts from it.
    EXPECT_EQ(edit.angle(), 0);

    doc.images().setCurrent(0);
    edit.showCurrent();
    ASSERT_TRUE(edit.sepia());
    ASSERT_TRUE(edit.apply());
    EXPECT_EQ(doc.images()[0].path, dir.file("b.jpg"));
    EXPECT_TRUE(fs::exists(b));
}

TEST_F(PictureEdits, AFailedApplyNamesTheFileAndLeavesEntryListAndSource)
{
    const std::string a = dir.file("a.jpg");
    test::writeTestJpeg(a, 16, 16);
    const std::string aBytes = readFile(a);
    // A folder in the way of a_e.jpg: the save fails whoever runs the test.
    const std::string blocked = dir.file("a_e.jpg");
    fs::create_directory(blocked);
    show(a);
    saved();
    ASSERT_TRUE(edit.sepia());

    prompts.expect(
        blocked + "\nに書き込めません。\n(フォルダーです)", album::Answer::Ok, album::PromptKind::Error);
    EXPECT_FALSE(edit.apply());
    EXPECT_EQ(doc.images()[0].path, a);
    EXPECT_EQ(readFile(a), aBytes);
    EXPECT_TRUE(edit.canApply()) << "the edit is still there to apply";
    EXPECT_FALSE(doc.changed());
    EXPECT_TRUE(doc.rebuildAvailable());
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 3)
        << "no half-written file";
}

TEST_F(PictureEdits, MosaicBlocksStayTenPixelsWideOnThePageAndInThePreview)
{
    // A grey ramp: every block's mean differs from its neighbour's, so a run of equal pixels is a block.
    constexpr int kWidth = 2000;
    constexpr int kHeight = 1500;
    std::vector<std::uint8_t> ramp(static_cast<std::size_t>(kWidth) * kHeight);
    for (std::size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = static_cast<std::uint8_t>(i % kWidth * 255 / (kWidth - 1));
    const std::string path = dir.file("ramp.png");
    test::imageOf(ramp, kWidth, kHeight, 1).pngsave(path.c_str());
    const struct {
        const char *mainSize;
        imaging::TargetSize preview;
        int block;
    } cases[] = {
        { "640", {}, 32 }, // the page shows it at 0.32: 10 / 0.32 = 31.25
        { "640", { 320, 240 }, 63 }, // the preview shows it at 0.16
        { "640", { 1280, 1024 }, 32 },
        { "4000", {}, 10 }, // enlarged on the page: blocks of the picture's own 10 pixels
    };
    show(path);
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.mainSize) + " " + std::to_string(c.preview.width));
        doc.setOption(OptionId::edMainX, std::string(c.mainSize));
        doc.setOption(OptionId::edMainY, std::string(c.mainSize));
        edit.undo();
        ASSERT_TRUE(edit.mosaic(imaging::wholeRegion(imaging::load(path)), c.preview));
        const imaging::Picture &done = edit.picture();
        int run = 1;
        while (run < kWidth && done.sample(run, 0, 0) == done.sample(0, 0, 0))
            ++run;
        EXPECT_EQ(run, c.block);
    }
}

TEST_F(PictureEdits, WithoutAPictureOrAnEntryNothingHappens)
{
    const std::string a = dir.file("a.png");
    test::writeTestPng(a, 16, 16);
    show(a);
    ASSERT_TRUE(edit.mosaic({ 0, 0, 8, 8 }));
    doc.images().deleteAll(doc); // the last entry deleted while apply is enabled
    EXPECT_FALSE(edit.apply());
    edit.undo();
    EXPECT_TRUE(edit.canUndo());
    EXPECT_FALSE(fs::exists(dir.file("a.jpg")));

    test::writeFile(dir.file("broken.jpg"), "not a picture");
    show(dir.file("broken.jpg"), false);
    EXPECT_FALSE(edit.rotateLeft());
    EXPECT_FALSE(edit.sepia());
    EXPECT_EQ(edit.angle(), 0);
}

} // namespace
