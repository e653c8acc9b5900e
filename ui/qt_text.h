// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <string>

namespace pictora::ui
{

/// The core keeps text as UTF-8; Qt as UTF-16. Every crossing goes through these two.
[[nodiscard]] inline QString toQString(const std::string &text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

[[nodiscard]] std::string toStdString(const QString &text);

/// A multi-line text as a memo shows it: "\n" between lines, and without the line end that a
/// project file gives every last line, which would show as an empty line of its own.
[[nodiscard]] QString memoText(const std::string &stored);
/// What a memo's text is kept as: lines separated by CR LF.
[[nodiscard]] std::string storedMemoText(const QString &shown);
/// `stored` with every lone CR or LF made CR LF, as a memo gives it back.
[[nodiscard]] std::string storedLineBreaks(const std::string &stored);
/// Whether a memo showing `shown` already shows `stored`, its last line end aside: then the memo is
/// left alone, and a line end just typed stays.
[[nodiscard]] bool memoShows(const QString &shown, const std::string &stored);

} // namespace pictora::ui
