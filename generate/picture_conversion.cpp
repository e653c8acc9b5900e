// SPDX-License-Identifier: MIT
#include "generate/picture_conversion.h"

#include "album/settings.h"

#include <algorithm>
#include <cstdio>

namespace pictora::generate
{

using album::OptionId;

namespace
{

int truncated(double value)
{
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
    return imaging::saveJpeg(picture, path, options.quality, options.sampling, &error);
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
    return o;
}

FittedSize fitSize(double width, double height, double targetX, double targetY, bool longSide)
{
    const bool byWidth = longSide ? width > height : width < height;
    if (byWidth)
        return { targetX, height * targetX / width };
    return { width * targetY / height, targetY };
}

PictureOutcome convertPicture(
    const std::string &sourcePath, int index, const AlbumLayout &layout, const ConversionOptions &options)
{
    PictureOutcome out;
    // An unreadable picture keeps W0 = H0 = 0 for its message; its pages show it at the target sizes.
    auto unreadable = [&] {
        out.unreadable = true;
        out.workingWidth = 0;
        out.workingHeight = 0;
        out.sizes = { truncated(options.mainX),
            truncated(options.mainY),
            truncated(options.thumbX),
            truncated(options.thumbY) };
        return out;
    };

    const imaging::PictureInfo info = imaging::probe(sourcePath);
    if (!info.valid())
        return unreadable();
    double w0 = info.width;
    double h0 = info.height;
    const FittedSize main = fitSize(w0, h0, options.mainX, options.mainY, options.mainLongSide);
    out.sizes.mainWidth = truncated(main.width);
    out.sizes.mainHeight = truncated(main.height);

    imaging::Picture held;
    if (!options.useOriginal) {
        if (options.resizeMain) {
            held = imaging::loadResized(sourcePath, atLeastOne(main.width), atLeastOne(main.height));
            w0 = main.width;
            h0 = main.height;
        } else {
            held = imaging::load(sourcePath);
        }
        if (held.empty())
            return unreadable();
        if (held.bitsPerPixel() != 24) {
            imaging::Picture converted;
            if (imaging::ConvertColor(held, converted))
                held = std::move(converted);
        }
        if (!save(held, layout.mainPicturePath(index), options, out.writeError))
            return out;
    }

    const FittedSize thumb = fitSize(w0, h0, options.thumbX, options.thumbY, options.thumbLongSide);
    out.sizes.thumbWidth = truncated(thumb.width);
    out.sizes.thumbHeight = truncated(thumb.height);
    out.workingWidth = truncated(w0);
    out.workingHeight = truncated(h0);

    imaging::Picture thumbnail;
    if (options.useOriginal) {
        // The thumbnail comes from the source as loaded; decoding straight at its size is the same.
        thumbnail = imaging::loadResized(sourcePath, atLeastOne(thumb.width), atLeastOne(thumb.height));
        if (thumbnail.empty())
            return unreadable();
    } else if (!imaging::Resize(held, thumbnail, atLeastOne(thumb.width), atLeastOne(thumb.height))) {
        out.writeError = layout.thumbnailPath(index) + "\nを作成できません。";
        return out;
    }
    save(thumbnail, layout.thumbnailPath(index), options, out.writeError);
    return out;
}

std::string unreadableMessage(int index, const PictureOutcome &outcome)
{
    return AlbumLayout::mainPictureName(index) + "\nimageX : " + std::to_string(outcome.workingWidth)
        + "\nimageY : " + std::to_string(outcome.workingHeight);
}

bool convertBackground(const std::string &backgroundPath,
    const AlbumLayout &layout,
    const ConversionOptions &options,
    std::string *error)
{
    imaging::Picture picture = imaging::load(backgroundPath);
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
    return imaging::saveJpeg(picture, layout.backgroundPath(), options.quality, options.sampling, error);
}

} // namespace pictora::generate
