// SPDX-License-Identifier: MIT
#include "shell/platform_services.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QStandardPaths>
#include <QString>

#include <memory>

namespace pictora::shell
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

album::PathOrder localeNameOrder()
{
    auto collator = std::make_shared<QCollator>(QLocale::system());
    collator->setCaseSensitivity(Qt::CaseInsensitive);
    collator->setNumericMode(false);
    return [collator](const std::string &a, const std::string &b) {
        return collator->compare(QString::fromStdString(a), QString::fromStdString(b)) < 0;
    };
}

} // namespace pictora::shell
