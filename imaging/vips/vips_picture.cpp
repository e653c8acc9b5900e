// SPDX-License-Identifier: MIT
// The general decoder's side of a Picture: starting libvips, and pictures to and from its images.
#include "imaging/vips/vips_picture.h"

#include "imaging/vips/module.h"

#include <vips/vector.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdlib>
#include <mutex>
#include <new>
#include <string>

namespace pictora::imaging
{

using vips::VImage;

namespace
{

std::once_flag g_initOnce;
bool g_initialised = false;

// libvips reports every bad file on stderr as well; the callers get the failure as a value and decide
// what the user sees.
void dropVipsWarning(const char *, GLogLevelFlags, const char *, gpointer) { }

/// A loader module that libvips could not map at its start leaves its formats unreadable for the
/// whole run: that is a shortage of memory, not a bad picture.
std::atomic<bool> g_modulesShort { false };

void noteModuleFailure(const char *, GLogLevelFlags, const char *message, gpointer)
{
    if (message && detail::tellsOfMemoryShortage(message))
        g_modulesShort = true;
}

} // namespace

namespace vips_module
{

bool initialise()
{
    std::call_once(g_initOnce, [] {
        const guint watch = g_log_set_handler("VIPS", G_LOG_LEVEL_WARNING, noteModuleFailure, nullptr);
        const int started = VIPS_INIT("pictora");
        g_log_remove_handler("VIPS", watch);
        if (started != 0)
            return;
        // Loaders are cached by file name: a picture edited on disk would come back stale, and a cache of
        // decoded pictures only costs memory when every picture is read once.
        vips_cache_set_max(0);
        // Pictures are converted one per core already; more threads inside each picture only fight
        // over the same cores.
        if (!std::getenv("VIPS_CONCURRENCY"))
            vips_concurrency_set(1);
        // The run-time compiled loops are kept (about a fifth faster); computeLocked() keeps their
        // compiling and freeing on one thread at a time. PICTORA_NO_ORC turns them off altogether.
        if (std::getenv("PICTORA_NO_ORC"))
            vips_vector_set_enabled(FALSE);
        g_log_set_handler("VIPS", G_LOG_LEVEL_WARNING, dropVipsWarning, nullptr);
        g_initialised = true;
    });
    return g_initialised;
}

bool takeMemoryShortage()
{
    return detail::takeLoadShortage() || g_modulesShort;
}

void setThreadsPerOperation(int threads)
{
    if (initialise())
        vips_concurrency_set(std::max(0, threads));
}

} // namespace vips_module

namespace detail
{

namespace
{
std::atomic<bool> g_loadShort { false };
}

bool tellsOfMemoryShortage(std::string_view message)
{
    std::string lower(message);
    std::transform(
        lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    for (const char *words : { "out of memory",
             "allocate memory",
             "allocation failed",
             "map segment",
             "resources exhausted",
             "bad_alloc",
             "creating thread" /* a thread whose stack could not be mapped */ }) {
        if (lower.find(words) != std::string::npos)
            return true;
    }
    return false;
}

void noteIfShortOfMemory(const std::exception &error)
{
    if (dynamic_cast<const std::bad_alloc *>(&error) || tellsOfMemoryShortage(error.what()))
        g_loadShort = true;
}

bool takeLoadShortage()
{
    return g_loadShort.exchange(false);
}

bool ready()
{
    return vips_module::initialise();
}

void clearVipsError()
{
    vips_error_clear();
}

VImage computeLocked(const std::function<VImage()> &build)
{
    static std::mutex vectorCode;
    VImage pipeline;
    {
        std::lock_guard lock(vectorCode);
        pipeline = build();
    }
    VImage memory;
    try {
        memory = pipeline.copy_memory();
    } catch (...) {
        std::lock_guard lock(vectorCode);
        pipeline = VImage();
        throw;
    }
    std::lock_guard lock(vectorCode);
    pipeline = VImage();
    return memory;
}

Picture fromMemoryImage(VImage image)
{
    auto memory = std::make_shared<const VImage>(image.copy_memory());
    auto impl = std::make_shared<Picture::Impl>();
    impl->owner = memory;
    impl->data = static_cast<const std::uint8_t *>(VIPS_IMAGE_ADDR(memory->get_image(), 0, 0));
    impl->width = memory->width();
    impl->height = memory->height();
    impl->bands = memory->bands();
    return Picture(std::move(impl));
}

VImage imageOf(const Picture &picture)
{
    const auto &impl = picture.impl();
    if (!impl || picture.empty())
        throw vips::VError("empty picture");
    // The Picture keeps the pixels; the image only borrows them for as long as the caller holds both.
    VImage image = VImage::new_from_memory(const_cast<std::uint8_t *>(impl->data),
        static_cast<std::size_t>(impl->width) * impl->height * impl->bands,
        impl->width,
        impl->height,
        impl->bands,
        VIPS_FORMAT_UCHAR);
    return image.copy(VImage::option()->set(
        "interpretation", impl->bands < 3 ? VIPS_INTERPRETATION_B_W : VIPS_INTERPRETATION_sRGB));
}

} // namespace detail
} // namespace pictora::imaging
