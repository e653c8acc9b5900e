// SPDX-License-Identifier: MIT
// Loading pictures: which decoder, size checks before any pixel is decoded, shrink-on-load for JPEG,
// orientation and colour profile, and the resampler that Resize shares.
#include "base/file_io.h"
#include "imaging/vips/module.h"

#include "imaging/jpeg_source.h"
#include "imaging/vips/vips_picture.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <jpeglib.h>
#include <libheif/heif.h>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <turbojpeg.h>
#include <unistd.h>
#include <vector>

namespace pictora::imaging
{

using detail::FileBytes;
using detail::jpegBytes;
using detail::jpegShrink;
using detail::swapsSides;
using vips::VError;
using vips::VImage;

namespace
{

enum class Kind { None, Jpeg, Png, Tiff, Gif, Bmp, Pcx, Heif, Webp, Jxl };

/// A file opened for decoding: its kind, and for the ImageMagick formats the whole file, which is
/// handed over as a buffer so that ImageMagick never interprets the file name.
struct Source {
    std::string path;
    Kind kind = Kind::None;
    std::string bytes;
};

/// 100 megapixels of 32-bit BMP and some slack; anything larger is not a sane BMP or PCX.
constexpr off_t kMaxMagickFile = 512L * 1024 * 1024;

unsigned le16(const unsigned char *p)
{
    return p[0] | (p[1] << 8);
}

long le32s(const unsigned char *p)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0])
        | (static_cast<std::uint32_t>(p[1]) << 8) | (static_cast<std::uint32_t>(p[2]) << 16)
        | (static_cast<std::uint32_t>(p[3]) << 24));
}

Kind sniff(const unsigned char *b, std::size_t n)
{
    if (n >= 2 && b[0] == 0xFF && b[1] == 0xD8)
        return Kind::Jpeg;
    if (n >= 8 && std::memcmp(b, "\x89PNG\r\n\x1a\n", 8) == 0)
        return Kind::Png;
    if (n >= 4
        && (std::memcmp(b, "II*\0", 4) == 0 || std::memcmp(b, "MM\0*", 4) == 0
            || std::memcmp(b, "II+\0", 4) == 0 || std::memcmp(b, "MM\0+", 4) == 0))
        return Kind::Tiff;
    if (n >= 6 && (std::memcmp(b, "GIF87a", 6) == 0 || std::memcmp(b, "GIF89a", 6) == 0))
        return Kind::Gif;
    if (n >= 26 && b[0] == 'B' && b[1] == 'M')
        return Kind::Bmp;
    if (n >= 12 && b[0] == 0x0A && b[1] <= 5 && b[2] == 1)
        return Kind::Pcx;
    if (n >= 12 && std::memcmp(b, "RIFF", 4) == 0 && std::memcmp(b + 8, "WEBP", 4) == 0)
        return Kind::Webp;
    if ((n >= 2 && b[0] == 0xFF && b[1] == 0x0A)
        || (n >= 12 && std::memcmp(b, "\0\0\0\x0CJXL \r\n\x87\n", 12) == 0))
        return Kind::Jxl;
    if (n >= 12 && std::memcmp(b + 4, "ftyp", 4) == 0) {
        // HEIC from phones, AVIF, and the general HEIF brands, major or among the first compatible ones.
        static constexpr const char *kBrands[]
            = { "heic", "heix", "heim", "heis", "hevc", "hevx", "mif1", "msf1", "avif", "avis" };
        for (std::size_t at = 8; at + 4 <= n; at += 4) {
            if (at == 12)
                continue; // the minor version
            for (const char *brand : kBrands) {
                if (std::memcmp(b + at, brand, 4) == 0)
                    return Kind::Heif;
            }
        }
    }
    return Kind::None;
}

/// Width and height from a BMP or PCX header, which ImageMagick would otherwise only tell after
/// decoding everything.
bool magickHeaderSize(Kind kind, const unsigned char *b, long long &width, long long &height)
{
    if (kind == Kind::Bmp) {
        if (le32s(b + 14) == 12) { // OS/2 header: 16-bit sides
            width = le16(b + 18);
            height = le16(b + 20);
        } else {
            width = le32s(b + 18);
            height = std::llabs(le32s(b + 22)); // negative: rows top to bottom
        }
        return true;
    }
    width = static_cast<long long>(le16(b + 8)) - le16(b + 4) + 1;
    height = static_cast<long long>(le16(b + 10)) - le16(b + 6) + 1;
    return true;
}

