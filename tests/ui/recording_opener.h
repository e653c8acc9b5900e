// SPDX-License-Identifier: MIT
#pragma once

#include "ui/url_opener.h"

#include <QString>
#include <QUrl>

#include <vector>

namespace pictora::test
{

/// What the windows would have opened in the browser, kept instead of opened.
struct RecordingOpener final : ui::UrlOpener {
    std::vector<QUrl> opened;
    void open(const QUrl &url) override { opened.push_back(url); }
    [[nodiscard]] std::vector<QString> texts() const
    {
        std::vector<QString> out;
        for (const QUrl &url : opened)
            out.push_back(url.toString());
        return out;
    }
};

} // namespace pictora::test
