// SPDX-License-Identifier: MIT
// Inside the imaging layer only: the libvips module, a module of its own that holds everything that
// needs libvips (every format, colour profiles, the effects). libvips and the hundred libraries it
// pulls in cost a run about 40 ms before the first picture, so the program loads the module only
// when a picture needs it; a plain JPEG is read without it.
#pragma once

#include "imaging/picture.h"

#include <string>

namespace pictora::imaging::vips_module
{

// What the module does behind the functions of the same names in picture.h.
[[nodiscard]] PictureInfo probe(const std::string &path);
[[nodiscard]] Picture load(const std::string &path, std::string *reason);
[[nodiscard]] Picture loadResized(const std::string &path, int width, int height, std::string *reason);
[[nodiscard]] Picture loadFitted(
    const std::string &path, const TargetFor &targetFor, PictureInfo *header, std::string *reason);
[[nodiscard]] JpegPlanes loadPlanesFitted(
    const std::string &path, const TargetFor &targetFor, Sampling sampling, PictureInfo *header);
[[nodiscard]] PictureInfo checkLoads(
    const std::string &path, const TargetFor &targetFor, std::string *reason);
bool Resize(const Picture &in, Picture &out, int width, int height);
bool ConvertColor(const Picture &in, Picture &out);
bool Rotation(const Picture &in, Picture &out, int angle);
bool Mosaic(const Picture &in, Picture &out, const Region &region, int block);
bool RemoveNoise(
    const Picture &in, Picture &out, const Region &region, int level, const ProgressCallback &progress);
bool Emboss(const Picture &in, Picture &out, const Region &region);
bool SetGray(const Picture &in, Picture &out, const Region &region, const ProgressCallback &progress);
bool RGBLevel(const Picture &in,
    Picture &out,
    const Region &region,
    int red,
    int green,
    int blue,
    const ProgressCallback &progress);
bool Sepia(const Picture &in, Picture &out, const Region &region, const ProgressCallback &progress);
/// False when libvips could not be started.
bool initialise();
/// Whether a load since the last call failed for want of memory (or libvips started without a
/// loader module it could not map), rather than for its file; the shortage of a load is cleared.
bool takeMemoryShortage();
void setThreadsPerOperation(int threads);

/// Every function above, named once: the module's table and the program's calls are made from
/// this list, so that a function added above and here reaches both.
// clang-format off
#define PICTORA_VIPS_MODULE_FUNCTIONS(X)                                                           \
    X(probe) X(load) X(loadResized) X(loadFitted) X(loadPlanesFitted) X(checkLoads)                \
    X(Resize) X(ConvertColor) X(Rotation) X(Mosaic) X(RemoveNoise) X(Emboss) X(SetGray)           \
    X(RGBLevel) X(Sepia) X(initialise) X(setThreadsPerOperation) X(takeMemoryShortage)
// clang-format on

/// The module's functions, as the program finds them after loading it.
struct Functions {
    int version;
#define PICTORA_VIPS_MODULE_MEMBER(name) decltype(&vips_module::name) name;
    PICTORA_VIPS_MODULE_FUNCTIONS(PICTORA_VIPS_MODULE_MEMBER)
#undef PICTORA_VIPS_MODULE_MEMBER
};

/// Changes whenever Functions or what its functions take changes, so that a stale module is refused.
inline constexpr int kFunctionsVersion = 3;

/// The name of the module's one exported symbol: `const Functions *pictora_vips_module_functions()`.
inline constexpr const char *kEntryName = "pictora_vips_module_functions";

} // namespace pictora::imaging::vips_module