bool readAll(base::InputFile &in, std::string &bytes)
{
    char chunk[65536];
    for (;;) {
        const long got = in.read(chunk, sizeof chunk);
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        bytes.append(chunk, static_cast<std::size_t>(got));
    }
}

/// jpegDataCanHoldFrame on an open file, reading only the markers before its frame.
bool jpegHoldsItsFrame(int fd)
{
    struct stat info {
    };
    if (::fstat(fd, &info) != 0 || info.st_size < 0)
        return true;
    return detail::jpegDataCanHoldFrame(
        [fd](std::uint64_t offset, unsigned char *into, std::size_t count) {
            return base::readExactlyAt(fd, into, count, offset);
        },
        static_cast<std::uint64_t>(info.st_size));
}

bool openSource(const std::string &path, Source &source, std::string &reason)
{
    source.path = path;
    // Only a regular file: a FIFO or a device would make the decoder wait for ever.
    base::InputFile in(path);
    if (!in.isOpen()) {
        reason = path + ": " + in.failure();
        return false;
    }
    unsigned char head[32] = {};
    std::size_t n = 0;
    while (n < sizeof head) {
        const long got = in.read(reinterpret_cast<char *>(head) + n, sizeof head - n);
        if (got <= 0)
            break;
        n += static_cast<std::size_t>(got);
    }
    source.kind = sniff(head, n);
    bool ok = source.kind != Kind::None;
    if (!ok)
        reason = path + ": not a JPEG, HEIF, AVIF, WebP, JPEG XL, PNG, TIFF, GIF, BMP or PCX picture";
    if (ok && source.kind == Kind::Jpeg && !jpegHoldsItsFrame(in.descriptor())) {
        // Decoding would invent the missing pixels at the cost of the whole declared size.
        reason = path + ": the JPEG declares a picture larger than its data can hold";
        ok = false;
    }
    if (ok && (source.kind == Kind::Bmp || source.kind == Kind::Pcx)) {
        long long width = 0;
        long long height = 0;
        magickHeaderSize(source.kind, head, width, height);
        if (!detail::saneSize(width, height)) {
            reason = path + ": picture size " + std::to_string(width) + " x " + std::to_string(height)
                + " is not sane";
            ok = false;
        } else if (in.size() > static_cast<std::size_t>(kMaxMagickFile)) {
            reason = path + ": file too large for a picture of its kind";
            ok = false;
        } else {
            source.bytes.assign(reinterpret_cast<const char *>(head), n);
            if (!readAll(in, source.bytes)) {
                reason = path + ": " + std::strerror(errno);
                ok = false;
            }
        }
    }
    return ok;
}

/// The HEIF loader of this libvips hands on its colour profile in memory that it has already let go
/// (the first bytes come out overwritten, and the profile is then refused as corrupt, leaving an
/// iPhone's Display P3 colours unconverted). The profile is read again here through libheif itself.
VImage withHeifProfile(VImage image, const std::string &path)
{
    if (image.get_typeof(VIPS_META_ICC_NAME) == 0)
        return image;
    std::vector<unsigned char> profile;
    heif_context *context = heif_context_alloc();
    heif_image_handle *handle = nullptr;
    if (context && heif_context_read_from_file(context, path.c_str(), nullptr).code == heif_error_Ok
        && heif_context_get_primary_image_handle(context, &handle).code == heif_error_Ok) {
        profile.resize(heif_image_handle_get_raw_color_profile_size(handle));
        if (profile.empty()
            || heif_image_handle_get_raw_color_profile(handle, profile.data()).code != heif_error_Ok)
            profile.clear();
    }
    if (handle)
        heif_image_handle_release(handle);
    if (context)
        heif_context_free(context);
    VImage copy = image.copy();
    copy.remove(VIPS_META_ICC_NAME);
    if (!profile.empty())
        vips_image_set_blob_copy(copy.get_image(), VIPS_META_ICC_NAME, profile.data(), profile.size());
    return copy;
}

struct BlobRef {
    VipsBlob *blob;
    ~BlobRef() { vips_area_unref(VIPS_AREA(blob)); }
};

