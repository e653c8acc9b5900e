// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>

#include <functional>
#include <memory>

namespace Ui
{
class TAboutBox;
}

namespace pictora::ui
{

class UrlOpener;

/// The about box: name and version, links to the maker's site and the donation page, and the
/// program icon, whose click associates the project file type again.
class TAboutBox final : public QDialog
{
    Q_OBJECT

public:
    /// Asks whether to associate the file type again and does it (reporting its own failures).
    using Reassociate = std::function<void()>;

    explicit TAboutBox(UrlOpener &urls, Reassociate reassociate = {}, QWidget *parent = nullptr);
    ~TAboutBox() override;

    void ProgramIconClick();
    void ImageLogoClick();
    void ImagePayClick();

protected:
    void showEvent(QShowEvent *event) override;

private:
    std::unique_ptr<Ui::TAboutBox> m_ui;
    UrlOpener &m_urls;
    Reassociate m_reassociate;
};

} // namespace pictora::ui
