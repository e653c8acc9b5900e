// SPDX-License-Identifier: MIT
#include "generate/album_guard.h"

#include "album/image_list.h"
#include "album/settings.h"
#include "generate/cache_file.h"
#include "generate/layout.h"
#include "generate/size_cache.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string_view>
#include <sys/file.h>
#include <unistd.h>

namespace pictora::generate
{

using album::OptionId;

namespace
{

bool isControl(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

bool isSeparatorOrControl(char c)
{
    return c == '/' || c == '\\' || isControl(c);
}

/// The name as a message can show it: control characters become "?".
std::string shownName(std::string name)
{
    for (char &c : name) {
        if (isControl(c))
            c = '?';
    }
    return name;
}

std::string badNameMessage(OptionId id, const std::string &value)
{
    const album::OptionDecl &decl = album::optionDecl(id);
    return std::string(decl.caption) + " (" + std::string(decl.control) + ") の「" + shownName(value)
        + "」はファイル名として使えません。\n「/」「\\」「..」や制御文字を含まない名前を指定してください。";
}

std::string albumKey(const std::string &folder)
{
    std::error_code ec;
    const std::string real = std::filesystem::canonical(folder, ec).string();
    return ec ? std::string() : base::checksumName(real);
}

/// The record's first line: a record of another form is no record.
constexpr std::string_view kRecordHeader = "pictora album pictures 1\n";
// A list of many thousands of long paths still fits; anything bigger is not ours.
constexpr std::size_t kMaxRecordBytes = 64u * 1024 * 1024;

/// Where a lock stands in for one the folder's file system refuses (a network share): a file under
/// the user's runtime folder named after the folder's real path.
std::string runtimeLockPath(const std::string &folder)
{
    const char *runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime || !*runtime)
        return {};
    const std::string key = albumKey(folder);
    return key.empty() ? std::string() : std::string(runtime) + "/pictora-album-" + key + ".lock";
}

} // namespace

bool isPlainFileName(const std::string &name)
{
    return name != "." && name != ".." && !std::ranges::any_of(name, isSeparatorOrControl);
}

std::optional<std::string> unsafeNameMessage(const album::AlbumSettings &settings)
{
    // The cover name and the extension only ever stand joined (index.htm, 0001.htm): each may be
    // "." or "..", but neither may hold a separator, and the cover's whole name must be plain.
    for (const OptionId id : { OptionId::edIndex, OptionId::edFileExt }) {
        if (std::ranges::any_of(settings.text(id), isSeparatorOrControl))
            return badNameMessage(id, settings.text(id));
    }
    const std::string coverName = settings.text(OptionId::edIndex) + settings.text(OptionId::edFileExt);
    if (!isPlainFileName(coverName))
        return badNameMessage(OptionId::edIndex, coverName);
    if (!isPlainFileName(settings.text(OptionId::edCSS)))
        return badNameMessage(OptionId::edCSS, settings.text(OptionId::edCSS));
    return std::nullopt;
}

std::string picturesMadeFrom(
    const album::AlbumSettings &settings, const std::vector<album::ImageEntry> &entries)
{
    std::string text;
    for (const OptionId id : { OptionId::edMainX,
             OptionId::edMainY,
             OptionId::edThumbX,
             OptionId::edThumbY,
             OptionId::cbJPEGc,
             OptionId::edBGImage })
        text += std::string(album::optionDecl(id).control) + "=" + settings.text(id) + "\n";
    for (const OptionId id : { OptionId::rbLmain, OptionId::rbL, OptionId::qJPEG })
        text += std::string(album::optionDecl(id).control) + "=" + std::to_string(settings.number(id)) + "\n";
    text += std::string("cbMainOrigin=") + (settings.checked(OptionId::cbMainOrigin) ? "1" : "0") + "\n";
    // Named only when it is not 1, so that albums made before it existed still match.
    if (const int density = settings.number(OptionId::csDensity); density != 1)
        text += "csDensity=" + std::to_string(density) + "\n";
    for (const album::ImageEntry &entry : entries)
        text += sourceKey(entry.path) + "\n";
    return text;
}

std::string changedSinceMakeMessage()
{
    return "アルバムを作成したときから、画像リストか画像の設定が変わっています。\n"
           "ページだけを作り直すことはできません。「アルバム作成」でアルバムを作成し直してください。";
}

std::string noMakeRecordMessage(const std::string &albumFolder)
{
    return "「" + albumFolder
        + "」をこのプログラムで作成した記録が見つかりません。\n"
          "アルバムの画像が画像リストと合うか確かめられないため、ページだけを作り直すことはできません。\n"
          "「アルバム作成」でアルバムを作成し直してください。";
}

std::string noPictureReadMessage(const std::string &albumFolder)
{
    return "画像リストの画像をひとつも読み込めなかったため、「" + albumFolder
        + "」にアルバムを作成しませんでした。\n画像ファイルがあるか、読める画像かを確かめてください。";
}

std::string linkedAlbumFolderMessage(const std::string &folder)
{
    return "「" + folder
        + "」は別の場所へのリンクです。\nアルバムはリンクの先には書き込みません。"
          "リンクを削除するか、別の出力先フォルダを指定してください。";
}

std::string missingAlbumPictureMessage(const std::string &path)
{
    return "「" + path
        + "」がありません。\nアルバムの画像が画像リストと合わないため、ページだけを作り直すことはできません。"
          "\n"
          "「アルバム作成」でアルバムを作成し直してください。";
}

MadeAlbumRecord::MadeAlbumRecord(const std::string &cacheFolder, const std::string &albumFolder)
{
    const std::string key = albumKey(albumFolder);
    if (!cacheFolder.empty() && !key.empty()) {
        m_folder = cacheFolder + "/albums";
        m_name = key + ".list";
    }
}

void MadeAlbumRecord::forget() const
{
    if (m_folder.empty())
        return;
    // A make that never completes leaves pictures of two lists: what it says matches no list. A
    // record that is gone would only be unknown.
    if (!remember("a make that did not complete\n")) {
        std::error_code ignored;
        std::filesystem::remove(m_folder + "/" + m_name, ignored);
    }
}

bool MadeAlbumRecord::remember(const std::string &madeFrom) const
{
    if (m_folder.empty())
        return false;
    std::error_code ignored;
    std::filesystem::create_directories(m_folder, ignored);
    return cache_file::replace(m_folder, m_name, std::string(kRecordHeader) + madeFrom);
}

std::optional<std::string> MadeAlbumRecord::recall() const
{
    if (m_folder.empty())
        return std::nullopt;
    const std::optional<std::string> text = cache_file::readSmall(m_folder + "/" + m_name, kMaxRecordBytes);
    if (!text || !text->starts_with(kRecordHeader))
        return std::nullopt;
    return text->substr(kRecordHeader.size());
}

std::string albumBusyMessage(const std::string &folder)
{
    return "他の処理が「" + folder
        + "」にアルバムを書き込んでいます。\nその処理が終わってから再実行してください。";
}

FolderLock::~FolderLock()
{
    release();
}

FolderLock::FolderLock(FolderLock &&other) noexcept
    : m_fd(other.m_fd)
{
    other.m_fd = -1;
}

FolderLock &FolderLock::operator=(FolderLock &&other) noexcept
{
    if (this != &other) {
        release();
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

FolderLock::Outcome FolderLock::lock(const std::string &folder)
{
    release();
    // Close-on-exec: the browser started at the end must not hold the album after the run.
    const Outcome onFolder = take(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (onFolder != Outcome::Unlockable)
        return onFolder;
    const std::string stand = runtimeLockPath(folder);
    if (stand.empty())
        return Outcome::Unlockable;
    return take(::open(stand.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
}

FolderLock::Outcome FolderLock::take(int fd)
{
    if (fd < 0)
        return Outcome::Unlockable;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        m_fd = fd;
        return Outcome::Locked;
    }
    const int error = errno;
    ::close(fd);
    return error == EWOULDBLOCK ? Outcome::Busy : Outcome::Unlockable;
}

void FolderLock::release()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

} // namespace pictora::generate
