// SPDX-License-Identifier: MIT
// The program's side of the general decoder: the module is loaded the first time a picture needs
// it, and every function of picture.h that needs libvips goes through it. A plain JPEG made into
// planes never does, so a run of plain JPEGs never loads libvips at all.
#include "base/file_io.h"
#include "imaging/jpeg_source.h"
#include "imaging/vips/module.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace pictora::imaging
{

namespace
{

struct Loaded {
    const vips_module::Functions *functions = nullptr;
    std::string problem; ///< why there are none
};

/// Set once the module was looked for, so that asking about memory never loads it.
std::atomic<bool> g_moduleSought { false };

/// The folder of the running program.
std::string programFolder()
{
    char path[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return {};
    const std::string program(path, static_cast<std::size_t>(length));
    return program.substr(0, program.rfind('/'));
}

/// Installed, the module sits in the library folder beside the program's folder, as it does in the
/// build tree for the program itself; programs built elsewhere in the tree (tests, benchmarks) find
/// it where the build put it.
std::vector<std::string> modulePlaces()
{
    std::vector<std::string> places;
    if (const std::string folder = programFolder(); !folder.empty())
        places.push_back(folder + "/" PICTORA_VIPS_MODULE_BESIDE_PROGRAM);
    places.emplace_back(PICTORA_VIPS_MODULE_IN_BUILD);
    return places;
}

Loaded loadModule()
{
    Loaded loaded;
    for (const std::string &place : modulePlaces()) {
        if (::access(place.c_str(), R_OK) != 0)
            continue;
        // Never closed: the pictures it made keep code of it alive until the program ends.
        void *module = ::dlopen(place.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!module) {
            const char *error = ::dlerror();
            loaded.problem = error ? error : place + ": cannot be loaded";
            return loaded;
        }
        using Entry = const vips_module::Functions *(*)();
        const auto entry = reinterpret_cast<Entry>(::dlsym(module, vips_module::kEntryName));
        const vips_module::Functions *functions = entry ? entry() : nullptr;
        if (!functions || functions->version != vips_module::kFunctionsVersion) {
            loaded.problem = place + ": not the libvips picture module of this program";
            return loaded;
        }
        loaded.functions = functions;
        return loaded;
    }
    loaded.problem = "the libvips picture module " PICTORA_VIPS_MODULE_BESIDE_PROGRAM " is missing";
    return loaded;
}

const Loaded &module()
{
    static const Loaded loaded = [] {
        Loaded attempt = loadModule();
        g_moduleSought = true;
        // A broken installation, not a bad picture: said once, the way a missing plug-in is, since
        // every picture it cannot decode is otherwise reported as unreadable.
        if (!attempt.functions)
            std::fprintf(stderr, "pictora: %s\n", attempt.problem.c_str());
        return attempt;
    }();
    return loaded;
}

const vips_module::Functions *functions()
{
    return module().functions;
}

/// One file's part of the code identity: its stamp, or that it is missing.
void describeFile(std::ostringstream &out, const std::string &path)
{
    struct stat info {
    };
    out << path;
    if (::stat(path.c_str(), &info) == 0) {
        out << ' ' << info.st_dev << ' ' << info.st_ino << ' ' << info.st_size << ' ' << info.st_mtim.tv_sec
            << '.' << info.st_mtim.tv_nsec << ' ' << info.st_ctim.tv_sec << '.' << info.st_ctim.tv_nsec;
    }
    out << '\n';
}

Picture unavailable(std::string *reason, const std::string &path)
{
    if (reason)
        *reason = path + ": " + module().problem;
    return {};
}

} // namespace

const std::string &codeIdentity()
{
    static const std::string identity = [] {
        std::ostringstream files;
        describeFile(files, "/proc/self/exe");
        // The library that really encodes, wherever the dynamic linker found it.
        Dl_info turbo {};
        if (::dladdr(reinterpret_cast<void *>(&tjCompress2), &turbo) != 0 && turbo.dli_fname)
            describeFile(files, turbo.dli_fname);
        for (const std::string &place : modulePlaces()) {
            if (::access(place.c_str(), R_OK) == 0) {
                describeFile(files, place);
                break;
            }
        }
        const std::string vips = PICTORA_VIPS_FILES;
        for (std::size_t start = 0; start < vips.size();) {
            const std::size_t end = std::min(vips.find(':', start), vips.size());
            describeFile(files, vips.substr(start, end - start));
            start = end + 1;
        }
        // Short enough to stand beside every picture a record keeps.
        return base::checksumName(files.str());
    }();
    return identity;
}

bool memoryRanShort()
{
    bool shortage = detail::takePlainMemoryShortage();
    if (g_moduleSought) {
        const Loaded &loaded = module();
        if (loaded.functions)
            shortage = loaded.functions->takeMemoryShortage() || shortage;
        else
            // The module itself could not be mapped: every picture it reads comes out unreadable.
            shortage = shortage || loaded.problem.find("map segment") != std::string::npos
                || loaded.problem.find("allocate memory") != std::string::npos;
    }
    return shortage;
}

PictureInfo probe(const std::string &path)
{
    const vips_module::Functions *f = functions();
    return f ? f->probe(path) : PictureInfo {};
}

Picture load(const std::string &path)
{
    return load(path, nullptr);
}

Picture load(const std::string &path, std::string *reason)
{
    const vips_module::Functions *f = functions();
    return f ? f->load(path, reason) : unavailable(reason, path);
}

Picture loadResized(const std::string &path, int width, int height)
{
    return loadResized(path, width, height, nullptr);
}

Picture loadResized(const std::string &path, int width, int height, std::string *reason)
{
    const vips_module::Functions *f = functions();
    return f ? f->loadResized(path, width, height, reason) : unavailable(reason, path);
}

Picture loadFitted(
    const std::string &path, const TargetFor &targetFor, PictureInfo *header, std::string *reason)
{
    if (header)
        *header = {};
    const vips_module::Functions *f = functions();
    return f ? f->loadFitted(path, targetFor, header, reason) : unavailable(reason, path);
}

JpegPlanes loadPlanesFitted(
    const std::string &path, const TargetFor &targetFor, Sampling sampling, PictureInfo *header)
{
    if (header)
        *header = {};
    detail::PlainPlanes plain = detail::plainJpegPlanes(path, targetFor, sampling, header);
    if (!plain.planes.empty())
        return std::move(plain.planes);
    // Only a JPEG can become planes; the caller's general load tells what is wrong with the rest.
    if (!plain.jpeg)
        return {};
    const vips_module::Functions *f = functions();
    return f ? f->loadPlanesFitted(path, targetFor, sampling, header) : JpegPlanes();
}

PictureInfo checkLoads(const std::string &path, const TargetFor &targetFor, std::string *reason)
{
    const vips_module::Functions *f = functions();
    if (!f) {
        (void)unavailable(reason, path);
        return {};
    }
    return f->checkLoads(path, targetFor, reason);
}

namespace
{

/// An effect through the module; without it nothing can be done and `out` is left empty.
template <typename Effect, typename... Args>
bool apply(Effect vips_module::Functions::*effect, const Picture &in, Picture &out, Args... args)
{
    const vips_module::Functions *f = functions();
    if (!f) {
        out = Picture();
        return false;
    }
    return (f->*effect)(in, out, args...);
}

} // namespace

bool Resize(const Picture &in, Picture &out, int width, int height)
{
    return apply(&vips_module::Functions::Resize, in, out, width, height);
}

bool ConvertColor(const Picture &in, Picture &out)
{
    return apply(&vips_module::Functions::ConvertColor, in, out);
}

bool Rotation(const Picture &in, Picture &out, int angle)
{
    return apply(&vips_module::Functions::Rotation, in, out, angle);
}

bool Mosaic(const Picture &in, Picture &out, const Region &region, int block)
{
    return apply(&vips_module::Functions::Mosaic, in, out, region, block);
}

bool RemoveNoise(
    const Picture &in, Picture &out, const Region &region, int level, const ProgressCallback &progress)
{
    return apply(&vips_module::Functions::RemoveNoise, in, out, region, level, progress);
}

bool Emboss(const Picture &in, Picture &out, const Region &region)
{
    return apply(&vips_module::Functions::Emboss, in, out, region);
}

bool SetGray(const Picture &in, Picture &out, const Region &region, const ProgressCallback &progress)
{
    return apply(&vips_module::Functions::SetGray, in, out, region, progress);
}

bool RGBLevel(const Picture &in,
    Picture &out,
    const Region &region,
    int red,
    int green,
    int blue,
    const ProgressCallback &progress)
{
    return apply(&vips_module::Functions::RGBLevel, in, out, region, red, green, blue, progress);
}

bool Sepia(const Picture &in, Picture &out, const Region &region, const ProgressCallback &progress)
{
    return apply(&vips_module::Functions::Sepia, in, out, region, progress);
}

void initialise()
{
    if (const vips_module::Functions *f = functions())
        f->initialise();
}

void setThreadsPerOperation(int threads)
{
    if (const vips_module::Functions *f = functions())
        f->setThreadsPerOperation(threads);
}

} // namespace pictora::imaging
