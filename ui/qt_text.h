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

} // namespace pictora::ui
