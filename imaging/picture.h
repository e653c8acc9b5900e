// SPDX-License-Identifier: MIT
#pragma once

#include "base/file_io.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace pictora::imaging
{

/// Reports the progress of a long operation, 0 to 100.
using ProgressCallback = std::function<void(int percent)>;

/// What a file's header tells without decoding its pixels. All zero when the file is not a
/// picture this program can read.
struct PictureInfo {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;
    [[nodiscard]] bool valid() const { return width > 0 && height > 0; }
};

/// A decoded picture held in memory, upright (Exif orientation applied) and in sRGB.
/// A value type: copies share the pixels, which are never changed in place, and the memory goes
/// with the last copy. A default-constructed Picture is "no picture": width and height 0.
/// Every function of this layer may run on several threads at once, and a Picture may be read
/// from several threads at once.
class Picture
{
public:
    Picture();
    ~Picture();
    Picture(const Picture &);
    Picture &operator=(const Picture &);
    Picture(Picture &&) noexcept;
    Picture &operator=(Picture &&) noexcept;

    [[nodiscard]] bool empty() const;
    [[nodiscard]] int width() const;
    [[nodiscard]] int height() const;
    /// 8 for grey, 24 for RGB, 32 for RGB with alpha (as the source decoded). GIF is always 32;
    /// 16-bit samples are read as 8 bits; grey with alpha becomes RGB with alpha (32).
    [[nodiscard]] int bitsPerPixel() const;

    /// Pixel access for tests and the preview: channel c (0 = red) of pixel (x, y), 0 outside.
    /// A grey picture answers its grey for channels 0 to 2; channel 3 is alpha (255 without alpha).
    [[nodiscard]] int sample(int x, int y, int channel) const;

    /// All pixels, rows top to bottom, bitsPerPixel() / 8 bytes per pixel (grey; R G B; R G B A).
    [[nodiscard]] std::vector<std::uint8_t> pixels() const;
    /// All pixels as 8-bit R G B, converted as ConvertColor does; what saveJpeg writes and the preview shows.
    [[nodiscard]] std::vector<std::uint8_t> rgbPixels() const;
    /// A picture made of given pixels (bands 1, 3 or 4, laid out as pixels() returns them); empty when
    /// the size or the band count is not sane.
    [[nodiscard]] static Picture fromPixels(int width, int height, int bands, const std::uint8_t *pixels);

    struct Impl;
    explicit Picture(std::shared_ptr<Impl> impl);
    [[nodiscard]] const std::shared_ptr<Impl> &impl() const { return m_impl; }

private:
    std::shared_ptr<Impl> m_impl;
};

/// A rectangle in picture pixels.
struct Region {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

/// The region that covers the whole picture.
[[nodiscard]] Region wholeRegion(const Picture &picture);

/// Chroma subsampling of a written JPEG.
enum class Sampling { S411, S422, S444 };

/// "4:1:1" → S411, "4:4:4" → S444, anything else → S422.
[[nodiscard]] Sampling samplingFromText(const std::string &text);

/// Reads the header only (cheap): the upright size, also of a picture too large to be held
/// (sizeCanBeHeld tells). Never throws.
[[nodiscard]] PictureInfo probe(const std::string &path);

/// Decodes a whole picture. Any failure (missing, empty, truncated, not a picture, absurd size)
/// gives an empty Picture. Never throws.
[[nodiscard]] Picture load(const std::string &path);
/// The same; when the result is empty, *reason says why: the path, ": " and the cause (in the
/// decoder's words, for the command line and logs rather than a message box).
[[nodiscard]] Picture load(const std::string &path, std::string *reason);

/// Decodes a picture and resizes it to exactly width × height. When the target is at most half
/// the source, a JPEG is decoded at a reduced DCT scale first (shrink-on-load); then only what is
/// held at that scale must be within the size limit, so a JPEG too large to load whole may still
/// load here. Empty on failure.
[[nodiscard]] Picture loadResized(const std::string &path, int width, int height);
[[nodiscard]] Picture loadResized(const std::string &path, int width, int height, std::string *reason);

/// A target size worked out from a picture's header (upright width and height).
struct TargetSize {
    int width = 0;
    int height = 0;
};
using TargetFor = std::function<TargetSize(const PictureInfo &header)>;

/// Whether a picture of this size may be held: both sides from 1 to 65535 and at most 100
/// megapixels. Loads at a larger target fail.
[[nodiscard]] bool sizeCanBeHeld(long long width, long long height);

/// Whether a picture that failed to load since the last call failed for want of memory (a decoder
/// or its module could not be given it) rather than for its file; the shortage is then cleared.
[[nodiscard]] bool memoryRanShort();

/// The size that shows a picture whole inside a box of boxWidth × boxHeight, keeping its shape and
/// never enlarging it (an enlarged view would only blur); each side rounded to the nearest pixel and
/// at least one. 0 × 0 when the header or the box is empty.
[[nodiscard]] TargetSize fitInside(const PictureInfo &header, int boxWidth, int boxHeight);

/// loadResized for a target that depends on the picture: reads the header once, gives it to
/// `targetFor` (and to *header when given; all zero when the file is no readable picture), then
/// decodes at that size. Empty on failure, with *reason as load gives it.
[[nodiscard]] Picture loadFitted(const std::string &path,
    const TargetFor &targetFor,
    PictureInfo *header = nullptr,
    std::string *reason = nullptr);

/// A picture held as the planes a JPEG is coded in: luma and two chroma planes at a chroma sampling.
/// A JPEG decodes to them at its DCT scale and the encoder takes them as they are, so a picture that is
/// only resized and written as JPEG needs no colour conversion or chroma resampling either way. The
/// pixels are in the source's YCbCr, as its decoder gives them, upright. A value type like Picture.
class JpegPlanes
{
public:
    JpegPlanes();
    ~JpegPlanes();
    JpegPlanes(const JpegPlanes &);
    JpegPlanes &operator=(const JpegPlanes &);
    JpegPlanes(JpegPlanes &&) noexcept;
    JpegPlanes &operator=(JpegPlanes &&) noexcept;

    [[nodiscard]] bool empty() const;
    [[nodiscard]] int width() const;
    [[nodiscard]] int height() const;
    [[nodiscard]] Sampling sampling() const;

    struct Impl;
    explicit JpegPlanes(std::shared_ptr<const Impl> impl);
    [[nodiscard]] const std::shared_ptr<const Impl> &impl() const { return m_impl; }

private:
    std::shared_ptr<const Impl> m_impl;
};

/// loadFitted for a picture that is only to be resized and written as JPEG with `sampling`: a plain
/// JPEG (YCbCr or grey, no colour profile) is decoded at its DCT scale into planes and resampled
/// plane by plane to the target. Empty for any other source, and for any failure: loadFitted then
/// gives the picture, or tells that there is none. *header as loadFitted gives it, when not empty.
[[nodiscard]] JpegPlanes loadPlanesFitted(
    const std::string &path, const TargetFor &targetFor, Sampling sampling, PictureInfo *header = nullptr);

/// Whether loadFitted (or load, when `targetFor` is empty) would give a picture, found at a fraction
/// of the cost: the same checks, then the pixels decoded at the smallest scale the format allows
/// and dropped. Gives the upright size the header tells; all zero when that load would fail, with
/// *reason as load gives it.
[[nodiscard]] PictureInfo checkLoads(
    const std::string &path, const TargetFor &targetFor = {}, std::string *reason = nullptr);

// Operations below leave their input unchanged and write their result to `out`; they return
// false (leaving `out` empty) on failure and never throw. `in` and `out` may be the same object.
// Region effects clip the region to the picture and fail when nothing of it is left; pixels
// outside the region keep their exact values (a grey picture becomes RGB where colour is needed).

/// Scales to exactly width × height (enlargement allowed).
bool Resize(const Picture &in, Picture &out, int width, int height);
/// Converts to 24-bit RGB; transparency is flattened onto white, grey becomes RGB.
bool ConvertColor(const Picture &in, Picture &out);
/// Turns by quarter turns; angle in hundredths of a degree, positive turns left (9000 = a quarter turn).
bool Rotation(const Picture &in, Picture &out, int angle);
/// The side of a mosaic's blocks where the picture is shown at its own size.
inline constexpr int kMosaicBlock = 10;
/// The side of a mosaic's blocks, in picture pixels, that keeps every block at least kMosaicBlock
/// pixels wide where the picture is shown at `smallestScale` (shown pixels per picture pixel): on a
/// photo shown much smaller, 10-pixel blocks would shrink to a pixel or two and hide nothing.
[[nodiscard]] int mosaicBlockFor(double smallestScale);
/// block × block squares inside the region, each filled with its mean colour.
bool Mosaic(const Picture &in, Picture &out, const Region &region, int block = kMosaicBlock);
/// Median filter with a level × level window inside the region (level 1 to 99; an even level
/// takes the next odd window, which has a centre).
bool RemoveNoise(
    const Picture &in, Picture &out, const Region &region, int level, const ProgressCallback &progress = {});
/// Emboss inside the region: a grey relief lit from the top left, flat areas mid grey (128).
bool Emboss(const Picture &in, Picture &out, const Region &region);
/// Grey scale (kept as three channels).
bool SetGray(const Picture &in, Picture &out, const Region &region, const ProgressCallback &progress = {});
/// Adds the given amounts to red, green and blue inside the region, clamped to 0..255.
bool RGBLevel(const Picture &in,
    Picture &out,
    const Region &region,
    int red,
    int green,
    int blue,
    const ProgressCallback &progress = {});
/// SetGray, then RGBLevel(+10, −10, −35): the sepia tint.
bool Sepia(const Picture &in, Picture &out, const Region &region, const ProgressCallback &progress = {});

/// Resize for planes: each plane scaled to exactly what width × height needs at the same sampling.
bool Resize(const JpegPlanes &in, JpegPlanes &out, int width, int height);

/// Writes a 24-bit baseline JPEG through TurboJPEG with exactly this quality (0–100) and sampling.
/// Written through base::AtomicFile, so a failure leaves no half-written file. On failure returns
/// false and puts the message "<path>\nに書き込めません。\n(<reason>)" into *error when given.
bool saveJpeg(const Picture &picture,
    const std::string &path,
    int quality,
    Sampling sampling,
    std::string *error = nullptr,
    const ProgressCallback &progress = {},
    const base::AtomicFileOptions &file = {});

/// saveJpeg for planes: the planes' sampling, no colour conversion.
bool saveJpeg(const JpegPlanes &planes,
    const std::string &path,
    int quality,
    std::string *error = nullptr,
    const base::AtomicFileOptions &file = {});

/// Names the code that decides the bytes of a written picture: this program, its JPEG library, its
/// general decoder and libvips, by their files' stamps. Another build or an upgraded library gives
/// another name, so that pictures written before are never taken for what this code writes.
[[nodiscard]] const std::string &codeIdentity();

/// Initialises libvips once per process (safe to call many times, from any thread). Every function
/// here calls it, so callers need not.
void initialise();

/// Threads libvips may use inside one operation, for the whole process (0 = one per core). The
/// default is 1, because album runs already convert one picture per core; a front end that works on
/// one picture at a time may raise it.
void setThreadsPerOperation(int threads);

} // namespace pictora::imaging
