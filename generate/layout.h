// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <vector>

namespace pictora::album
{
class AlbumSettings;
}

namespace pictora::generate
{

/// The sizes a picture is shown at, in pixels: one row per picture of the run.
struct SizeRow {
    int mainWidth = 0;
    int mainHeight = 0;
    int thumbWidth = 0;
    int thumbHeight = 0;
    bool operator==(const SizeRow &) const = default;
};
using PictureSizes = std::vector<SizeRow>;

/// A picture's number as written in its file names: at least four digits ("0000", "0012", "10000").
[[nodiscard]] std::string pictureNumber(int i);

/// Values fixed once at the start of a make or rebuild run.
struct RunValues {
    std::string titleAlign; ///< "left", "center", "right", or empty when no button is selected
    std::string commentAlign;
    double thumbX = 0;
    double thumbY = 0;
    double mainX = 0;
    double mainY = 0;
};

/// Reads the alignment words and converts the four size texts (thumbnail X, Y, then main X, Y).
/// Throws base::ConversionError "'<text>' は浮動小数点数ではありません" for the first that is no number.
[[nodiscard]] RunValues fixRunValues(const album::AlbumSettings &settings);

/// Whether the background option names an existing file, which decides both back.jpg and its
/// declaration in the style sheet.
[[nodiscard]] bool hasBackgroundPicture(const album::AlbumSettings &settings);

/// Where every file of an album goes. Paths are joined by plain concatenation with "/", so a folder
/// given with a trailing "/" yields "//" in every derived path, exactly as typed by the user.
///
/// The name options (cover name, extension, style sheet) are copied when the layout is made.
class AlbumLayout
{
public:
    AlbumLayout(std::string albumFolder, const album::AlbumSettings &settings);

    [[nodiscard]] const std::string &folder() const { return m_folder; }
    [[nodiscard]] std::string imagesFolder() const;
    [[nodiscard]] std::string thumbFolder() const;

    /// Cover page name as the pages link it (index + extension).
    [[nodiscard]] std::string indexName() const;
    [[nodiscard]] std::string indexPath() const;
    [[nodiscard]] const std::string &fileExt() const { return m_fileExt; }

    /// The style sheet's name, "default.css" unless one is given.
    [[nodiscard]] std::string styleSheetName() const;
    [[nodiscard]] std::string styleSheetPath() const;

    [[nodiscard]] std::string picturePageName(int i) const;
    [[nodiscard]] std::string picturePagePath(int i) const;
    /// The slideshow page: number + "s" + extension, the very name its links use.
    [[nodiscard]] std::string slidePageName(int i) const;
    [[nodiscard]] std::string slidePagePath(int i) const;

    [[nodiscard]] static std::string mainPictureName(int i);
    [[nodiscard]] static std::string thumbnailName(int i);
    [[nodiscard]] std::string mainPicturePath(int i) const;
    [[nodiscard]] std::string thumbnailPath(int i) const;
    [[nodiscard]] std::string backgroundPath() const;

private:
    std::string m_folder;
    std::string m_index;
    std::string m_fileExt;
    std::string m_css;
};

} // namespace pictora::generate
