// SPDX-License-Identifier: MIT
#include "base/file_messages.h"

#include "base/errors.h"

#include <cerrno>
#include <filesystem>
#include <ios>
#include <new>
#include <sys/statvfs.h>
#include <system_error>

namespace pictora::base
{

namespace
{

std::string message(const std::string &path, std::string_view what, std::string_view reason)
{
    std::string text = path;
    text.append("\n").append(what).append("\n(").append(reason).append(")");
    return text;
}

/// The reason for a failed write at `path`. A file system out of file entries (inodes) reports the
/// same error as one out of space: the free counts tell which it is.
std::string writeReason(const std::string &path, int error)
{
    if (error == ENOSPC) {
        std::filesystem::path at(path);
        struct statvfs info {
        };
        while (!at.empty() && ::statvfs(at.c_str(), &info) != 0)
            at = at.has_relative_path() ? at.parent_path() : std::filesystem::path();
        if (at.empty() && ::statvfs(".", &info) != 0)
            return systemReason(error);
        if (info.f_files > 0 && info.f_favail == 0 && info.f_bavail > 0)
            return "ディスクに作成できるファイルの数が上限に達しています。不要なファイルを削除してください";
    }
    return systemReason(error);
}

} // namespace

std::string systemReason(int error)
{
    // The system's own texts follow the locale, which is often English: the program speaks Japanese.
    switch (error) {
    case ENOENT:
        return "ファイルまたはフォルダーがありません";
    case EACCES:
        return "アクセスが許可されていません";
    case EPERM:
        return "操作が許可されていません";
    case EROFS:
        return "読み取り専用のファイルシステムです";
    case ENOSPC:
        return "ディスクの空き容量が足りません";
    case EDQUOT:
        return "ディスクの使用量の上限を超えています";
    case EFBIG:
        return "ファイルが大きすぎます";
    case ENOTDIR:
        return "パスの途中にフォルダーでないものがあります";
    case EISDIR:
        return std::string(kReasonIsFolder);
    case ENAMETOOLONG:
        return "名前が長すぎます";
    case EEXIST:
        return "既に存在します";
    case ENOTEMPTY:
        return "フォルダーが空ではありません";
    case ELOOP:
        return "シンボリックリンクが多すぎるか循環しています";
    case EIO:
        return "入出力エラーが起きました";
    case EMFILE:
    case ENFILE:
        return "開いているファイルが多すぎます";
    case ENOMEM:
        return "メモリが足りません";
    case EBUSY:
    case ETXTBSY:
        return "使用中です";
    case EXDEV:
        return "別のファイルシステムをまたいでいます";
    case EINVAL:
        return "名前または操作が正しくありません";
    case ENXIO:
    case ENODEV:
        return "装置がありません";
    case EAGAIN:
        return "一時的に使用できません";
    case EINTR:
        return "中断されました";
    case ESTALE:
        return "ネットワーク上のファイルが無効になりました";
    case EOVERFLOW:
        return "ファイルが大きすぎます";
    case EBADF:
        return "ファイルが開かれていません";
    default:
        return "システムエラー " + std::to_string(error);
    }
}

std::string cannotWriteMessage(const std::string &path, std::string_view reason)
{
    return message(path, "に書き込めません。", reason);
}

std::string cannotWriteMessage(const std::string &path, int error)
{
    return cannotWriteMessage(path, writeReason(path, error));
}

std::string cannotOpenMessage(const std::string &path, std::string_view reason)
{
    return message(path, "を開けません。", reason);
}

std::string cannotOpenMessage(const std::string &path, int error)
{
    return cannotOpenMessage(path, systemReason(error));
}

std::string cannotReadMessage(const std::string &path, std::string_view reason)
{
    return message(path, "を読み込めません。", reason);
}

std::string cannotReadMessage(const std::string &path, int error)
{
    return cannotReadMessage(path, systemReason(error));
}

std::string cannotCreateFolderMessage(const std::string &folder, int error)
{
    // Making a folder, "it exists" can only mean something else holds the name.
    return message(folder,
        "フォルダを作成できません。",
        error == EEXIST ? std::string("同じ名前のファイルがあります") : writeReason(folder, error));
}

std::string messageOf(const std::exception &error)
{
    if (dynamic_cast<const UserError *>(&error))
        return error.what();
    if (const auto *fileError = dynamic_cast<const std::filesystem::filesystem_error *>(&error)) {
        const std::string path = fileError->path1().string();
        return message(path.empty() ? std::string("ファイル") : path,
            "を扱えません。",
            systemReason(fileError->code().value()));
    }
    if (const auto *streamError = dynamic_cast<const std::ios_base::failure *>(&error)) {
        // The stream's code is rarely the system's; errno still holds what the read or write hit.
        const int code = streamError->code().category() == std::generic_category()
                || streamError->code().category() == std::system_category()
            ? streamError->code().value()
            : errno;
        return "ファイルを読み書きできません。\n(" + systemReason(code) + ")";
    }
    if (dynamic_cast<const std::bad_alloc *>(&error))
        return "メモリが足りません。";
    return "処理を続けられませんでした。";
}

} // namespace pictora::base
