// SPDX-License-Identifier: MIT
#include "generate/platform_services.h"

#include <QCollator>
#include <QFile>
#include <QLocale>
#include <QString>

#include <memory>

namespace pictora::generate
{

bool moveToTrash(const std::string &path)
{
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

} // namespace pictora::generate