/// The decoder for the source, header read, pixels not yet decoded.
VImage open(const Source &source, int shrink = 1)
{
    // Truncated files count as unreadable; warnings such as stray bytes between JPEG markers do not.
    vips::VOption *options
        = VImage::option()->set("fail_on", VIPS_FAIL_ON_TRUNCATED)->set("access", VIPS_ACCESS_SEQUENTIAL);
    const char *path = source.path.c_str();
    switch (source.kind) {
    case Kind::Jpeg:
        if (shrink > 1)
            options->set("shrink", shrink);
        return VImage::jpegload(path, options);
    case Kind::Png:
        return VImage::pngload(path, options);
    case Kind::Tiff:
        return VImage::tiffload(path, options);
    case Kind::Gif:
        return VImage::gifload(path, options);
    case Kind::Heif:
        // libheif turns the picture by its own rotation and mirror and drops the Exif orientation,
        // so the picture is turned once.
        return withHeifProfile(VImage::heifload(path, options), path);
    case Kind::Webp:
        if (shrink > 1)
            options->set("scale", 1.0 / shrink);
        return VImage::webpload(path, options);
    case Kind::Jxl:
        return VImage::jxlload(path, options);
    case Kind::Bmp:
    case Kind::Pcx: {
        BlobRef blob { vips_blob_copy(source.bytes.data(), source.bytes.size()) };
        return VImage::magickload_buffer(blob.blob, options);
    }
    case Kind::None:
        break;
    }
    delete options;
    throw VError("no decoder");
}

int orientationOf(const VImage &image)
{
    if (image.get_typeof(VIPS_META_ORIENTATION) == 0)
        return 1;
    return image.get_int(VIPS_META_ORIENTATION);
}

bool isCmyk(const VImage &image)
{
    return image.interpretation() == VIPS_INTERPRETATION_CMYK && image.bands() >= 4;
}

/// How many bands the finished picture will have: grey 1, RGB 3, with alpha 4.
int finishedBands(const VImage &image)
{
    int bands = image.bands();
    if (isCmyk(image))
        --bands;
    if (bands == 2)
        return 4;
    if (bands > 4)
        return 3;
    return bands;
}

/// Without its colour profile, so a later step does not convert it again.
VImage withoutProfile(VImage image)
{
    if (image.get_typeof(VIPS_META_ICC_NAME) == 0)
        return image;
    VImage copy = image.copy();
    copy.remove(VIPS_META_ICC_NAME);
    return copy;
}

/// sRGB (or grey) in 8-bit samples with 1, 3 or 4 bands; an embedded profile is applied.
VImage toSrgb8(VImage image)
{
    const int bands = finishedBands(image);
    const bool cmyk = isCmyk(image);
    const bool grey = !cmyk && image.bands() <= 2;
    if (cmyk || (!grey && image.get_typeof(VIPS_META_ICC_NAME) != 0)) {
        try {
            image = withoutProfile(image.icc_transform("srgb",
                VImage::option()
                    ->set("embedded", true)
                    ->set("input_profile", cmyk ? "cmyk" : "srgb")
                    ->set("depth", 8)));
        } catch (const VError &) {
            // A broken profile on an RGB picture: show the pixels as they are rather than nothing.
            detail::clearVipsError();
            if (cmyk)
                throw;
            image = withoutProfile(image);
        }
    }
    if (vips_colourspace_issupported(image.get_image()))
        image = image.colourspace(grey ? VIPS_INTERPRETATION_B_W : VIPS_INTERPRETATION_sRGB);
    if (image.format() == VIPS_FORMAT_USHORT || image.format() == VIPS_FORMAT_SHORT)
        image = (image >> 8);
    if (image.format() != VIPS_FORMAT_UCHAR)
        image = image.cast(VIPS_FORMAT_UCHAR);
    if (image.bands() == 2)
        image = VImage::bandjoin({ image[0], image[0], image[0], image[1] });
    else if (image.bands() > bands)
        image = image.extract_band(0, VImage::option()->set("n", bands));
    return image.copy(VImage::option()->set(
        "interpretation", bands == 1 ? VIPS_INTERPRETATION_B_W : VIPS_INTERPRETATION_sRGB));
}

