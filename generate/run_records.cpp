// SPDX-License-Identifier: MIT
#include "generate/run_records.h"

namespace pictora::generate
{

std::string madeMainName(std::size_t i)
{
    return "images/" + AlbumLayout::mainPictureName(static_cast<int>(i));
}

std::string madeThumbnailName(std::size_t i)
{
    return "thumb/" + AlbumLayout::thumbnailName(static_cast<int>(i));
}

RunRecords::RunRecords(const std::string &cacheFolder,
    const AlbumLayout &layout,
    const ConversionOptions &options,
    bool encodeAll)
    : m_layout(layout)
    , m_options(options)
    , m_sizes(cacheFolder)
    , m_plan(decodePlan(options))
{
    if (options.writeFiles) {
        m_made.emplace(cacheFolder, layout.folder());
        m_reuse = !encodeAll;
        m_mainRecipe = mainPictureRecipe(options);
        m_thumbRecipe = thumbnailRecipe(options);
    }
}

std::optional<PictureOutcome> RunRecords::remembered(const std::string &path, const FileStamp &stamp) const
{
    if (m_options.writeFiles)
        return std::nullopt;
    const std::optional<KnownPicture> known = m_sizes.find(path, m_plan, stamp);
    return known ? std::optional<PictureOutcome>(outcomeFor(*known, m_options)) : std::nullopt;
}

HeldPicture RunRecords::held(std::size_t i, const std::string &source, const FileStamp &stamp) const
{
    HeldPicture h;
    if (!m_reuse)
        return h;
    const int index = static_cast<int>(i);
    h.mainCurrent = m_options.useOriginal
        || m_made->current(madeMainName(i), m_layout.mainPicturePath(index), source, stamp, m_mainRecipe);
    // A thumbnail is made from its main picture: a main picture made again makes it again.
    if (h.mainCurrent)
        h.thumbnail = m_made->current(
            madeThumbnailName(i), m_layout.thumbnailPath(index), source, stamp, m_thumbRecipe);
    return h;
}

void RunRecords::record(std::size_t i, const std::string &path, const ConvertedPicture &picture)
{
    const PictureOutcome &outcome = picture.outcome;
    // An oversize target says nothing about the source.
    if (!picture.stamp || outcome.oversize)
        return;
    m_sizes.remember(
        path, m_plan, *picture.stamp, { !outcome.unreadable, outcome.sourceWidth, outcome.sourceHeight });
    auto made = [&](const std::string &name, const FileStamp &output, const std::string &recipe) {
        m_made->remember(i,
            name,
            { output, picture.source, *picture.stamp, recipe, outcome.sourceWidth, outcome.sourceHeight });
    };
    if (picture.mainWritten)
        made(madeMainName(i), *picture.mainWritten, m_mainRecipe);
    if (picture.thumbWritten)
        made(madeThumbnailName(i), *picture.thumbWritten, m_thumbRecipe);
}

void RunRecords::save()
{
    (void)m_sizes.save();
    if (m_made)
        (void)m_made->save();
}

} // namespace pictora::generate
