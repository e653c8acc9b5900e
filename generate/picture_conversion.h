// SPDX-License-Identifier: MIT
#pragma once

#include "generate/layout.h"
#include "generate/size_cache.h"
#include "imaging/picture.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

namespace pictora::album
{
class AlbumSettings;
}

namespace pictora::generate
{

/// The options of the picture step, fixed once per run.
struct ConversionOptions {
    double mainX = 640;
    double mainY = 640;
    double thumbX = 160;
    double thumbY = 160;
    bool mainLongSide = true; ///< rbLmain: fit the long side, otherwise the short side
    bool thumbLongSide = true; ///< rbL
    bool resizeMain = true; ///< cbTransMain: scale the pixels of the main picture
    bool useOriginal = false; ///< cbMainOrigin: the pages show the source itself
    int quality = 90;
    imaging::Sampling sampling = imaging::Sampling::S422;
    /// csDensity: main pictures and thumbnails hold this many times the pixels of the size they are
    /// shown at (never more than the source holds), for sharp pictures on dense screens.
    int density = 1;
    bool writeFiles = true; ///< false when only the sizes are wanted (rebuild)
};

[[nodiscard]] ConversionOptions conversionOptions(
    const album::AlbumSettings &settings, const RunValues &values);

/// A size in doubles, as the fitting formulas give it; stored sizes truncate toward zero.
struct FittedSize {
    double width = 0;
    double height = 0;
};

/// Fits a picture of width × height into targetX × targetY by its long side or its short side
/// (a square counts as portrait for the long side and as landscape for the short side).
[[nodiscard]] FittedSize fitSize(double width, double height, double targetX, double targetY, bool longSide);

/// The size a picture of width × height is shown at on its page (the main picture's size) under
/// the settings' main size options; nothing while a size option is no number.
[[nodiscard]] std::optional<FittedSize> pageSize(
    const album::AlbumSettings &settings, double width, double height);

/// What the picture step gives for one picture.
struct PictureOutcome {
    SizeRow sizes;
    bool unreadable = false; ///< the source could not be decoded
    /// Why, as the decoder tells it ("<path>: <cause>"); empty when only a record of an earlier run
    /// said that it could not be read.
    std::string unreadableReason;
    int workingWidth = 0; ///< W0 and H0 as the message shows them
    int workingHeight = 0;
    std::string writeError; ///< a main picture or thumbnail could not be written
    int sourceWidth = 0; ///< the source's upright size as its header told it (0 when unreadable)
    int sourceHeight = 0;
    /// The working size has a side of 0 (a size option of 0): told like an unreadable picture, with
    /// the thumbnail at the thumbnail size as given.
    bool zeroWorkingSize = false;
    /// The size the picture was to be decoded or scaled at cannot be held: the message says so
    /// rather than calling a good picture unreadable.
    struct Oversize {
        bool thumbnail = false; ///< the thumbnail's size, otherwise the main picture's
        int width = 0;
        int height = 0;
    };
    std::optional<Oversize> oversize;

    /// Whether the run shows a message for this picture.
    [[nodiscard]] bool needsMessage() const { return unreadable || zeroWorkingSize || oversize.has_value(); }
};

/// Told a source's header and the size it is to be decoded at (nothing: whole) before any of its
/// pixels are decoded, so that the caller may wait until there is memory for them. May be told twice
/// for one source, when its first decoder gives up.
using BeforeDecode = std::function<void(
    const imaging::PictureInfo &header, const std::optional<imaging::TargetSize> &target)>;

/// About what the picture step holds at once for a source of this header decoded at `target`
/// (nothing: whole): the decoded pixels and what the encoder and the thumbnail need beside them.
[[nodiscard]] std::size_t decodeBytes(
    const imaging::PictureInfo &header, const std::optional<imaging::TargetSize> &target);

/// The picture step for picture `index`: loads the source, writes the main picture and the
/// thumbnail (unless the options say otherwise) and works out the sizes. With `writeMain` false the
/// main picture is made only for its thumbnail: the album already holds it as it would be written.
/// Never throws.
[[nodiscard]] PictureOutcome convertPicture(const std::string &sourcePath,
    int index,
    const AlbumLayout &layout,
    const ConversionOptions &options,
    bool writeMain = true,
    const BeforeDecode &beforeDecode = {});

/// The outcome convertPicture gives for a source known to load (or not) at this upright size,
/// without touching any file.
[[nodiscard]] PictureOutcome outcomeFor(const KnownPicture &known, const ConversionOptions &options);

/// The outcome convertPicture gives, found without writing anything or decoding full-size pixels.
[[nodiscard]] PictureOutcome checkPicture(const std::string &sourcePath, const ConversionOptions &options);

/// Names the way the picture step decodes a source under these options: whether a source loads can
/// depend on it (a JPEG too large to hold whole still loads at a reduced scale).
[[nodiscard]] std::string decodePlan(const ConversionOptions &options);

/// Everything that decides the bytes of a main picture under these options, and the code that
/// encodes it: two main pictures of the same source with the same recipe are the same bytes.
[[nodiscard]] std::string mainPictureRecipe(const ConversionOptions &options);
/// The same for a thumbnail, which is made from the main picture (or from the source shown as it).
[[nodiscard]] std::string thumbnailRecipe(const ConversionOptions &options);

/// The message for a picture that could not be read ("img0003.jpg\nimageX : 0\nimageY : 0"), or
/// whose size cannot be held ("img0003.jpg\nメイン画像のサイズ 100000 x 75000 が大きすぎます。…").
[[nodiscard]] std::string unreadableMessage(int index, const PictureOutcome &outcome);
/// The details of that message: the user's own file, which the numbered name does not tell.
[[nodiscard]] std::string unreadableDetails(const std::string &sourcePath);

/// Re-encodes the background picture as back.jpg in the album folder. Returns false with a
/// message in *error when the picture cannot be read (and the decoder's words in *reason); throws
/// base::UserError when back.jpg cannot be written, since pages that declare it would then show
/// another picture or none.
bool convertBackground(const std::string &backgroundPath,
    const AlbumLayout &layout,
    const ConversionOptions &options,
    std::string *error,
    std::string *reason = nullptr);

} // namespace pictora::generate
