// SPDX-License-Identifier: MIT
#include "ui/url_opener.h"

#include <QDesktopServices>

namespace pictora::ui
{

void DesktopUrlOpener::open(const QUrl &url)
{
    QDesktopServices::openUrl(url);
}

} // namespace pictora::ui
