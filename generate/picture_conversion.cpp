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

    // Each path decodes the source once, at the size it needs; the header gives the sizes first.
    imaging::PictureInfo source;
    FittedSize main;
    FittedSize thumb;
    auto fitMain = [&](const imaging::PictureInfo &header) {
        main = fitSize(header.width, header.height, options.mainX, options.mainY, options.mainLongSide);
        return imaging::TargetSize { atLeastOne(main.width), atLeastOne(main.height) };
    };
    auto fitThumb = [&](double width, double height) {
        thumb = fitSize(width, height, options.thumbX, options.thumbY, options.thumbLongSide);
        return imaging::TargetSize { atLeastOne(thumb.width), atLeastOne(thumb.height) };
    };

    imaging::Picture held;
    imaging::Picture thumbnail;
    double w0 = 0;
    double h0 = 0;
    if (options.useOriginal) {
        // The thumbnail comes from the source as loaded; decoding straight at its size is the same.
        thumbnail = imaging::loadFitted(
            sourcePath,
            [&](const imaging::PictureInfo &header) {
                fitMain(header);
                return fitThumb(header.width, header.height);
            },
            &source);
        if (thumbnail.empty())
            return unreadable();
        w0 = source.width;
        h0 = source.height;
    } else {
        if (options.resizeMain) {
            held = imaging::loadFitted(sourcePath, fitMain, &source);
            w0 = main.width;
            h0 = main.height;
        } else {
            held = imaging::load(sourcePath);
            if (held.empty())
                return unreadable();
            source = { held.width(), held.height(), held.bitsPerPixel() };
            fitMain(source);
            w0 = source.width;
            h0 = source.height;
        }
        if (held.empty())
            return unreadable();
        if (held.bitsPerPixel() != 24) {
            imaging::Picture converted;
            if (imaging::ConvertColor(held, converted))
                held = std::move(converted);
        }
        const imaging::TargetSize thumbSize = fitThumb(w0, h0);
        if (!save(held, layout.mainPicturePath(index), options, out.writeError))
            return out;
        if (!imaging::Resize(held, thumbnail, thumbSize.width, thumbSize.height)) {
            out.writeError = layout.thumbnailPath(index) + "\nを作成できません。";
            return out;
        }
    }

    out.sizes
        = { truncated(main.width), truncated(main.height), truncated(thumb.width), truncated(thumb.height) };
    out.workingWidth = truncated(w0);
    out.workingHeight = truncated(h0);
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
