// SPDX-License-Identifier: MIT
#include "generate/make_album.h"

#include "album/branding.h"
#include "album/image_list.h"
#include "album/prompts.h"
#include "album/settings.h"
#include "base/errors.h"
#include "base/file_io.h"
#include "base/file_messages.h"
#include "generate/album_guard.h"
#include "generate/memory_budget.h"
#include "generate/ordered_pool.h"
#include "generate/pages.h"
#include "generate/picture_conversion.h"
#include "generate/run_records.h"
#include "generate/style_sheet.h"
#include "generate/visitor_report.h"
#include "imaging/picture.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <new>
#include <system_error>

namespace pictora::generate
{

using album::Answer;
using album::OptionId;
using album::PromptKind;

namespace
{

namespace fs = std::filesystem;

bool isFolder(const std::string &path)
{
    std::error_code ec;
    return fs::is_directory(path, ec);
}

bool isFile(const std::string &path)
{
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

/// One folder level, there already or made now. One that cannot be made is named itself, rather
/// than the first file that could not go into it.
void createFolder(const std::string &path)
{
    std::error_code ec;
    if (fs::create_directory(path, ec) || isFolder(path))
        return;
    throw base::UserError(base::cannotCreateFolderMessage(path, ec ? ec.value() : EEXIST));
}

bool isLink(const std::string &path)
{
    std::error_code ec;
    return fs::is_symlink(path, ec);
}

/// A link where the album expects a folder of its own would lead its pictures, pages and sweeps
/// elsewhere: the first such folder is told and the run writes nothing. The output folder the user
/// chose may be a link.
bool refuseLinkedFolders(RunContext &c, const AlbumLayout &layout, const std::string &outputFolder)
{
    for (const std::string &folder : { layout.folder(), layout.imagesFolder(), layout.thumbFolder() }) {
        if (folder != outputFolder && isLink(folder)) {
            c.prompts.inform(PromptKind::Error, linkedAlbumFolderMessage(folder));
            return false;
        }
    }
    return true;
}

/// A picture that could not be given the memory it needs is no bad picture: the run stops.
std::string outOfMemoryMessage(const std::string &source)
{
    return "メモリが足りないため、「" + source
        + "」を変換できません。アルバムの作成を中止しました。\n"
          "ほかのプログラムを終了するか、同時に変換する数を減らすか(コマンドラインでは -j 1)、"
          "画像を小さくしてから再実行してください。";
}

/// What one picture worker may need at once: a large photo decoded, scaled and encoded. Below it
/// the decoders' libraries end the process rather than fail a picture.
constexpr std::size_t kWorkerMemory = std::size_t { 128 } << 20;

/// As many of the requested workers as the memory the process may still take holds; 0 when not
/// even one fits.
int affordableWorkers(int requested)
{
    int workers = requested;
    while (workers > 0 && !base::addressSpaceFor(kWorkerMemory * static_cast<std::size_t>(workers)))
        --workers;
    return workers;
}

/// The message for a picture whose conversion stopped with an exception.
std::string conversionFailure(
    const std::string &picturePath, const std::string &source, const std::exception &error)
{
    if (dynamic_cast<const base::UserError *>(&error))
        return error.what();
    if (dynamic_cast<const std::bad_alloc *>(&error))
        return outOfMemoryMessage(source);
    return base::cannotWriteMessage(picturePath, "画像を変換できません");
}

/// Hides the progress window when a run ends by an exception after showing it.
class ProgressGuard
{
public:
    explicit ProgressGuard(album::ProgressSink &progress)
        : m_progress(progress)
    {
    }
    ~ProgressGuard()
    {
        if (m_armed)
            m_progress.hide();
    }
    ProgressGuard(const ProgressGuard &) = delete;
    ProgressGuard &operator=(const ProgressGuard &) = delete;
    void disarm() { m_armed = false; }

private:
    album::ProgressSink &m_progress;
    bool m_armed = true;
};

/// Thrown between pictures when the user stopped the run.
struct RunCancelled {
};

/// Thrown by a rebuild that finds a picture of the album missing.
struct AlbumPictureMissing {
    std::string path;
};

std::string cacheFolderOf(const RunContext &c)
{
    return c.sizeCacheFolder ? *c.sizeCacheFolder : SizeCache::defaultFolder();
}

/// The checks both runs share: the author address and the settings that must not be empty.
bool checkSettings(RunContext &c)
{
    auto &s = c.settings;
    if (s.text(OptionId::edRevMade).empty()) {
        const std::string question = std::string("HTML作者連絡先が空欄です。\n「") + branding::kSupportAddress
            + "(たぶりサポート)」をHTML作者連絡先にしますか?";
        if (c.prompts.ask(album::Prompt::asking(album::Question::Author, question)) != Answer::Yes)
            return false;
        s.store(OptionId::edRevMade, std::string(branding::kSupportAddress));
    }
    auto error = [&c](const std::string &text) {
        c.prompts.inform(PromptKind::Error, text);
        return false;
    };
    if (s.text(OptionId::edHTMLPath).empty())
        return error("HTML出力先フォルダを指定してください。");
    if (s.text(OptionId::edIndex).empty())
        return error("アルバム表紙のHTMLファイル名を指定してください。");
    if (s.text(OptionId::edTitle).empty())
        return error("タイトルを入力してください。(HTMLオプション)");
    if (s.text(OptionId::edThumbX).empty() || s.text(OptionId::edThumbY).empty())
        return error("サムネイルサイズを入力してください。(画像オプション)");
    if (s.text(OptionId::edMainX).empty() || s.text(OptionId::edMainY).empty())
        return error("メイン画像サイズを入力してください。(画像オプション)");
    // A shared project must not lead a run out of the album folder.
    if (const std::optional<std::string> unsafe = unsafeNameMessage(s))
        return error(*unsafe);
    return true;
}

/// Takes the run's lock on a folder; false, once the user is told, when another run holds it. A
/// folder that takes no lock does not stop the run.
bool lockFolder(RunContext &c, FolderLock &lock, const std::string &folder)
{
    if (lock.lock(folder) != FolderLock::Outcome::Busy)
        return true;
    c.prompts.inform(PromptKind::Error, albumBusyMessage(folder));
    return false;
}

/// Picture i on a worker: nothing when the records say the album or the cache holds it already,
/// otherwise converted (or, for a rebuild, checked) once its decoded pixels fit the memory budget.
ConvertedPicture convertOne(const RunRecords &records,
    MemoryBudget &budget,
    const std::string &path,
    std::size_t i,
    const AlbumLayout &layout,
    const ConversionOptions &options)
{
    const int index = static_cast<int>(i);
    ConvertedPicture done;
    try {
        const std::optional<FileStamp> before = stampOf(path);
        if (before) {
            // A picture remembered as unreadable is looked at again, so that the run can say why.
            if (std::optional<PictureOutcome> known = records.remembered(path, *before);
                known && !known->unreadable) {
                done.outcome = std::move(*known);
                done.stamp = before;
                return done;
            }
        }
        if (!options.writeFiles) {
            done.outcome = checkPicture(path, options);
            if (before && stampOf(path) == before)
                done.stamp = before;
            return done;
        }
        done.source = sourceKey(path);
        const HeldPicture held = before ? records.held(i, done.source, *before) : HeldPicture {};
        if (held.thumbnail) {
            done.outcome
                = outcomeFor({ true, held.thumbnail->sourceWidth, held.thumbnail->sourceHeight }, options);
            done.stamp = before;
            return done;
        }
        const bool writeMain = !held.mainCurrent && !options.useOriginal;
        MemoryBudget::Lease lease;
        done.outcome = convertPicture(path,
            index,
            layout,
            options,
            writeMain,
            [&](const imaging::PictureInfo &header, const std::optional<imaging::TargetSize> &target) {
                if (!lease.held())
                    lease = budget.take(i, decodeBytes(header, target));
            });
        if (before && stampOf(path) == before) {
            done.stamp = before;
            if (!done.outcome.unreadable && done.outcome.writeError.empty()) {
                if (writeMain)
                    done.mainWritten = stampOf(layout.mainPicturePath(index));
                done.thumbWritten = stampOf(layout.thumbnailPath(index));
            }
        }
    } catch (const std::exception &e) {
        done = {};
        done.outcome.writeError = conversionFailure(layout.mainPicturePath(index), path, e);
    }
    return done;
}

/// A rebuild's pages show the pictures a make wrote: none may be missing. An unreadable source
/// never had any.
void checkAlbumPictures(
    const AlbumLayout &layout, const ConversionOptions &options, std::size_t i, const PictureOutcome &outcome)
{
    if (options.writeFiles || outcome.unreadable || outcome.oversize)
        return;
    const int number = static_cast<int>(i);
    if (!options.useOriginal && !isFile(layout.mainPicturePath(number)))
        throw AlbumPictureMissing { layout.mainPicturePath(number) };
    if (!isFile(layout.thumbnailPath(number)))
        throw AlbumPictureMissing { layout.thumbnailPath(number) };
}

/// The progress after picture i of n, and the user's chance to stop the run there.
void pictureDone(RunContext &c, std::size_t i, std::size_t n)
{
    char label[64];
    std::snprintf(label, sizeof label, "[ %d / %d ]", static_cast<int>(i + 1), static_cast<int>(n));
    c.progress.setLabel(label);
    c.progress.setPosition(static_cast<int>(100.0 / static_cast<double>(n) * static_cast<double>(i)));
    if (c.platform.cancelRequested())
        throw RunCancelled {};
}

/// Converts every picture on the workers and consumes the outcomes in list order. A make leaves
/// alone what its album already holds as it would write it, and records what it wrote.
std::size_t convertAll(
    RunContext &c, const AlbumLayout &layout, const ConversionOptions &options, RunResult &result)
{
    std::size_t readable = 0;
    // A shortage of an earlier run (or of the preview) is not this run's.
    (void)imaging::memoryRanShort();
    const int workers = affordableWorkers(workerCount(c.workers));
    if (workers == 0)
        throw base::UserError("メモリが足りないため、アルバムの作成を始められません。\n"
                              "ほかのプログラムを終了するか、使えるメモリを増やしてから再実行してください。");
    RunRecords records(cacheFolderOf(c), layout, options, c.encodeAll);
    MemoryBudget budget(pictureMemoryBudget());
    const std::size_t n = c.entries.size();
    try {
        runInOrder<ConvertedPicture>(
            n,
            workers,
            [&](std::size_t i) { return convertOne(records, budget, c.entries[i].path, i, layout, options); },
            [&](std::size_t i, ConvertedPicture &converted) {
                const PictureOutcome &outcome = converted.outcome;
                if (!outcome.writeError.empty())
                    throw base::UserError(outcome.writeError);
                if (outcome.unreadable && imaging::memoryRanShort())
                    throw base::UserError(outOfMemoryMessage(c.entries[i].path));
                records.record(i, c.entries[i].path, converted);
                checkAlbumPictures(layout, options, i, outcome);
                if (!outcome.unreadable)
                    ++readable;
                if (outcome.needsMessage()) {
                    album::Prompt told = album::Prompt::asking(
                        album::Question::Unreadable, unreadableMessage(static_cast<int>(i), outcome));
                    told.details = unreadableDetails(c.entries[i].path);
                    if (outcome.unreadable) {
                        told.unreadableFile = c.entries[i].path;
                        told.unreadableReason = outcome.unreadableReason;
                    }
                    c.prompts.ask(told);
                }
                result.sizes[i] = outcome.sizes;
                if (outcome.unreadable)
                    result.unreadable.push_back(i);
                pictureDone(c, i, n);
            });
    } catch (...) {
        // Kept also when the run stops early, for the pictures made until then.
        records.save();
        throw;
    }
    records.save();
    return readable;
}

/// Steps from the progress window to the finished album, shared by both runs.
RunResult writeAlbum(
    RunContext &c, const std::string &albumFolder, const RunValues &values, bool writePictures)
{
    const AlbumLayout layout(albumFolder, c.settings);
    const std::size_t n = c.entries.size();

    c.progress.show();
    ProgressGuard guard(c.progress);

    ConversionOptions options = conversionOptions(c.settings, values);
    options.writeFiles = writePictures;

    RunResult result;
    result.albumFolder = albumFolder;
    result.indexPath = layout.indexPath();
    result.sizes.assign(n, SizeRow {});

    std::size_t readable = 0;
    try {
        readable = convertAll(c, layout, options, result);
    } catch (const RunCancelled &) {
        c.progress.hide();
        guard.disarm();
        c.prompts.ask(album::Prompt::asking(album::Question::Cancelled, kCancelledMessage));
        return RunResult {};
    } catch (const AlbumPictureMissing &missing) {
        c.progress.hide();
        guard.disarm();
        c.prompts.inform(PromptKind::Error, missingAlbumPictureMessage(missing.path));
        return RunResult {};
    }

    // A make of pictures none of which could be read would replace an album with an empty one.
    if (writePictures && n > 0 && readable == 0) {
        c.progress.hide();
        guard.disarm();
        c.prompts.inform(PromptKind::Error, noPictureReadMessage(albumFolder));
        return RunResult {};
    }

    if (writePictures && hasBackgroundPicture(c.settings)) {
        std::string error;
        std::string reason;
        const std::string background = c.settings.text(OptionId::edBGImage);
        if (!convertBackground(background, layout, options, &error, &reason)) {
            album::Prompt prompt { PromptKind::Warning, error };
            if (!reason.empty()) {
                prompt.unreadableFile = background;
                prompt.unreadableReason = reason;
            }
            c.prompts.ask(prompt);
        }
    }

    writePages(layout, c.settings, c.entries, result.sizes, values, workerCount(c.workers));
    writeStyleSheet(layout, c.settings, values);
    // The album's files were written without a sync each: one for all of them before the run is done.
    if (const int error = base::syncFileSystem(albumFolder); error != 0)
        throw base::UserError(base::cannotWriteMessage(albumFolder, error));

    c.progress.setPosition(100);
    c.progress.setLabel("");
    c.progress.hide();
    guard.disarm();
    c.platform.openDocument(layout.indexPath());
    result.completed = true;
    return result;
}

} // namespace

RunResult makeAlbum(RunContext &c)
{
    const std::string outputFolder = c.settings.text(OptionId::edHTMLPath);
    if (!checkSettings(c))
        return {};

    if (!isFolder(outputFolder)) {
        if (c.prompts.ask(album::Prompt::asking(
                album::Question::CreateOutput, "HTML出力先フォルダが存在しません。\n作成しますか?"))
            != Answer::Yes)
            return {};
        createFolder(outputFolder);
    }

    const RunValues values = fixRunValues(c.settings);

    const Answer htmlFolder = c.prompts.ask(album::Prompt::asking(album::Question::HtmlFolder,
        "出力先フォルダにhtmlフォルダを作成しますか?\n\n\t「はい」　… "
        "指定した出力先に新規で\"html\"という名前のフォルダを作成し、そこにアルバムファイルを作成します。\n\t"
        "「いいえ」… 指定した出力先に直接アルバムファイルを作成します。"));
    if (htmlFolder == Answer::Cancel)
        return {};
    const std::string albumFolder = htmlFolder == Answer::Yes ? outputFolder + "/html" : outputFolder;
    const AlbumLayout layout(albumFolder, c.settings);

    // Held from before an old html folder may go to the trash until the last page is written.
    FolderLock outputLock;
    if (!lockFolder(c, outputLock, outputFolder) || !refuseLinkedFolders(c, layout, outputFolder))
        return {};

    if (htmlFolder == Answer::Yes && isFolder(albumFolder)) {
        if (c.prompts.ask(album::Prompt::asking(
                album::Question::DeleteHtml, "「" + albumFolder + "」が既に存在します。\n削除しますか?"))
            != Answer::Ok)
            return {};
        if (!c.platform.moveToTrash(albumFolder)) {
            c.prompts.inform(PromptKind::Warning,
                "他のプログラムが「" + albumFolder
                    + "」を開いています。\n他のプログラムを終了させてから再実行してください。\n\nあるいは、「"
                    + albumFolder + "」フォルダを手動で削除してから再実行してください。");
        } else if (!isFolder(albumFolder)) {
            c.prompts.ask(album::Prompt::asking(album::Question::HtmlFolderTrashed,
                "削除が完了しました。\nもういちど「アルバム作成」ボタンを押してください。"));
        }
        return {};
    }
    if (isFile(layout.indexPath())) {
        if (c.prompts.ask(album::Prompt::asking(album::Question::OverwriteCover,
                "「" + layout.indexPath() + "」が既に存在します。\n上書きしてよろしいですか?"))
            != Answer::Ok) {
            c.prompts.inform(PromptKind::Warning,
                "アルバム表紙のHTMLファイル名、あるいはHTMLアルバム出力先フォルダを変更してください。");
            return {};
        }
    }

    createFolder(albumFolder);
    // Another run may name the html folder itself as its output folder.
    FolderLock albumLock;
    if (albumFolder != outputFolder && !lockFolder(c, albumLock, albumFolder))
        return {};
    createFolder(layout.imagesFolder());
    createFolder(layout.thumbFolder());

    // Until this make completes, the album's pictures match no list.
    const MadeAlbumRecord record(cacheFolderOf(c), albumFolder);
    record.forget();
    RunResult result = writeAlbum(c, albumFolder, values, true);
    if (result.completed) {
        (void)record.remember(picturesMadeFrom(c.settings, c.entries));
        const std::string report = visitorReport(albumFolder, c.settings, c.entries, result.unreadable);
        if (!report.empty())
            c.prompts.ask(album::Prompt::asking(album::Question::VisitorReport, report));
    }
    return result;
}

RunResult rebuildPages(RunContext &c)
{
    const std::string outputFolder = c.settings.text(OptionId::edHTMLPath);
    if (!checkSettings(c))
        return {};
    const RunValues values = fixRunValues(c.settings);
    const std::string htmlFolder = outputFolder + "/html";
    const std::string albumFolder = isFolder(htmlFolder) ? htmlFolder : outputFolder;
    FolderLock outputLock;
    FolderLock albumLock;
    if (!lockFolder(c, outputLock, outputFolder)
        || (albumFolder != outputFolder && !lockFolder(c, albumLock, albumFolder))
        || !refuseLinkedFolders(c, AlbumLayout(albumFolder, c.settings), outputFolder))
        return {};
    // Pages written over pictures made from another list would pair comments with wrong pictures.
    // Without the record of the last completed make nothing shows which list the pictures are of.
    const std::optional<std::string> madeFrom = MadeAlbumRecord(cacheFolderOf(c), albumFolder).recall();
    if (!madeFrom) {
        c.prompts.inform(PromptKind::Error, noMakeRecordMessage(albumFolder));
        return {};
    }
    if (*madeFrom != picturesMadeFrom(c.settings, c.entries)) {
        c.prompts.inform(PromptKind::Error, changedSinceMakeMessage());
        return {};
    }
    return writeAlbum(c, albumFolder, values, false);
}

} // namespace pictora::generate
