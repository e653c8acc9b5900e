// SPDX-License-Identifier: MIT
#include "project/layout.h"

#include <array>

namespace pictora::project
{

namespace
{

using I = album::OptionId;

constexpr Field opt(int offset, I id)
{
    return { offset, FieldKind::Option, id };
}

constexpr Field kHtmlPathFields[] = { opt(1, I::edHTMLPath) };
constexpr Field kTitleFields[] = { opt(1, I::edTitle), opt(2, I::csTitleSize), opt(3, I::rbTL) };
constexpr Field kCommentFields[]
    = { opt(1, I::mmComment), opt(2, I::mmComment2), opt(3, I::csComSize), opt(4, I::rbCL) };
// 0.2.5.0 had only the upper comment.
constexpr Field kSingleCommentFields[] = { opt(1, I::mmComment), opt(2, I::csComSize), opt(3, I::rbCL) };
constexpr Field kSlideShowFields[] = { opt(1, I::csSlideTime) };
// 0.2.9.0 wrote one more line before the slide time.
constexpr Field kLateSlideShowFields[] = { opt(2, I::csSlideTime) };
constexpr Field kColourFields[] = {
    opt(1, I::edText),
    opt(2, I::edLink),
    opt(3, I::edVLink),
    opt(4, I::edALink),
    opt(5, I::edFTitle),
    opt(6, I::edFCom),
};
constexpr Field kBackgroundFields[] = { opt(1, I::edBG), opt(2, I::edBGImage) };
constexpr Field kButtonFields[] = {
    opt(1, I::cbBT1),
    opt(2, I::cbBT2),
    opt(3, I::cbBT3),
    opt(4, I::edBt1Face),
    opt(5, I::edBt2Face),
    opt(6, I::edBt3Face),
    opt(7, I::edBt1URL),
    opt(8, I::edBt2URL),
    opt(9, I::edBt3URL),
};
constexpr Field kCellFields[] = {
    opt(1, I::csCol),
    opt(2, I::csW1),
    opt(3, I::csW2),
    opt(4, I::csW3),
    opt(5, I::csIW),
    opt(6, I::csFCW),
    opt(7, I::csFCH),
    opt(8, I::cbNowrap),
    opt(9, I::cbCellBGColor),
    opt(10, I::edCellBGColor),
    opt(11, I::cbBorderColor),
    opt(12, I::edBorderColor),
};
// Before 0.2.11.0 the cells ended with cbNowrap: no cell or border colours.
constexpr std::span<const Field> kOldCellFields = std::span(kCellFields).first(8);
constexpr Field kThumbnailFields[] = { opt(1, I::edThumbX), opt(2, I::edThumbY), opt(3, I::rbL) };
constexpr Field kViewImageFields[]
    = { opt(1, I::edMainX), opt(2, I::edMainY), opt(3, I::rbLmain), opt(4, I::cbTransMain) };
constexpr Field kJpegFields[] = { opt(1, I::qJPEG), opt(2, I::cbJPEGc) };
constexpr Field kOthersFields[] = { opt(1, I::edIndex), opt(2, I::edFileExt), opt(3, I::edCSS) };
// The options for the screens an album is looked at on.
constexpr Field kPublishFields[]
    = { opt(1, I::cbPhone), opt(2, I::csDensity), opt(3, I::cbAccess), opt(4, I::cbUTF8) };
constexpr Field kImageNumFields[] = { { 1, FieldKind::EntryCount } };
constexpr Field kTimeStampFields[] = { opt(1, I::cbTimeStamp) };
constexpr Field kImageListFields[] = { opt(1, I::cbMemo), { 2, FieldKind::Entries } };
// Before 0.2.11.0 the entries followed the header directly.
constexpr Field kOldImageListFields[] = { { 1, FieldKind::Entries } };

constexpr Section kHtmlPath { "[edHTMLPath]", kHtmlPathFields };
constexpr Section kTitle { "[edTitle]", kTitleFields };
constexpr Section kComment { "[mmComment]", kCommentFields };
constexpr Section kSingleComment { "[mmComment]", kSingleCommentFields };
constexpr Section kSlideShow { "[SlideShow]", kSlideShowFields };
constexpr Section kLateSlideShow { "[SlideShow]", kLateSlideShowFields };
constexpr Section kColours { "[Colors]", kColourFields };
constexpr Section kBackground { "[BackGround]", kBackgroundFields };
constexpr Section kButtons { "[Button]", kButtonFields };
constexpr Section kCells { "[Cells]", kCellFields };
constexpr Section kOldCells { "[Cells]", kOldCellFields };
constexpr Section kThumbnail { "[ThumbNail]", kThumbnailFields };
constexpr Section kViewImage { "[ViewImage]", kViewImageFields };
constexpr Section kJpeg { "[JPEG]", kJpegFields };
constexpr Section kOthers { "[Others]", kOthersFields };
constexpr Section kPublish { "[Publish]", kPublishFields };
constexpr Section kImageNum { "[ImageNum]", kImageNumFields };
constexpr Section kTimeStamp { "[TimeStamp]", kTimeStampFields };
constexpr Section kImageList { "[ImageList]", kImageListFields };
constexpr Section kOldImageList { "[ImageList]", kOldImageListFields };

constexpr Section kLayout0250[] = { kHtmlPath,
    kTitle,
    kSingleComment,
    kColours,
    kBackground,
    kOldCells,
    kThumbnail,
    kViewImage,
    kJpeg,
    kImageNum,
    kTimeStamp,
    kOldImageList };
constexpr Section kLayout0270[] = { kHtmlPath,
    kTitle,
    kComment,
    kColours,
    kBackground,
    kButtons,
    kOldCells,
    kThumbnail,
    kViewImage,
    kJpeg,
    kImageNum,
    kTimeStamp,
    kOldImageList };
constexpr Section kLayout0290[] = { kHtmlPath,
    kTitle,
    kComment,
    kLateSlideShow,
    kColours,
    kBackground,
    kButtons,
    kOldCells,
    kThumbnail,
    kViewImage,
    kJpeg,
    kImageNum,
    kTimeStamp,
    kOldImageList };
constexpr Section kLayout02110[] = { kHtmlPath,
    kTitle,
    kComment,
    kSlideShow,
    kColours,
    kBackground,
    kButtons,
    kCells,
    kThumbnail,
    kViewImage,
    kJpeg,
    kImageNum,
    kTimeStamp,
    kImageList };
constexpr Section kLayout02130[] = { kHtmlPath,
    kTitle,
    kComment,
    kSlideShow,
    kColours,
    kBackground,
    kButtons,
    kCells,
    kThumbnail,
    kViewImage,
    kJpeg,
    kOthers,
    kImageNum,
    kTimeStamp,
    kImageList };

constexpr Section kLayout0330[] = { kHtmlPath,
    kTitle,
    kComment,
    kSlideShow,
    kColours,
    kBackground,
    kButtons,
    kCells,
    kThumbnail,
    kViewImage,
    kJpeg,
    kOthers,
    kPublish,
    kImageNum,
    kTimeStamp,
    kImageList };

struct VersionRow {
    ProjectVersion version;
    std::string_view header;
    std::span<const Section> layout;
};

// In the order the first line is compared with them.
constexpr std::array<VersionRow, 6> kVersions { {
    { ProjectVersion::v0_2_5_0, "[PictoraProject 0.2.5.0]", kLayout0250 },
    { ProjectVersion::v0_2_7_0, "[PictoraProject 0.2.7.0]", kLayout0270 },
    { ProjectVersion::v0_2_9_0, "[PictoraProject 0.2.9.0]", kLayout0290 },
    { ProjectVersion::v0_2_11_0, "[PictoraProject 0.2.11.0]", kLayout02110 },
    { ProjectVersion::v0_2_13_0, "[PictoraProject 0.2.13.0]", kLayout02130 },
    { ProjectVersion::v0_3_3_0, "[PictoraProject 0.3.3.0]", kLayout0330 },
} };

bool holds(std::span<const Section> layout, I id)
{
    for (const auto &section : layout) {
        for (const auto &field : section.fields) {
            if (field.kind == FieldKind::Option && field.option == id)
                return true;
        }
    }
    return false;
}

const VersionRow &row(ProjectVersion version)
{
    return kVersions[static_cast<std::size_t>(version)];
}

} // namespace

std::string_view versionHeader(ProjectVersion version)
{
    return row(version).header;
}

std::optional<ProjectVersion> versionOfHeader(std::string_view line)
{
    for (const auto &r : kVersions) {
        if (r.header == line)
            return r.version;
    }
    return std::nullopt;
}

std::span<const Section> projectLayout(ProjectVersion version)
{
    return row(version).layout;
}

ProjectVersion versionToWrite(const album::AlbumSettings &settings)
{
    const auto current = projectLayout(kCurrentVersion);
    for (const auto &decl : album::optionTable()) {
        if (decl.saved && !holds(current, decl.id) && settings.value(decl.id) != decl.start)
            return kNewestVersion;
    }
    return kCurrentVersion;
}

} // namespace pictora::project
