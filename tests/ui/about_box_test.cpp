// SPDX-License-Identifier: MIT
#include "ui/about_box.h"

#include "album/branding.h"
#include "tests/ui/recording_opener.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <vector>

namespace pictora::ui
{
namespace
{

template <typename T> T *child(QWidget &box, const char *name)
{
    T *found = box.findChild<T *>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

TEST(AboutBox, ShowsItsFixedSizeTextsPicturesAndHints)
{
    test::RecordingOpener urls;
    // An owner in a corner: the box still centres on the screen, not over its owner.
    QWidget owner;
    owner.setGeometry(10, 10, 120, 90);
    owner.show();
    TAboutBox box(urls, {}, &owner);
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));

    EXPECT_EQ(box.windowTitle(), QStringLiteral("バージョン情報"));
    EXPECT_EQ(box.size(), QSize(296, 281));
    EXPECT_EQ(box.minimumSize(), box.maximumSize());
    EXPECT_FALSE(box.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(box.windowFlags() & Qt::WindowMinimizeButtonHint);
    const QPoint offCentre = box.frameGeometry().center() - box.screen()->availableGeometry().center();
    EXPECT_LE(offCentre.manhattanLength(), 2) << "centred on the screen";

    EXPECT_EQ(child<QLabel>(box, "ProductName")->text(), QStringLiteral("Pictora"));
    EXPECT_EQ(child<QLabel>(box, "Version")->text(), QStringLiteral("Version 0.3.2.0"));
    EXPECT_EQ(
        child<QLabel>(box, "Comment2")->text(), QStringLiteral("最新版入手やご意見等は↓こちらからどうぞ．"));
    EXPECT_EQ(
        child<QLabel>(box, "Label1")->text(), QStringLiteral("今後の開発のためご寄付を募集しております．"));

    struct Picture {
        const char *name;
        QSize size;
        QString hint;
    };
    const Picture pictures[] = {
        { "ProgramIcon", { 32, 32 }, QStringLiteral("「.pxa」ファイルの関連付け") },
        { "ImageLogo", { 88, 32 }, QStringLiteral("たぶりの頁を開く") },
        { "ImagePay", { 88, 31 }, QStringLiteral("たぶりに寄付をする") },
    };
    for (const auto &picture : pictures) {
        auto *button = child<QToolButton>(box, picture.name);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->iconSize(), picture.size) << picture.name;
        // An icon that did not load (resource missing from the link) gives an empty pixmap.
        EXPECT_FALSE(button->icon().pixmap(picture.size).isNull()) << picture.name;
        EXPECT_EQ(button->toolTip(), picture.hint) << picture.name;
        EXPECT_EQ(button->cursor().shape(), Qt::PointingHandCursor) << picture.name;
        EXPECT_TRUE(box.findChild<QWidget *>(QStringLiteral("Panel1"))->isAncestorOf(button));
    }

    auto *ok = child<QPushButton>(box, "OKButton");
    EXPECT_EQ(ok->text(), QStringLiteral("OK"));
    EXPECT_TRUE(ok->isDefault());
    EXPECT_FALSE(box.findChild<QWidget *>(QStringLiteral("Panel1"))->isAncestorOf(ok));
}

TEST(AboutBox, EveryControlIsNamedAndReachedWithTab)
{
    test::RecordingOpener urls;
    TAboutBox box(urls);
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    QApplication::setActiveWindow(&box);

    std::vector<QString> reached;
    for (int step = 0; step < 4; ++step) {
        QWidget *focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        EXPECT_FALSE(focus->accessibleName().isEmpty() && focus->property("text").toString().isEmpty())
            << focus->objectName().toStdString();
        reached.push_back(focus->objectName());
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    EXPECT_EQ(reached,
        (std::vector<QString> { QStringLiteral("OKButton"),
            QStringLiteral("ProgramIcon"),
            QStringLiteral("ImageLogo"),
            QStringLiteral("ImagePay") }));
    EXPECT_EQ(QApplication::focusWidget()->objectName(), QStringLiteral("OKButton")) << "Tab wraps round";
}

TEST(AboutBox, PicturesOpenTheSiteAndTheDonationPageByMouseAndKey)
{
    test::RecordingOpener urls;
    TAboutBox box(urls);
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));

    QTest::mouseClick(child<QToolButton>(box, "ImageLogo"), Qt::LeftButton);
    QTest::mouseClick(child<QToolButton>(box, "ImagePay"), Qt::LeftButton);
    child<QToolButton>(box, "ImageLogo")->setFocus();
    QTest::keyClick(child<QToolButton>(box, "ImageLogo"), Qt::Key_Space);

    const QString site = QString::fromUtf8(branding::kSiteUrl);
    const QString donation = QString::fromUtf8(branding::kDonationUrl);
    EXPECT_EQ(urls.texts(), (std::vector<QString> { site, donation, site }));
    EXPECT_TRUE(donation.contains(QStringLiteral("/cgibin/donate/donate.cgi?awid=")));
}

TEST(AboutBox, OkAndEnterCloseWithResultOk)
{
    test::RecordingOpener urls;
    TAboutBox box(urls);
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    QTest::mouseClick(child<QPushButton>(box, "OKButton"), Qt::LeftButton);
    EXPECT_FALSE(box.isVisible());
    EXPECT_EQ(box.result(), QDialog::Accepted);

    box.setResult(QDialog::Rejected);
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    QTest::keyClick(&box, Qt::Key_Return);
    EXPECT_EQ(box.result(), QDialog::Accepted);
}

} // namespace
} // namespace pictora::ui
