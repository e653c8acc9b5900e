// SPDX-License-Identifier: MIT
#include "imaging/picture.h"
#include "tests/support/pictures.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>
#include <unistd.h>

namespace pictora::imaging
{
namespace
{

namespace fs = std::filesystem;

using test::patternPicture;

std::vector<std::string> folderListing(const fs::path &folder)
{
    std::vector<std::string> names;
    for (const auto &entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(SamplingFromText, KnowsTheThreeTextsAndFallsBackTo422)
{
    EXPECT_EQ(samplingFromText("4:1:1"), Sampling::S411);
    EXPECT_EQ(samplingFromText("4:2:2"), Sampling::S422);
    EXPECT_EQ(samplingFromText("4:4:4"), Sampling::S444);
    EXPECT_EQ(samplingFromText("4:2:0"), Sampling::S422);
    EXPECT_EQ(samplingFromText(""), Sampling::S422);
}

TEST(SaveJpeg, WritesBaselineWithTheRequestedSamplingAndReadsBack)
{
    test::TempDir dir;
    const Picture picture = patternPicture(123, 45);
    const std::pair<Sampling, const char *> samplings[]
        = { { Sampling::S411, "4:1:1" }, { Sampling::S422, "4:2:2" }, { Sampling::S444, "4:4:4" } };
    for (const auto &[sampling, text] : samplings) {
        SCOPED_TRACE(text);
        const std::string path = dir.file(std::string("out") + text[2] + ".jpg");
        std::string error;
        ASSERT_TRUE(saveJpeg(picture, path, 85, sampling, &error)) << error;
        const auto frame = test::readJpegFrame(test::readFile(path));
        ASSERT_TRUE(frame.has_value());
        EXPECT_EQ(frame->marker, 0xC0) << "baseline";
        EXPECT_EQ(frame->width, 123);
        EXPECT_EQ(frame->height, 45);
        EXPECT_EQ(frame->sampling(), text);
        const Picture back = load(path);
        ASSERT_EQ(back.width(), 123);
        EXPECT_NEAR(back.sample(0, 0, 0), test::kTopLeft.r, 12);
        EXPECT_NEAR(back.sample(122, 44, 2), test::kBottomRight.b, 12);
    }
    EXPECT_EQ(folderListing(dir.path()), (std::vector<std::string> { "out1.jpg", "out2.jpg", "out4.jpg" }))
        << "no temporary file is left behind";
}

TEST(SaveJpeg, QualityChangesTheFileAndTheSameInputGivesTheSameBytes)
{
    test::TempDir dir;
    const Picture picture = patternPicture(200, 150);
    ASSERT_TRUE(saveJpeg(picture, dir.file("q20.jpg"), 20, Sampling::S422));
    ASSERT_TRUE(saveJpeg(picture, dir.file("q95.jpg"), 95, Sampling::S422));
    ASSERT_TRUE(saveJpeg(picture, dir.file("q95again.jpg"), 95, Sampling::S422));
    ASSERT_TRUE(saveJpeg(picture, dir.file("q0.jpg"), 0, Sampling::S422));
    ASSERT_TRUE(saveJpeg(picture, dir.file("q100.jpg"), 100, Sampling::S422));
    const std::string q20 = test::readFile(dir.file("q20.jpg"));
    const std::string q95 = test::readFile(dir.file("q95.jpg"));
    EXPECT_NE(q20, q95);
    EXPECT_LT(q20.size(), q95.size());
    EXPECT_EQ(q95, test::readFile(dir.file("q95again.jpg")));
    EXPECT_LT(test::readFile(dir.file("q0.jpg")).size(), q20.size());
    EXPECT_GT(test::readFile(dir.file("q100.jpg")).size(), q95.size());
}

TEST(SaveJpeg, IsByteIdenticalOnEveryThread)
{
    test::TempDir dir;
    const std::string source = dir.file("source.png");
    test::writeTestPicture(source, test::PictureFormat::PngAlpha, 900, 700);
    auto convert = [&](const std::string &name) {
        Picture small;
        const Picture picture = loadResized(source, 333, 259);
        if (Resize(picture, small, 120, 90))
            saveJpeg(small, dir.file(name), 80, Sampling::S411);
    };
    convert("main.jpg");
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i)
        threads.emplace_back(convert, "thread" + std::to_string(i) + ".jpg");
    for (std::thread &t : threads)
        t.join();
    const std::string expected = test::readFile(dir.file("main.jpg"));
    ASSERT_FALSE(expected.empty());
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(test::readFile(dir.file("thread" + std::to_string(i) + ".jpg")), expected) << i;
}

TEST(SaveJpeg, GreyAndAlphaPicturesAreWrittenAsColour)
{
    test::TempDir dir;
    ASSERT_TRUE(saveJpeg(patternPicture(20, 20, 1), dir.file("grey.jpg"), 90, Sampling::S444));
    ASSERT_TRUE(saveJpeg(patternPicture(20, 20, 4), dir.file("alpha.jpg"), 90, Sampling::S444));
    EXPECT_EQ(test::readJpegFrame(test::readFile(dir.file("grey.jpg")))->components.size(), 3u);
    const Picture alpha = load(dir.file("alpha.jpg"));
    EXPECT_EQ(alpha.bitsPerPixel(), 24);
    EXPECT_NEAR(alpha.sample(19, 19, 0), 255, 3) << "transparent is white";
}

TEST(SaveJpeg, ReplacesAnExistingFileAndReportsProgress)
{
    test::TempDir dir;
    const std::string path = dir.file("a.jpg");
    test::writeFile(path, "old contents");
    std::vector<int> reported;
    ASSERT_TRUE(saveJpeg(
        patternPicture(30, 30), path, 90, Sampling::S422, nullptr, [&](int p) { reported.push_back(p); }));
    EXPECT_EQ(load(path).width(), 30);
    ASSERT_FALSE(reported.empty());
    EXPECT_EQ(reported.front(), 0);
    EXPECT_EQ(reported.back(), 100);
    EXPECT_TRUE(std::is_sorted(reported.begin(), reported.end()));
}

TEST(SaveJpeg, FailuresNameThePathAndLeaveNothingBehind)
{
    test::TempDir dir;
    const Picture picture = patternPicture(30, 30);
    std::string error;

    const std::string missingFolder = dir.file("no such folder/a.jpg");
    EXPECT_FALSE(saveJpeg(picture, missingFolder, 90, Sampling::S422, &error));
    EXPECT_NE(error.find(missingFolder), std::string::npos) << error;

    // A folder where the file should go: the temporary file is written, the rename fails.
    const std::string folder = dir.file("taken.jpg");
    fs::create_directory(folder);
    error.clear();
    EXPECT_FALSE(saveJpeg(picture, folder, 90, Sampling::S422, &error));
    EXPECT_NE(error.find(folder), std::string::npos) << error;
    EXPECT_EQ(folderListing(dir.path()), std::vector<std::string> { "taken.jpg" });

    error.clear();
    EXPECT_FALSE(saveJpeg(Picture(), dir.file("empty.jpg"), 90, Sampling::S422, &error));
    EXPECT_NE(error.find("empty.jpg"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir.file("empty.jpg")));

    if (::geteuid() != 0) { // permissions do not stop root
        const std::string readOnly = dir.file("read-only");
        fs::create_directory(readOnly);
        fs::permissions(readOnly, fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_FALSE(saveJpeg(picture, readOnly + "/a.jpg", 90, Sampling::S422, &error));
        EXPECT_NE(error.find(readOnly), std::string::npos) << error;
    }
}

} // namespace
} // namespace pictora::imaging
