// SPDX-License-Identifier: MIT
#include "ui/qt_text.h"

namespace pictora::ui
{

std::string toStdString(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    return std::string(utf8.constData(), static_cast<std::size_t>(utf8.size()));
}

} // namespace pictora::ui
