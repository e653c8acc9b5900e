// SPDX-License-Identifier: MIT
#include "ui/qt_text.h"

namespace pictora::ui
{

std::string toStdString(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    return std::string(utf8.constData(), static_cast<std::size_t>(utf8.size()));
}

namespace
{

QString withNewlines(const std::string &stored)
{
    QString text = toQString(stored);
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
}

} // namespace

QString memoText(const std::string &stored)
{
    QString text = withNewlines(stored);
    if (text.endsWith(u'\n'))
        text.chop(1);
    return text;
}

std::string storedMemoText(const QString &shown)
{
    QString text = shown;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    return toStdString(text.replace(QStringLiteral("\n"), QStringLiteral("\r\n")));
}

std::string storedLineBreaks(const std::string &stored)
{
    return storedMemoText(withNewlines(stored));
}

bool memoShows(const QString &shown, const std::string &stored)
{
    const std::string kept = storedLineBreaks(stored);
    const std::string showing = storedMemoText(shown);
    return showing == kept || showing + "\r\n" == kept;
}

} // namespace pictora::ui
