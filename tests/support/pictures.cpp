// SPDX-License-Identifier: MIT
#include "tests/support/pictures.h"

#include "imaging/picture.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>
#include <turbojpeg.h>
#include <vips/vips8>

#include <array>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <stdexcept>
#include <sys/stat.h>

namespace pictora::test
{

using vips::VImage;

namespace
{

std::string blobBytes(VipsBlob *blob)
{
    std::size_t size = 0;
    const void *data = vips_blob_get(blob, &size);
    std::string bytes(static_cast<const char *>(data), size);
    vips_area_unref(VIPS_AREA(blob));
    return bytes;
}

void put16be(std::string &out, unsigned value)
{
    out += static_cast<char>((value >> 8) & 0xFF);
    out += static_cast<char>(value & 0xFF);
}

void put32be(std::string &out, std::uint32_t value)
{
    put16be(out, value >> 16);
    put16be(out, value & 0xFFFF);
}

void put16le(std::string &out, unsigned value)
{
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

void put32le(std::string &out, std::uint32_t value)
{
    put16le(out, value & 0xFFFF);
    put16le(out, value >> 16);
}

std::uint32_t crc32(const std::string &bytes)
{
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char c : bytes) {
        crc ^= c;
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return crc ^ 0xFFFFFFFFu;
}

} // namespace

void PrintTo(const Rgb &colour, std::ostream *os)
{
    *os << "(" << colour.r << ", " << colour.g << ", " << colour.b << ")";
}

imaging::Picture patternPicture(int width, int height, int bands)
{
    const std::vector<std::uint8_t> pixels = patternPixels(width, height, bands);
    return imaging::Picture::fromPixels(width, height, bands, pixels.data());
}

VImage imageOf(const std::vector<std::uint8_t> &pixels, int width, int height, int bands)
{
    imaging::initialise();
    VipsImage *image = vips_image_new_from_memory_copy(
        pixels.data(), pixels.size(), width, height, bands, VIPS_FORMAT_UCHAR);
    if (!image)
        throw std::runtime_error("cannot make a test image");
    return VImage(image).copy(VImage::option()->set(
        "interpretation", bands < 3 ? VIPS_INTERPRETATION_B_W : VIPS_INTERPRETATION_sRGB));
}

std::string jpegBytes(const VImage &image, int quality, bool progressive)
{
    // TurboJPEG, like most cameras and programs, starts the file with a JFIF segment.
    std::size_t size = 0;
    void *pixels = image.write_to_memory(&size);
    const bool grey = image.bands() == 1;
    tjhandle handle = tjInitCompress();
    unsigned char *jpeg = nullptr;
    unsigned long jpegSize = 0;
    const int status = tjCompress2(handle,
        static_cast<const unsigned char *>(pixels),
        image.width(),
        0,
        image.height(),
        grey ? TJPF_GRAY : TJPF_RGB,
        &jpeg,
        &jpegSize,
        grey ? TJSAMP_GRAY : TJSAMP_420,
        quality,
        progressive ? TJFLAG_PROGRESSIVE : 0);
    g_free(pixels);
    std::string bytes;
    if (status == 0)
        bytes.assign(reinterpret_cast<const char *>(jpeg), jpegSize);
    tjFree(jpeg);
    tjDestroy(handle);
    if (status != 0 || (image.bands() != 1 && image.bands() != 3))
        throw std::runtime_error("cannot encode a test JPEG");
    return bytes;
}

std::vector<std::uint8_t> patternPixels(int width, int height, int bands)
{
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * bands);
    std::uint8_t *p = pixels.data();
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x, p += bands) {
            const bool right = x >= width / 2;
            const bool bottom = y >= height / 2;
            const Rgb colour = bottom ? (right ? kBottomRight : kBottomLeft) : (right ? kTopRight : kTopLeft);
            if (bands < 3) {
                p[0] = static_cast<std::uint8_t>(bottom ? (right ? kGreyBottomRight : kGreyBottomLeft)
                                                        : (right ? kGreyTopRight : kGreyTopLeft));
            } else {
                p[0] = static_cast<std::uint8_t>(colour.r);
                p[1] = static_cast<std::uint8_t>(colour.g);
                p[2] = static_cast<std::uint8_t>(colour.b);
            }
            if (bands == 2 || bands == 4)
                p[bands - 1] = static_cast<std::uint8_t>(right && bottom ? kBottomRightAlpha : 255);
        }
    }
    return pixels;
}

