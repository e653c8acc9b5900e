// SPDX-License-Identifier: MIT
#include "generate/platform_services.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QStandardPaths>
#include <QString>

#include <cstdlib>
#include <memory>

namespace pictora::generate
{

bool moveToTrash(const std::string &path)
{
    // The trash lives under the data folder; when that folder is missing (a fresh account), the
    // trash would otherwise be made relative to the working folder.
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (dataHome.isEmpty() || !QDir().mkpath(dataHome))
        return false;
    return QFile::moveToTrash(QString::fromStdString(path));
}

std::string xdgUserFolder(const char *variable, const char *fallbackUnderHome)
{
    if (const char *set = std::getenv(variable); set && set[0] == '/')
        return set;
    if (const char *home = std::getenv("HOME"); home && home[0] == '/')
        return std::string(home) + "/" + fallbackUnderHome;
    return {};
}

album::PathOrder localeNameOrder()
{
    auto collator = std::make_shared<QCollator>(QLocale::system());
    collator->setCaseSensitivity(Qt::CaseInsensitive);
    collator->setNumericMode(false);
    return [collator](const std::string &a, const std::string &b) {
        return collator->compare(QString::fromStdString(a), QString::fromStdString(b)) < 0;
    };
}

} // namespace pictora::generate
