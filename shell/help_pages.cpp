// SPDX-License-Identifier: MIT
#include "shell/help_pages.h"

#include <QFileInfo>
#include <QString>

namespace pictora::shell
{

std::optional<std::string> findHelpPage(const std::vector<std::string> &folders, const std::string &page)
{
    for (const std::string &folder : folders) {
        const QFileInfo file(QString::fromStdString(folder + '/' + page));
        if (file.isFile())
            return file.absoluteFilePath().toStdString();
    }
    return std::nullopt;
}

std::string helpPageMissingMessage(const std::string &page)
{
    return "ヘルプファイルが見つかりません: " + page;
}

} // namespace pictora::shell
