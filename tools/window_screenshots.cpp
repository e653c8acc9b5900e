// SPDX-License-Identifier: MIT
// Saves pictures of the windows as the desktop draws them, for the README:
// window_screenshots OUT_FOLDER (tab-1.png to tab-7.png, one per tab of the main window, and about.png)
#include "album/choosers.h"
#include "album/prompts.h"
#include "ui/about_box.h"
#include "ui/application.h"
#include "ui/image_list_view.h"
#include "ui/main_window.h"
#include "ui/url_opener.h"

#include <QApplication>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace
{

using namespace pictora;

struct Unanswered final : album::Prompter {
    album::Answer ask(const album::Prompt &) override { return album::Answer::No; }
};

struct NoDialogs final : album::Chooser {
    std::vector<std::string> openPictures() override { return {}; }
    std::optional<std::string> openProject() override { return {}; }
    std::optional<std::string> saveProject(const std::string &) override { return {}; }
    std::optional<std::string> pickFolder(const std::string &) override { return {}; }
    std::optional<std::uint32_t> pickColour(std::uint32_t) override { return {}; }
};

struct Nowhere final : ui::UrlOpener {
    void open(const QUrl &) override { }
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: window_screenshots OUT_FOLDER\n");
        return 2;
    }
    ui::setUpApplication(app);
    Unanswered prompts;
    NoDialogs chooser;
    Nowhere urls;
    const QTemporaryDir home; // the user's own preferences and file types stay untouched
    ui::TfrMain window(prompts, chooser, urls, ui::DesktopSession::inFolder(home.path().toStdString()));
    for (const char *name : { "IMG_0001.jpg", "IMG_0002.jpg", "IMG_0003.jpg" })
        window.imageList().appendPicture(std::string("/photos/spring/") + name,
            [](const std::string &) { return std::string("2004年05月01日 13時05分"); });
    window.listView().refresh();
    window.show();
    ui::TAboutBox about(urls);

    auto *pages = window.findChild<QTabWidget *>(QStringLiteral("PageControl1"));
    const QString folder = QString::fromLocal8Bit(argv[1]);
    int status = 0;
    const auto save = [&](QWidget &shown, const QString &name) {
        if (!shown.grab().save(folder + QLatin1Char('/') + name))
            status = 1;
    };
    // Let the window system map and paint each page before it is grabbed.
    const int tabs = pages->count();
    for (int page = 0; page < tabs; ++page) {
        QTimer::singleShot(400 * (page + 1), &window, [&, page] {
            pages->setCurrentIndex(page);
            window.repaint();
            save(window, QStringLiteral("tab-%1.png").arg(page + 1));
            if (page + 1 == tabs)
                about.show();
        });
    }
    QTimer::singleShot(400 * (tabs + 2), &about, [&] {
        save(about, QStringLiteral("about.png"));
        app.quit();
    });
    app.exec();
    return status;
}