std::string encodeTestPicture(PictureFormat format, int width, int height)
{
    const int bands = format == PictureFormat::PngAlpha                         ? 4
        : format == PictureFormat::GreyPng || format == PictureFormat::GreyJpeg ? 1
                                                                                : 3;
    const VImage image = imageOf(patternPixels(width, height, bands), width, height, bands);
    try {
        switch (format) {
        case PictureFormat::Jpeg:
        case PictureFormat::GreyJpeg:
            return jpegBytes(image, 90);
        case PictureFormat::ProgressiveJpeg:
            return jpegBytes(image, 90, true);
        case PictureFormat::Png:
        case PictureFormat::PngAlpha:
        case PictureFormat::GreyPng:
            return blobBytes(
                image.pngsave_buffer(VImage::option()->set("strip", true)->set("compression", 1)));
        case PictureFormat::Png16: {
            const VImage deep = (image.cast(VIPS_FORMAT_USHORT) * 257)
                                    .cast(VIPS_FORMAT_USHORT)
                                    .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_RGB16));
            return blobBytes(deep.pngsave_buffer(VImage::option()->set("strip", true)->set("bitdepth", 16)));
        }
        case PictureFormat::Tiff:
            return blobBytes(image.tiffsave_buffer(VImage::option()->set("strip", true)));
        case PictureFormat::Gif:
            return blobBytes(image.gifsave_buffer());
        case PictureFormat::Bmp:
            return blobBytes(image.magicksave_buffer(VImage::option()->set("format", "bmp")));
        case PictureFormat::Pcx:
            return blobBytes(image.magicksave_buffer(VImage::option()->set("format", "pcx")));
        }
    } catch (const vips::VError &e) {
        vips_error_clear();
        throw std::runtime_error(std::string("cannot encode a test picture: ") + e.what());
    }
    throw std::runtime_error("unknown test picture format");
}

void writeTestPicture(const std::string &path, PictureFormat format, int width, int height)
{
    writeFile(path, encodeTestPicture(format, width, height));
}

void writeTestPng(const std::string &path, int width, int height, bool alpha)
{
    writeTestPicture(path, alpha ? PictureFormat::PngAlpha : PictureFormat::Png, width, height);
}

void writeTestJpeg(const std::string &path,
    int width,
    int height,
    int quality,
    const std::optional<std::string> &exifDate,
    const std::optional<int> &orientation)
{
    std::string jpeg = jpegBytes(imageOf(patternPixels(width, height, 3), width, height, 3), quality);
    if (exifDate || orientation)
        jpeg = withFirstSegment(jpeg, exifSegment(exifDate, orientation));
    writeFile(path, jpeg);
}

std::string exifSegment(const std::optional<std::string> &date, const std::optional<int> &orientation)
{
    // Little-endian TIFF structure; offsets count from the "II" that follows "Exif\0\0".
    struct Entry {
        unsigned tag;
        unsigned type; // 2 ASCII, 3 SHORT, 4 LONG
        std::uint32_t count;
        std::string data; // values that do not fit in four bytes
        std::uint32_t value;
    };
    const std::string make = std::string("Pictora test camera") + '\0';
    std::vector<Entry> ifd0;
    ifd0.push_back({ 0x010F, 2, static_cast<std::uint32_t>(make.size()), make, 0 });
    if (orientation)
        ifd0.push_back({ 0x0112, 3, 1, {}, static_cast<std::uint32_t>(*orientation) });
    std::vector<Entry> exifIfd;
    if (date) {
        std::string text = date->substr(0, 19);
        text.resize(20, '\0');
        exifIfd.push_back({ 0x9003, 2, 20, text, 0 });
        ifd0.push_back({ 0x8769, 4, 1, {}, 0 }); // offset filled in below
    }

    auto ifdSize = [](const std::vector<Entry> &entries) {
        std::size_t size = 2 + 12 * entries.size() + 4;
        for (const Entry &e : entries)
            size += e.data.size();
        return size;
    };
    const std::uint32_t ifd0Offset = 8;
    const auto exifOffset = static_cast<std::uint32_t>(ifd0Offset + ifdSize(ifd0));
    if (date)
        ifd0.back().value = exifOffset;

    auto writeIfd = [](std::string &out, std::vector<Entry> entries, std::uint32_t offset) {
        std::uint32_t dataAt = offset + 2 + 12 * static_cast<std::uint32_t>(entries.size()) + 4;
        std::string data;
        put16le(out, static_cast<unsigned>(entries.size()));
        for (const Entry &e : entries) {
            put16le(out, e.tag);
            put16le(out, e.type);
            put32le(out, e.count);
            if (!e.data.empty()) {
                put32le(out, dataAt + static_cast<std::uint32_t>(data.size()));
                data += e.data;
            } else if (e.type == 3) {
                put16le(out, e.value);
                put16le(out, 0);
            } else {
                put32le(out, e.value);
            }
        }
        put32le(out, 0); // no next IFD
        out += data;
    };

    std::string tiff = "II";
    put16le(tiff, 42);
    put32le(tiff, ifd0Offset);
    writeIfd(tiff, ifd0, ifd0Offset);
    if (date)
        writeIfd(tiff, exifIfd, exifOffset);

    std::string payload = std::string("Exif\0\0", 6) + tiff;
    std::string segment = "\xFF\xE1";
    put16be(segment, static_cast<unsigned>(payload.size() + 2));
    return segment + payload;
}

