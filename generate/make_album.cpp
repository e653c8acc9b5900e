// SPDX-License-Identifier: MIT
#include "generate/make_album.h"

#include "album/branding.h"
#include "album/errors.h"
#include "album/file_io.h"
#include "album/file_messages.h"
#include "album/image_list.h"
#include "album/prompts.h"
#include "album/settings.h"
#include "generate/ordered_pool.h"
#include "generate/pages.h"
#include "generate/picture_conversion.h"
#include "generate/size_cache.h"
#include "generate/style_sheet.h"

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
    throw album::UserError(album::cannotCreateFolderMessage(path, ec ? ec.value() : EEXIST));
}

/// The message for a picture whose conversion stopped with an exception.
std::string conversionFailure(const std::string &picturePath, const std::exception &error)
{
    if (dynamic_cast<const album::UserError *>(&error))
        return error.what();
    if (dynamic_cast<const std::bad_alloc *>(&error))
        return album::cannotWriteMessage(picturePath, album::systemReason(ENOMEM));
    return album::cannotWriteMessage(picturePath, "画像を変換できません");
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

/// The checks both runs share: the author address and the settings that must not be empty.
bool checkSettings(RunContext &c)
{
    auto &s = c.settings;
    if (s.text(OptionId::edRevMade).empty()) {
        const std::string question = std::string("HTML作者連絡先が空欄です。\n「") + branding::kSupportAddress
            + "(たぶりサポート)」をHTML作者連絡先にしますか?";
        if (c.prompts.ask({ PromptKind::Warning, question, { Answer::Yes, Answer::No }, "author" })
            != Answer::Yes)
            return false;
        s.store(OptionId::edRevMade, std::string(branding::kSupportAddress));
    }
    auto error = [&c](const char *text) {
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
    return true;
}

/// Converts every picture on the workers and consumes the outcomes in list order.
void convertAll(RunContext &c, const AlbumLayout &layout, const ConversionOptions &options, RunResult &result)
{
    const std::size_t n = c.entries.size();
    SizeCache cache(c.sizeCacheFolder ? *c.sizeCacheFolder : SizeCache::defaultFolder());
    const std::string plan = decodePlan(options);

    struct Converted {
        PictureOutcome outcome;
        std::optional<FileStamp> stamp; ///< set when the file did not change while it was read
    };
    runInOrder<Converted>(
        n,
        workerCount(c.workers),
        [&](std::size_t i) {
            const std::string &path = c.entries[i].path;
            Converted done;
            try {
                const std::optional<FileStamp> before = stampOf(path);
                if (!options.writeFiles && before) {
                    if (const std::optional<KnownPicture> known = cache.find(path, plan, *before)) {
                        done.outcome = outcomeFor(*known, options);
                        done.stamp = before;
                        return done;
                    }
                }
                done.outcome = options.writeFiles ? convertPicture(path, static_cast<int>(i), layout, options)
                                                  : checkPicture(path, options);
                if (before && stampOf(path) == before)
                    done.stamp = before;
            } catch (const std::exception &e) {
                done.outcome = {};
                done.outcome.writeError = conversionFailure(layout.mainPicturePath(static_cast<int>(i)), e);
                done.stamp.reset();
            }
            return done;
        },
        [&](std::size_t i, Converted &converted) {
            const PictureOutcome &outcome = converted.outcome;
            if (!outcome.writeError.empty())
                throw album::UserError(outcome.writeError);
            if (converted.stamp) {
                cache.remember(c.entries[i].path,
                    plan,
                    *converted.stamp,
                    { !outcome.unreadable, outcome.sourceWidth, outcome.sourceHeight });
            }
            if (outcome.unreadable) {
                c.prompts.ask({ PromptKind::Confirmation,
                    unreadableMessage(static_cast<int>(i), outcome),
                    { Answer::Ok },
                    "unreadable" });
            }
            result.sizes[i] = outcome.sizes;
            char label[64];
            std::snprintf(label, sizeof label, "[ %d / %d ]", static_cast<int>(i + 1), static_cast<int>(n));
            c.progress.setLabel(label);
            c.progress.setPosition(static_cast<int>(100.0 / static_cast<double>(n) * static_cast<double>(i)));
            if (c.platform.cancelRequested())
                throw RunCancelled {};
        });
    // A cache that cannot be written only makes the next rebuild slower.
    (void)cache.save();
}

/// Steps from the progress window to the finished album, shared by both runs.
RunResult writeAlbum(
    RunContext &c, const std::string &albumFolder, const RunValues &values, bool writePictures)
{
    const AlbumLayout layout(albumFolder, c.settings);
    const std::size_t n = c.entries.size();

    c.progress.show();
    ProgressGuard guard(c.progress);
    c.platform.hidePreview();

    ConversionOptions options = conversionOptions(c.settings, values);
    options.writeFiles = writePictures;

    RunResult result;
    result.albumFolder = albumFolder;
    result.indexPath = layout.indexPath();
    result.sizes.assign(n, SizeRow {});

    try {
        convertAll(c, layout, options, result);
    } catch (const RunCancelled &) {
        c.progress.hide();
        guard.disarm();
        c.platform.showPreview();
        c.prompts.ask({ PromptKind::Information, kCancelledMessage, { Answer::Ok }, "cancelled" });
        return RunResult {};
    }

    if (writePictures && hasBackgroundPicture(c.settings)) {
        std::string error;
        if (!convertBackground(c.settings.text(OptionId::edBGImage), layout, options, &error))
            c.prompts.inform(PromptKind::Warning, error);
    }

    writePages(layout, c.settings, c.entries, result.sizes, values);
    writeStyleSheet(layout, c.settings, values);
    // The album's files were written without a sync each: one for all of them before the run is done.
    if (const int error = album::syncFileSystem(albumFolder); error != 0)
        throw album::UserError(album::cannotWriteMessage(albumFolder, error));

    c.progress.setPosition(100);
    c.progress.setLabel("");
    c.progress.hide();
    guard.disarm();
    c.platform.showPreview();
    if (n > 0)
        c.platform.selectFirstEntry();
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
        if (c.prompts.ask({ PromptKind::Warning,
                "HTML出力先フォルダが存在しません。\n作成しますか?",
                { Answer::Yes, Answer::No },
                "create-output" })
            != Answer::Yes)
            return {};
        createFolder(outputFolder);
    }

    const RunValues values = fixRunValues(c.settings);

    const Answer htmlFolder = c.prompts.ask({ PromptKind::Confirmation,
        "出力先フォルダにhtmlフォルダを作成しますか?\n\n\t「はい」　… "
        "指定した出力先に新規で\"html\"という名前のフォルダを作成し、そこにアルバムファイルを作成します。\n\t"
        "「いいえ」… 指定した出力先に直接アルバムファイルを作成します。",
        { Answer::Yes, Answer::No, Answer::Cancel },
        "html-folder" });
    if (htmlFolder == Answer::Cancel)
        return {};
    const std::string albumFolder = htmlFolder == Answer::Yes ? outputFolder + "/html" : outputFolder;
    const AlbumLayout layout(albumFolder, c.settings);

    if (htmlFolder == Answer::Yes && isFolder(albumFolder)) {
        if (c.prompts.ask({ PromptKind::Warning,
                "「" + albumFolder + "」が既に存在します。\n削除しますか?",
                { Answer::Ok, Answer::Cancel },
                "delete-html" })
            != Answer::Ok)
            return {};
        if (!c.platform.moveToTrash(albumFolder)) {
            c.prompts.inform(PromptKind::Warning,
                "他のプログラムが「" + albumFolder
                    + "」を開いています。\n他のプログラムを終了させてから再実行してください。\n\nあるいは、「"
                    + albumFolder + "」フォルダを手動で削除してから再実行してください。");
        } else if (!isFolder(albumFolder)) {
            c.prompts.ask({ PromptKind::Information,
                "削除が完了しました。\nもういちど「アルバム作成」ボタンを押してください。",
                { Answer::Ok },
                "html-folder-trashed" });
        }
        return {};
    }
    if (isFile(layout.indexPath())) {
        if (c.prompts.ask({ PromptKind::Warning,
                "「" + layout.indexPath() + "」が既に存在します。\n上書きしてよろしいですか?",
                { Answer::Ok, Answer::Cancel },
                "overwrite-cover" })
            != Answer::Ok) {
            c.prompts.inform(PromptKind::Warning,
                "アルバム表紙のHTMLファイル名、あるいはHTMLアルバム出力先フォルダを変更してください。");
            return {};
        }
    }

    createFolder(albumFolder);
    createFolder(layout.imagesFolder());
    createFolder(layout.thumbFolder());

    return writeAlbum(c, albumFolder, values, true);
}

RunResult rebuildPages(RunContext &c)
{
    const std::string outputFolder = c.settings.text(OptionId::edHTMLPath);
    if (!checkSettings(c))
        return {};
    const RunValues values = fixRunValues(c.settings);
    const std::string htmlFolder = outputFolder + "/html";
    const std::string albumFolder = isFolder(htmlFolder) ? htmlFolder : outputFolder;
    return writeAlbum(c, albumFolder, values, false);
}

} // namespace pictora::generate
