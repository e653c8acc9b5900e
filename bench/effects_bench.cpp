// SPDX-License-Identifier: MIT
// The whole-picture effects on a camera-sized picture (8000 × 6000 by default), each against a
// peer in the same run: noise removal against libvips' own 3 × 3 median (rank), sepia and emboss
// against the same operations written as one libvips pipeline.
//
// usage: pictora_effects_bench [REPETITIONS [WIDTH HEIGHT]]
#include "imaging/picture.h"

#include <vips/vips8>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <random>
#include <vector>

namespace
{

using pictora::imaging::Picture;
using Clock = std::chrono::steady_clock;

/// Median wall-clock and processor seconds (all threads) of one run. On a busy machine the
/// processor time is the steadier figure: wall-clock time there also counts the other processes.
struct Timing {
    double wall = 0;
    double cpu = 0;
};

Timing medianSeconds(int repetitions, const std::function<void()> &work)
{
    work(); // warm-up: page faults, libvips' caches
    std::vector<double> walls, cpus;
    for (int i = 0; i < repetitions; ++i) {
        const auto start = Clock::now();
        const std::clock_t cpuStart = std::clock();
        work();
        cpus.push_back(double(std::clock() - cpuStart) / CLOCKS_PER_SEC);
        walls.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    }
    std::sort(walls.begin(), walls.end());
    std::sort(cpus.begin(), cpus.end());
    return { walls[walls.size() / 2], cpus[cpus.size() / 2] };
}

/// A libvips pipeline over the picture's pixels, computed into memory like an effect's result.
void computed(const std::vector<std::uint8_t> &pixels,
    int width,
    int height,
    const std::function<vips::VImage(vips::VImage)> &pipeline)
{
    vips::VImage image = vips::VImage::new_from_memory(
        const_cast<std::uint8_t *>(pixels.data()), pixels.size(), width, height, 3, VIPS_FORMAT_UCHAR);
    std::size_t size = 0;
    g_free(pipeline(image).write_to_memory(&size));
}

void report(const char *effect, Timing ours, const char *peer, Timing theirs)
{
    std::printf("%-14s pictora %6.3f s (cpu %6.3f s)   %-22s %6.3f s (cpu %6.3f s)   ratio %.2f (cpu %.2f)\n",
        effect,
        ours.wall,
        ours.cpu,
        peer,
        theirs.wall,
        theirs.cpu,
        theirs.wall / ours.wall,
        theirs.cpu / ours.cpu);
}

} // namespace

int main(int argc, char **argv)
{
    using namespace pictora::imaging;
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const int width = argc > 3 ? std::atoi(argv[2]) : 8000;
    const int height = argc > 3 ? std::atoi(argv[3]) : 6000;
    initialise();
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * 3);
    std::mt19937 random(1);
    for (auto &sample : pixels)
        sample = static_cast<std::uint8_t>(random() & 0xff);
    const Picture picture = Picture::fromPixels(width, height, 3, pixels.data());
    const Region whole = wholeRegion(picture);
    std::printf("%d x %d, %d repetitions, median times\n", width, height, repetitions);

    Picture out;
    report("noise removal",
        medianSeconds(repetitions, [&] { RemoveNoise(picture, out, whole, 3); }),
        "libvips rank 3x3",
        medianSeconds(repetitions,
            [&] { computed(pixels, width, height, [](vips::VImage in) { return in.rank(3, 3, 4); }); }));
    report("sepia",
        medianSeconds(repetitions,
            [&] {
                Picture grey;
                SetGray(picture, grey, whole);
                RGBLevel(grey, out, whole, 10, -10, -35);
            }),
        "libvips recomb + add",
        medianSeconds(repetitions, [&] {
            computed(pixels, width, height, [](vips::VImage in) {
                vips::VImage grey = in.recomb(vips::VImage::new_matrixv(3, 1, 0.299, 0.587, 0.114));
                return (vips::VImage::bandjoin({ grey, grey, grey }) + std::vector<double> { 10, -10, -35 })
                    .cast(VIPS_FORMAT_UCHAR);
            });
        }));
    report("emboss",
        medianSeconds(repetitions, [&] { Emboss(picture, out, whole); }),
        "libvips conv",
        medianSeconds(repetitions, [&] {
            computed(pixels, width, height, [](vips::VImage in) {
                vips::VImage mask
                    = vips::VImage::new_matrixv(3, 3, -1.0, -1.0, 0.0, -1.0, 0.0, 1.0, 0.0, 1.0, 1.0);
                return (in.recomb(vips::VImage::new_matrixv(3, 1, 0.299, 0.587, 0.114))
                            .conv(mask, vips::VImage::option()->set("precision", VIPS_PRECISION_FLOAT))
                    + 128.0)
                    .cast(VIPS_FORMAT_UCHAR);
            });
        }));
    return 0;
}
