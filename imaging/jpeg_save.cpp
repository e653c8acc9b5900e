// SPDX-License-Identifier: MIT
// JPEG files through TurboJPEG, so that quality and chroma sampling are exactly what was asked for.
#include "imaging/picture.h"

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

struct Compressor {
    tjhandle handle = tjInitCompress();
    ~Compressor()
    {
        if (handle)
            tjDestroy(handle);
    }
};

struct TurboBuffer {
    unsigned char *data = nullptr;
    unsigned long size = 0;
    ~TurboBuffer() { tjFree(data); }
};

int turboSampling(Sampling sampling)
{
    switch (sampling) {
    case Sampling::S411:
        return TJSAMP_411;
    case Sampling::S444:
        return TJSAMP_444;
    case Sampling::S422:
        break;
    }
    return TJSAMP_422;
}

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

} // namespace

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

        Compressor compressor;
        if (!compressor.handle)
            return fail(error, path + ": cannot start the JPEG encoder");
        TurboBuffer jpeg;
        if (tjCompress2(compressor.handle,
                rgb.data(),
                picture.width(),
                picture.width() * 3,
                picture.height(),
                TJPF_RGB,
                &jpeg.data,
                &jpeg.size,
                turboSampling(sampling),
                std::clamp(quality, 0, 100),
                0)
            != 0)
            return fail(error, path + ": " + tjGetErrorStr2(compressor.handle));
        report(50);

        // The file appears whole or not at all: written beside the target, then renamed over it.
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
        bool ok = writeAll(fd, jpeg.data, jpeg.size);
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
        report(100);
        return true;
    } catch (const std::exception &e) {
        return fail(error, path + ": " + e.what());
    } catch (...) {
        return fail(error, path + ": cannot be written");
    }
}

} // namespace pictora::imaging
