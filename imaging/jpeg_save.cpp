// SPDX-License-Identifier: MIT
// JPEG files through TurboJPEG, so that quality and chroma sampling are exactly what was asked for.
#include "imaging/picture.h"

#include "base/errors.h"
#include "base/file_io.h"
#include "base/file_messages.h"
#include "imaging/picture_impl.h"

#include <turbojpeg.h>

#include <algorithm>
#include <cerrno>
#include <new>

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

/// The file appears whole or not at all, through the one writer every file of the program takes.
bool writeWhole(const std::string &path,
    const unsigned char *data,
    unsigned long size,
    std::string *error,
    const base::AtomicFileOptions &file)
{
    try {
        base::writeFileAtomically(path, std::string_view(reinterpret_cast<const char *>(data), size), file);
        return true;
    } catch (const base::UserError &e) {
        return fail(error, e.what());
    }
}

/// What the user is told when the picture could not be encoded: the library's words mean nothing to
/// them.
bool encodingFailed(std::string *error, const std::string &path)
{
    return fail(error, base::cannotWriteMessage(path, "JPEG に変換できません"));
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
    const ProgressCallback &progress,
    const base::AtomicFileOptions &file)
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
            return fail(error, base::cannotWriteMessage(path, "保存する画像がありません"));
        const std::vector<std::uint8_t> rgb = picture.rgbPixels();

        tjhandle encoder = detail::threadEncoder();
        if (!encoder)
            return encodingFailed(error, path);
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
            return encodingFailed(error, path);
        report(50);

        if (!writeWhole(path, jpeg.data, jpeg.size, error, file))
            return false;
        report(100);
        return true;
    } catch (const std::bad_alloc &) {
        return fail(error, base::cannotWriteMessage(path, base::systemReason(ENOMEM)));
    } catch (...) {
        return encodingFailed(error, path);
    }
}

bool saveJpeg(const JpegPlanes &planes,
    const std::string &path,
    int quality,
    std::string *error,
    const base::AtomicFileOptions &file)
{
    try {
        if (planes.empty())
            return fail(error, base::cannotWriteMessage(path, "保存する画像がありません"));
        const JpegPlanes::Impl &p = *planes.impl();
        tjhandle encoder = detail::threadEncoder();
        if (!encoder)
            return encodingFailed(error, path);
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
            return encodingFailed(error, path);
        return writeWhole(path, jpeg.data, jpeg.size, error, file);
    } catch (const std::bad_alloc &) {
        return fail(error, base::cannotWriteMessage(path, base::systemReason(ENOMEM)));
    } catch (...) {
        return encodingFailed(error, path);
    }
}

} // namespace pictora::imaging
