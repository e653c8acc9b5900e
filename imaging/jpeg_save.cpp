// SPDX-License-Identifier: MIT
// JPEG files through TurboJPEG, so that quality and chroma sampling are exactly what was asked for.
#include "imaging/picture.h"

#include "imaging/picture_impl.h"

#include <turbojpeg.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace pictora::imaging
{

namespace
{

/// A TurboJPEG instance that lives as long as its thread.
template <tjhandle (*start)()> tjhandle threadHandle()
{
    struct Handle {
        tjhandle handle = start();
        ~Handle()
        {
            if (handle)
                tjDestroy(handle);
        }
    };
    thread_local Handle instance;
    return instance.handle;
}

struct TurboBuffer {
    unsigned char *data = nullptr;
    unsigned long size = 0;
    ~TurboBuffer() { tjFree(data); }
};

bool fail(std::string *error, const std::string &text)
{
    if (error)
        *error = text;
    return false;
}

bool writeAll(int fd, const unsigned char *data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

/// A name beside `path` that no other save (in this process or another) is using.
std::string temporaryName(const std::string &path, unsigned attempt)
{
    static std::atomic<unsigned> counter { 0 };
    const std::filesystem::path target(path);
    // Appended rather than "." + string: GCC 12 warns falsely (-Wrestrict) on that at -O2.
    std::string name = ".";
    name.append(target.filename().string()).append(".tmp-").append(std::to_string(::getpid()));
    name.append("-").append(std::to_string(counter.fetch_add(1))).append("-").append(std::to_string(attempt));
    return (target.parent_path() / name).string();
}

/// The file appears whole or not at all: written beside the target, then renamed over it.
bool writeWhole(const std::string &path, const unsigned char *data, unsigned long size, std::string *error)
{
    std::string temporary;
    int fd = -1;
    for (unsigned attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temporary = temporaryName(path, attempt);
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0)
        return fail(error, path + ": cannot be written (" + std::strerror(errno) + ")");
    bool ok = writeAll(fd, data, size);
    int savedErrno = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        savedErrno = errno;
    }
    if (ok && ::rename(temporary.c_str(), path.c_str()) != 0) {
        ok = false;
        savedErrno = errno;
    }
    if (!ok) {
        ::unlink(temporary.c_str());
        return fail(error, path + ": cannot be written (" + std::strerror(savedErrno) + ")");
    }
    return true;
}

} // namespace

void *detail::threadEncoder()
{
    return threadHandle<tjInitCompress>();
}

void *detail::threadDecoder()
{
    return threadHandle<tjInitDecompress>();
}

bool saveJpeg(const Picture &picture,
    const std::string &path,
    int quality,
    Sampling sampling,
    std::string *error,
    const ProgressCallback &progress)
{
    auto report = [&](int percent) {
        if (progress) {
            try {
                progress(percent);
            } catch (...) {
                // A progress display must not break the save.
            }
        }
    };
    try {
        report(0);
        if (picture.empty())
            return fail(error, path + ": there is no picture to save");
        const std::vector<std::uint8_t> rgb = picture.rgbPixels();

        tjhandle encoder = detail::threadEncoder();
        if (!encoder)
            return fail(error, path + ": cannot start the JPEG encoder");
        TurboBuffer jpeg;
        if (tjCompress2(encoder,
                rgb.data(),
                picture.width(),
                picture.width() * 3,
                picture.height(),
                TJPF_RGB,
                &jpeg.data,
                &jpeg.size,
                detail::turboSampling(sampling),
                std::clamp(quality, 0, 100),
                0)
            != 0)
            return fail(error, path + ": " + tjGetErrorStr2(encoder));
        report(50);

        if (!writeWhole(path, jpeg.data, jpeg.size, error))
            return false;
        report(100);
        return true;
    } catch (const std::exception &e) {
        return fail(error, path + ": " + e.what());
    } catch (...) {
        return fail(error, path + ": cannot be written");
    }
}

bool saveJpeg(const JpegPlanes &planes, const std::string &path, int quality, std::string *error)
{
    try {
        if (planes.empty())
            return fail(error, path + ": there is no picture to save");
        const JpegPlanes::Impl &p = *planes.impl();
        tjhandle encoder = detail::threadEncoder();
        if (!encoder)
            return fail(error, path + ": cannot start the JPEG encoder");
        const unsigned char *data[3]
            = { p.planes[0].data.get(), p.planes[1].data.get(), p.planes[2].data.get() };
        const int strides[3] = { p.planes[0].width, p.planes[1].width, p.planes[2].width };
        TurboBuffer jpeg;
        if (tjCompressFromYUVPlanes(encoder,
                data,
                p.width,
                strides,
                p.height,
                p.subsamp,
                &jpeg.data,
                &jpeg.size,
                std::clamp(quality, 0, 100),
                0)
            != 0)
            return fail(error, path + ": " + tjGetErrorStr2(encoder));
        return writeWhole(path, jpeg.data, jpeg.size, error);
    } catch (const std::exception &e) {
        return fail(error, path + ": " + e.what());
    } catch (...) {
        return fail(error, path + ": cannot be written");
    }
}

} // namespace pictora::imaging
