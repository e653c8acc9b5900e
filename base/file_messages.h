// SPDX-License-Identifier: MIT
#pragma once

#include <exception>
#include <string>
#include <string_view>

/// Every message about a file or folder that the user sees, in one place: the path first, then
/// what could not be done, then the system's reason in brackets, all in Japanese.
namespace pictora::base
{

inline constexpr std::string_view kReasonNotFound = "ファイルがありません";
inline constexpr std::string_view kReasonIsFolder = "フォルダーです";
inline constexpr std::string_view kReasonNotRegular = "通常のファイルではありません";

/// The system's reason for an error number, in Japanese whatever the locale.
[[nodiscard]] std::string systemReason(int error);

/// "<path>\nに書き込めません。\n(<reason>)"
[[nodiscard]] std::string cannotWriteMessage(const std::string &path, std::string_view reason);
[[nodiscard]] std::string cannotWriteMessage(const std::string &path, int error);
/// "<path>\nを開けません。\n(<reason>)"
[[nodiscard]] std::string cannotOpenMessage(const std::string &path, std::string_view reason);
[[nodiscard]] std::string cannotOpenMessage(const std::string &path, int error);
/// "<path>\nを読み込めません。\n(<reason>)"
[[nodiscard]] std::string cannotReadMessage(const std::string &path, std::string_view reason);
[[nodiscard]] std::string cannotReadMessage(const std::string &path, int error);
/// "<folder>\nフォルダを作成できません。\n(<reason>)"
[[nodiscard]] std::string cannotCreateFolderMessage(const std::string &folder, int error);

/// What a central error handler shows for an exception: a UserError's own text, a file system or
/// stream error in the words above, and never a library's English text.
[[nodiscard]] std::string messageOf(const std::exception &error);

} // namespace pictora::base
