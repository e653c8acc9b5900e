// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>

#include <functional>
#include <memory>

namespace Ui
{
class TAboutBox;
}

namespace pictora::album
{
class Prompter;
}

namespace pictora::ui
{

class UrlOpener;

/// The question asked before the project file type is associated with the program again.
inline constexpr const char *kAssociateQuestion = "「.pxa」ファイルを「Pictora」に関連付けますか!?";

/// The about box: name and version, links to the maker's site and the donation page, and the
/// program icon, whose click associates the project file type again after asking.
class TAboutBox final : public QDialog
{
    Q_OBJECT

public:
    /// Runs the association itself (and reports its own failures); called after a Yes.
    using Reassociate = std::function<void()>;

    TAboutBox(
        album::Prompter &prompter, UrlOpener &urls, Reassociate reassociate = {}, QWidget *parent = nullptr);
    ~TAboutBox() override;

    /// The association arrives with the start-up code, which may be built after this box.
    void setReassociate(Reassociate reassociate) { m_reassociate = std::move(reassociate); }

    void ProgramIconClick();
    void ImageLogoClick();
    void ImagePayClick();

protected:
    void showEvent(QShowEvent *event) override;

private:
    std::unique_ptr<Ui::TAboutBox> m_ui;
    album::Prompter &m_prompter;
    UrlOpener &m_urls;
    Reassociate m_reassociate;
};

} // namespace pictora::ui