/// A JPEG whose decoded samples are already the picture's colours: grey or YCbCr, no colour profile.
bool plainJpeg(const VImage &header)
{
    const int bands = header.bands();
    return (bands == 1 || bands == 3) && header.get_typeof(VIPS_META_ICC_NAME) == 0;
}

/// Decodes a grey or YCbCr JPEG straight through TurboJPEG at 1/shrink scale, which is markedly faster
/// than going through the libvips loader. A colour profile goes along, so that it is applied to the
/// reduced picture rather than the whole one. Nothing when the file needs the general path (CMYK, a
/// decoder warning such as a truncated file).
std::optional<VImage> decodeScaledJpeg(const Source &source, const VImage &header, int shrink)
{
    if (header.bands() != 1 && header.bands() != 3)
        return std::nullopt;
    const std::optional<FileBytes> file = jpegBytes(source.path);
    if (!file)
        return std::nullopt;
    const unsigned char *data = file->data.get();
    const std::size_t size = file->size;
    const int bands = header.bands();

    tjhandle decoder = detail::threadDecoder();
    if (!decoder)
        return std::nullopt;
    int width = 0;
    int height = 0;
    int subsampling = 0;
    int colourspace = 0;
    if (tjDecompressHeader3(decoder, data, size, &width, &height, &subsampling, &colourspace) != 0)
        return std::nullopt;
    const bool grey = colourspace == TJCS_GRAY;
    if ((colourspace != TJCS_YCbCr && colourspace != TJCS_RGB && !grey) || (grey != (bands == 1)))
        return std::nullopt;
    const tjscalingfactor factor { 1, shrink };
    const int scaledWidth = TJSCALED(width, factor);
    const int scaledHeight = TJSCALED(height, factor);
    VipsImage *pixels = vips_image_new_memory();
    if (!pixels)
        return std::nullopt;
    VImage target(pixels);
    vips_image_init_fields(pixels,
        scaledWidth,
        scaledHeight,
        bands,
        VIPS_FORMAT_UCHAR,
        VIPS_CODING_NONE,
        grey ? VIPS_INTERPRETATION_B_W : VIPS_INTERPRETATION_sRGB,
        1.0,
        1.0);
    if (vips_image_write_prepare(pixels) != 0) {
        detail::clearVipsError();
        return std::nullopt;
    }
    if (tjDecompress2(decoder,
            data,
            size,
            static_cast<unsigned char *>(VIPS_IMAGE_ADDR(pixels, 0, 0)),
            scaledWidth,
            0,
            scaledHeight,
            grey ? TJPF_GRAY : TJPF_RGB,
            0)
        != 0)
        return std::nullopt;
    if (header.get_typeof(VIPS_META_ORIENTATION) != 0)
        target.set(VIPS_META_ORIENTATION, header.get_int(VIPS_META_ORIENTATION));
    if (header.get_typeof(VIPS_META_ICC_NAME) != 0) {
        std::size_t length = 0;
        const void *profile = header.get_blob(VIPS_META_ICC_NAME, &length);
        vips_image_set_blob_copy(pixels, VIPS_META_ICC_NAME, profile, length);
    }
    return target;
}

bool checkSize(long long width, long long height, const Source &source, std::string &reason)
{
    if (detail::saneSize(width, height))
        return true;
    reason = source.path + ": picture size " + std::to_string(width) + " x " + std::to_string(height)
        + " is not sane";
    return false;
}

bool checkSize(const VImage &image, const Source &source, std::string &reason)
{
    return checkSize(image.width(), image.height(), source, reason);
}

/// Whether the decoder itself gives the picture at a reduced scale: JPEG at its DCT scale, WebP by
/// its own scaler. HEIF and JPEG XL decode whole in this libvips.
bool shrinksOnLoad(Kind kind)
{
    return kind == Kind::Jpeg || kind == Kind::Webp;
}

/// The size check before a picture is decoded at a reduced scale. A JPEG or WebP is decoded at its
/// reduced scale, so only what is held at that scale must be sane (their sides are limited by the
/// format); other formats are read whole first, so their full size must be.
bool checkSourceSize(const VImage &image, const Source &source, std::string &reason)
{
    if (!shrinksOnLoad(source.kind))
        return checkSize(image, source, reason);
    if (image.width() > 0 && image.height() > 0 && image.width() <= detail::kMaxSide
        && image.height() <= detail::kMaxSide)
        return true;
    return checkSize(image, source, reason);
}

