// SPDX-License-Identifier: MIT
#pragma once

#include "imaging/picture.h"

#include <vips/vips8>

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

/// Picture files made by the tests themselves (libvips for the pixels, Exif built byte by byte), so no
/// binary fixtures live in git. Every function throws std::runtime_error when it cannot do its job.
namespace pictora::test
{

/// A colour as 8-bit red, green, blue.
struct Rgb {
    int r = 0;
    int g = 0;
    int b = 0;
    bool operator==(const Rgb &) const = default;
};
/// How GoogleTest prints a colour.
void PrintTo(const Rgb &colour, std::ostream *os);

/// Every synthesised picture is split into four quadrants of these colours, so a corner pixel tells
/// where that corner went after a turn or a resize. Grey pictures use the quadrants' grey values.
inline constexpr Rgb kTopLeft { 200, 30, 30 };
inline constexpr Rgb kTopRight { 30, 180, 40 };
inline constexpr Rgb kBottomLeft { 40, 50, 200 };
inline constexpr Rgb kBottomRight { 235, 235, 235 };
inline constexpr int kGreyTopLeft = 40;
inline constexpr int kGreyTopRight = 100;
inline constexpr int kGreyBottomLeft = 160;
inline constexpr int kGreyBottomRight = 220;
/// In pictures with alpha the bottom-right quadrant is fully transparent; the others are opaque.
inline constexpr int kBottomRightAlpha = 0;

enum class PictureFormat {
    Jpeg, ///< JFIF, baseline, 4:2:0, quality 90
    ProgressiveJpeg,
    GreyJpeg,
    Png,
    PngAlpha,
    GreyPng,
    Png16, ///< 16 bits per sample
    Tiff,
    Gif,
    Bmp,
    Pcx,
};

/// The quadrant pattern as interleaved pixels (bands 1, 3 or 4), rows top to bottom.
[[nodiscard]] std::vector<std::uint8_t> patternPixels(int width, int height, int bands);

/// The quadrant pattern as a Picture held in memory.
[[nodiscard]] imaging::Picture patternPicture(int width, int height, int bands = 3);

/// Lossy formats move colours a little; the quadrant colours are far apart.
inline constexpr int kColourTolerance = 12;
/// Expects pixel (x, y) to be `expected`, within kColourTolerance per channel.
void expectColour(const imaging::Picture &picture, int x, int y, Rgb expected, const char *where);
/// Expects the four corners of the quadrant pattern where an upright picture has them.
void expectUpright(const imaging::Picture &picture);
/// The upright pattern stored as a camera stores it for an Exif orientation: turned the other way.
[[nodiscard]] vips::VImage storedForOrientation(int orientation, vips::VImage upright);

/// A libvips image of interleaved 8-bit pixels (bands 1 to 4), for pictures the pattern does not cover.
[[nodiscard]] vips::VImage imageOf(const std::vector<std::uint8_t> &pixels, int width, int height, int bands);
/// A JFIF JPEG of an 8-bit image with 1 or 3 bands (4:2:0 for colour), baseline unless progressive.
[[nodiscard]] std::string jpegBytes(const vips::VImage &image, int quality = 90, bool progressive = false);

/// File bytes of a width × height picture with the quadrant pattern.
[[nodiscard]] std::string encodeTestPicture(PictureFormat format, int width, int height);
void writeTestPicture(const std::string &path, PictureFormat format, int width, int height);
void writeTestPng(const std::string &path, int width, int height, bool alpha = false);

/// A JPEG as a camera writes it when exifDate or orientation is given: the Exif segment first, no
/// JFIF segment. Without either it is a plain JFIF file. width × height are the stored sides; an
/// orientation of 5 to 8 shows them swapped.
void writeTestJpeg(const std::string &path,
    int width,
    int height,
    int quality = 90,
    const std::optional<std::string> &exifDate = std::nullopt,
    const std::optional<int> &orientation = std::nullopt);

/// An APP1 Exif segment (marker included) with a Make tag, an Orientation tag when given, and a
/// DateTimeOriginal in its Exif IFD when a date ("2004:05:01 13:05:42") is given.
[[nodiscard]] std::string exifSegment(
    const std::optional<std::string> &date, const std::optional<int> &orientation);

/// The JPEG with `segment` right after its SOI marker, in place of the JFIF segment if there is one.
[[nodiscard]] std::string withFirstSegment(const std::string &jpeg, const std::string &segment);

/// A PNG signature and an IHDR chunk that claim width × height, then IEND: a header with no pixels.
[[nodiscard]] std::string pngClaimingSize(std::uint32_t width, std::uint32_t height);

/// What a JPEG's frame header (SOF) says.
struct JpegFrame {
    struct Component {
        int id = 0;
        int horizontal = 0;
        int vertical = 0;
    };
    int marker = 0; ///< 0xC0 baseline, 0xC2 progressive, ...
    int width = 0;
    int height = 0;
    std::vector<Component> components;
    /// "4:4:4", "4:2:2", "4:2:0", "4:1:1", or "?" for anything else.
    [[nodiscard]] std::string sampling() const;
};
[[nodiscard]] std::optional<JpegFrame> readJpegFrame(const std::string &bytes);

/// Sets a file's last-write time to a local date and time.
void setLocalFileTime(
    const std::string &path, int year, int month, int day, int hour, int minute, int second);

/// How many file descriptors this process has open.
[[nodiscard]] int openFileCount();

} // namespace pictora::test
