// SPDX-License-Identifier: MIT
#include "ui/about_box.h"

#include "album/branding.h"
#include "ui/resources.h"
#include "ui/url_opener.h"
#include "ui_about_box.h"

#include <QGuiApplication>
#include <QIcon>
#include <QScreen>
#include <QShowEvent>

namespace pictora::ui
{

TAboutBox::TAboutBox(UrlOpener &urls, Reassociate reassociate, QWidget *parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::TAboutBox>())
    , m_urls(urls)
    , m_reassociate(std::move(reassociate))
{
    initResources();
    m_ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
        | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(296, 281);

    // Only the weight is set, so the name keeps the window's face and size.
    QFont bold;
    bold.setBold(true);
    m_ui->ProductName->setFont(bold);

    // The pictures are buttons so that Tab reaches them and Space opens them; the frame shows
    // only while one has the keyboard focus.
    const char *pictureStyle = "QToolButton { border: 1px solid transparent; padding: 0; background: "
                               "transparent; } QToolButton:focus { border: 1px dotted palette(highlight); }";
    const std::pair<QToolButton *, const char *> pictures[] = {
        { m_ui->ProgramIcon, ":/pictora/icon.svg" },
        { m_ui->ImageLogo, ":/pictora/logo.svg" },
        { m_ui->ImagePay, ":/pictora/donate.svg" },
    };
    for (auto [button, file] : pictures) {
        button->setIcon(QIcon(QString::fromLatin1(file)));
        button->setStyleSheet(QString::fromLatin1(pictureStyle));
    }

    connect(m_ui->ProgramIcon, &QToolButton::clicked, this, &TAboutBox::ProgramIconClick);
    connect(m_ui->ImageLogo, &QToolButton::clicked, this, &TAboutBox::ImageLogoClick);
    connect(m_ui->ImagePay, &QToolButton::clicked, this, &TAboutBox::ImagePayClick);
    connect(m_ui->OKButton, &QPushButton::clicked, this, &QDialog::accept);
    m_ui->OKButton->setFocus();
}

TAboutBox::~TAboutBox() = default;

void TAboutBox::ProgramIconClick()
{
    if (m_reassociate)
        m_reassociate();
}

void TAboutBox::ImageLogoClick()
{
    m_urls.open(QUrl(QString::fromUtf8(branding::kSiteUrl)));
}

void TAboutBox::ImagePayClick()
{
    m_urls.open(QUrl(QString::fromUtf8(branding::kDonationUrl)));
}

void TAboutBox::showEvent(QShowEvent *event)
{
    // Centred on the screen, not over the main window.
    if (!event->spontaneous()) {
        const QScreen *where = screen() ? screen() : QGuiApplication::primaryScreen();
        if (where) {
            QRect frame = frameGeometry();
            frame.moveCenter(where->availableGeometry().center());
            move(frame.topLeft());
        }
    }
    QDialog::showEvent(event);
}

} // namespace pictora::ui