std::string withFirstSegment(const std::string &jpeg, const std::string &segment)
{
    if (jpeg.size() < 4 || static_cast<unsigned char>(jpeg[0]) != 0xFF
        || static_cast<unsigned char>(jpeg[1]) != 0xD8)
        throw std::runtime_error("not a JPEG");
    std::size_t rest = 2;
    if (static_cast<unsigned char>(jpeg[2]) == 0xFF && static_cast<unsigned char>(jpeg[3]) == 0xE0) {
        const std::size_t length
            = (static_cast<unsigned char>(jpeg[4]) << 8) | static_cast<unsigned char>(jpeg[5]);
        rest = 4 + length;
    }
    return jpeg.substr(0, 2) + segment + jpeg.substr(rest);
}

std::string pngClaimingSize(std::uint32_t width, std::uint32_t height)
{
    auto chunk = [](const std::string &type, const std::string &data) {
        std::string out;
        put32be(out, static_cast<std::uint32_t>(data.size()));
        out += type + data;
        put32be(out, crc32(type + data));
        return out;
    };
    std::string ihdr;
    put32be(ihdr, width);
    put32be(ihdr, height);
    ihdr += std::string("\x08\x02\x00\x00\x00", 5); // 8-bit RGB, deflate, no filter, no interlace
    return std::string("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", ihdr) + chunk("IEND", "");
}

std::string JpegFrame::sampling() const
{
    if (components.size() != 3)
        return "?";
    for (std::size_t i = 1; i < 3; ++i)
        if (components[i].horizontal != 1 || components[i].vertical != 1)
            return "?";
    const int h = components[0].horizontal;
    const int v = components[0].vertical;
    if (h == 1 && v == 1)
        return "4:4:4";
    if (h == 2 && v == 1)
        return "4:2:2";
    if (h == 2 && v == 2)
        return "4:2:0";
    if (h == 4 && v == 1)
        return "4:1:1";
    return "?";
}

std::optional<JpegFrame> readJpegFrame(const std::string &bytes)
{
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    if (bytes.size() < 4 || byte(0) != 0xFF || byte(1) != 0xD8)
        return std::nullopt;
    std::size_t at = 2;
    while (at + 4 <= bytes.size()) {
        if (byte(at) != 0xFF)
            return std::nullopt;
        const int marker = byte(at + 1);
        if (marker == 0xFF) {
            ++at;
            continue;
        }
        const std::size_t length = (byte(at + 2) << 8) | byte(at + 3);
        const bool frame
            = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            if (at + 2 + length > bytes.size() || length < 8)
                return std::nullopt;
            JpegFrame f;
            f.marker = marker;
            f.height = (byte(at + 5) << 8) | byte(at + 6);
            f.width = (byte(at + 7) << 8) | byte(at + 8);
            const int count = byte(at + 9);
            for (int c = 0; c < count && at + 12 + 3 * c < bytes.size(); ++c) {
                const std::size_t p = at + 10 + 3 * c;
                f.components.push_back({ byte(p), byte(p + 1) >> 4, byte(p + 1) & 15 });
            }
            return f;
        }
        at += 2 + length;
    }
    return std::nullopt;
}

void setLocalFileTime(const std::string &path, int year, int month, int day, int hour, int minute, int second)
{
    std::tm local {};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    const std::time_t when = std::mktime(&local);
    const timespec times[2] = { { when, 0 }, { when, 0 } };
    if (::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0)
        throw std::runtime_error("cannot set the file time of " + path);
}

int openFileCount()
{
    int count = 0;
    for ([[maybe_unused]] const auto &entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

void expectColour(const imaging::Picture &picture, int x, int y, Rgb expected, const char *where)
{
    SCOPED_TRACE(where);
    EXPECT_NEAR(picture.sample(x, y, 0), expected.r, kColourTolerance);
    EXPECT_NEAR(picture.sample(x, y, 1), expected.g, kColourTolerance);
    EXPECT_NEAR(picture.sample(x, y, 2), expected.b, kColourTolerance);
}

void expectUpright(const imaging::Picture &picture)
{
    const int r = picture.width() - 1;
    const int b = picture.height() - 1;
    expectColour(picture, 0, 0, kTopLeft, "top left");
    expectColour(picture, r, 0, kTopRight, "top right");
    expectColour(picture, 0, b, kBottomLeft, "bottom left");
    expectColour(picture, r, b, kBottomRight, "bottom right");
}

vips::VImage storedForOrientation(int orientation, vips::VImage upright)
{
    switch (orientation) {
    case 2:
        return upright.flip(VIPS_DIRECTION_HORIZONTAL);
    case 3:
        return upright.rot(VIPS_ANGLE_D180);
    case 4:
        return upright.flip(VIPS_DIRECTION_VERTICAL);
    case 5:
        return upright.rot(VIPS_ANGLE_D90).flip(VIPS_DIRECTION_HORIZONTAL);
    case 6:
        return upright.rot(VIPS_ANGLE_D270);
    case 7:
        return upright.rot(VIPS_ANGLE_D270).flip(VIPS_DIRECTION_HORIZONTAL);
    case 8:
        return upright.rot(VIPS_ANGLE_D90);
    default:
        return upright;
    }
}

} // namespace pictora::test
