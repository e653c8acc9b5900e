// SPDX-License-Identifier: MIT
#include "imaging/capture_time.h"
#include "imaging/picture.h"
#include "tests/support/pictures.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace pictora::imaging
{
namespace
{

using test::PictureFormat;

struct Source {
    std::string path;
    int width;
    int height;
};

/// Pictures of every format, good and bad, in one folder.
std::vector<Source> mixedSources(const test::TempDir &dir)
{
    const std::pair<PictureFormat, const char *> formats[] = { { PictureFormat::Jpeg, "jpg" },
        { PictureFormat::ProgressiveJpeg, "p.jpg" },
        { PictureFormat::Png, "png" },
        { PictureFormat::PngAlpha, "a.png" },
        { PictureFormat::GreyPng, "g.png" },
        { PictureFormat::Tiff, "tif" },
        { PictureFormat::Gif, "gif" },
        { PictureFormat::Bmp, "bmp" },
        { PictureFormat::Pcx, "pcx" } };
    std::vector<Source> sources;
    int n = 0;
    for (const auto &[format, extension] : formats) {
        const int width = 300 + 37 * n;
        const int height = 200 + 23 * n;
        const std::string path = dir.file("source" + std::to_string(n++) + "." + extension);
        test::writeTestPicture(path, format, width, height);
        sources.push_back({ path, width, height });
    }
    const std::string jpeg = test::encodeTestPicture(PictureFormat::Jpeg, 300, 200);
    test::writeFile(dir.file("truncated.jpg"), jpeg.substr(0, jpeg.size() / 2));
    sources.push_back({ dir.file("truncated.jpg"), 0, 0 });
    test::writeFile(dir.file("text.jpg"), "not a picture");
    sources.push_back({ dir.file("text.jpg"), 0, 0 });
    return sources;
}

TEST(Stress, FourThreadsLoadResizeAndSaveMixedFormats)
{
    test::TempDir dir;
    const std::vector<Source> sources = mixedSources(dir);
    std::atomic<int> failures { 0 };
    std::atomic<int> saved { 0 };
    auto worker = [&](int id) {
        for (int round = 0; round < 12; ++round) {
            for (std::size_t i = 0; i < sources.size(); ++i) {
                const Source &s = sources[(i + id) % sources.size()];
                const Picture main = loadResized(s.path, 160 + id, 120);
                const Picture whole = load(s.path);
                if (s.width == 0) {
                    failures += !main.empty() || !whole.empty();
                    continue;
                }
                Picture thumb, turned;
                const bool ok = main.width() == 160 + id && whole.width() == s.width
                    && Resize(whole, thumb, 64, 48) && Rotation(thumb, turned, 9000)
                    && saveJpeg(turned, dir.file("out" + std::to_string(id) + ".jpg"), 80, Sampling::S422)
                    && saveJpeg(main, dir.file("main" + std::to_string(id) + ".jpg"), 80, Sampling::S444);
                failures += !ok;
                saved += ok;
                failures += captureTimeStamp(s.path).empty();
            }
        }
    };
    std::vector<std::thread> threads;
    for (int id = 0; id < 4; ++id)
        threads.emplace_back(worker, id);
    for (std::thread &t : threads)
        t.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(saved.load(), 4 * 12 * 9);
}

TEST(Stress, LoadingAndSavingLeaveNoFileOpen)
{
    test::TempDir dir;
    const std::vector<Source> sources = mixedSources(dir);
    // Warm up once: libraries may keep a descriptor of their own for the life of the process.
    for (const Source &s : sources) {
        (void)probe(s.path);
        (void)loadResized(s.path, 50, 50);
        saveJpeg(load(s.path), dir.file("warm.jpg"), 90, Sampling::S422);
    }
    const int before = test::openFileCount();
    for (int round = 0; round < 3; ++round)
        for (const Source &s : sources) {
            (void)probe(s.path);
            (void)captureTimeStamp(s.path);
            const Picture small = loadResized(s.path, 50, 50);
            saveJpeg(load(s.path), dir.file("whole.jpg"), 90, Sampling::S422);
            saveJpeg(small, dir.file("no folder/x.jpg"), 90, Sampling::S422);
        }
    EXPECT_EQ(test::openFileCount(), before);
}

} // namespace
} // namespace pictora::imaging
