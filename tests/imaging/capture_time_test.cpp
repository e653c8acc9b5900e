// SPDX-License-Identifier: MIT
#include "imaging/capture_time.h"
#include "imaging/picture.h"
#include "tests/support/pictures.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <future>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace pictora::imaging
{
namespace
{

constexpr const char *kNoDateText = "0000年00月00日 00時00分";

/// Exif without a date-shaped text counts as no Exif: the file's time, set by writeDateless.
constexpr const char *kFileTimeText = "2004年12月03日 09時07分";

void writeDateless(const std::string &path, const std::string &bytes)
{
    test::writeFile(path, bytes);
    test::setLocalFileTime(path, 2004, 12, 3, 9, 7, 0);
}

/// A file that counts as Exif: the signature at offset 6, then whatever the case needs.
std::string exifFile(const std::string &rest)
{
    return std::string("\xFF\xD8\xFF\xE1\x00\x10", 6) + std::string("Exif\0\0", 6) + rest;
}

/// The stamp as a reader that seeks to every offset and reads 19 bytes there would find it.
std::string seekingReader(const std::string &path)
{
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (!file)
        return "unreadable";
    char signature[5] = {};
    std::fseek(file, 6, SEEK_SET);
    const std::size_t got = std::fread(signature, 1, 4, file);
    if (std::string(signature, got).c_str() != std::string("Exif")) {
        std::fclose(file);
        return "Not Exif";
    }
    std::string date = "0000:00:00 00:00:00";
    for (long k = 0; k <= 65534; ++k) {
        char window[20] = {};
        std::fseek(file, k, SEEK_SET);
        const std::size_t n = std::fread(window, 1, 19, file);
        if (n == 0)
            break; // past the end nothing can match
        const std::string text(window, std::min(n, std::strlen(window)));
        if (text.size() >= 17 && text[4] == ':' && text[7] == ':' && text[13] == ':' && text[16] == ':') {
            date = text;
            break;
        }
    }
    std::fclose(file);
    return date.substr(0, 17);
}

TEST(CaptureTimeStamp, ExifDateIsRewritten)
{
    test::TempDir dir;
    const std::string path = dir.file("exif.jpg");
    test::writeTestJpeg(path, 64, 48, 90, std::string("2004:05:01 13:05:42"));
    EXPECT_EQ(captureTimeStamp(path), "2004年05月01日 13時05分");
}

TEST(CaptureTimeStamp, ExifWithoutADateGivesTheFileTime)
{
    test::TempDir dir;
    const std::string path = dir.file("no-date.jpg");
    test::writeTestJpeg(path, 64, 48, 90, std::nullopt, 1);
    test::setLocalFileTime(path, 2004, 12, 3, 9, 7, 0);
    EXPECT_EQ(captureTimeStamp(path), kFileTimeText);
}

TEST(CaptureTimeStamp, OtherFilesGiveTheirLocalFileTimeWithoutSeconds)
{
    test::TempDir dir;
    const std::string jfif = dir.file("jfif.jpg");
    test::writeTestJpeg(jfif, 64, 48);
    ASSERT_EQ(test::readFile(jfif).substr(6, 4), "JFIF");
    const std::string png = dir.file("picture.png");
    test::writeTestPng(png, 10, 10);
    const std::string bmp = dir.file("picture.bmp");
    test::writeTestPicture(bmp, test::PictureFormat::Bmp, 10, 10);
    for (const std::string &path : { jfif, png, bmp }) {
        SCOPED_TRACE(path);
        test::setLocalFileTime(path, 2004, 12, 3, 9, 7, 59);
        EXPECT_EQ(captureTimeStamp(path), "2004年12月03日 09時07分");
    }
    test::setLocalFileTime(png, 2031, 1, 31, 23, 59, 1);
    EXPECT_EQ(captureTimeStamp(png), "2031年01月31日 23時59分");
}

TEST(CaptureTimeStamp, ScanReachesOffset65534AndNoFurther)
{
    test::TempDir dir;
    const std::string path = dir.file("far.jpg");
    const std::string date = "2010:11:12 08:09:10";
    std::string lastWindow = exifFile("");
    lastWindow.resize(65534, 'x');
    test::writeFile(path, lastWindow + date);
    EXPECT_EQ(captureTimeStamp(path), "2010年11月12日 08時09分");

    std::string beyond = exifFile("");
    beyond.resize(65535, 'x');
    writeDateless(path, beyond + date);
    EXPECT_EQ(captureTimeStamp(path), kFileTimeText);
}

TEST(CaptureTimeStamp, OnlyTheFourColonsAreChecked)
{
    test::TempDir dir;
    const std::string path = dir.file("odd.jpg");
    // Digits, the space and the seconds are not looked at. Without a space 日 goes in front.
    test::writeFile(path, exifFile("::abcd:fg:ijklm:op:rs"));
    EXPECT_EQ(captureTimeStamp(path), "日abcd年fg月ijklm時op分");

    // Blanks and colons only: the first space is the first character, so 日 comes first.
    test::writeFile(path, exifFile(std::string("    :  :     :  :  ")));
    EXPECT_EQ(captureTimeStamp(path), "日    年  月     時  分");

    // A zero byte ends the window's text before position 17.
    writeDateless(path, exifFile(std::string("2004:05:01 13:05\0:42", 20)));
    EXPECT_EQ(captureTimeStamp(path), kFileTimeText);

    // A date cut off by the end of the file does not match.
    writeDateless(path, exifFile("2004:05:01 13:05"));
    EXPECT_EQ(captureTimeStamp(path), kFileTimeText);
    test::writeFile(path, exifFile("2004:05:01 13:05:"));
    EXPECT_EQ(captureTimeStamp(path), "2004年05月01日 13時05分");
}

TEST(CaptureTimeStamp, SignatureMustBeExactlyExifUpToAZero)
{
    test::TempDir dir;
    const std::string path = dir.file("sig.jpg");
    const std::string date = "2004:05:01 13:05:42";
    test::writeFile(path, std::string("\xFF\xD8\xFF\xE1\x00\x10", 6) + "EXIF" + date);
    test::setLocalFileTime(path, 2005, 6, 7, 8, 9, 10);
    EXPECT_EQ(captureTimeStamp(path), "2005年06月07日 08時09分") << "case matters";

    test::writeFile(path, std::string("\xFF\xD8\xFF\xE1\x00\x10", 6) + "Exi");
    test::setLocalFileTime(path, 2005, 6, 7, 8, 9, 10);
    EXPECT_EQ(captureTimeStamp(path), "2005年06月07日 08時09分") << "a file ending inside the signature";

    writeDateless(path, std::string("\xFF\xD8\xFF\xE1\x00\x10", 6) + "Exif");
    EXPECT_EQ(captureTimeStamp(path), kFileTimeText) << "signature exactly at the end of the file";
}

TEST(CaptureTimeStamp, AgreesWithASeekingReaderOnShortAndRandomFiles)
{
    // Files shorter than a window, dates at every kind of place, stray colons and zeros.
    test::TempDir dir;
    const std::string path = dir.file("random.jpg");
    std::mt19937 random(20040501);
    const std::string alphabet = std::string("0123456789: ", 12) + std::string(1, '\0') + "x";
    for (int round = 0; round < 300; ++round) {
        std::string rest;
        const int length = round < 30 ? round : static_cast<int>(random() % 200);
        for (int i = 0; i < length; ++i)
            rest += alphabet[random() % alphabet.size()];
        if (round % 3 == 0 && length > 20)
            rest.replace(random() % (length - 19), 19, "1999:12:31 23:59:58");
        writeDateless(path, exifFile(rest));
        const std::string expected = seekingReader(path);
        if (expected == "0000:00:00 00:00:") {
            ASSERT_EQ(captureTimeStamp(path), kFileTimeText) << "round " << round;
            continue;
        }
        std::string rewritten = expected;
        // The same five rewrites on the reference's 17 characters.
        auto replaceFirst = [&](const std::string &with) {
            const std::size_t at = rewritten.find(':');
            if (at != std::string::npos)
                rewritten.replace(at, 1, with);
        };
        replaceFirst("年");
        replaceFirst("月");
        const std::size_t space = rewritten.find(' ');
        rewritten.insert(space == std::string::npos ? 0 : space, "日");
        replaceFirst("時");
        replaceFirst("分");
        ASSERT_EQ(captureTimeStamp(path), rewritten) << "round " << round;
    }
}

TEST(CaptureTimeStamp, MissingFileStillGivesAText)
{
    test::TempDir dir;
    EXPECT_EQ(captureTimeStamp(dir.file("missing.jpg")), kNoDateText);
}

TEST(SpecialFiles, FifoIsNoPictureAndNoReaderWaitsOnIt)
{
    test::TempDir dir;
    const std::string fifo = dir.file("pipe.jpg");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Opening a FIFO for reading waits for a writer: each reader runs in another thread, and one that
    // waits is let go by a writer, so the test fails rather than hangs.
    const auto promptly = [&fifo](auto read) {
        auto result = std::async(std::launch::async, read);
        bool waited = false;
        while (result.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
            waited = true;
            if (const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK); fd >= 0)
                ::close(fd);
        }
        EXPECT_FALSE(waited) << "a reader waited on the FIFO";
        return result.get();
    };
    EXPECT_TRUE(promptly([&fifo] { return load(fifo).empty(); }));
    EXPECT_FALSE(promptly([&fifo] { return checkLoads(fifo, {}).valid(); }));
    EXPECT_TRUE(promptly([&fifo] { return loadPlanesFitted(fifo, {}, Sampling::S422, nullptr).empty(); }));
    // The time stamp falls back to the file's time, as for any file without Exif data.
    EXPECT_NE(promptly([&fifo] { return captureTimeStamp(fifo); }), kNoDateText);
}

} // namespace
} // namespace pictora::imaging
