// SPDX-License-Identifier: MIT
#include "generate/layout.h"

#include "album/conversions.h"
#include "album/settings.h"

#include <cstdio>
#include <filesystem>

namespace pictora::generate
{

namespace
{

using album::OptionId;

std::string alignmentWord(int choice)
{
    switch (choice) {
    case 0:
        return "left";
    case 1:
        return "center";
    case 2:
        return "right";
    default:
        return {};
    }
}

} // namespace

std::string pictureNumber(int i)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%04d", i);
    return buffer;
}

RunValues fixRunValues(const album::AlbumSettings &settings)
{
    RunValues values;
    values.titleAlign = alignmentWord(settings.number(OptionId::rbTL));
    values.commentAlign = alignmentWord(settings.number(OptionId::rbCL));
    values.thumbX = album::toDouble(settings.text(OptionId::edThumbX));
    values.thumbY = album::toDouble(settings.text(OptionId::edThumbY));
    values.mainX = album::toDouble(settings.text(OptionId::edMainX));
    values.mainY = album::toDouble(settings.text(OptionId::edMainY));
    return values;
}

bool hasBackgroundPicture(const album::AlbumSettings &settings)
{
    const std::string &path = settings.text(OptionId::edBGImage);
    std::error_code ignored;
    // A folder of that name is not a picture.
    return !path.empty() && std::filesystem::is_regular_file(path, ignored);
}

AlbumLayout::AlbumLayout(std::string albumFolder, const album::AlbumSettings &settings)
    : m_folder(std::move(albumFolder))
    , m_index(settings.text(OptionId::edIndex))
    , m_fileExt(settings.text(OptionId::edFileExt))
    , m_css(settings.text(OptionId::edCSS))
{
}

std::string AlbumLayout::imagesFolder() const
{
    return m_folder + "/images";
}

std::string AlbumLayout::thumbFolder() const
{
    return m_folder + "/thumb";
}

std::string AlbumLayout::indexName() const
{
    return m_index + m_fileExt;
}

std::string AlbumLayout::indexPath() const
{
    return m_folder + "/" + indexName();
}

std::string AlbumLayout::styleSheetName() const
{
    return m_css.empty() ? std::string("default.css") : m_css;
}

std::string AlbumLayout::styleSheetPath() const
{
    return m_folder + "/" + styleSheetName();
}

std::string AlbumLayout::picturePageName(int i) const
{
    return pictureNumber(i) + m_fileExt;
}

std::string AlbumLayout::picturePagePath(int i) const
{
    return imagesFolder() + "/" + picturePageName(i);
}

std::string AlbumLayout::slidePageName(int i) const
{
    return pictureNumber(i) + "s" + m_fileExt;
}

std::string AlbumLayout::slidePagePath(int i) const
{
    return imagesFolder() + "/" + slidePageName(i);
}

std::string AlbumLayout::mainPictureName(int i)
{
    return "img" + pictureNumber(i) + ".jpg";
}

std::string AlbumLayout::thumbnailName(int i)
{
    return "img" + pictureNumber(i) + "_t.jpg";
}

std::string AlbumLayout::mainPicturePath(int i) const
{
    return imagesFolder() + "/" + mainPictureName(i);
}

std::string AlbumLayout::thumbnailPath(int i) const
{
    return thumbFolder() + "/" + thumbnailName(i);
}

std::string AlbumLayout::backgroundPath() const
{
    return m_folder + "/back.jpg";
}

} // namespace pictora::generate
