// SPDX-License-Identifier: MIT
#pragma once

#include <QUrl>

namespace pictora::ui
{

/// Opens a web address or a document with the program the desktop associates with it.
/// Windows take one in their constructor, so tests record what would have been opened.
class UrlOpener
{
public:
    virtual ~UrlOpener() = default;
    virtual void open(const QUrl &url) = 0;
};

/// The desktop's browser (xdg-open); the desktop's own message is all a failure shows.
class DesktopUrlOpener final : public UrlOpener
{
public:
    void open(const QUrl &url) override;
};

} // namespace pictora::ui