/// What a load is for: the pixels, or only whether they decode (then JPEG pixels are decoded at the
/// smallest DCT scale and nothing is resampled).
enum class Purpose { Pixels, Check };

Picture failed(std::string *reason, const std::string &text)
{
    if (reason)
        *reason = text;
    return {};
}

/// What the header tells: upright size and the bits per pixel of the finished picture.
PictureInfo headerInfo(const VImage &image)
{
    const bool swap = swapsSides(orientationOf(image));
    return {
        swap ? image.height() : image.width(), swap ? image.width() : image.height(), 8 * finishedBands(image)
    };
}

/// Whether entropy-coded data, with only stuffed bytes and restart markers inside it, runs up to an
/// end-of-image marker.
bool endsAtEndOfImage(const unsigned char *data, std::size_t size)
{
    std::size_t i = 0;
    while (i < size) {
        const void *found = std::memchr(data + i, 0xFF, size - i);
        if (!found)
            return false;
        std::size_t k = static_cast<std::size_t>(static_cast<const unsigned char *>(found) - data) + 1;
        while (k < size && data[k] == 0xFF) // fill bytes
            ++k;
        if (k >= size)
            return false;
        const unsigned char code = data[k];
        if (code != 0x00 && (code < 0xD0 || code > 0xD7))
            return code == 0xD9;
        i = k + 1;
    }
    return false;
}

struct JpegFailure {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    bool warned;
};

