// SPDX-License-Identifier: MIT
#include "generate/picture_conversion.h"

#include "album/settings.h"
#include "base/errors.h"
#include "generate/text_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace pictora::generate
{

using album::OptionId;

namespace
{

/// Toward zero, as the size table stores sizes; sizes beyond an int (a size option of 1e10) stop at
/// its limits and a size that is no number (0 ÷ 0) is 0.
int truncated(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (value <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(value);
}

// Pixel operations need at least one pixel, even where the table truncates a side to 0.
int atLeastOne(double value)
{
    return std::max(1, truncated(value));
}

bool save(const imaging::Picture &picture,
    const std::string &path,
    const ConversionOptions &options,
    std::string &error)
{
    if (!options.writeFiles)
        return true;
    return imaging::saveJpeg(picture, path, options.quality, options.sampling, &error, {}, kAlbumFile);
}

bool save(const imaging::JpegPlanes &planes,
    const std::string &path,
    const ConversionOptions &options,
    std::string &error)
{
    if (!options.writeFiles)
        return true;
    return imaging::saveJpeg(planes, path, options.quality, &error, kAlbumFile);
}

/// The main picture is written in 24-bit colour.
imaging::Picture fullColour(imaging::Picture held)
{
    if (held.bitsPerPixel() != 24) {
        imaging::Picture converted;
        if (imaging::ConvertColor(held, converted))
            return converted;
    }
    return held;
}

/// Planes are written in full colour as they are.
imaging::JpegPlanes fullColour(imaging::JpegPlanes held)
{
    return held;
}

} // namespace

ConversionOptions conversionOptions(const album::AlbumSettings &settings, const RunValues &values)
{
    ConversionOptions o;
    o.mainX = values.mainX;
    o.mainY = values.mainY;
    o.thumbX = values.thumbX;
    o.thumbY = values.thumbY;
    o.mainLongSide = settings.number(OptionId::rbLmain) == 0;
    o.thumbLongSide = settings.number(OptionId::rbL) == 0;
    o.resizeMain = settings.checked(OptionId::cbTransMain);
    o.useOriginal = settings.checked(OptionId::cbMainOrigin);
    o.quality = settings.number(OptionId::qJPEG);
    o.sampling = imaging::samplingFromText(settings.text(OptionId::cbJPEGc));
    o.density = settings.number(OptionId::csDensity);
    return o;
}

FittedSize fitSize(double width, double height, double targetX, double targetY, bool longSide)
{
    const bool byWidth = longSide ? width > height : width < height;
    if (byWidth)
        return { targetX, height * targetX / width };
    return { width * targetY / height, targetY };
}

std::optional<FittedSize> pageSize(const album::AlbumSettings &settings, double width, double height)
{
    try {
        const RunValues values = fixRunValues(settings);
        return fitSize(width, height, values.mainX, values.mainY, settings.number(OptionId::rbLmain) == 0);
    } catch (const base::ConversionError &) {
        return std::nullopt;
    }
}

namespace
{

/// The sizes of the picture step for a source of upright size width × height.
struct SizePlan {
    FittedSize main; ///< the sizes the pages show
    FittedSize thumb;
    FittedSize mainPixels; ///< the sizes encoded: the shown ones times the density
    FittedSize thumbPixels;
    double w0 = 0; ///< the working size the thumbnail is fitted from
    double h0 = 0;
    bool zeroWorkingSize = false; ///< W0 or H0 is 0: the thumbnail keeps the size as given
};

/// A shown size times the density, but no more pixels than the source holds: enlarging past it
/// costs bytes and sharpens nothing. Never less than the shown size.
FittedSize denser(const FittedSize &shown, int density, double sourceWidth)
{
    double factor = density;
    if (shown.width > 0 && shown.width * factor > sourceWidth)
        factor = std::max(1.0, sourceWidth / shown.width);
    return { shown.width * factor, shown.height * factor };
}

SizePlan planSizes(double width, double height, const ConversionOptions &options)
{
    SizePlan plan;
    plan.main = fitSize(width, height, options.mainX, options.mainY, options.mainLongSide);
    // Scaled main pictures give the thumbnail their own (untruncated) size; otherwise the source's.
    const bool scaled = !options.useOriginal && options.resizeMain;
    plan.w0 = scaled ? plan.main.width : width;
    plan.h0 = scaled ? plan.main.height : height;
    // A main size of 0 leaves nothing to fit the thumbnail from (0 ÷ 0).
    plan.zeroWorkingSize = plan.w0 == 0 || plan.h0 == 0;
    plan.thumb = plan.zeroWorkingSize
        ? FittedSize { options.thumbX, options.thumbY }
        : fitSize(plan.w0, plan.h0, options.thumbX, options.thumbY, options.thumbLongSide);
    plan.mainPixels = options.density > 1 ? denser(plan.main, options.density, width) : plan.main;
    plan.thumbPixels = options.density > 1 ? denser(plan.thumb, options.density, width) : plan.thumb;
    return plan;
}

imaging::TargetSize targetOf(const FittedSize &size)
{
    return { atLeastOne(size.width), atLeastOne(size.height) };
}

/// An unreadable picture keeps W0 = H0 = 0 for its message; its pages show it at the target sizes.
PictureOutcome unreadableOutcome(const ConversionOptions &options)
{
    PictureOutcome out;
    out.unreadable = true;
    out.sizes = { truncated(options.mainX),
        truncated(options.mainY),
        truncated(options.thumbX),
        truncated(options.thumbY) };
    return out;
}

PictureOutcome readableOutcome(const imaging::PictureInfo &source, const SizePlan &plan)
{
    PictureOutcome out;
    out.sizes = { truncated(plan.main.width),
        truncated(plan.main.height),
        truncated(plan.thumb.width),
        truncated(plan.thumb.height) };
    out.workingWidth = truncated(plan.w0);
    out.workingHeight = truncated(plan.h0);
    out.zeroWorkingSize = plan.zeroWorkingSize;
    out.sourceWidth = source.width;
    out.sourceHeight = source.height;
    return out;
}

/// The target the picture step decodes a source at: the thumbnail's when the source itself is the
/// main picture, the main picture's when that is scaled, none (whole) otherwise.
imaging::TargetFor decodeTarget(const ConversionOptions &options)
{
    if (options.useOriginal)
        return [&options](const imaging::PictureInfo &header) {
            return targetOf(planSizes(header.width, header.height, options).thumbPixels);
        };
    if (options.resizeMain)
        return [&options](const imaging::PictureInfo &header) {
            return targetOf(planSizes(header.width, header.height, options).mainPixels);
        };
    return {};
}

/// The decode target of the options, remembering the last size it asked for, so that a load that
/// failed because that size cannot be held is told as such. The caller hears of it before decoding.
struct RecordedTarget {
    imaging::TargetFor target;
    std::optional<imaging::TargetSize> asked;
    bool thumbnail = false; ///< the target is the thumbnail's
    BeforeDecode before;

    RecordedTarget(const ConversionOptions &options, BeforeDecode beforeDecode)
        : thumbnail(options.useOriginal)
        , before(std::move(beforeDecode))
    {
        if (imaging::TargetFor inner = decodeTarget(options)) {
            target = [this, inner = std::move(inner)](const imaging::PictureInfo &header) {
                asked = inner(header);
                if (before)
                    before(header, asked);
                return *asked;
            };
        }
    }
    RecordedTarget(const RecordedTarget &) = delete;
    RecordedTarget &operator=(const RecordedTarget &) = delete;

    [[nodiscard]] bool askedTooMuch() const
    {
        return asked && !imaging::sizeCanBeHeld(asked->width, asked->height);
    }
};

/// A good picture whose target size cannot be held: its pages show it at the sizes as given.
PictureOutcome oversizeOutcome(
    const ConversionOptions &options, bool thumbnail, const imaging::TargetSize &size)
{
    PictureOutcome out = unreadableOutcome(options);
    out.unreadable = false;
    out.oversize = PictureOutcome::Oversize { thumbnail, size.width, size.height };
    return out;
}

} // namespace

namespace
{

/// Steps 3 to 6 for a source decoded at the size it needs (`held`), either kind of picture.
template <typename Held>
PictureOutcome writePictures(Held held,
    const imaging::PictureInfo &source,
    int index,
    const AlbumLayout &layout,
    const ConversionOptions &options,
    bool writeMain)
{
    const SizePlan plan = planSizes(source.width, source.height, options);
    PictureOutcome out = readableOutcome(source, plan);

    // The thumbnail comes from the source as loaded when that is the main picture: decoding straight
    // at its size is the same.
    Held thumbnail = held;
    if (!options.useOriginal) {
        held = fullColour(std::move(held));
        if (writeMain && !save(held, layout.mainPicturePath(index), options, out.writeError))
            return out;
        const imaging::TargetSize thumbSize = targetOf(plan.thumbPixels);
        if (!imaging::sizeCanBeHeld(thumbSize.width, thumbSize.height)) {
            out.oversize = PictureOutcome::Oversize { true, thumbSize.width, thumbSize.height };
            return out;
        }
        if (!imaging::Resize(held, thumbnail, thumbSize.width, thumbSize.height)) {
            out.writeError = layout.thumbnailPath(index) + "\nを作成できません。";
            return out;
        }
    }
    save(thumbnail, layout.thumbnailPath(index), options, out.writeError);
    return out;
}

} // namespace

std::size_t decodeBytes(const imaging::PictureInfo &header, const std::optional<imaging::TargetSize> &target)
{
    const double source = static_cast<double>(header.width) * header.height;
    double bytes = 0;
    if (!target) {
        // The pixels, their RGB copy for the encoder and the encoder's output buffer.
        bytes = source * 8.5;
    } else {
        // A decoder at a reduced scale holds at most about four times the target (twice each side),
        // or a sixty-fourth of the source at its smallest scale; then the target and its encoding.
        const double fitted = static_cast<double>(target->width) * target->height;
        bytes = std::min(source, 4 * fitted + source / 64) * 4 + fitted * 8;
    }
    // A size no picture can be held at fails before decoding; it only must not overflow here.
    return static_cast<std::size_t>(std::min(bytes, 1e15));
}

PictureOutcome convertPicture(const std::string &sourcePath,
    int index,
    const AlbumLayout &layout,
    const ConversionOptions &options,
    bool writeMain,
    const BeforeDecode &beforeDecode)
{
    // Each path decodes the source once, at the size it needs; the header gives the sizes first.
    imaging::PictureInfo source;
    RecordedTarget recorded(options, beforeDecode);
    const imaging::TargetFor &target = recorded.target;
    if (target) {
        // A plain JPEG stays in its planes from decoder to encoder; anything else, or any trouble,
        // takes the general way, which also tells an unreadable source.
        imaging::JpegPlanes planes = imaging::loadPlanesFitted(sourcePath, target, options.sampling, &source);
        if (!planes.empty())
            return writePictures(std::move(planes), source, index, layout, options, writeMain);
    }
    imaging::Picture held;
    std::string reason;
    if (target) {
        held = imaging::loadFitted(sourcePath, target, &source, &reason);
    } else {
        if (beforeDecode) {
            if (const imaging::PictureInfo header = imaging::probe(sourcePath); header.valid())
                beforeDecode(header, std::nullopt);
        }
        held = imaging::load(sourcePath, &reason);
        source = { held.width(), held.height(), held.bitsPerPixel() };
    }
    if (held.empty()) {
        if (recorded.askedTooMuch())
            return oversizeOutcome(options, recorded.thumbnail, *recorded.asked);
        PictureOutcome out = unreadableOutcome(options);
        out.unreadableReason = std::move(reason);
        return out;
    }
    return writePictures(std::move(held), source, index, layout, options, writeMain);
}

PictureOutcome outcomeFor(const KnownPicture &known, const ConversionOptions &options)
{
    if (!known.readable || known.width <= 0 || known.height <= 0)
        return unreadableOutcome(options);
    const imaging::PictureInfo source { known.width, known.height, 0 };
    return readableOutcome(source, planSizes(known.width, known.height, options));
}

PictureOutcome checkPicture(const std::string &sourcePath, const ConversionOptions &options)
{
    RecordedTarget recorded(options, {});
    std::string reason;
    const imaging::PictureInfo source = imaging::checkLoads(sourcePath, recorded.target, &reason);
    if (!source.valid() && recorded.askedTooMuch())
        return oversizeOutcome(options, recorded.thumbnail, *recorded.asked);
    PictureOutcome out = outcomeFor({ source.valid(), source.width, source.height }, options);
    if (out.unreadable)
        out.unreadableReason = std::move(reason);
    return out;
}

std::string decodePlan(const ConversionOptions &options)
{
    // A density of 1 names nothing, so that what earlier makes recorded still matches.
    auto fit = [&options](const char *what, double x, double y, bool longSide) {
        char text[128];
        std::snprintf(text, sizeof text, "%s %.17g %.17g %s", what, x, y, longSide ? "long" : "short");
        return std::string(text) + (options.density > 1 ? " density " + std::to_string(options.density) : "");
    };
    if (options.useOriginal)
        return fit("thumb", options.thumbX, options.thumbY, options.thumbLongSide);
    if (options.resizeMain)
        return fit("main", options.mainX, options.mainY, options.mainLongSide);
    return "whole";
}

std::string mainPictureRecipe(const ConversionOptions &options)
{
    // The decode plan names the sizes and fit side when the pixels are scaled, "whole" otherwise.
    ConversionOptions main = options;
    main.useOriginal = false;
    char text[160];
    std::snprintf(text,
        sizeof text,
        "%s, quality %d, sampling %d, code %s",
        decodePlan(main).c_str(),
        options.quality,
        static_cast<int>(options.sampling),
        imaging::codeIdentity().c_str());
    return text;
}

std::string thumbnailRecipe(const ConversionOptions &options)
{
    char text[160];
    std::snprintf(text,
        sizeof text,
        "thumb %.17g %.17g %s%s of ",
        options.thumbX,
        options.thumbY,
        options.thumbLongSide ? "long" : "short",
        options.density > 1 ? (" density " + std::to_string(options.density)).c_str() : "");
    if (options.useOriginal) {
        // Made from the source decoded straight at the thumbnail's size.
        char source[96];
        std::snprintf(source,
            sizeof source,
            "the source, quality %d, sampling %d, code %s",
            options.quality,
            static_cast<int>(options.sampling),
            imaging::codeIdentity().c_str());
        return text + std::string(source);
    }
    return text + mainPictureRecipe(options);
}

std::string unreadableMessage(int index, const PictureOutcome &outcome)
{
    if (outcome.oversize) {
        return AlbumLayout::mainPictureName(index) + "\n"
            + (outcome.oversize->thumbnail ? "サムネイル" : "メイン画像") + "のサイズ "
            + std::to_string(outcome.oversize->width) + " x " + std::to_string(outcome.oversize->height)
            + " が大きすぎます。\n一辺 65535 以下、合わせて 1 "
              "億画素以下になるサイズを指定してください。(画像オプション)";
    }
    return AlbumLayout::mainPictureName(index) + "\nimageX : " + std::to_string(outcome.workingWidth)
        + "\nimageY : " + std::to_string(outcome.workingHeight);
}

std::string unreadableDetails(const std::string &sourcePath)
{
    return "元の画像: " + sourcePath;
}

bool convertBackground(const std::string &backgroundPath,
    const AlbumLayout &layout,
    const ConversionOptions &options,
    std::string *error,
    std::string *reason)
{
    imaging::Picture picture = imaging::load(backgroundPath, reason);
    if (picture.empty()) {
        if (error)
            *error = backgroundPath + "\nを背景画像として読み込めません。";
        return false;
    }
    if (picture.bitsPerPixel() != 24) {
        imaging::Picture converted;
        if (imaging::ConvertColor(picture, converted))
            picture = std::move(converted);
    }
    std::string writeError;
    if (!imaging::saveJpeg(
            picture, layout.backgroundPath(), options.quality, options.sampling, &writeError, {}, kAlbumFile))
        throw base::UserError(writeError);
    return true;
}

} // namespace pictora::generate
