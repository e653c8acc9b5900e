// SPDX-License-Identifier: MIT
#pragma once

#include "generate/layout.h"

#include <string>
#include <vector>

namespace pictora::album
{
class AlbumSettings;
struct ImageEntry;
} // namespace pictora::album

namespace pictora::generate
{

/// The picture page of picture i: the main picture at its size in `sizes`, its comment and time
/// stamp as the options ask, and previous / back to the cover / next bars (the first picture's
/// "previous" is the last one, the last's "next" the first).
[[nodiscard]] std::string picturePageText(const AlbumLayout &layout,
    const album::AlbumSettings &settings,
    const std::vector<album::ImageEntry> &entries,
    const PictureSizes &sizes,
    int i);

/// The slideshow page of picture i: like its picture page without previous and next, moving on to
/// the next slideshow page after the slide time, and from the last picture back to the cover.
[[nodiscard]] std::string slidePageText(const AlbumLayout &layout,
    const album::AlbumSettings &settings,
    const std::vector<album::ImageEntry> &entries,
    const PictureSizes &sizes,
    int i);

/// Writes the cover page and, picture by picture before that picture's cell, its picture page and
/// (when slideshows are made) its slideshow page; the pictures' pages on `workers` threads. `sizes`
/// holds one row per entry. A column count of 0 is taken as 1. With no entries the cover is still
/// written. Each file is written whole or not at all, and one that already holds its text is left
/// as it is; the cover is put in place last. Throws base::UserError naming the first file, in list
/// order, that cannot be written (the pages written before it stay).
void writePages(const AlbumLayout &layout,
    const album::AlbumSettings &settings,
    const std::vector<album::ImageEntry> &entries,
    const PictureSizes &sizes,
    const RunValues &values,
    int workers = 1);

} // namespace pictora::generate