/// Whether a JPEG of a single scan surely decodes, shown without decoding its pixels: libjpeg reads
/// the header and sets the decoder up (which checks the tables), and the scan's data runs up to
/// the end-of-image marker, so the decoder never runs out of data; damaged data inside the scan
/// only ever gives warnings. False means "not shown", not "does not decode".
bool jpegSurelyDecodes(const unsigned char *bytes, std::size_t size)
{
    jpeg_decompress_struct info {};
    JpegFailure failure {};
    info.err = jpeg_std_error(&failure.manager);
    failure.manager.error_exit
        = [](j_common_ptr c) { std::longjmp(reinterpret_cast<JpegFailure *>(c->err)->jump, 1); };
    failure.manager.emit_message = [](j_common_ptr c, int level) {
        if (level < 0)
            reinterpret_cast<JpegFailure *>(c->err)->warned = true;
    };
    failure.manager.output_message = [](j_common_ptr) {};
    jpeg_create_decompress(&info);
    // Nothing with a destructor lives between here and the jump back.
    if (setjmp(failure.jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_mem_src(&info, bytes, size);
    bool sure = false;
    if (jpeg_read_header(&info, TRUE) == JPEG_HEADER_OK && !jpeg_has_multiple_scans(&info)
        && !failure.warned) {
        info.scale_num = 1;
        info.scale_denom = 8;
        // A single scan is read only while lines are asked for, so this decodes nothing yet.
        if (jpeg_start_decompress(&info) && !failure.warned)
            sure = endsAtEndOfImage(info.src->next_input_byte, info.src->bytes_in_buffer);
    }
    jpeg_destroy_decompress(&info);
    return sure;
}

/// The smallest scale a JPEG decodes at, for a check that only needs to know that it decodes.
VImage checkScaleJpeg(const Source &source, const VImage &image)
{
    const int shrink = jpegShrink(image.width(), image.height(), 1, 1);
    if (shrink == 1)
        return image;
    if (std::optional<VImage> decoded = decodeScaledJpeg(source, image, shrink))
        return *decoded;
    return open(source, shrink);
}

/// What a check of a JPEG gives: a stand-in picture when it surely decodes, else the picture at
/// its smallest scale (or the failure to decode it).
Picture checkedJpeg(const Source &source, const VImage &header)
{
    if (plainJpeg(header)) {
        if (const std::optional<FileBytes> bytes = jpegBytes(source.path);
            bytes && jpegSurelyDecodes(bytes->data.get(), bytes->size)) {
            const std::uint8_t black = 0;
            return Picture::fromPixels(1, 1, 1, &black);
        }
    }
    return detail::finish(checkScaleJpeg(source, header));
}

Picture loadWhole(const std::string &path,
    std::string *reason,
    PictureInfo *header = nullptr,
    Purpose purpose = Purpose::Pixels)
{
    std::string why;
    Source source;
    if (!openSource(path, source, why))
        return failed(reason, why);
    VImage image = open(source);
    if (!checkSize(image, source, why))
        return failed(reason, why);
    if (header)
        *header = headerInfo(image);
    if (purpose == Purpose::Check && source.kind == Kind::Jpeg)
        return checkedJpeg(source, image);
    return detail::finish(image);
}

/// A source opened for decoding at a target size: its header checked, the target worked out.
struct Fitted {
    Source source;
    VImage image;
    int storedWidth = 0; ///< the target in the source's stored orientation
    int storedHeight = 0;
    int shrink = 1; ///< the reduced scale (JPEG DCT, WebP) that still covers the target
};

bool openFitted(const std::string &path,
    const TargetFor &targetFor,
    PictureInfo *header,
    Fitted &fitted,
    std::string &why)
{
    Source &source = fitted.source;
    if (!openSource(path, source, why))
        return false;
    fitted.image = open(source);
    VImage &image = fitted.image;
    if (!checkSourceSize(image, source, why))
        return false;
    const PictureInfo info = headerInfo(image);
    if (header)
        *header = info;
    const auto [width, height] = targetFor(info);
    if (!detail::saneSize(width, height)) {
        why = path + ": target size " + std::to_string(width) + " x " + std::to_string(height)
            + " is not sane";
        return false;
    }
    // Resampling happens before the picture is turned upright, so the target is turned the other way.
    const bool swap = swapsSides(orientationOf(image));
    fitted.storedWidth = swap ? height : width;
    fitted.storedHeight = swap ? width : height;
    if (shrinksOnLoad(source.kind)) {
        fitted.shrink = jpegShrink(image.width(), image.height(), fitted.storedWidth, fitted.storedHeight);
        // What the decoder holds at that scale.
        const int shrink = fitted.shrink;
        return checkSize(
            (image.width() + shrink - 1) / shrink, (image.height() + shrink - 1) / shrink, source, why);
    }
    return true;
}

std::optional<VImage> fittedProfiledJpeg(const Fitted &fitted);

Picture loadAtSize(const std::string &path,
    const TargetFor &targetFor,
    PictureInfo *header,
    std::string *reason,
    Purpose purpose = Purpose::Pixels)
{
    std::string why;
    Fitted fitted;
    if (!openFitted(path, targetFor, header, fitted, why))
        return failed(reason, why);
    const Source &source = fitted.source;
    if (source.kind == Kind::Jpeg && purpose == Purpose::Pixels && fitted.image.bands() == 3
        && fitted.image.get_typeof(VIPS_META_ICC_NAME) != 0) {
        // Already upright and at the target size: only the profile is left to apply.
        if (std::optional<VImage> planar = fittedProfiledJpeg(fitted))
            return detail::finish(*planar);
    }
    VImage image = fitted.image;
    // By how much the whole picture shrinks, a decoder's reduced scale included.
    const bool sharpen
        = detail::sharpensReduction(image.width(), image.height(), fitted.storedWidth, fitted.storedHeight);
    fitted.image = VImage();
    if (source.kind == Kind::Jpeg) {
        if (purpose == Purpose::Check)
            return checkedJpeg(source, image);
        if (fitted.shrink > 1) {
            if (std::optional<VImage> decoded = decodeScaledJpeg(source, image, fitted.shrink))
                image = *decoded;
            else
                image = open(source, fitted.shrink);
        }
    } else if (fitted.shrink > 1) {
        image = open(source, fitted.shrink);
    }
    // Four-band CMYK must not be taken for RGB with alpha while resampling.
    if (isCmyk(image))
        image = toSrgb8(image);
    VImage resampled = detail::computeLocked([&] {
        VImage result = detail::resample(image, fitted.storedWidth, fitted.storedHeight, sharpen);
        image = VImage();
        return result;
    });
    return detail::finish(resampled);
}

/// A grey or YCbCr JPEG opened by openFitted, decoded at its DCT scale into planes and fitted to the
/// target, upright, at TurboJPEG sampling `subsamp`; empty when its decoder reports any trouble.
JpegPlanes decodePlanes(const Fitted &fitted, int subsamp)
{
    const std::optional<FileBytes> file = jpegBytes(fitted.source.path);
    if (!file)
        return {};
    return detail::decodeFittedPlanes(*file,
        fitted.image.bands(),
        orientationOf(fitted.image),
        fitted.shrink,
        fitted.storedWidth,
        fitted.storedHeight,
        subsamp);
}

JpegPlanes planesAtSize(
    const std::string &path, const TargetFor &targetFor, Sampling sampling, PictureInfo *header)
{
    std::string why;
    Fitted fitted;
    if (!openFitted(path, targetFor, header, fitted, why) || fitted.source.kind != Kind::Jpeg
        || !plainJpeg(fitted.image))
        return {};
    return decodePlanes(fitted, detail::turboSampling(sampling));
}

/// A colour JPEG with a profile, fitted as planes at full chroma and only then turned into RGB that
/// carries the profile, so the resampling runs on planes and the profile is applied to the reduced
/// picture. Nothing when the decoder reports any trouble.
std::optional<VImage> fittedProfiledJpeg(const Fitted &fitted)
{
    const JpegPlanes planes = decodePlanes(fitted, TJSAMP_444);
    if (planes.empty())
        return std::nullopt;
    const JpegPlanes::Impl &p = *planes.impl();
    VipsImage *pixels = vips_image_new_memory();
    if (!pixels)
        return std::nullopt;
    VImage target(pixels);
    vips_image_init_fields(pixels,
        p.width,
        p.height,
        3,
        VIPS_FORMAT_UCHAR,
        VIPS_CODING_NONE,
        VIPS_INTERPRETATION_sRGB,
        1.0,
        1.0);
    if (vips_image_write_prepare(pixels) != 0) {
        detail::clearVipsError();
        return std::nullopt;
    }
    const unsigned char *data[3] = { p.planes[0].data.get(), p.planes[1].data.get(), p.planes[2].data.get() };
    const int strides[3] = { p.planes[0].width, p.planes[1].width, p.planes[2].width };
    tjhandle decoder = detail::threadDecoder();
    if (!decoder
        || tjDecodeYUVPlanes(decoder,
               data,
               strides,
               TJSAMP_444,
               static_cast<unsigned char *>(VIPS_IMAGE_ADDR(pixels, 0, 0)),
               p.width,
               0,
               p.height,
               TJPF_RGB,
               0)
            != 0)
        return std::nullopt;
    std::size_t length = 0;
    const void *profile = fitted.image.get_blob(VIPS_META_ICC_NAME, &length);
    vips_image_set_blob_copy(pixels, VIPS_META_ICC_NAME, profile, length);
    return target;
}

template <typename F> Picture guarded(std::string *reason, const std::string &path, F &&load)
{
    if (!detail::ready())
        return failed(reason, "libvips could not be initialised");
    try {
        return load();
    } catch (const std::exception &e) {
        detail::noteIfShortOfMemory(e);
        detail::clearVipsError();
        return failed(reason, path + ": " + e.what());
    } catch (...) {
        detail::clearVipsError();
        return failed(reason, path + ": cannot be decoded");
    }
}

} // namespace

namespace detail
{

Picture finish(VImage image)
{
    const int orientation = orientationOf(image);
    VImage memory = toSrgb8(image).copy_memory();
    if (orientation > 1 && orientation <= 8)
        memory = memory.autorot();
    return fromMemoryImage(memory);
}

VImage resample(VImage image, int width, int height, bool sharpen)
{
    if (image.width() == width && image.height() == height && !sharpen)
        return image;
    const VipsBandFormat format = image.format();
    const bool alpha = image.has_alpha();
    if (alpha)
        image = image.premultiply();
    const double hshrink = static_cast<double>(image.width()) / width;
    const double vshrink = static_cast<double>(image.height()) / height;
    if (hshrink == 1.0 && vshrink == 1.0) {
        // Already at its size (a decoder's reduced scale gave it): only the sharpening is left.
    } else if (hshrink >= 1.0 && vshrink >= 1.0) {
        // reduce alone is fastest up to about 8×; beyond it an integer box average first takes the bulk
        // off cheaply and leaves at least 2× for the filter. The bicubic filter rings less than
        // lanczos3 at well under half its cost in this libvips; the sharpening below makes up for it.
        const int hbox = hshrink >= 8.0 ? static_cast<int>(hshrink / 2.0) : 1;
        const int vbox = vshrink >= 8.0 ? static_cast<int>(vshrink / 2.0) : 1;
        if (hbox > 1 || vbox > 1)
            image = image.shrink(hbox, vbox);
        image = image.reduce(static_cast<double>(image.width()) / width,
            static_cast<double>(image.height()) / height,
            VImage::option()->set("kernel", VIPS_KERNEL_CUBIC));
    } else {
        image = image.resize(static_cast<double>(width) / image.width(),
            VImage::option()
                ->set("vscale", static_cast<double>(height) / image.height())
                ->set("kernel", VIPS_KERNEL_LANCZOS3));
    }
    // Rounding inside libvips may leave a side one pixel off; the edge pixel is cut or repeated.
    if (image.width() > width || image.height() > height)
        image = image.crop(0, 0, std::min(width, image.width()), std::min(height, image.height()));
    if (image.width() < width || image.height() < height)
        image = image.embed(0, 0, width, height, VImage::option()->set("extend", VIPS_EXTEND_COPY));
    if (sharpen) {
        // The same light sharpening as the plane resampler's after a large reduction.
        const double a = detail::kSharpening;
        image = image.convsep(VImage::new_matrixv(3, 1, -a, 1.0 + 2.0 * a, -a),
            VImage::option()->set("precision", VIPS_PRECISION_FLOAT));
    }
    if (alpha)
        image = image.unpremultiply().round(VIPS_OPERATION_ROUND_RINT).cast(format);
    else if (sharpen)
        image = image.round(VIPS_OPERATION_ROUND_RINT).cast(format);
    return image;
}

} // namespace detail

namespace vips_module
{

PictureInfo probe(const std::string &path)
{
    if (!detail::ready())
        return {};
    try {
        std::string why;
        Source source;
        if (!openSource(path, source, why))
            return {};
        if (source.kind == Kind::Bmp || source.kind == Kind::Pcx) {
            // ImageMagick decodes everything to tell the header, so a load costs no more.
            const Picture picture = loadWhole(path, nullptr);
            return { picture.width(), picture.height(), picture.bitsPerPixel() };
        }
        // Also the size of a picture too large to hold, so that a caller can say so.
        const VImage image = open(source);
        if (image.width() <= 0 || image.height() <= 0)
            return {};
        return headerInfo(image);
    } catch (const std::exception &e) {
        detail::noteIfShortOfMemory(e);
        detail::clearVipsError();
        return {};
    } catch (...) {
        detail::clearVipsError();
        return {};
    }
}

Picture load(const std::string &path, std::string *reason)
{
    return guarded(reason, path, [&] { return loadWhole(path, reason); });
}

Picture loadResized(const std::string &path, int width, int height, std::string *reason)
{
    const TargetFor fixed = [width, height](const PictureInfo &) { return TargetSize { width, height }; };
    return guarded(reason, path, [&] { return loadAtSize(path, fixed, nullptr, reason); });
}

PictureInfo checkLoads(const std::string &path, const TargetFor &targetFor, std::string *reason)
{
    PictureInfo header;
    const Picture picture = guarded(reason, path, [&] {
        return targetFor ? loadAtSize(path, targetFor, &header, reason, Purpose::Check)
                         : loadWhole(path, reason, &header, Purpose::Check);
    });
    if (picture.empty())
        return {};
    return header;
}

JpegPlanes loadPlanesFitted(
    const std::string &path, const TargetFor &targetFor, Sampling sampling, PictureInfo *header)
{
    if (header)
        *header = {};
    if (!detail::ready())
        return {};
    try {
        return planesAtSize(path, targetFor, sampling, header);
    } catch (const std::exception &e) {
        detail::noteIfShortOfMemory(e);
        detail::clearVipsError();
        return {};
    } catch (...) {
        detail::clearVipsError();
        return {};
    }
}

Picture loadFitted(
    const std::string &path, const TargetFor &targetFor, PictureInfo *header, std::string *reason)
{
    if (header)
        *header = {};
    return guarded(reason, path, [&] { return loadAtSize(path, targetFor, header, reason); });
}

} // namespace vips_module
} // namespace pictora::imaging
